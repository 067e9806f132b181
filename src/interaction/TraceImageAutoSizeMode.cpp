#include "interaction/TraceImageAutoSizeMode.h"

#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "control/dialogs/LengthDialog.h"
#include "foundation/Trace.h"
#include "interaction/TraceImageModel.h"
#include "render/Window.h"

namespace {

constexpr int kWorkingElevation = 4;  // floor-state double

TraceImageModel* ActiveImage(Window* window) {
    return window ? window->traceImage : nullptr;
}

}  // namespace

void TraceImageAutoSizeMode::Activate() {
    BaseControl* control = theControl();
    if (!control) return;
    if (!ActiveImage(ActiveWindow())) {
        SwitchMouseMode(kSelectionMode);
        control->ShowResourceMessageModal(kNoImageMessage);
        return;
    }
    armed_ = 0;
    defaultCursor = platform::LoadCursor(kCursor);
    UseCursor(defaultCursor);
    LengthDialog dialog(nullptr);
    dialog.SetLength(kPresetLength);
    dialog.SetPrompt(control->LoadResourceString(kPromptString));
    if (dialog.Show() == Dialog::kOk)
        control->globalState.SetDouble(kLengthSlot, dialog.GetLength());
    else
        SwitchMouseMode(kSelectionMode);
}

void TraceImageAutoSizeMode::Deactivate() {
    defaultCursor = platform::kArrowCursor;
    armed_ = 0;
}

bool TraceImageAutoSizeMode::ProjectPointer(int x, int y, Vector& out) const {
    Window* window = ActiveWindow();
    BaseControl* control = theControl();
    if (!window || !control) return false;
    const Vector point = window->ScreenToHeightPlane(
        x, y, control->floorState.GetDouble(kWorkingElevation));
    if (Window::IsNoIntersection(point)) return false;
    out = point;
    return true;
}

void TraceImageAutoSizeMode::OnLButtonDown(intptr_t packedPoint) {
    MouseHandler::OnLButtonDown(packedPoint);
    const MouseInput& in = Input();
    if (!in.left || in.right) return;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    RenderLockScope hold;
    armed_ = ProjectPointer(point.x, point.y, start_) ? 1 : 0;
    end_ = start_;
}

void TraceImageAutoSizeMode::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    const MouseInput& in = Input();
    if (!armed_ || !in.left || in.right || in.eKey || in.space || moveCount < 1) return;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    RenderLockScope hold;
    ProjectPointer(point.x, point.y, end_);
}

uint32_t TraceImageAutoSizeMode::ApplyScale(TraceImageModel& image) {
    BaseControl* control = theControl();
    const double length = control->globalState.GetDouble(kLengthSlot);
    const double drawn = start_.Distance(end_);
    // A line of no length, or a length that is no number, scales nothing.
    if (length == 0.0 || !std::isfinite(length) || !(drawn > 0.0) || !std::isfinite(drawn))
        return kFailureMessage;
    const double factor = length / drawn;
    Vector scale = image.scale;
    scale.Scale(factor);
    if (!std::isfinite(scale.x) || !std::isfinite(scale.y) || !std::isfinite(scale.z) ||
        scale.x <= 0.0 || scale.z <= 0.0)
        return kFailureMessage;
    control->BeginUndoGroup();
    image.BeginUndoStep();
    image.SetScaleVector(scale);
    image.EndUndoStep();
    control->EndUndoGroup();
    return kSuccessMessage;
}

void TraceImageAutoSizeMode::OnLButtonUp(intptr_t packedPoint) {
    const MouseInput& in = Input();
    const bool counts = in.left && !in.right && !in.eKey && !in.space && moveCount >= kMinimumMoves;
    MouseHandler::OnLButtonUp(packedPoint);
    BaseControl* control = theControl();
    TraceImageModel* image = ActiveImage(ActiveWindow());
    if (!control || !image) {
        armed_ = 0;
        SwitchMouseMode(kSelectionMode);
        return;
    }
    uint32_t message = 0;
    if (counts && armed_) {
        RenderLockScope hold(control);
        message = ApplyScale(*image);
    }
    armed_ = 0;
    image->SetSelected(false);
    SwitchMouseMode(kSelectionMode);
    if (message) control->ShowResourceMessageModal(message);
}
