#include "interaction/MouseHandler.h"

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "render/Window.h"

// The shared handling of buttons, keys, pop-up menus and the control's timers needs the
// central object and the view windows; the modes bring it with them.
void MouseHandler::OnMouseMove(intptr_t) {}
void MouseHandler::OnLButtonDown(intptr_t) {}
void MouseHandler::OnLButtonUp(intptr_t) {}
void MouseHandler::OnLButtonDblClk(intptr_t) {}
void MouseHandler::OnSingleClick(intptr_t) {}
void MouseHandler::OnRButtonDown(intptr_t) {}
void MouseHandler::OnRButtonUp(intptr_t) {}
void MouseHandler::OnMButtonDown(intptr_t) {}
void MouseHandler::OnMButtonUp(intptr_t) {}
void MouseHandler::OnKeyDown(unsigned) {}
void MouseHandler::OnKeyUp(unsigned) {}
void MouseHandler::Activate() {}
void MouseHandler::Deactivate() {}
void MouseHandler::OnMouseHover(intptr_t) {}
void MouseHandler::OnMouseLeave(intptr_t) {}
void MouseHandler::OnTimer(unsigned) {}
MouseHandler::~MouseHandler() = default;
void MouseHandler::SetEditLock(bool) {}
void MouseHandler::ReleaseTarget() {}
bool MouseHandler::HandlesObject(PickableObject*) {
    return false;
}
void MouseHandler::ArrowKeyStep() {}
void MouseHandler::CommitCameraMove() {}
void MouseHandler::SetBusyCursor(bool) {}
bool MouseHandler::PickTarget(Vector&, int, int) {
    return false;
}

void MouseHandler::SwitchMouseMode(int mode) {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (!PRECONDITION(window != nullptr, "No active window to switch the mouse mode in")) return;
    if (!window->SetMouseMode(mode)) return;
    window->GetCurrentMode()->SetEditLock(false);
}
