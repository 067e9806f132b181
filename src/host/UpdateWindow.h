#pragma once

#include <cstdint>
#include <functional>

#include "host/BaseWindow.h"
#include "host/HostResources.h"

// A window that only says "please wait" while work runs. The dialog shows on the calling
// thread, which owns the program's windows and keeps them painted, and the work runs on
// a thread of its own, which closes the dialog when it is done. A close that comes before
// the dialog is up keeps it from showing.
class UpdateWindow : public BaseWindow {
public:
    explicit UpdateWindow(uint32_t templateId = kUpdateDialog) : templateId_(templateId) {}

    // Runs `work` on a thread of its own while the dialog shows; returns once the work
    // is done, its thread has ended and the dialog is closed.
    void ShowWhile(const std::function<void()>& work);

protected:
    bool WaitsToBeClosed() const override { return true; }

private:
    const uint32_t templateId_;
};
