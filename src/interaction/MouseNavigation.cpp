// Camera moves that every mouse mode offers: the drags chosen by the buttons and held
// keys, the orbit about a pivot, the zoom keys, arrow-key motion and the eye following
// the ground while walking.

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "building/Stairs.h"
#include "building/Terrain.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "model/RenderableObject.h"
#include "render/Window.h"

namespace {

constexpr double kDegreesToRadians = M_PI / 180.0;

constexpr double kPerspectiveMoveSpeed = 0.001;
constexpr double kPerspectiveTurnSpeed = 0.004;
constexpr double kOrthographicSpeed = 0.005;
constexpr double kMinTurnSpeed = 0.2;
constexpr double kMaxTurnSpeed = 0.4;
constexpr double kMinZoomSpeed = 0.05;
constexpr double kZoomDragFactor = 4.0;
constexpr double kOrbitPitchPerPixel = 0.33;
constexpr double kYawStep = 45.0;
constexpr double kLookTiltFactor = 0.33;
constexpr double kLookTurnFactor = 0.5;
// The look drag's distance factor: (w - 50) / 30 for a camera distance w above 50, else
// 1. The camera keeps its start distance of 50, so the factor is 1.
constexpr double kLookDistanceFactor = 1.0;

// A pivot this far away is brought in to a point this far along the same ray.
constexpr double kFarPivot = 1000.0;
constexpr double kNearPivot = 360.0;
constexpr double kPivotRadiusSquared = 6250000.0;
constexpr double kPivotPullIn = 0.8;

constexpr double kMinBlueprintZoom = 10.0;
constexpr double kMaxBlueprintZoom = 4000.0;
constexpr double kStoredMinBlueprintZoom = 10.01;
constexpr double kLowestEye = 5.0;
constexpr double kHighestEye = 4000.0;
constexpr double kStoredLowestEye = 4.99;
constexpr double kStoredHighestEye = 3999.99;
constexpr double kWorldRadius = 2500.0;
constexpr double kStoredWorldRadius = 2499.0;

constexpr double kArrowStrafe = 3.0;
constexpr double kArrowTurn = 1.0;
constexpr double kArrowMove = 3.0;

constexpr double kEyeAboveGround = 60.0;
constexpr double kStairsReach = 18.0;
constexpr double kGroundReach = 36.0;

Vector EyeOf(const Window& window) {
    Vector eye = window.camera.GetVector(0);
    eye.Scale(-1.0);
    eye.w = 1.0;
    return eye;
}

void SetEye(Window& window, Vector eye) {
    eye.Scale(-1.0);
    eye.w = 1.0;
    window.camera.SetVector(0, eye);
}

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The scene point under window pixel (x, y); false where nothing is drawn.
bool SceneUnder(Window& window, int x, int y, Vector& out) {
    Vector under;
    window.GetUnderCursor(x, y, under);
    // A drawn pixel carries its depth (below 1) in w.
    if (!(under.w < 1.0) || !IsFinite(under)) return false;
    under.w = 1.0;
    out = under;
    return true;
}

bool IsMapWindow(const Window* window) {
    const BaseControl* control = theControl();
    return control && window && control->FindMapWindow() == window;
}

}  // namespace

// ---- Speeds and bounds -------------------------------------------------------------

void MouseHandler::ComputeDragSpeeds() {
    Window* window = ActiveWindow();
    if (!window) return;
    if (window->IsOrthographicView()) {
        moveSpeed = turnSpeed = window->camera.GetVector(2).x * kOrthographicSpeed;
    } else {
        const Vector eye = EyeOf(*window);
        double distance = eye.Distance(anchorPoint);
        if (!std::isfinite(distance)) distance = 0.0;
        anchorDistance = distance;
        moveSpeed = distance * kPerspectiveMoveSpeed;
        turnSpeed = distance * kPerspectiveTurnSpeed;
    }
    if (!std::isfinite(moveSpeed)) moveSpeed = 0.0;
    turnSpeed = std::isfinite(turnSpeed) ? std::clamp(turnSpeed, kMinTurnSpeed, kMaxTurnSpeed)
                                         : kMinTurnSpeed;
}

bool MouseHandler::IsCameraInBounds() const {
    const Window* window = ActiveWindow();
    if (!window) return false;
    const Vector offset = window->camera.GetVector(0);
    if (window->GetViewMode() == Window::kBlueprintView) {
        const double zoom = window->camera.GetVector(2).x;
        if (!(zoom > kMinBlueprintZoom && zoom <= kMaxBlueprintZoom)) return false;
    }
    if (!window->IsOrthographicView() && !(offset.y > -kHighestEye && offset.y < -kLowestEye))
        return false;
    return std::hypot(offset.x, offset.z) < kWorldRadius;
}

void MouseHandler::CommitCameraMove() {
    Window* window = ActiveWindow();
    if (!window) return;
    if (window->GetViewMode() == Window::kBlueprintView) {
        Vector zoom = window->camera.GetVector(2);
        const double clamped = std::clamp(zoom.x, kStoredMinBlueprintZoom, kMaxBlueprintZoom);
        if (clamped != zoom.x) {
            zoom.x = clamped;
            zoom.y = clamped / window->aspect;
            window->camera.SetVector(2, zoom);
        }
        return;
    }
    Vector offset = window->camera.GetVector(0);
    // An elevation's camera may stand below the ground: its view starts at the eye.
    if (!window->IsOrthographicView())
        offset.y = std::clamp(offset.y, -kStoredHighestEye, -kStoredLowestEye);
    const double distance = std::hypot(offset.x, offset.z);
    if (distance >= kWorldRadius) {
        offset.x *= kStoredWorldRadius / distance;
        offset.z *= kStoredWorldRadius / distance;
    }
    window->camera.SetVector(0, offset);
}

// ---- Drags -------------------------------------------------------------------------

void MouseHandler::DragZoom() {
    Window* window = ActiveWindow();
    if (!window || IsMapWindow(window)) return;
    RenderLockScope lock;
    cameraMoved = 1;
    SetDragging(true);
    const MouseInput& in = Input();
    const double speed = std::max(moveSpeed, kMinZoomSpeed);
    const double step = -kZoomDragFactor * (in.current.y - in.previous.y) * speed;
    if (window->ZoomBy(step)) {
        if (!IsCameraInBounds())
            window->ZoomBy(-step);
        else
            ComputeDragSpeeds();
    }
    CommitCameraMove();
}

void MouseHandler::DragVertical() {
    Window* window = ActiveWindow();
    if (!window || IsMapWindow(window)) return;
    RenderLockScope lock;
    cameraMoved = 1;
    SetDragging(true);
    const MouseInput& in = Input();
    window->MoveCamera(Vector(0.0, in.current.y - in.previous.y, 0.0));
    CommitCameraMove();
}

void MouseHandler::DragLook() {
    Window* window = ActiveWindow();
    if (!window || IsMapWindow(window)) return;
    if (window->GetViewMode() != Window::kPerspectiveView) return;
    RenderLockScope lock;
    cameraMoved = 1;
    SetDragging(true);
    const double v = window->fieldOfView;
    double f = 1.0;
    if (v <= 15.0)
        f = 2.5;
    else if (v < 55.0)
        f = 2.5 - (v - 15.0) / 35.0;
    const double g = kLookDistanceFactor;
    const MouseInput& in = Input();
    window->TiltCamera((in.current.y - in.previous.y) * turnSpeed * g * f * kLookTiltFactor);
    window->TurnCamera((in.current.x - in.previous.x) * turnSpeed * g * f * kLookTurnFactor);
}

void MouseHandler::DragPan() {
    Window* window = ActiveWindow();
    if (!window || IsMapWindow(window)) return;
    RenderLockScope lock;
    cameraMoved = 1;
    SetDragging(true);
    const MouseInput& in = Input();
    window->StrafeCamera(2.0 * (in.current.x - in.previous.x) * moveSpeed);
    window->MoveCameraAlongView((in.current.y - in.previous.y) * moveSpeed);
    CommitCameraMove();
}

// ---- Orbit -------------------------------------------------------------------------

void MouseHandler::SetOrbitPivot(bool usePressPoint) {
    Window* window = ActiveWindow();
    if (!window) return;
    RenderLockScope lock;
    const MouseInput& in = Input();
    const MousePoint point = usePressPoint ? in.press : in.current;
    const Vector eye = EyeOf(*window);
    const int mode = window->GetViewMode();

    if (!window->IsOrthographicView()) {
        Vector pivot;
        if (!SceneUnder(*window, point.x, point.y, pivot)) {
            // Nothing under the pointer: the point ahead on the view axis.
            Vector ahead = window->UnprojectViewCenter();
            ahead.Scale(-kNearPivot);
            pivot = eye;
            pivot.Add(ahead);
        }
        const double fromOrigin = std::hypot(pivot.x, pivot.z);
        if (eye.HorizontalDistance(pivot) > kFarPivot && fromOrigin > kFarPivot) {
            Vector toward = pivot;
            toward.Subtract(eye);
            toward.Normalize();
            toward.Scale(kNearPivot);
            pivot = eye;
            pivot.Add(toward);
        } else if (pivot.x * pivot.x + pivot.z * pivot.z > kPivotRadiusSquared) {
            pivot.x *= kPivotPullIn;
            pivot.z *= kPivotPullIn;
        }
        if (IsFinite(pivot)) orbitPivot = pivot;
    } else if (mode == Window::kBlueprintView) {
        const Vector ground = window->ScreenToHeightPlane(point.x, point.y, 0.0);
        if (!Window::IsNoIntersection(ground) && IsFinite(ground)) orbitPivot = ground;
    }
    orbitPivot.w = 1.0;
    orbitDistance = eye.Distance(orbitPivot);
    const Vector rotation = window->camera.GetVector(1);
    orbitYaw = rotation.y;
    orbitPitch = rotation.x;
}

void MouseHandler::DragOrbit() {
    Window* window = ActiveWindow();
    if (!window || IsMapWindow(window)) return;
    RenderLockScope lock;
    cameraMoved = 1;
    SetDragging(true);
    currentCursor = platform::LoadCursor(kOrbitCursor);
    const MouseInput& in = Input();
    const int mode = window->GetViewMode();
    const bool perspective = mode == Window::kPerspectiveView;
    const double dx = in.current.x - in.previous.x;
    const double dy = in.current.y - in.previous.y;

    const double formerPitch = orbitPitch;
    orbitYaw -= dx;
    if (perspective) orbitPitch -= kOrbitPitchPerPixel * dy;
    orbitPitch = std::clamp(orbitPitch, -90.0, 90.0);
    const double pitch = orbitPitch;
    const double yaw =
        perspective && !in.shift ? orbitYaw : std::floor(orbitYaw / kYawStep) * kYawStep;
    const double p = pitch * kDegreesToRadians;
    const double y = yaw * kDegreesToRadians;
    const double r = orbitDistance;

    double height = orbitPivot.y + r * std::sin(p);
    if (height < 0.0 && std::sin(formerPitch * kDegreesToRadians) >= std::sin(p)) {
        // The step would take the eye under the ground: it is taken back whole.
        orbitYaw += dx;
        orbitPitch = formerPitch;
        return;
    }
    if (mode == Window::kElevationView) height = EyeOf(*window).y;

    Vector rotation = window->camera.GetVector(1);
    rotation.y = yaw;
    if (perspective) rotation.x = pitch;
    window->camera.SetVector(1, rotation);
    const Vector eye(orbitPivot.x - r * std::cos(p) * std::sin(y), height,
                     orbitPivot.z + r * std::cos(p) * std::cos(y));
    if (IsFinite(eye)) SetEye(*window, eye);
}

void MouseHandler::ZoomTowardCursor() {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window || !control->IsRunning()) return;
    RenderLockScope lock(control);
    const MouseInput& in = Input();
    Vector target;
    bool found = SceneUnder(*window, in.press.x, in.press.y, target);
    if (!found && window->GetViewMode() == Window::kBlueprintView) {
        target = window->ScreenToHeightPlane(in.press.x, in.press.y,
                                             control->floorState.GetDouble(4));
        found = !Window::IsNoIntersection(target) && IsFinite(target);
    }
    // With nothing under the pointer the view stays where it is.
    if (!found) return;
    const Vector eye = EyeOf(*window);
    const Vector axis = window->UnprojectViewCenter();
    Vector move = target;
    move.Subtract(eye);
    Vector along = axis;
    along.Scale(move.Dot(axis));
    move.Subtract(along);
    Vector moved = eye;
    moved.Add(move);
    Vector offset = moved;
    offset.Scale(-1.0);
    if (window->IsElevationView()) offset.y += window->camera.GetVector(2).y;
    offset.w = 1.0;
    if (!IsFinite(offset)) return;
    window->camera.SetVector(0, offset);
    CommitCameraMove();
}

// ---- Arrow keys --------------------------------------------------------------------

void MouseHandler::StartKeyMotion() {
    Window* window = ActiveWindow();
    if (!window) return;
    MouseInput& in = Input();
    if (!in.keyMotionOpen) {
        window->BeginViewTransaction();
        in.keyMotionOpen = 1;
    }
    BaseControl* control = theControl();
    if (!window->IsOrthographicView() && !in.left && !in.right && !in.middle &&
        window->GetCurrentModeNumber() != kArrowKeyWalkMode)
        SwitchMouseMode(kArrowKeyWalkMode);
    Window* active = control ? control->activeWindow : window;
    if (active && active->GetCurrentMode()) active->GetCurrentMode()->ArrowKeyStep();
}

void MouseHandler::StopKeyMotion() {
    Window* window = ActiveWindow();
    if (!window) return;
    if (Input().arrowMotion != 0) {
        if (MouseHandler* current = window->GetCurrentMode()) current->ArrowKeyStep();
        return;
    }
    if (window->windowHandle != platform::kNoWindow)
        platform::SetTimer(window->windowHandle, kKeyMotionTimer, kKeyMotionEndMs);
}

void MouseHandler::ArrowKeyStep() {
    Window* window = ActiveWindow();
    if (!window) return;
    RenderLockScope lock;
    const MouseInput& in = Input();
    const bool sideways = in.shift || window->IsOrthographicView();
    const uint32_t bits = in.arrowMotion;
    if (bits & 1) {
        if (sideways)
            window->StrafeCamera(kArrowStrafe);
        else
            window->TurnCamera(-kArrowTurn);
    } else if (bits & 2) {
        if (sideways)
            window->StrafeCamera(-kArrowStrafe);
        else
            window->TurnCamera(kArrowTurn);
    }
    if (bits & 4) {
        if (sideways)
            window->MoveCameraAlongView(kArrowMove);
        else
            window->MoveCameraForward(kArrowMove);
    } else if (bits & 8) {
        if (sideways)
            window->MoveCameraAlongView(-kArrowMove);
        else
            window->MoveCameraForward(-kArrowMove);
    }
    if (!in.shift) FollowGround();
    CommitCameraMove();
    theTrace().Write("eAKMmh");
}

void MouseHandler::FollowGround() {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    RenderLockScope lock(control);
    Vector eye = EyeOf(*window);
    const double eyeHeight = eye.y;
    double height = eyeHeight;

    // The centre of the view on the near plane.
    Vector centre = eye;
    GLint viewport[4];
    for (int i = 0; i < 4; ++i) viewport[i] = window->viewportCache[i];
    if (viewport[2] > 0 && viewport[3] > 0) {
        double x = 0.0, y = 0.0, z = 0.0;
        if (gluUnProject(viewport[2] / 2.0, viewport[3] / 2.0, 0.0, window->modelViewCache.get(),
                         window->projectionCache.get(), viewport, &x, &y, &z) == GL_TRUE)
            centre = Vector(x, y, z);
    }

    bool onStairs = false;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* stairs = dynamic_cast<Stairs*>(node);
        if (!stairs) continue;
        const BoundingBox& box = stairs->GetBoundingBox();
        if (centre.x < box.min.x || centre.x > box.max.x || centre.z < box.min.z ||
            centre.z > box.max.z)
            continue;
        Vector origin, run;
        double rise = 0.0;
        if (!stairs->GetWalkingSlope(origin, run, rise)) continue;
        Vector along = centre;
        along.Subtract(origin);
        along.y = 0.0;
        const double candidate = rise * along.Dot(run) + box.min.y + kEyeAboveGround;
        if (std::fabs(candidate - eyeHeight) < kStairsReach) {
            height = candidate;
            onStairs = true;
        }
    }

    if (!onStairs) {
        const double ground = control->terrain ? control->terrain->GetHeightAt(eye.x, eye.z) : 0.0;
        const double standing = ground + kEyeAboveGround;
        if (std::isfinite(standing) && std::fabs(standing - eyeHeight) < kGroundReach &&
            standing >= kEyeAboveGround) {
            // A floor between the ground and the eye carries the walker.
            bool onFloor = false;
            for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
                auto* floor = dynamic_cast<RenderableObject*>(node);
                if (!floor || !(floor->GetTypeMask() & TypeBit::kFloor)) continue;
                const BoundingBox& box = floor->GetBoundingBox();
                if (box.max.y > standing - kEyeAboveGround && box.max.y < eyeHeight &&
                    eye.x > box.min.x && eye.x < box.max.x && eye.z > box.min.z &&
                    eye.z < box.max.z) {
                    onFloor = true;
                    break;
                }
            }
            if (!onFloor && standing != kEyeAboveGround) height = standing;
        }
    }
    it.UnlockList();

    eye.y = height;
    SetEye(*window, eye);
}
