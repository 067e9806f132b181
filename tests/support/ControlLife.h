#pragma once

#include <chrono>
#include <cstdio>
#include <thread>

#include "control/Duzazododiza.h"
#include "platform/Component.h"
#include "platform/Window.h"
#include "support/LocalHttpServer.h"
#include "support/Pump.h"

// One life of the control (of class `Control`) in a headless host window, made through
// the component layer with the content server pointed at a local server. Handlers may
// be added to `server` before Start().
template <class Control = CDuzazododiza>
class ControlLife {
public:
    ControlLife() = default;
    ~ControlLife() {
        object_.Reset();
        platform::DestroyWindow(host_);
        platform::RevokeClassFactory(CDuzazododiza::kClassId);
    }
    ControlLife(const ControlLife&) = delete;
    ControlLife& operator=(const ControlLife&) = delete;

    // Serves, makes the control with `planName` and its window of width x height.
    bool Start(const char* planName, int width = 64, int height = 48) {
        server.Start();
        factory_ = CDuzazododiza::MakeFactory([] { return new Control; });
        platform::RegisterClassFactory(CDuzazododiza::kClassId, factory_.Get());
        platform::CreateInstance(CDuzazododiza::kClassId, &object_);
        control = dynamic_cast<Control*>(theControl());
        if (!object_ || !control) return false;
        std::snprintf(control->contentDomain, sizeof control->contentDomain, "http://%s/",
                      server.Address().c_str());
        std::snprintf(control->planName, sizeof control->planName, "%s", planName);

        platform::WindowCreateInfo host;
        host.width = width;
        host.height = height;
        host_ = platform::CreateWindow(host);
        object_->CreateObjectWindow(host_, width, height, &window);
        return window != platform::kNoWindow;
    }

    // Through post-create: its last step arms the frame-rate timer.
    bool PumpThroughPostCreate() {
        return PumpUntil(
            [&] { return platform::GetTimerPeriod(window, CDuzazododiza::kFrameRateTimer) != 0; });
    }
    // Until the wait screen has gone and the scene shows.
    bool PumpUntilRunning() {
        return PumpThroughPostCreate() && PumpUntil([&] {
                   control->LockRender();
                   const bool running = control->IsRunning();
                   control->UnlockRender();
                   return running;
               });
    }

    LocalHttpServer server;
    Control* control = nullptr;
    platform::WindowHandle window = platform::kNoWindow;

private:
    platform::RefPtr<platform::IClassFactory> factory_;
    platform::RefPtr<platform::IWindowedObject> object_;
    platform::WindowHandle host_ = platform::kNoWindow;
};
