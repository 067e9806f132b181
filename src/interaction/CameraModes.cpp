#include "interaction/CameraModes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "building/Stairs.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "platform/Input.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"

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

// ---- Beam in -----------------------------------------------------------------------------

void BeamInMode::Activate() {
    BaseControl* control = theControl();
    if (control) control->globalState.SetBoolean(27, true);
    defaultCursor = platform::LoadCursor(kCursor);
    UseCursor(defaultCursor);
    if (Window* window = ActiveWindow()) {
        savedTypeMask = static_cast<uint64_t>(window->viewFlags.GetInt64(1));
        window->viewFlags.SetInt64(1, static_cast<int64_t>(savedTypeMask | 0x140));
    }
}

void BeamInMode::Deactivate() {
    BaseControl* control = theControl();
    if (control) control->globalState.SetBoolean(27, false);
    if (Window* window = ActiveWindow())
        window->viewFlags.SetInt64(1, static_cast<int64_t>(savedTypeMask));
    MouseHandler::Deactivate();
}

bool BeamInMode::FindTarget(int x, int y, Vector& out) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return false;
    const int picked = window->ProcessSelectionBuffer(x, y);
    PickableObject* first = picked > 1 ? window->GetPickedObject(0) : nullptr;
    constexpr uint64_t kTargetTypes = 0x20000080ull | (1ull << 39);
    if (first && first->HasType(kTargetTypes)) {
        if (first->HasType(TypeBit::kFloor)) {
            auto* floor = dynamic_cast<BaseSlab*>(first);
            if (floor) {
                const double h = floor->GetBoundingBox().min.y + floor->GetThickness() / 2.0 +
                                 kAboveTarget;
                const Vector p = window->ScreenToHeightPlane(x, y, h);
                if (Window::IsNoIntersection(p)) return false;
                out = p;
                return true;
            }
        }
        if (!first->HasType(TypeBit::kStairs)) {
            Vector p;
            window->GetUnderCursor(x, y, p);
            out = Vector(p.x, p.y, p.z);
            return true;
        }
        auto* stairs = dynamic_cast<Stairs*>(first);
        Vector origin, run;
        double rise = 0.0;
        if (stairs && stairs->GetWalkingSlope(origin, run, rise)) {
            // The plane through the foot of the flight that rises by `rise` per unit of run.
            Vector normal(-rise * run.x, 1.0, -rise * run.z);
            normal.Normalize();
            const Vector p = window->ScreenToPlane(x, y, origin, normal);
            if (Window::IsNoIntersection(p)) return false;
            out = Vector(p.x, p.y + kAboveTarget, p.z);
            return true;
        }
    }
    const Vector p =
        window->ScreenToHeightPlane(x, y, control->floorState.GetDouble(4) + kAboveTarget);
    if (Window::IsNoIntersection(p)) return false;
    out = p;
    return true;
}

void BeamInMode::OnLButtonDown(intptr_t packedPoint) {
    MouseHandler::OnLButtonDown(packedPoint);
    BaseControl* control = theControl();
    if (!control) return;
    RenderLockScope lock(control);
    control->SelectAll(false);
    const MouseInput& in = Input();
    Vector found;
    if (FindTarget(in.current.x, in.current.y, found)) target = found;
    control->globalState.SetBoolean(27, false);
}

void BeamInMode::OnMouseMove(intptr_t packedPoint) {
    // The camera marker turns with the pointer once there is one to show.
    MouseHandler::OnMouseMove(packedPoint);
}

void BeamInMode::OnLButtonUp(intptr_t packedPoint) {
    const MouseInput& in = Input();
    const bool wasLeft = in.left != 0;
    const bool moved = moveCount > 0;
    MouseHandler::OnLButtonUp(packedPoint);
    if (!wasLeft || in.right || in.space) return;
    RenderLockScope lock;
    if (moved) PlaceCamera(Vector(0.0, kEyeHeight, 0.0), 0.0);
}

void BeamInMode::OnSingleClick(intptr_t packedPoint) {
    RenderLockScope lock;
    PlaceCamera(Vector(0.0, kEyeHeight, 0.0), 0.0);
}

void BeamInMode::PlaceCamera(const Vector& eye, double yaw) {
    Window* window = ActiveWindow();
    if (!window) return;
    window->viewFlags.SetInt64(1, static_cast<int64_t>(savedTypeMask));
    window->BeginViewTransaction();
    window->viewFlags.SetInteger(0, Window::kPerspectiveView);
    window->camera.SetVector(0, Vector(-eye.x, -eye.y, -eye.z));
    Deactivate();
    window->currentModeNumber = kArrowKeyWalkMode;
    window->currentMode = window->GetMode(kArrowKeyWalkMode);
    if (window->currentMode) window->currentMode->Activate();
    window->camera.SetVector(1, Vector(5.0, yaw, 0.0));
    window->EndViewTransaction();
}
