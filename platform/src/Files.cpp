#include "platform/Files.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

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

}  // namespace platform
