#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

#include "control/Duzazododiza.h"
#include "platform/Component.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "support/LocalHttpServer.h"
#include "support/Pump.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

// The editor control made through its class factory in a headless host window, with its
// render thread and post-create step, run the way a host runs it: messages are posted to
// its window and the test thread pumps them. Its registry, program folder and temporary
// folder are the test's own, and its content server is a local one with nothing on it.
class LiveControl {
public:
    explicit LiveControl(int width = 64, int height = 48);
    ~LiveControl();
    LiveControl(const LiveControl&) = delete;
    LiveControl& operator=(const LiveControl&) = delete;

    bool Started() const { return control != nullptr && window != platform::kNoWindow; }
    // Pumps until the control runs (post-create done, wait screen gone); false when it does not.
    bool PumpUntilRunning();
    // Pumps the calling thread's messages until `done`; false once the patience runs out.
    template <class Done>
    static bool PumpUntil(Done done) {
        return ::PumpUntil(done);
    }
    // Posts a message to the control's window and pumps until the queue is empty.
    void Post(uint32_t message, platform::WParam wParam = 0, platform::LParam lParam = 0);
    // Mouse messages at window point (x, y) with the button flags of the keys held.
    void Mouse(uint32_t message, int x, int y, platform::WParam buttons = 0);
    // Waits until the render thread has finished `passes` more passes.
    bool WaitForPasses(int passes);
    // The temporary folder the control writes to (ends with '/').
    const std::string& TemporaryFolder() const { return temporary_.Path(); }

    ScopedRegistry registry;
    ScopedProgramFolder programFolder;
    CDuzazododiza* control = nullptr;
    platform::WindowHandle window = platform::kNoWindow;

private:
    TempFolder temporary_;
    ScopedEnv temporaryEnv_;
    LocalHttpServer server_;
    platform::RefPtr<platform::IClassFactory> factory_;
    platform::RefPtr<platform::IWindowedObject> object_;
    platform::WindowHandle host_ = platform::kNoWindow;
};
