#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The user's temporary folder with its trailing '/': $TMPDIR when set (tests point
// it at a folder of their own), else "/tmp/".
std::string TemporaryFolder();

// Reads the whole regular file at `path` into `bytes` with one read. False (bytes empty)
// when it does not open, is not a regular file, is empty, is larger than `maxBytes` or
// cannot be read whole.
bool ReadFileBytes(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes);
// Reads `size` bytes from the open descriptor `fd`, from where it stands, into `bytes`.
// False (bytes empty) when fewer could be read.
bool ReadDescriptorBytes(int fd, size_t size, std::vector<uint8_t>& bytes);

// Renames `from` to `to`, replacing a file already at `to`; false when it fails.
bool RenameFile(const char* from, const char* to);
// Deletes the file; false when it fails (a missing file included).
bool DeleteFile(const char* path);

// Replaces a file as one step. The new bytes go to a hidden temporary file beside the
// target (".<name>.kivora-" and six letters), which the writer holds locked; Commit syncs
// it, gives it the mode the target has (a new file gets 0666 less the umask), renames it
// over the target and syncs the folder. Until then, and after any failure, the target is
// as it was. A symbolic link at the target is followed: the file it names is replaced
// and the link stays. Dropping the object without Commit removes the temporary file.
class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Makes the temporary file for `target`. Leftovers of earlier replacements of the
    // same file that no writer holds any more (a writer that was killed) are removed
    // first. False, with `error` set when given, when the file cannot be made.
    bool Begin(const std::string& target, std::string* error = nullptr);
    // The temporary file, open for reading and writing; -1 before Begin.
    int Descriptor() const { return fd_; }
    // The file that Commit replaces (the target with its links followed).
    const std::string& Target() const { return target_; }
    const std::string& TemporaryPath() const { return temp_; }
    // Puts the written file in place of the target. False, the target unchanged and the
    // temporary file removed, when a step fails.
    bool Commit(std::string* error = nullptr);
    // Removes the temporary file; the target stays as it was.
    void Abandon();

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
};

// Removes the leftovers of replacements of `target` (its links followed) that no writer
// holds: what a killed writer left beside it.
void RemoveStaleReplacements(const std::string& target);

// Makes a new folder readable by the user only, named `prefix` and a unique suffix, in
// `parent` (with or without its trailing '/'). Its path with a trailing '/', or empty
// when it cannot be made.
std::string MakeUniqueFolder(const std::string& parent, const char* prefix);
// Makes `path` and every missing folder above it, readable by the user only; true when
// the folder exists afterwards.
bool MakeFolders(const std::string& path);
// Removes a folder with everything in it (symbolic links are removed, never followed);
// true when nothing is left of it.
bool RemoveFolderTree(const std::string& path);

}  // namespace platform
