#include "interaction/CameraModes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "platform/Input.h"
#include "render/Window.h"

namespace {

// A plain left drag: the left button without the right one or the space bar.
bool PlainLeftDrag(bool withE) {
    const MouseInput& in = MouseHandler::Input();
    return in.left && !in.right && !in.space && !(withE && in.eKey);
}

}  // namespace

double YawFromMatrix(double m0, double m2) {
    const double c = std::isfinite(m0) ? std::clamp(m0, -1.0, 1.0) : 1.0;
    const double yaw = std::acos(c) * 57.29577951308;
    return m2 < 0.0 ? -yaw : yaw;
}

// ---- Zoom ----------------------------------------------------------------------------------

void ZoomMode::Activate() {
    defaultCursor = platform::LoadCursor(kZoomCursor);
    UseCursor(defaultCursor);
}

void ZoomMode::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    Window* window = ActiveWindow();
    if (!window || moveCount <= 0 || !PlainLeftDrag(false)) return;
    const MouseInput& in = Input();
    window->BeginViewTransaction();
    if (moveCount == 1 && in.current.y > in.press.y) ZoomTowardCursor();
    DragZoom();
}

// ---- Pan -----------------------------------------------------------------------------------

void PanMode::Activate() {
    defaultCursor = platform::LoadCursor(kPanCursor);
    UseCursor(defaultCursor);
}

void PanMode::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    Window* window = ActiveWindow();
    if (!window || moveCount <= 0 || !PlainLeftDrag(false)) return;
    window->BeginViewTransaction();
    DragPan();
}

// ---- Orbit ---------------------------------------------------------------------------------

void RotateAroundMode::Activate() {
    defaultCursor = platform::LoadCursor(kOrbitCursor);
    UseCursor(defaultCursor);
}

void RotateAroundMode::OnLButtonDown(intptr_t packedPoint) {
    MouseHandler::OnLButtonDown(packedPoint);
    orbiting = Input().left;
    RenderLockScope lock;
    SetOrbitPivot(false);
}

void RotateAroundMode::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    Window* window = ActiveWindow();
    if (!window || moveCount <= 0 || !PlainLeftDrag(false)) return;
    window->BeginViewTransaction();
    DragOrbit();
}

void RotateAroundMode::OnLButtonUp(intptr_t packedPoint) {
    MouseHandler::OnLButtonUp(packedPoint);
    orbiting = Input().left;
}

// ---- Look around -----------------------------------------------------------------------------

void LookAroundMode::Activate() {
    defaultCursor = platform::LoadCursor(kLookCursor);
    UseCursor(defaultCursor);
}

void LookAroundMode::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    Window* window = ActiveWindow();
    if (!window || moveCount <= 0 || !PlainLeftDrag(false)) return;
    window->BeginViewTransaction();
    DragLook();
}

// ---- Elevation -------------------------------------------------------------------------------

void ElevationMode::Activate() {
    defaultCursor = platform::LoadCursor(kVerticalCursor);
    UseCursor(defaultCursor);
}

void ElevationMode::Deactivate() {
    MouseHandler::Deactivate();
    defaultCursor = savedCursor;
    UseCursor(defaultCursor);
}

void ElevationMode::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    Window* window = ActiveWindow();
    if (!window || moveCount <= 0 || !PlainLeftDrag(false)) return;
    window->BeginViewTransaction();
    DragVertical();
}

// ---- Walk ------------------------------------------------------------------------------------

void WalkMode::Activate() {
    defaultCursor = platform::LoadCursor(kWalkCursor);
    UseCursor(defaultCursor);
}

void WalkMode::Deactivate() {
    MouseHandler::Deactivate();
    defaultCursor = savedCursor;
    UseCursor(defaultCursor);
}

int WalkMode::DirectionCursor(int dx, int dy, int stepY) {
    const int ax = std::abs(dx), ay = std::abs(dy);
    if (ay > ax && (ax == 0 || ay > 2 * ax)) return stepY < 0 ? kWalkCursor : kBackCursor;
    if (ax > ay && (ay == 0 || ax > 2 * ay)) return dx < 0 ? kLeftCursor : kRightCursor;
    if (dy < 0) return dx < 0 ? kUpLeftCursor : kUpRightCursor;
    return dx < 0 ? kDownLeftCursor : kDownRightCursor;
}

void WalkMode::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    Window* window = ActiveWindow();
    if (!window || moveCount <= 0 || !PlainLeftDrag(true)) return;
    const MouseInput& in = Input();
    window->BeginViewTransaction();
    if (window->GetViewMode() == Window::kBlueprintView) {
        DragPan();
        defaultCursor = platform::LoadCursor(kPanCursor);
        UseCursor(defaultCursor);
        return;
    }
    cameraMoved = 1;
    defaultCursor = platform::LoadCursor(kWalkCursor);
    const int dx = in.current.x - in.previous.x;
    const int dy = in.current.y - in.previous.y;
    {
        RenderLockScope lock;
        // Halved, rounding towards minus infinity.
        const int half = dx >= 0 ? dx / 2 : -((-dx + 1) / 2);
        window->TurnCamera(half * turnSpeed);
        window->MoveCameraForward(-dy);
    }
    if (!IsCameraInBounds()) {
        CommitCameraMove();
        return;
    }
    defaultCursor = platform::LoadCursor(
        DirectionCursor(in.current.x - historyX[0], in.current.y - historyY[0], dy));
    FollowGround();
    UseCursor(defaultCursor);
}
