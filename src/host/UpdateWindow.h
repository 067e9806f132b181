#pragma once

#include <cstdint>
#include <mutex>
#include <thread>

#include "host/BaseWindow.h"
#include "host/HostResources.h"

// A window that only says "please wait": its dialog runs on a thread of its own until
// the window is closed from the thread that started it. A close that comes before the
// dialog is up keeps it from showing; the object waits for its thread before it goes.
class UpdateWindow : public BaseWindow {
public:
    explicit UpdateWindow(uint32_t templateId = kUpdateDialog) : templateId_(templateId) {}
    // Closes the window and waits for its thread.
    ~UpdateWindow() override;

    // Starts the thread that shows the dialog; 0 when it runs (or ran).
    int Start();
    // Ends the dialog (or keeps it from showing) and waits for the thread.
    void Close() override;

protected:
    bool WaitsToBeClosed() const override { return true; }

private:
    const uint32_t templateId_;
    std::mutex threadMutex_;
    std::thread thread_;
};
