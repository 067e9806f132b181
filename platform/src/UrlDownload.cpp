#include "platform/UrlDownload.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/Files.h"
#include "platform/Http.h"

namespace platform {
namespace {

// A download is refused beyond this size.
constexpr size_t kMaxDownloadBytes = size_t{512} << 20;
constexpr char kAgent[] = "Kivora Control";

// The host (with its optional port) and the path of an "http://" address. The fragment
// stays on this side.
bool SplitHttpUrl(const std::string& url, std::string* host, std::string* path) {
    if (url.size() <= 7 || strncasecmp(url.c_str(), "http://", 7) != 0) return false;
    std::string rest = url.substr(7);
    rest.erase(std::min(rest.find('#'), rest.size()));
    const size_t end = rest.find_first_of("/?");
    *host = rest.substr(0, end);
    *path = end == std::string::npos ? "/" : rest.substr(end);
    if ((*path)[0] != '/') path->insert(0, "/");
    return !host->empty();
}

uint64_t Fnv1a(const std::string& text, uint64_t basis) {
    uint64_t hash = basis;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

bool IsRegularFile(const std::string& path, uint64_t* size) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    *size = static_cast<uint64_t>(info.st_size);
    return true;
}

// Tells the callback and the caller how a download ended.
bool Finish(IDownloadStatusCallback* status, bool ok, HRESULT failure, const std::string& why,
            std::string* error) {
    if (status) status->OnStopBinding(ok ? S_OK : failure, ok ? "" : why.c_str());
    if (!ok && error) *error = why;
    return ok;
}

// Fetches `url` into `target` through a file beside it that is renamed over it once
// whole. `cacheName`, when not empty, is reported as the cache file.
bool Fetch(const std::string& url, const std::string& target, const std::string& cacheName,
           IDownloadStatusCallback* status, std::string* error) {
    HttpRequest request;
    if (!SplitHttpUrl(url, &request.host, &request.path))
        return Finish(status, false, E_INVALIDARG, "not an http:// address: " + url, error);
    auto report = [&](uint64_t progress, uint64_t max, uint32_t code, const char* text) {
        return !status || status->OnProgress(progress, max, code, text) != E_ABORT;
    };
    if (status && status->OnStartBinding() == E_ABORT)
        return Finish(status, false, E_ABORT, "stopped by the caller", error);
    if (!report(0, 0, kDownloadConnecting, url.c_str()) ||
        (!cacheName.empty() && !report(0, 0, kDownloadCacheFileAvailable, cacheName.c_str())))
        return Finish(status, false, E_ABORT, "stopped by the caller", error);

    std::vector<char> temp(target.begin(), target.end());
    for (char c : std::string(".part-XXXXXX")) temp.push_back(c);
    temp.push_back(0);
    const int fd = mkstemp(temp.data());
    if (fd < 0) return Finish(status, false, E_FAIL, "cannot write beside " + target, error);
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(temp.data());
        return Finish(status, false, E_FAIL, "cannot write beside " + target, error);
    }

    bool writeFailed = false;
    bool begun = false;
    request.agent = kAgent;
    request.maxBodyBytes = kMaxDownloadBytes;
    request.onBody = [&](const char* data, size_t size) {
        if (std::fwrite(data, 1, size, file) == size) return true;
        writeFailed = true;
        return false;
    };
    request.onProgress = [&](uint64_t received, uint64_t total) {
        uint32_t code = kDownloadConnecting;
        if (received > 0) {
            code = begun ? kDownloadData : kDownloadBeginData;
            begun = true;
        }
        return report(received, total, code, url.c_str());
    };
    const HttpResponse response = SendHttpRequest(request);
    const bool closed = std::fclose(file) == 0;

    std::string why;
    HRESULT failure = E_FAIL;
    if (response.aborted && !writeFailed) {
        why = "stopped by the caller";
        failure = E_ABORT;
    } else if (writeFailed || !closed) {
        why = "cannot write beside " + target;
    } else if (!response.replied) {
        why = response.error;
    } else if (response.status < 200 || response.status > 299) {
        why = "HTTP status " + std::to_string(response.status);
    } else if (response.truncated) {
        why = "more than " + std::to_string(kMaxDownloadBytes) + " bytes";
    }
    uint64_t size = 0;
    if (why.empty() && !IsRegularFile(temp.data(), &size)) why = "download vanished";
    if (why.empty() && !report(size, size, kDownloadEndData, url.c_str())) {
        why = "stopped by the caller";
        failure = E_ABORT;
    }
    if (why.empty() && !RenameFile(temp.data(), target.c_str())) why = "cannot write " + target;
    if (!why.empty()) {
        unlink(temp.data());
        return Finish(status, false, failure, why, error);
    }
    return Finish(status, true, S_OK, "", error);
}

}  // namespace

std::string UrlCacheFolder() {
    std::string folder;
    if (const char* own = std::getenv("KIVORA_URL_CACHE"); own && *own) {
        folder = own;
    } else {
        if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') {
            folder = xdg;
        } else {
            const char* home = std::getenv("HOME");
            folder = std::string(home && *home ? home : "/tmp") + "/.cache";
        }
        folder += "/kivora/urlcache";
    }
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string UrlCacheFileName(const std::string& url) {
    char name[40];
    std::snprintf(name, sizeof name, "%016llx%016llx",
                  static_cast<unsigned long long>(Fnv1a(url, 0xCBF29CE484222325ull)),
                  static_cast<unsigned long long>(Fnv1a(url, 0x84222325CBF29CE4ull)));
    return UrlCacheFolder() + name;
}

bool DownloadUrlToCache(const std::string& url, std::string* cacheFile,
                        IDownloadStatusCallback* status, std::string* error) {
    const std::string path = UrlCacheFileName(url);
    uint64_t size = 0;
    if (IsRegularFile(path, &size)) {
        if (status) {
            if (status->OnStartBinding() == E_ABORT ||
                status->OnProgress(size, size, kDownloadCacheFileAvailable, path.c_str()) ==
                    E_ABORT)
                return Finish(status, false, E_ABORT, "stopped by the caller", error);
        }
        if (cacheFile) *cacheFile = path;
        return Finish(status, true, S_OK, "", error);
    }
    if (!MakeFolders(UrlCacheFolder()))
        return Finish(status, false, E_FAIL, "cannot make the cache folder " + UrlCacheFolder(),
                      error);
    if (!Fetch(url, path, path, status, error)) return false;
    if (cacheFile) *cacheFile = path;
    return true;
}

bool DownloadUrlToFile(const std::string& url, const std::string& path,
                       IDownloadStatusCallback* status, std::string* error) {
    if (path.empty()) return Finish(status, false, E_INVALIDARG, "no file named", error);
    return Fetch(url, path, "", status, error);
}

}  // namespace platform
