#include "platform/Files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace platform {

std::string TemporaryFolder() {
    std::string folder = "/tmp/";
    if (const char* dir = std::getenv("TMPDIR"); dir && *dir) folder = dir;
    if (folder.back() != '/') folder += '/';
    return folder;
}

bool RenameFile(const char* from, const char* to) {
    return from && to && std::rename(from, to) == 0;
}

bool DeleteFile(const char* path) {
    return path && unlink(path) == 0;
}

std::string MakeUniqueFolder(const std::string& parent, const char* prefix) {
    std::string folder = parent;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    folder += prefix ? prefix : "";
    folder += "XXXXXX";
    std::vector<char> name(folder.begin(), folder.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) return {};
    return std::string(name.data()) + '/';
}

bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    std::string part;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!part.empty()) mkdir(part.c_str(), 0700);
        }
        if (i < path.size()) part += path[i];
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool RemoveFolderTree(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    std::filesystem::remove_all(path, error);
    return !error && !std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace platform
