#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "control/BaseControl.h"
#include "support/TestControl.h"

// A control whose window side keeps what it is told: the progress bar's owner (one at a
// time, hidden only by the owner that holds it), the status text and the progress details.
class RecordingControl : public BaseControl {
public:
    void ShowMainProgress(bool show, intptr_t owner) override {
        std::lock_guard<std::mutex> guard(mutex);
        if (show) {
            if (progressOwner == 0) progressOwner = owner;
            return;
        }
        hideRequests.push_back(owner);
        if (owner != progressOwner) return;
        progressOwner = 0;
        globalState.SetInteger(10, 0);
        globalState.SetDouble(16, 0.0);
    }
    void SetStatusText(const char* text) override { globalState.SetString(2, text); }
    void SetProgressDetail(double size, intptr_t owner) override {
        std::lock_guard<std::mutex> guard(mutex);
        details.emplace_back(size, owner);
    }
    void PostHostMessage(uint32_t) override {}
    void QueryUserStatus() override {}

    // Initialised, drawing and with no wait screen.
    void Run() {
        initialised = 1;
        sceneRenderingEnabled = 1;
        waitScreenLevel = 0.0;
    }

    std::mutex mutex;
    std::vector<intptr_t> hideRequests;
    std::vector<std::pair<double, intptr_t>> details;
};
