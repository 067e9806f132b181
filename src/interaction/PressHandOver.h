#pragma once

#include <cstdint>

#include "control/BaseControl.h"
#include "interaction/MouseHandler.h"
#include "render/Window.h"

// Switches the active window to mode `mode` and hands the same press to its handler, at
// most once per press (a handler that hands the press back does not bounce it again).
// True when another handler took the press.
inline bool HandPressToMode(MouseHandler& from, int mode, intptr_t packedPoint) {
    MouseInput& in = MouseHandler::Input();
    BaseControl* control = theControl();
    if (in.handingOver || !control) return false;
    in.handingOver = 1;
    from.SwitchMouseMode(mode);
    MouseHandler* next = control->activeWindow ? control->activeWindow->GetCurrentMode() : nullptr;
    const bool handedOn = next && next != &from;
    if (handedOn) next->OnLButtonDown(packedPoint);
    in.handingOver = 0;
    return handedOn;
}
