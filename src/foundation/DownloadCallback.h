#pragma once

#include <atomic>
#include <cstdint>

#include "platform/UrlDownload.h"

// Base of the objects that follow a URL download (the editor's downloadable objects, the
// installer's downloads). The object's lifetime is its owner's: AddRef and Release count
// nothing. QueryInterface answers for IUnknown and the status callback only. Only the
// progress step is left to the derived class; the start and stop steps are not taken up.
//
// Cancel() asks a running download to stop: from then on the progress step answers
// E_ABORT, which ends the transfer at its next step.
class DownloadCallback : public platform::IDownloadStatusCallback {
public:
    DownloadCallback() = default;
    virtual ~DownloadCallback() = default;
    DownloadCallback(const DownloadCallback&) = delete;
    DownloadCallback& operator=(const DownloadCallback&) = delete;

    platform::HRESULT QueryInterface(const platform::Guid& iid, void** out) override;
    uint32_t AddRef() override { return 0; }
    uint32_t Release() override { return 0; }
    platform::HRESULT OnStartBinding() override { return platform::E_NOTIMPL; }
    platform::HRESULT OnStopBinding(platform::HRESULT, const char*) override {
        return platform::E_NOTIMPL;
    }

    void Cancel() { cancelled_.store(true); }
    bool IsCancelled() const { return cancelled_.load(); }

protected:
    void ClearCancel() { cancelled_.store(false); }

private:
    std::atomic<bool> cancelled_{false};
};

// Percentage done: 100 * progress / progressMax in floating point, kept within 0..100;
// 0 when the size is not known (progressMax 0).
double DownloadPercent(uint64_t progress, uint64_t progressMax);

// Waits `milliseconds`, or less when `callback` (which may be null) is cancelled meanwhile.
void WaitUnlessCancelled(const DownloadCallback* callback, int milliseconds);
