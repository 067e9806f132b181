#include "foundation/DownloadableObject.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "control/BaseControl.h"
#include "foundation/Cabinet.h"
#include "foundation/Trace.h"
#include "platform/Files.h"
#include "platform/Thread.h"

namespace {

bool IsHostEnd(char c) {
    return c == 0 || c == ' ' || c == '\t' || c == '/' || c == '\\';
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '/' || c == '\\' || c == ':';
}

}  // namespace

std::string HostPartOf(const char* address) {
    if (!address) return {};
    const char* p = address;
    while (*p && IsSeparator(*p)) ++p;
    if (strncasecmp(p, "http", 4) == 0 && IsSeparator(p[4])) {
        p += 4;
        while (*p && IsSeparator(*p)) ++p;
    }
    std::string host;
    for (; !IsHostEnd(*p); ++p) {
        if (*p == ':') {
            const char* q = p + 1;
            while (*q >= '0' && *q <= '9') ++q;
            if (q == p + 1 || !IsHostEnd(*q)) break;
            host.append(p, q);
            break;
        }
        host += *p;
    }
    return host;
}

DownloadableObject::DownloadableObject() = default;

DownloadableObject::~DownloadableObject() {
    CancelDownload();
    RemoveExtractFolder();
}

bool DownloadableObject::TakeURL(const char* text) {
    if (!PRECONDITION(text && *text, "urlp is empty")) return false;
    if (!PRECONDITION(std::strlen(text) < kTextSize, "url too long")) {
        theTrace().WriteFormat("Refused address : %.200s", text);
        return false;
    }
    std::memmove(url, text, std::strlen(text) + 1);
    std::snprintf(hostPart, sizeof hostPart, "%s", HostPartOf(url).c_str());
    return true;
}

bool DownloadableObject::OnDownloadThread() const {
    return threadId_.load() == std::this_thread::get_id();
}

platform::HRESULT DownloadableObject::OnProgress(uint64_t progress, uint64_t progressMax,
                                                 uint32_t statusCode, const char* statusText) {
    // The shared progress value is updated at the highest priority; the thread's own
    // priority comes back on every way out.
    platform::ScopedThreadPriority raised(platform::ThreadPriority::Highest);
    lastStatus = statusCode;
    if (statusCode == platform::kDownloadCacheFileAvailable && statusText)
        std::snprintf(cacheFileName, sizeof cacheFileName, "%s", statusText);
    if (IsCancelled()) return platform::E_ABORT;
    if (progressMax == 0) return platform::S_OK;

    double value = DownloadPercent(progress, progressMax);
    BaseControl* control = theControl();
    if (control) control->SetProgressDetail(static_cast<double>(progressMax), ProgressOwnerId());
    // A file answered from the cache shows barely any progress.
    if (statusCode == platform::kDownloadCacheFileAvailable) value = 1.0;
    if (control && strcasecmp(url, control->globalState.GetString(2).c_str()) == 0)
        control->globalState.SetDouble(16, value);
    return platform::S_OK;
}

bool DownloadableObject::StartDownload(const char* text) {
    BaseControl* control = theControl();
    if (!control || !control->IsRunning() || OnDownloadThread()) return DownloadNow(text);
    if (!PRECONDITION(text && *text, "urlp is empty")) return false;
    WaitForDownload();
    if (!TakeURL(text)) return false;
    OnDownloadStart();
    control->SetStatusText(url);
    StartDownloadThread([this] { DownloadThreadBody(); });
    return true;
}

void DownloadableObject::StartDownloadThread(std::function<void()> body) {
    if (OnDownloadThread()) {
        body();
        return;
    }
    ClearCancel();
    pending = true;
    // Another thread may start a download of this object meanwhile: the slot is taken
    // only when it is free.
    for (;;) {
        WaitForDownload();
        std::lock_guard<std::mutex> guard(threadMutex_);
        if (thread_.joinable()) continue;
        thread_ = std::thread([this, body = std::move(body)] {
            threadId_ = std::this_thread::get_id();
            platform::SetCurrentThreadPriority(platform::ThreadPriority::Normal);
            // Nothing of the object is touched once the body is done.
            body();
        });
        return;
    }
}

void DownloadableObject::DownloadThreadBody() {
    char address[kTextSize];
    std::memcpy(address, url, sizeof address);
    theTrace().WriteFormat("BDownload : %s", address);
    lastStatus = 0;
    cacheFile[0] = 0;
    if (BaseControl::DownloadToCacheWithRetry(url, cacheFile, sizeof cacheFile, this)) {
        if (!IsCancelled()) {
            if (isCompressed && !Decompress())
                theTrace().WriteFormat("Decompression failed: %s", cacheFile);
            if (!IsCancelled()) OnDownloadComplete();
        }
    } else if (BaseControl* control = theControl()) {
        // The control hides the bar only for the object that holds it.
        control->ShowMainProgress(false, ProgressOwnerId());
    }
    theTrace().WriteFormat("EDownload : %s", address);
}

bool DownloadableObject::DownloadNow(const char* text) {
    if (!PRECONDITION(text && *text, "urlp is empty")) return false;
    if (!OnDownloadThread()) {
        WaitForDownload();
        ClearCancel();
    }
    if (!TakeURL(text)) return false;
    OnDownloadStart();
    lastStatus = 0;
    cacheFile[0] = 0;
    if (!BaseControl::DownloadToCacheWithRetry(url, cacheFile, sizeof cacheFile, this))
        return false;
    if (isCompressed && !Decompress())
        theTrace().WriteFormat("Decompression failed: %s", cacheFile);
    // The hook may start another download of this object: the trace keeps its own copy.
    char address[kTextSize];
    std::memcpy(address, url, sizeof address);
    theTrace().WriteFormat("Pre  ADP : %s", address);
    OnDownloadComplete();
    theTrace().WriteFormat("Post ADP : %s", address);
    return true;
}

int DownloadableObject::WaitForDownload() {
    if (OnDownloadThread()) {
        PRECONDITION(false, "A download cannot wait for its own thread");
        return -1;
    }
    {
        std::lock_guard<std::mutex> guard(threadMutex_);
        if (!thread_.joinable()) return 0;
    }
    // The hook may need the render lock: every hold of this thread is given up first.
    BaseControl* control = theControl();
    const int held = control ? control->ReleaseRenderLockFully() : 0;
    {
        std::lock_guard<std::mutex> guard(threadMutex_);
        if (thread_.joinable()) thread_.join();
        threadId_ = std::thread::id();
    }
    if (control) control->ReacquireRenderLock(held);
    return 0;
}

void DownloadableObject::CancelDownload() {
    Cancel();
    if (!OnDownloadThread()) {
        WaitForDownload();
        return;
    }
    // Only a hook that deletes its own object gets here; the thread can only be let go.
    PRECONDITION(false, "A download object was deleted by its own thread");
    std::lock_guard<std::mutex> guard(threadMutex_);
    if (thread_.joinable()) thread_.detach();
}

bool DownloadableObject::Decompress() {
    decompressedFile[0] = 0;
    RemoveExtractFolder();
    extractFolder_ = platform::MakeUniqueFolder(platform::TemporaryFolder(), "kvdl-");
    bool ok =
        !extractFolder_.empty() && DecompressCabinet(cacheFile, extractFolder_.c_str(),
                                                     decompressedFile, sizeof decompressedFile);
    if (!ok && !extractFolder_.empty()) {
        WaitUnlessCancelled(this, 100);
        ok = DecompressCabinet(cacheFile, extractFolder_.c_str(), decompressedFile,
                               sizeof decompressedFile);
    }
    if (!ok) {
        decompressedFile[0] = 0;
        RemoveExtractFolder();
        theTrace().Write("End Downloading thread - fail");
        return false;
    }
    theTrace().Write("~decomp");
    return true;
}

void DownloadableObject::RemoveExtractFolder() {
    if (extractFolder_.empty()) return;
    platform::RemoveFolderTree(extractFolder_);
    extractFolder_.clear();
}
