#pragma once

#include "installer/FilePath.h"

// A file that arrives as a cabinet: the cabinet and the file it holds.
class CompressableFile {
public:
    virtual ~CompressableFile() = default;

    // Extracts the cabinet into its own folder; the decompressed file becomes the member
    // written last. When extraction there fails, the cabinet is extracted in the staging
    // folder beside the program folder and the file moved into place, but the answer
    // stays false: a file that had to be staged is not registered.
    virtual bool Decompress();

    FilePath& Compressed() { return compressed_; }
    FilePath& Decompressed() { return decompressed_; }
    const FilePath& Compressed() const { return compressed_; }
    const FilePath& Decompressed() const { return decompressed_; }
    bool IsCompressed() const { return compressed; }

    bool compressed = true;

private:
    void StageAndReplace();

    FilePath compressed_;
    FilePath decompressed_;
};

// The staging folder of a program folder: its path with "Install" appended to its last
// name ("/a/Duzazododiza" gives "/a/DuzazododizaInstall").
std::string StagingFolder(const std::string& programFolder);
