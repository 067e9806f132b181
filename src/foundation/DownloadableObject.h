#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "foundation/DownloadCallback.h"

// Base of every object that fetches content from the server: a model, a texture, a
// material, a light, dropped content, a description file. It fetches an address into the
// download cache, extracts the cabinet that arrived when the object is flagged as
// compressed, and calls the object's completion hook, which reads what arrived.
//
// While the control runs with no wait screen up, StartDownload fetches on a thread of the
// object's own; otherwise (before the control runs, during a plan load) the fetch happens
// at once on the calling thread.
//
// Lifetime: the object's owner ends a running download before the object goes, through
// WaitForDownload or CancelDownload. A derived class whose hook could still run calls
// CancelDownload() first in its own destructor (the base destructor does it too, but by
// then the derived part is gone). A hook never deletes its own object: the owner deletes
// it after the download returned or was waited for.
class DownloadableObject : public DownloadCallback {
public:
    // Size of the address and path texts, terminator included.
    static constexpr size_t kTextSize = 260;

    DownloadableObject();
    ~DownloadableObject() override;

    // Progress of the fetch, on the fetching thread: the shared progress value (a
    // percentage) follows the download whose address is the control's status text.
    platform::HRESULT OnProgress(uint64_t progress, uint64_t progressMax, uint32_t statusCode,
                                 const char* statusText) override;

    // The derived class's hook, called once the file is in place (after the extraction,
    // whether or not that worked; a failed extraction leaves no decompressed file). Runs on
    // the download thread for a threaded download.
    virtual int OnDownloadComplete() = 0;
    // Extracts the cache file into a folder of this object's own in the temporary folder
    // (downloads that unpack members of the same name never meet) and keeps the path of
    // the last member as the decompressed file. The folder goes with the next extraction
    // or with the object. False, leaving no decompressed file, when it fails twice.
    virtual bool Decompress();

    // Fetches `url` on a thread of its own when the control runs, else (and when called
    // from this object's own download thread) as DownloadNow. A previous download of this
    // object is waited for first. False, with a trace, for an empty or over-long address.
    bool StartDownload(const char* url);
    // Fetches `url` on the calling thread, extracts it when compressed and calls the hook.
    // True when the file arrived (and the hook ran).
    bool DownloadNow(const char* url);
    // Waits for the end of this object's download thread, with the caller's holds on the
    // render lock given up meanwhile and taken back after. 0, at once and leaving the lock
    // alone, when none runs; 0 after the wait; -1 (with a trace) when called from the
    // download thread itself.
    int WaitForDownload();
    // Asks a running download to stop (its hook is then not called) and waits for it.
    void CancelDownload();

    const char* GetURL() const { return url; }
    // The host of the address ("host" or "host:port" of "http://host:port/path"): the
    // domain that relative addresses in a downloaded description are joined to.
    const char* GetHostPart() const { return hostPart; }
    const char* GetCacheFile() const { return cacheFile; }
    const char* GetDecompressedFile() const { return decompressedFile; }
    // The cache file the download reported.
    const char* GetCacheFileName() const { return cacheFileName; }
    uint32_t GetLastStatus() const { return lastStatus.load(); }
    bool IsCompressed() const { return isCompressed != 0; }
    void SetCompressed(bool compressed) { isCompressed = compressed ? 1 : 0; }
    // Set once a threaded download was started.
    bool IsPending() const { return pending.load(); }
    // The identity under which this object owns the control's progress bar.
    intptr_t ProgressOwnerId() const {
        return reinterpret_cast<intptr_t>(static_cast<const DownloadableObject*>(this));
    }

protected:
    // The download thread's work: fetch, extract, hook.
    virtual void DownloadThreadBody();
    // Called on the starting thread as a download begins, before anything is fetched.
    virtual void OnDownloadStart() {}
    // Runs `body` on this object's download thread (after the previous one ended) so that
    // it is waited for and cancelled like a download; on the download thread itself, runs
    // it at once. For loads of a file already at hand.
    void StartDownloadThread(std::function<void()> body);

    char url[kTextSize] = {};
    char hostPart[kTextSize] = {};
    char cacheFile[kTextSize] = {};
    char decompressedFile[kTextSize] = {};
    char cacheFileName[kTextSize] = {};
    uint8_t isCompressed = 0;
    std::atomic<uint32_t> lastStatus{0};
    std::atomic<bool> pending{false};

private:
    // Copies `text` into `url` and its host into `hostPart`; false with a trace when it
    // is empty or does not fit.
    bool TakeURL(const char* text);
    bool OnDownloadThread() const;
    void RemoveExtractFolder();

    std::mutex threadMutex_;
    std::thread thread_;
    std::atomic<std::thread::id> threadId_{};
    std::string extractFolder_;
};

// The host of an address: after an optional "http:" and the slashes, up to the next
// blank, '/' or '\'; a ':' followed by a port number stays, any other ':' ends it.
std::string HostPartOf(const char* address);
