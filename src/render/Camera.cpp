// Camera and projection of a view window: projection and model-view set-up, the
// per-frame OpenGL state, the view modes and their stored cameras, camera presets and
// movement, fitting the plan into the view and the screen/world conversions.

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "render/ViewTransaction.h"
#include "render/Window.h"

namespace {

constexpr double kDegreesToRadians = M_PI / 180.0;

constexpr double kPerspectiveNear = 1.0;
constexpr double kPerspectiveFar = 6500.0;
constexpr double kOrthoDepth = 3000.0;
constexpr double kPickRegion = 0.1;
constexpr double kMinimumZoom = 10.0;

// Type bits the fit looks at.
constexpr uint64_t kSlabBit = 0x1;
constexpr uint64_t kCatalogueModelBit = 0x8;
constexpr uint64_t kWallBit = 0x40;
constexpr uint64_t kFitTypes = 0x1C8;            // models, walls, floors, roofs
constexpr uint64_t kNeverFitTypes = 0x10400000;  // lights, trace image
constexpr double kOrthoFitMargin = 56.0;
constexpr double kElevationFloorMargin = 20.0;
constexpr double kPerspectiveFitNarrowing = 5.0;
constexpr double kPerspectiveFitBackOff = 60.0;
// Keeps the fit's horizontal half angle a real angle in very wide windows.
constexpr double kMaxFitHalfAngle = 85.0 * kDegreesToRadians;

constexpr int kStepIntoViewMode = 12;
constexpr double kStepIntoViewEyeHeight = 66.0;
constexpr double kStepIntoViewPickHeight = 56.0;
constexpr double kStepIntoViewPitch = 5.0;

constexpr double kMarkerScalePerUnit = 0.03;
constexpr double kMarkerScaleBase = 0.5;
constexpr double kMarkerScaleMax = 5.0;

// Grey of an empty workspace, shown until the control is initialised.
constexpr float kWorkspaceGrey = 171.0f / 255.0f;

std::atomic<const FitPointReader*> fitPointReader{nullptr};
std::atomic<bool> blueprintZoomNoted{false};

bool IsStoredCameraMode(int mode) {
    return mode >= 0 && mode < Window::kStoredCameras;
}

// `v` turned from the camera's frame into the world: by -pitch about x, then -yaw about y.
Vector FromCameraFrame(Vector v, double pitchRadians, double yawRadians) {
    v.RotateAboutAxisIndex(-pitchRadians, 0);
    v.RotateAboutAxisIndex(-yawRadians, 1);
    return v;
}

Vector NoIntersection() {
    Vector v;
    v.Set(DBL_MAX, DBL_MAX, DBL_MAX, DBL_MAX);
    return v;
}

}  // namespace

void SetFitPointReader(const FitPointReader* reader) {
    fitPointReader.store(reader);
}

int Window::GetViewMode() const {
    const int mode = viewFlags.GetInteger(0);
    return mode >= 0 && mode <= kOverheadView ? mode : kIdentityView;
}

bool Window::IsOrthographicView() const {
    const int mode = GetViewMode();
    return mode == kBlueprintView || mode == kElevationView;
}

bool Window::IsElevationView() const {
    return GetViewMode() == kElevationView;
}

void Window::SetupProjection(double x, double y) {
    theTrace().WriteStep("Start of SetupProjection...");
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (viewFlags.GetBoolean(3)) {
        GLint viewport[4];
        for (int i = 0; i < 4; ++i) viewport[i] = viewportCache[i];
        gluPickMatrix(x, viewport[3] - y, kPickRegion, kPickRegion, viewport);
    }
    theTrace().WriteStep("After gluPickMatrix setup");

    const Vector zoom = camera.GetVector(2);
    switch (GetViewMode()) {
        case kPerspectiveView:
        case kOverheadView:
            gluPerspective(fieldOfView, aspect, kPerspectiveNear, kPerspectiveFar);
            theTrace().WriteStep("Perspective/Overhead setup");
            break;
        case kBlueprintView:
            glOrtho(-zoom.x, zoom.x, -zoom.y, zoom.y, -kOrthoDepth, kOrthoDepth);
            theTrace().WriteStep("Blueprint setup");
            if (!blueprintZoomNoted.exchange(true)) {
                char note[96];
                std::snprintf(note, sizeof note, "OX = %f OY=%f;", zoom.x, zoom.y);
                theTrace().AppendNote(note);
            }
            break;
        case kElevationView:
            glOrtho(-zoom.x, zoom.x, 0.0, 2.0 * zoom.y, -kOrthoDepth, kOrthoDepth);
            theTrace().WriteStep("Elevation setup");
            break;
        default:
            break;  // identity
    }
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    theTrace().WriteStep("End of SetupProjection...");
}

void Window::SetupModelView() {
    theTrace().WriteStep("Start of SetupModelView...");
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const Vector rotation = camera.GetVector(1);
    const Vector offset = camera.GetVector(0);
    glRotated(rotation.x, 1.0, 0.0, 0.0);
    glRotated(rotation.y, 0.0, 1.0, 0.0);
    glTranslated(offset.x, offset.y, offset.z);
    theTrace().WriteStep("End of SetupModelView...");
}

void Window::InitGLState() {
    glEnable(GL_DEPTH_TEST);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glShadeModel(GL_SMOOTH);

    BaseControl* control = theControl();
    if (!control || !control->initialised) {
        glClearColor(kWorkspaceGrey, kWorkspaceGrey, kWorkspaceGrey, 0.0f);
    } else if (GetViewMode() == kBlueprintView) {
        const int scheme =
            std::clamp(control->blueprintColorScheme, 0, BaseControl::kBlueprintColors / 8 - 1);
        const float* background = control->blueprintColors[scheme * 8];
        glClearColor(background[0], background[1], background[2], background[3]);
    } else if (GetViewMode() == kElevationView) {
        glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
    } else {
        const Vector sky = control->globalState.GetVector(1);
        glClearColor(static_cast<float>(sky.x), static_cast<float>(sky.y),
                     static_cast<float>(sky.z), 0.0f);
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const GLfloat ambient[] = {0.45f, 0.45f, 0.45f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    if (!statusBar1.holdCaption) statusBar1.SetText("", false);
}

void Window::CacheMatrices() {
    if (viewFlags.GetBoolean(3)) return;
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    for (int i = 0; i < 4; ++i) viewportCache[i] = viewport[i];
    glGetDoublev(GL_PROJECTION_MATRIX, projectionCache.get());
    glGetDoublev(GL_MODELVIEW_MATRIX, modelViewCache.get());
}

// ---- View modes and stored cameras ----

void Window::SaveCameraPreset(int mode) {
    if (!PRECONDITION(IsStoredCameraMode(mode), "View mode out of range")) return;
    storedCameras[mode].CopyFrom(camera);
}

void Window::RestoreCameraPreset(int mode) {
    if (!PRECONDITION(IsStoredCameraMode(mode), "View mode out of range")) return;
    camera.CopyFrom(storedCameras[mode]);
    Vector zoom = camera.GetVector(2);
    zoom.y = zoom.x / aspect;
    camera.SetVector(2, zoom);
}

bool Window::SetViewMode(int mode) {
    // The identity view is never chosen; the view flags refuse it.
    if (!PRECONDITION(IsStoredCameraMode(mode) && mode != kIdentityView, "View mode out of range"))
        return false;
    BeginViewTransaction();
    SaveCameraPreset(GetViewMode());
    viewFlags.SetInteger(0, mode);
    RestoreCameraPreset(mode);
    EndViewTransaction();
    return true;
}

void Window::InitCameraPresets() {
    auto preset = [this](int mode, const Vector& offset, const Vector& rotation) {
        storedCameras[mode].SetVector(0, offset);
        storedCameras[mode].SetVector(1, rotation);
    };
    preset(kBlueprintView, Vector(0, -400, 0), Vector(90, -90, 0));
    preset(kElevationView, Vector(0, 20, 0), Vector(0, 0, 0));
    preset(kOverheadView, Vector(0, -350, 0), Vector(90, -90, 0));
    preset(kPerspectiveView, Vector(-350, -400, 225), Vector(38, 595, 0));
    camera.CopyFrom(storedCameras[GetViewMode()]);
}

void Window::ApplyCameraPreset(int n) {
    if (n < 0 || n > 5) return;
    RenderLockScope lock;
    const double pitch = camera.GetVector(1).x;
    const int mode = GetViewMode();
    static constexpr double kSideYaw[4] = {0.0, 180.0, 90.0, -90.0};
    static const Vector kSideOffset[4] = {Vector(0, -400, -700), Vector(0, -400, 700),
                                          Vector(700, -400, 0), Vector(-700, -400, 0)};

    if (n < 4) {
        if (mode == kPerspectiveView) camera.SetVector(0, kSideOffset[n]);
        camera.SetVector(1, Vector(pitch, kSideYaw[n], 0));
    } else if (n == 4) {
        if (mode == kPerspectiveView) {
            Vector offset = camera.GetVector(0);
            offset.y -= 120.0;
            camera.SetVector(0, offset);
            camera.SetVector(1, Vector(90, -90, 0));
        } else if (mode == kElevationView) {
            SetViewMode(kBlueprintView);
        }
    } else if (mode == kPerspectiveView) {
        camera.SetVector(0, Vector(-350, -400, 225));
        camera.SetVector(1, Vector(38, 595, 0));
    } else if (!ZoomToExtents()) {
        switch (mode) {
            case kBlueprintView:
                camera.SetVector(0, Vector(0, -400, 0));
                camera.SetVector(1, Vector(90, -90, 0));
                break;
            case kElevationView:
                camera.SetVector(0, Vector(0, 20, 0));
                camera.SetVector(1, Vector(0, 0, 0));
                break;
            case kOverheadView:
                camera.SetVector(0, Vector(0, -350, 0));
                camera.SetVector(1, Vector(90, -90, 0));
                break;
            default:
                break;
        }
    }
    SaveCameraPreset(GetViewMode());
}

// ---- Movement ----

void Window::MoveCamera(const Vector& v) {
    Vector offset = camera.GetVector(0);
    offset.Add(v);
    camera.SetVector(0, offset);
}

void Window::TurnCamera(double degrees) {
    Vector rotation = camera.GetVector(1);
    rotation.y += degrees;
    camera.SetVector(1, rotation);
}

void Window::TiltCamera(double degrees) {
    Vector rotation = camera.GetVector(1);
    rotation.x += degrees;
    camera.SetVector(1, rotation);
}

void Window::StrafeCamera(double d) {
    const double yaw = camera.GetVector(1).y * kDegreesToRadians;
    Vector eye = camera.GetVector(0);
    eye.Scale(-1.0);
    eye.z -= std::sin(yaw) * d;
    eye.x -= std::cos(yaw) * d;
    eye.Scale(-1.0);
    camera.SetVector(0, eye);
}

void Window::MoveCameraForward(double d) {
    const double yaw = camera.GetVector(1).y * kDegreesToRadians;
    Vector offset = camera.GetVector(0);
    offset.z += std::cos(-yaw) * d;
    offset.x += std::sin(-yaw) * d;
    camera.SetVector(0, offset);
}

void Window::MoveCameraAlongView(double d) {
    const double pitch = camera.GetVector(1).x * kDegreesToRadians;
    MoveCameraForward(std::sin(pitch) * d);
    MoveCamera(Vector(0.0, -std::cos(pitch) * d, 0.0));
}

bool Window::ZoomBy(double d) {
    if (IsOrthographicView()) {
        Vector zoom = camera.GetVector(2);
        const double halfWidth = zoom.x + d;
        const double halfHeight = zoom.y + d / aspect;
        if (halfWidth <= kMinimumZoom || halfHeight <= kMinimumZoom) return false;
        zoom.x = halfWidth;
        zoom.y = halfHeight;
        camera.SetVector(2, zoom);
        if (IsElevationView()) MoveCamera(Vector(0.0, d / aspect, 0.0));
        return true;
    }
    const Vector rotation = camera.GetVector(1);
    const double pitch = rotation.x * kDegreesToRadians;
    const double yaw = rotation.y * kDegreesToRadians;
    Vector offset = camera.GetVector(0);
    offset.z -= std::cos(pitch) * std::cos(-yaw) * d;
    offset.x -= std::cos(pitch) * std::sin(-yaw) * d;
    offset.y += std::sin(-pitch) * d;
    camera.SetVector(0, offset);
    return true;
}

// ---- Fitting the plan into the view ----

std::vector<Vector> Window::CollectFitPoints() const {
    std::vector<Vector> points;
    const FitPointReader* reader = fitPointReader.load();
    BaseControl* control = theControl();
    if (!reader || !control) return points;
    const bool blueprint = GetViewMode() == kBlueprintView;

    control->scene.Lock();
    for (LinkedListObject* object = control->scene.GetHead(); object; object = object->GetNext()) {
        const uint64_t mask = reader->TypeMask(*object);
        if (!(mask & kFitTypes) || (mask & kNeverFitTypes)) continue;
        if (mask & kSlabBit) {
            reader->OutlinePoints(*object, points);
            if (blueprint && (mask & kWallBit)) {
                Vector extra[2];
                reader->WallFitPoints(*object, extra);
                points.insert(points.end(), extra, extra + 2);
            }
        } else if (mask & kCatalogueModelBit) {
            Vector corners[8];
            reader->BoxCorners(*object, corners);
            points.insert(points.end(), corners, corners + 8);
        } else {
            POSTCONDITION(false, "This object type is not supported by ZIZ");
        }
    }
    control->scene.Unlock();
    return points;
}

bool Window::FitOrthographic(const std::vector<Vector>& points) {
    if (points.empty()) return false;
    const Vector rotation = camera.GetVector(1);
    const double pitch = rotation.x * kDegreesToRadians;
    const double yaw = rotation.y * kDegreesToRadians;
    const Vector right = FromCameraFrame(Vector(1, 0, 0), pitch, yaw);
    const Vector up = FromCameraFrame(Vector(0, 1, 0), pitch, yaw);

    const Vector& first = points.front();
    double minR = 0.0, maxR = 0.0, minU = 0.0, maxU = 0.0;
    for (const Vector& p : points) {
        Vector relative = p;
        relative.Subtract(first);
        const double r = relative.Dot(right);
        const double u = relative.Dot(up);
        minR = std::min(minR, r);
        maxR = std::max(maxR, r);
        minU = std::min(minU, u);
        maxU = std::max(maxU, u);
    }

    const double upCentre = IsElevationView() ? minU - kElevationFloorMargin : (minU + maxU) / 2.0;
    Vector centre = first;
    Vector along = right;
    along.Scale((minR + maxR) / 2.0);
    centre.Add(along);
    along = up;
    along.Scale(upCentre);
    centre.Add(along);
    centre.Scale(-1.0);
    camera.SetVector(0, centre);

    const double heightAsWidth = std::fabs(maxU - minU) * aspect;
    const double spanR = std::fabs(maxR - minR);
    const double w = spanR <= heightAsWidth ? heightAsWidth : spanR;
    Vector zoom = camera.GetVector(2);
    zoom.x = (w + kOrthoFitMargin) / 2.0;
    zoom.y = (w + kOrthoFitMargin) / (2.0 * aspect);
    camera.SetVector(2, zoom);
    return true;
}

bool Window::FitPerspective(const std::vector<Vector>& points) {
    if (points.empty()) return false;
    if (height <= kFitMarginPixels) {
        TraceWrite("The view is too low to fit the plan");
        return false;
    }
    const double vh = (fieldOfView - kPerspectiveFitNarrowing) / 2.0 * kDegreesToRadians;
    if (vh <= 0.0) return false;
    const double hh =
        std::min(vh * static_cast<double>(width) / (height - kFitMarginPixels), kMaxFitHalfAngle);
    if (hh <= 0.0) return false;

    const Vector rotation = camera.GetVector(1);
    const double pitch = rotation.x * kDegreesToRadians;
    const double yaw = rotation.y * kDegreesToRadians;
    auto turned = [&](double angle, int axis) {
        Vector v(0, 0, 1);
        v.RotateAboutAxisIndex(angle, axis);
        return FromCameraFrame(v, pitch, yaw);
    };
    // d points from the scene back to the eye; the side directions are the edges of the
    // narrowed frustum, each carrying points onto the reference plane where they would
    // meet the frustum's side.
    const Vector d = FromCameraFrame(Vector(0, 0, 1), pitch, yaw);
    const Vector toMaxRight = turned(hh, 1), toMinRight = turned(-hh, 1);
    const Vector toMaxUp = turned(vh, 0), toMinUp = turned(-vh, 0);
    const Vector right = FromCameraFrame(Vector(-1, 0, 0), pitch, yaw);
    const Vector up = FromCameraFrame(Vector(0, 1, 0), pitch, yaw);

    const Vector& first = points.front();
    auto along = [&](const Vector& p, const Vector& direction, const Vector& axis, double& value) {
        Vector to = p;
        to.Add(direction);
        Vector hit;
        if (!hit.IntersectLinePlane(p, to, first, d)) return false;
        hit.Subtract(first);
        value = hit.Dot(axis);
        return true;
    };
    double minR = 0.0, maxR = 0.0, minU = 0.0, maxU = 0.0;
    for (size_t i = 1; i < points.size(); ++i) {
        const Vector& p = points[i];
        double value;
        if (along(p, toMaxRight, right, value)) maxR = std::max(maxR, value);
        if (along(p, toMinRight, right, value)) minR = std::min(minR, value);
        if (along(p, toMaxUp, up, value)) maxU = std::max(maxU, value);
        if (along(p, toMinUp, up, value)) minU = std::min(minU, value);
    }

    // A point h nearer the eye than the reference plane, u across, lies inside when
    // |u - centre| <= tan(half angle) (t - h) with the eye t away from the plane.
    const double depth =
        std::max((maxR - minR) / (2.0 * std::tan(hh)), (maxU - minU) / (2.0 * std::tan(vh)));
    Vector eye = first;
    Vector step = right;
    step.Scale((minR + maxR) / 2.0);
    eye.Add(step);
    step = up;
    step.Scale((minU + maxU) / 2.0);
    eye.Add(step);
    step = d;
    step.Scale(depth + kPerspectiveFitBackOff);
    eye.Add(step);
    eye.Scale(-1.0);
    camera.SetVector(0, eye);
    return true;
}

bool Window::ZoomToExtents() {
    const bool opened = pendingViewTransaction == nullptr;
    BeginViewTransaction();
    BaseControl* control = theControl();
    if (control) control->LockRender();
    const std::vector<Vector> points = CollectFitPoints();
    if (points.empty()) {
        if (control) control->UnlockRender();
        // Nothing moved: the change that was begun here is dropped.
        if (opened) {
            delete pendingViewTransaction;
            pendingViewTransaction = nullptr;
        }
        return false;
    }
    const bool fitted = IsOrthographicView() ? FitOrthographic(points) : FitPerspective(points);
    if (currentMode) currentMode->CommitCameraMove();
    if (control) control->UnlockRender();
    EndViewTransaction();
    return fitted;
}

// ---- Stepping into the view ----

void Window::StepIntoViewAt(int x, int y) {
    BaseControl* control = theControl();
    Window* target = control && control->mainWindow ? control->mainWindow : this;
    Vector eye;
    if (x == -1 || y == -1) {
        eye = target->camera.GetVector(0);
        eye.Scale(-1.0);
        eye.y = (control ? control->floorState.GetDouble(4) : 0.0) + kStepIntoViewEyeHeight;
    } else {
        MouseHandler* mode = target->GetMode(kStepIntoViewMode);
        if (!mode || !mode->PickTarget(eye, x, y)) {
            TraceWrite("Nothing to step into under the cursor");
            return;
        }
        eye.y += kStepIntoViewPickHeight;
    }
    target->viewFlags.SetInteger(0, kPerspectiveView);
    eye.Scale(-1.0);
    target->camera.SetVector(0, eye);
    Vector rotation = target->camera.GetVector(1);
    rotation.x = kStepIntoViewPitch;
    target->camera.SetVector(1, rotation);
}

// ---- Screen and world ----

namespace {

// The window point (x, y from the bottom) at `depth` through the cached matrices.
bool Unproject(const double* modelView, const double* projection, const int32_t* cachedViewport,
               double x, double y, double depth, Vector& out) {
    GLint viewport[4];
    for (int i = 0; i < 4; ++i) viewport[i] = cachedViewport[i];
    double wx, wy, wz;
    if (gluUnProject(x, y, depth, modelView, projection, viewport, &wx, &wy, &wz) != GL_TRUE)
        return false;
    out = Vector(wx, wy, wz);
    return true;
}

}  // namespace

bool Window::ClampHeightBelowEye(double& height) const {
    BaseControl* control = theControl();
    if (!control) return false;
    Vector eye;
    if (!Unproject(modelViewCache.get(), projectionCache.get(), viewportCache.get(),
                   viewportCache[2] / 2.0, viewportCache[3] / 2.0, 0.0, eye))
        return false;
    if (height < eye.y) return false;
    if (!PRECONDITION(GetViewMode() != kBlueprintView, "Shouldn't be here in blueprint mode"))
        return false;
    const double ground = control->floorState.GetDouble(9);
    const double step = control->wallState.GetDouble(5);
    if (step <= 0.0) return false;
    height = std::floor((eye.y - ground) / step) * step + ground;
    return true;
}

Vector Window::ScreenToHeightPlane(double x, double y, double h) const {
    const double windowY = viewportCache[3] - y - 1.0;
    Vector nearPoint, farPoint;
    if (!Unproject(modelViewCache.get(), projectionCache.get(), viewportCache.get(), x, windowY,
                   0.0, nearPoint) ||
        !Unproject(modelViewCache.get(), projectionCache.get(), viewportCache.get(), x, windowY,
                   1.0, farPoint) ||
        nearPoint.y == farPoint.y)
        return NoIntersection();
    const double t = (h - nearPoint.y) / (farPoint.y - nearPoint.y);
    return Vector(nearPoint.x + t * (farPoint.x - nearPoint.x), h,
                  nearPoint.z + t * (farPoint.z - nearPoint.z));
}

Vector Window::ScreenToPlane(double x, double y, const Vector& point, const Vector& normal) const {
    const double windowY = viewportCache[3] - y - 1.0;
    Vector nearPoint, farPoint, hit;
    if (!Unproject(modelViewCache.get(), projectionCache.get(), viewportCache.get(), x, windowY,
                   0.0, nearPoint) ||
        !Unproject(modelViewCache.get(), projectionCache.get(), viewportCache.get(), x, windowY,
                   1.0, farPoint) ||
        !hit.IntersectLinePlane(nearPoint, farPoint, point, normal))
        return NoIntersection();
    return hit;
}

bool Window::IsNoIntersection(const Vector& v) {
    return v.x == DBL_MAX && v.y == DBL_MAX && v.z == DBL_MAX;
}

Vector Window::UnprojectViewCenter() const {
    const double cx = viewportCache[2] / 2.0;
    const double cy = viewportCache[3] / 2.0;
    Vector nearPoint, farPoint;
    if (!Unproject(modelViewCache.get(), projectionCache.get(), viewportCache.get(), cx, cy, 0.0,
                   nearPoint) ||
        !Unproject(modelViewCache.get(), projectionCache.get(), viewportCache.get(), cx, cy, 1.0,
                   farPoint))
        return Vector();
    nearPoint.Subtract(farPoint);
    nearPoint.Normalize();
    return nearPoint;
}

double Window::GetMarkerScale(const Vector& point) const {
    const double* m = modelViewCache.get();
    double d = m[2] * point.x + m[6] * point.y + m[10] * point.z + m[14];
    if (GetViewMode() == kBlueprintView) d += camera.GetVector(2).x;
    return std::min(kMarkerScalePerUnit * std::fabs(d) + kMarkerScaleBase, kMarkerScaleMax);
}

void Window::ResetViewOptions() {
    viewFlags.SetInt64(0, 0);
    viewFlags.SetInt64(1, 0);
    viewFlags.SetBoolean(7, true);
    viewFlags.SetBoolean(4, false);
    viewFlags.SetBoolean(12, false);
}
