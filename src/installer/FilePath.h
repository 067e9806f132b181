#pragma once

#include <cstddef>
#include <string>

// A file named by a folder and a name, with the full name rebuilt from them after every
// change: folder + '/' (only when the folder does not already end in a separator) + name,
// or the bare name when there is no folder. The same form names a file on a server,
// the folder then being the server's address. Every part is at most kMaxLength
// characters; a longer one is refused with a trace and the path keeps its old value.
class FilePath {
public:
    static constexpr size_t kMaxLength = 259;

    // Drops one leading '/' or '\'.
    bool SetName(const char* name);
    // Drops one trailing '/' or '\'.
    bool SetFolder(const char* folder);
    // Splits at the last '/' (or, when there is none, the last '\').
    bool SetFullPath(const char* path);

    const std::string& Name() const { return name_; }
    const std::string& Folder() const { return folder_; }
    const std::string& FullName() const { return full_; }

    // Deletes the file when the full name is a full path; a failure (other than a file
    // that is not there) is traced.
    // Always true: a file that cannot go now has nothing left to wait for.
    bool Delete() const;
    // Removes the local copy of the full name (taken as an address) from the URL cache;
    // false when there was none to remove.
    bool DeleteUrlCacheEntry() const;

    // Makes the folder and every missing folder above it; true when it exists afterwards.
    static bool CreateFolders(const char* path);

private:
    bool Rebuild(const std::string& folder, const std::string& name);

    std::string name_;
    std::string folder_;
    std::string full_;
};
