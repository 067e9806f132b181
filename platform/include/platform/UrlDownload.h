#pragma once

#include <cstdint>
#include <string>

#include "platform/Component.h"

namespace platform {

// Steps a download reports with its progress.
enum DownloadStatus : uint32_t {
    kDownloadConnecting = 2,
    kDownloadBeginData = 4,
    kDownloadData = 5,
    kDownloadEndData = 6,
    // The text is the path of the cache file that holds (or will hold) the download. A
    // download answered from the cache reports only this step.
    kDownloadCacheFileAvailable = 14,
};

// Receives the steps of a URL download on the thread that downloads. A callback that
// answers E_ABORT stops the download, which then fails; other answers are ignored.
class IDownloadStatusCallback : public IUnknown {
public:
    static constexpr Guid kIid = {
        0x6B1D0000, 0x4C3A, 0x4E52, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01}};

    // Before the request goes out.
    virtual HRESULT OnStartBinding() = 0;
    // `progress` bytes of `progressMax` (0 when the size is not known yet).
    virtual HRESULT OnProgress(uint64_t progress, uint64_t progressMax, uint32_t statusCode,
                               const char* statusText) = 0;
    // Once at the end, with S_OK or the failure, and a text saying why it failed.
    virtual HRESULT OnStopBinding(HRESULT result, const char* error) = 0;
};

// The user's cache of downloaded files, with its trailing '/': $KIVORA_URL_CACHE when set
// (tests point it at a folder of their own), else "kivora/urlcache/" in $XDG_CACHE_HOME
// or in ~/.cache.
std::string UrlCacheFolder();

// The cache file that holds `url`: named by a hash of the whole address, never by its
// path, so no address can reach outside the cache folder.
std::string UrlCacheFileName(const std::string& url);

// Fetches `url` into the cache and puts the cache file's path into `cacheFile`. A file
// already in the cache is used as it is, without a request. Only "http://" addresses with
// a plain host name (and an optional ":port") are fetched; a reply that is not a 2xx
// status, a cut transfer or an abort by `status` (which may be null) fails and leaves
// nothing in the cache. The file appears whole or not at all, so downloads of the same
// address may run at once. `error` (optional) says why it failed.
bool DownloadUrlToCache(const std::string& url, std::string* cacheFile,
                        IDownloadStatusCallback* status, std::string* error = nullptr);

// Fetches `url` into the file `path` (whose folder exists), replacing it, under the same
// rules; the cache is not used.
bool DownloadUrlToFile(const std::string& url, const std::string& path,
                       IDownloadStatusCallback* status, std::string* error = nullptr);

}  // namespace platform
