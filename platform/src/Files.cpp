#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
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

namespace {

constexpr const char* kReplacementTag = ".kivora-";
constexpr size_t kReplacementLetters = 6;

void SetError(std::string* error, const std::string& what, const std::string& path) {
    if (error) *error = what + " " + path + ": " + std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path names once symbolic links at its end are followed (a dangling link
// names the file it points to); the path itself when it is no link.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> buffer(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0 || static_cast<size_t>(n) >= buffer.size()) return path;
        const std::string link(buffer.data(), static_cast<size_t>(n));
        path = link.front() == '/' ? link : FolderOf(path) + "/" + link;
    }
    return path;
}

// The beginning of the names of the temporary files that replace `target`.
std::string ReplacementPrefix(const std::string& target) {
    return "." + NameOf(target) + kReplacementTag;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // Some file systems cannot sync a folder; the rename stands all the same.
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

FileReplacement::~FileReplacement() {
    Abandon();
}

bool FileReplacement::Begin(const std::string& target, std::string* error) {
    Abandon();
    target_ = FollowLinks(target);
    RemoveStaleReplacements(target_);
    const std::string folder = FolderOf(target_);
    const std::string prefix = folder + "/" + ReplacementPrefix(target_);
    static const char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (size_t i = 0; i < kReplacementLetters; ++i)
            name += kLetters[random() % (sizeof kLetters - 1)];
        // The umask applies to the mode asked for: a new file gets 0666 less the umask.
        const int fd =
            ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            SetError(error, "cannot create a file beside", target_);
            return false;
        }
        // Held for the writer's whole life: a cleaner that gets the lock knows the writer
        // is gone.
        ::flock(fd, LOCK_EX | LOCK_NB);
        fd_ = fd;
        temp_ = name;
        return true;
    }
    errno = EEXIST;
    SetError(error, "cannot create a file beside", target_);
    return false;
}

bool FileReplacement::Commit(std::string* error) {
    if (fd_ < 0) {
        errno = EBADF;
        SetError(error, "nothing written for", target_);
        return false;
    }
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        ::fchmod(fd_, existing.st_mode & 07777) != 0) {
        SetError(error, "cannot keep the mode of", target_);
        Abandon();
        return false;
    }
    if (::fsync(fd_) != 0) {
        SetError(error, "cannot write", temp_);
        Abandon();
        return false;
    }
    // Renamed while still held, so that no cleaner takes it for a leftover meanwhile.
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        SetError(error, "cannot write", target_);
        Abandon();
        return false;
    }
    temp_.clear();
    SyncFolder(FolderOf(target_));
    ::close(fd_);
    fd_ = -1;
    return true;
}

void FileReplacement::Abandon() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void RemoveStaleReplacements(const std::string& target) {
    const std::string resolved = FollowLinks(target);
    const std::string folder = FolderOf(resolved);
    const std::string prefix = ReplacementPrefix(resolved);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + kReplacementLetters || name.rfind(prefix, 0) != 0)
            continue;
        const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st {};
        // A file that another writer holds is in use; one that no one holds is left over.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd, name.c_str(), 0);
        ::close(fd);
    }
    ::closedir(dir);
}

bool ReadDescriptorBytes(int fd, size_t size, std::vector<uint8_t>& bytes) {
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd, bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    if (done == size) return true;
    bytes.clear();
    return false;
}

bool ReadFileBytes(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (!path || !*path) return false;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
                    static_cast<uint64_t>(info.st_size) <= maxBytes &&
                    ReadDescriptorBytes(fd, static_cast<size_t>(info.st_size), bytes);
    close(fd);
    return ok;
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
