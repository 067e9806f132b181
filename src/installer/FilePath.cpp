#include "installer/FilePath.h"

#include <cerrno>
#include <cstring>

#include "foundation/Trace.h"
#include "installer/InstallerLog.h"
#include "platform/Files.h"
#include "platform/UrlDownload.h"

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

}  // namespace

bool FilePath::Rebuild(const std::string& folder, const std::string& name) {
    std::string full = folder;
    if (!full.empty() && !IsSeparator(full.back()) && !name.empty()) full += '/';
    full += name;
    if (!PRECONDITION(
            folder.size() <= kMaxLength && name.size() <= kMaxLength && full.size() <= kMaxLength,
            "File path too long"))
        return false;
    folder_ = folder;
    name_ = name;
    full_ = std::move(full);
    return true;
}

bool FilePath::SetName(const char* name) {
    if (!PRECONDITION(name != nullptr, "Null filename")) return false;
    if (IsSeparator(*name)) ++name;
    return Rebuild(folder_, name);
}

bool FilePath::SetFolder(const char* folder) {
    if (!PRECONDITION(folder != nullptr, "Null path")) return false;
    std::string f = folder;
    if (!f.empty() && IsSeparator(f.back())) f.pop_back();
    return Rebuild(f, name_);
}

bool FilePath::SetFullPath(const char* path) {
    if (!PRECONDITION(path != nullptr, "Unable to resolve full path")) return false;
    const char* split = std::strrchr(path, '/');
    if (!split) split = std::strrchr(path, '\\');
    if (!PRECONDITION(split != nullptr, "Unable to resolve full path")) return false;
    return Rebuild(std::string(path, split), split + 1);
}

bool FilePath::Delete() const {
    // Only full paths: without a program folder a bare name would point into the
    // current folder.
    if (full_.empty() || full_[0] != '/') return true;
    if (!platform::DeleteFile(full_.c_str()) && errno != ENOENT)
        InstallerLog("Could not delete %s", full_.c_str());
    return true;
}

bool FilePath::DeleteUrlCacheEntry() const {
    if (full_.empty()) return false;
    return platform::DeleteFile(platform::UrlCacheFileName(full_).c_str());
}

bool FilePath::CreateFolders(const char* path) {
    if (!PRECONDITION(path && *path, "Null folder name")) return false;
    return platform::MakeFolders(path);
}
