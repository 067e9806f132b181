#pragma once

#include <string>

#include "installer/FilePath.h"

// A file that arrives as a cabinet: the cabinet and the file it holds.
class CompressableFile {
public:
    virtual ~CompressableFile() = default;

    // Extracts the cabinet beside itself and puts the member that carries the
    // decompressed file's name in its place (without a name set, the member written
    // last). A cabinet without that member is refused with a trace and nothing is
    // installed. When extraction there fails, the cabinet is extracted in the staging
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
    enum class Unpacked { kPlaced, kRefused, kFailed };
    // Extracts `cabinet` into a new folder in `beside` and moves the expected member onto
    // the decompressed file; the folder goes afterwards.
    Unpacked Unpack(const std::string& cabinet, const std::string& beside);
    void StageAndReplace();

    FilePath compressed_;
    FilePath decompressed_;
};

// The staging folder of a program folder: its path with "Install" appended to its last
// name ("/a/Duzazododiza" gives "/a/DuzazododizaInstall").
std::string StagingFolder(const std::string& programFolder);
