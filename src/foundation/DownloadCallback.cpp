#include "foundation/DownloadCallback.h"

#include <algorithm>
#include <chrono>
#include <thread>

platform::HRESULT DownloadCallback::QueryInterface(const platform::Guid& iid, void** out) {
    if (!out) return platform::E_POINTER;
    if (iid == platform::IUnknown::kIid || iid == platform::IDownloadStatusCallback::kIid) {
        AddRef();
        *out = static_cast<platform::IDownloadStatusCallback*>(this);
        return platform::S_OK;
    }
    *out = nullptr;
    return platform::E_NOINTERFACE;
}

double DownloadPercent(uint64_t progress, uint64_t progressMax) {
    if (progressMax == 0) return 0.0;
    const double value = static_cast<double>(progress) / static_cast<double>(progressMax) * 100.0;
    return std::clamp(value, 0.0, 100.0);
}

void WaitUnlessCancelled(const DownloadCallback* callback, int milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < end) {
        if (callback && callback->IsCancelled()) return;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(std::chrono::milliseconds(10), end - Clock::now()));
    }
}
