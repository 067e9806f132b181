#include "support/LiveControl.h"

#include <cstdio>

#include "control/BaseControl.h"
#include "platform/Input.h"
#include "render/Window.h"

LiveControl::LiveControl(int width, int height)
    : temporaryEnv_("TMPDIR", temporary_.Path()) {
    server_.Start();
    factory_ = CDuzazododiza::MakeFactory();
    platform::RegisterClassFactory(CDuzazododiza::kClassId, factory_.Get());
    platform::CreateInstance(CDuzazododiza::kClassId, &object_);
    control = dynamic_cast<CDuzazododiza*>(theControl());
    if (!object_ || !control) return;
    std::snprintf(control->contentDomain, sizeof control->contentDomain, "http://%s",
                  server_.Address().c_str());
    platform::WindowCreateInfo host;
    host.width = width;
    host.height = height;
    host_ = platform::CreateWindow(host);
    object_->CreateObjectWindow(host_, width, height, &window);
}

LiveControl::~LiveControl() {
    // Keys and buttons that a test left down are up for the next one.
    for (int key : {platform::VK_LBUTTON, platform::VK_RBUTTON, platform::VK_MBUTTON,
                    platform::VK_SHIFT, platform::VK_CONTROL, platform::VK_LEFT, platform::VK_UP,
                    platform::VK_RIGHT, platform::VK_DOWN})
        platform::SetKeyState(key, false);
    if (platform::IsWindow(window)) platform::DestroyWindow(window);
    object_.Reset();
    platform::DestroyWindow(host_);
    platform::RevokeClassFactory(CDuzazododiza::kClassId);
}

bool LiveControl::PumpUntilRunning() {
    return Started() && PumpUntil([&] {
               control->LockRender();
               const bool running = control->IsRunning() && control->mainWindow &&
                                    control->mainWindow->deviceContext;
               control->UnlockRender();
               return running;
           });
}

void LiveControl::Post(uint32_t message, platform::WParam wParam, platform::LParam lParam) {
    platform::PostMessage(window, message, wParam, lParam);
    platform::PumpUntilIdle();
}

void LiveControl::Mouse(uint32_t message, int x, int y, platform::WParam buttons) {
    Post(message, buttons, platform::MakeLParam(x, y));
}

bool LiveControl::WaitForPasses(int passes) {
    int64_t last = 0;
    control->LockRender();
    last = control->passEnd;
    control->UnlockRender();
    int seen = 0;
    return PumpUntil([&] {
        control->LockRender();
        const int64_t now = control->passEnd;
        control->UnlockRender();
        if (now != last) {
            last = now;
            ++seen;
        }
        return seen >= passes;
    });
}
