#include "render/CameraIndicatorIcon.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "control/BaseControl.h"
#include "control/MapWindow.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "platform/GLContext.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

constexpr double kRadiansToDegrees = 57.29577951308;
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kArrowSize = 20.0;
constexpr double kMapScale = 0.005;
constexpr double kLevelLine = 200.0;
constexpr double kMapMargin = 1.25;
constexpr double kTurn = 10.0;

Window* MainView() {
    BaseControl* control = theControl();
    return control ? control->mainWindow : nullptr;
}

}  // namespace

CameraIndicatorIcon::~CameraIndicatorIcon() {
    if (discList != -1 && platform::GLContext::IsAnyCurrent())
        glDeleteLists(static_cast<GLuint>(discList), 1);
}

void CameraIndicatorIcon::BuildPropertyMenu(platform::Menu& menu) {
    menu.AppendItem(kMoveUp, "Move Camera Up");
    menu.AppendItem(kMoveDown, "Move Camera Down");
    menu.AppendItem(kLookUp, "Look Up");
    menu.AppendItem(kLookDown, "Look Down");
    menu.AppendItem(kGroundLevel, "Go To Ground Level");
}

bool CameraIndicatorIcon::ProcessPropertyMenu(uint32_t id) {
    BaseControl* control = theControl();
    PRECONDITION(control && control->mapWindow, "Map Window doesn't exist");
    Window* main = MainView();
    if (!main) return true;
    RenderLockScope lock(control);
    switch (id) {
        case kMoveUp:
            MapWindow::RaiseEye(*main, -MapWindow::kEyeStep);
            break;
        case kMoveDown:
            MapWindow::RaiseEye(*main, MapWindow::kEyeStep);
            break;
        case kLookUp:
            MapWindow::MoveEye(*main, -kTurn);
            break;
        case kLookDown:
            MapWindow::MoveEye(*main, kTurn);
            break;
        case kGroundLevel:
            main->StepIntoViewAt(-1, -1);
            break;
        default:
            break;
    }
    return true;
}

Vector CameraIndicatorIcon::GetEyePosition() const {
    Window* main = MainView();
    if (!main) return Vector();
    Vector eye = main->camera.GetVector(0);
    eye.Negate();
    eye.w = 1.0;
    return eye;
}

void CameraIndicatorIcon::StoreEye(Vector eye) {
    Window* main = MainView();
    if (!main || !std::isfinite(eye.x) || !std::isfinite(eye.y) || !std::isfinite(eye.z)) return;
    const double distance = eye.Length();
    if (distance > kMaxEyeDistance) {
        eye.x *= kMaxEyeDistance / distance;
        eye.z *= kMaxEyeDistance / distance;
    }
    eye.Negate();
    eye.w = 1.0;
    main->camera.SetVector(0, eye);
}

void CameraIndicatorIcon::SetPosition(const Vector& point) {
    MoveableObject::SetPosition(point);
    Vector eye = GetEyePosition();
    eye.x = point.x;
    eye.z = point.z;
    StoreEye(eye);
}

void CameraIndicatorIcon::OffsetPosition(const Vector& offset) {
    MoveableObject::OffsetPosition(offset);
    Vector eye = GetEyePosition();
    eye.x += offset.x;
    eye.z += offset.z;
    StoreEye(eye);
}

void CameraIndicatorIcon::LookAt(const Vector& point, const Vector&) {
    Window* main = MainView();
    if (!main) return;
    const Vector eye = GetEyePosition();
    const double dx = point.x - eye.x;
    const double dz = point.z - eye.z;
    if (dx == 0.0 && dz == 0.0) return;
    Vector rotation = main->camera.GetVector(1);
    rotation.y = std::atan2(dz, dx) * kRadiansToDegrees + 90.0;
    main->camera.SetVector(1, rotation);
}

void CameraIndicatorIcon::FitMapWindow(Window& map, const Vector& eye) {
    if (map.width == 0 || map.height == 0) return;
    const double aspect = static_cast<double>(map.width) / static_cast<double>(map.height);
    double zoomX = std::max(std::max(std::fabs(eye.x) * kMapMargin, kMinMapZoom),
                            std::max(std::fabs(eye.z) * kMapMargin, kMinMapZoom) * aspect);
    double zoomY = zoomX / aspect;
    if (zoomY < kMinMapZoom) {
        zoomY = kMinMapZoom;
        zoomX = kMinMapZoom * aspect;
    }
    Vector zoom = map.camera.GetVector(2);
    zoom.x = zoomX;
    zoom.y = zoomY;
    map.camera.SetVector(2, zoom);
}

void CameraIndicatorIcon::BuildDisc(double radius) {
    discList = static_cast<GLint>(glGenLists(1));
    if (discList <= 0) {
        discList = -1;
        return;
    }
    glNewList(static_cast<GLuint>(discList), GL_COMPILE);
    glBegin(GL_TRIANGLE_FAN);
    glVertex3d(0.0, 0.0, 0.0);
    for (int i = 12; i >= 0; --i) {
        const double a = i * M_PI / 6.0;
        glVertex3d(radius * std::sin(a), 0.0, radius * std::cos(a));
    }
    glEnd();
    glEndList();
}

void CameraIndicatorIcon::Render(Window& window) {
    if (!window.cameraIconFlag) return;
    Window* main = MainView();
    if (!main) return;
    const Vector eye = GetEyePosition();
    const Vector rotation = main->camera.GetVector(1);
    const double zoom = window.camera.GetVector(2).x;
    const double s = kArrowSize;
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT | GL_TRANSFORM_BIT);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glDepthFunc(GL_ALWAYS);
    glTranslated(eye.x, eye.y, eye.z);
    glRotated(-rotation.y, 0.0, 1.0, 0.0);
    glColor3ub(255, 0, 0);
    glPushName(GetPickName());
    glScaled(zoom * kMapScale, 1.0, zoom * kMapScale);
    glPushName(arrow.GetPickName());
    glBegin(GL_TRIANGLES);
    glVertex3d(0.0, 0.0, -2.0 * s);
    glVertex3d(-0.67 * s, 0.0, -0.8 * s);
    glVertex3d(0.67 * s, 0.0, -0.8 * s);
    glVertex3d(0.0, 0.0, -2.0 * s);
    glVertex3d(-0.3 * s, 0.0, 0.0);
    glVertex3d(0.3 * s, 0.0, 0.0);
    glEnd();
    glPopName();
    glPushName(disc.GetPickName());
    if (discList == -1) BuildDisc(0.67 * s);
    if (discList > 0) glCallList(static_cast<GLuint>(discList));
    // The line of sight to where it meets the ground: the eye's height over the tangent
    // of the pitch (degrees), level views a fixed length.
    double length = kLevelLine;
    const double pitch = rotation.x * kDegreesToRadians;
    if (std::fabs(std::sin(pitch)) > 1e-6) {
        length = std::fabs(eye.y / std::tan(pitch));
        if (!std::isfinite(length)) length = kLevelLine;
    }
    const double scaled = zoom * kMapScale;
    glBegin(GL_LINES);
    glVertex3d(0.0, 0.0, 0.0);
    glVertex3d(0.0, 0.0, scaled != 0.0 ? -length / scaled : -length);
    glEnd();
    glPopName();
    glPopName();
    glPopMatrix();
    glPopAttrib();
}
