#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "interaction/MouseHandler.h"
#include "platform/Input.h"
#include "platform/Messages.h"
#include "render/Window.h"
#include "support/LiveControl.h"

namespace {

using platform::MK_LBUTTON;
using platform::MK_RBUTTON;

constexpr double kAny = std::numeric_limits<double>::quiet_NaN();
constexpr double kDegrees = M_PI / 180.0;

struct Expected {
    double x, y, z;
};

// One gesture in one view mode, from a set camera, and the camera it leaves.
struct Case {
    std::string name;
    int viewMode;
    Vector offset;
    Vector rotation;
    Vector zoom;
    void (*gesture)(LiveControl&);
    // Components that are NaN are not checked.
    Expected offsetAfter;
    Expected rotationAfter;
    Expected zoomAfter;
};

// The right button dragged from the press point to another point.
template <int x0, int y0, int x1, int y1>
void RightDrag(LiveControl& live) {
    live.Mouse(platform::WM_RBUTTONDOWN, x0, y0, MK_RBUTTON);
    live.Mouse(platform::WM_MOUSEMOVE, x1, y1, MK_RBUTTON);
    live.Mouse(platform::WM_RBUTTONUP, x1, y1);
}

// Both buttons held and dragged: a pan.
template <int x0, int y0, int x1, int y1>
void BothDrag(LiveControl& live) {
    live.Mouse(platform::WM_LBUTTONDOWN, x0, y0, MK_LBUTTON);
    live.Mouse(platform::WM_RBUTTONDOWN, x0, y0, MK_LBUTTON | MK_RBUTTON);
    live.Mouse(platform::WM_MOUSEMOVE, x1, y1, MK_LBUTTON | MK_RBUTTON);
    live.Mouse(platform::WM_RBUTTONUP, x1, y1, MK_LBUTTON);
    live.Mouse(platform::WM_LBUTTONUP, x1, y1);
}

// One press of the up arrow; the walk's view change closes a second after the release.
void WalkForward(LiveControl& live) {
    live.Post(platform::WM_KEYDOWN, platform::VK_UP);
    live.Post(platform::WM_KEYUP, platform::VK_UP);
    LiveControl::PumpUntil([] { return !MouseHandler::Input().keyMotionOpen; });
}

// The view is 64 x 48 and shows an empty plan without its sky, so nothing lies under
// the pointer.
// Perspective: the eye at (0, 100, 200) looks along -z; drags start at 0.001 x the eye's
// distance from the origin (223.607) per pixel. Blueprint and elevation: half width 200,
// so drags move 200 x 0.005 = 1 per pixel; point (32, 23) is the view's centre.
std::vector<Case> Cases() {
    const Vector perspectiveOffset(0, -100, -200), level(0, 0, 0);
    const Vector blueprintOffset(0, -400, 0), topDown(90, -90, 0);
    const Vector elevationOffset(0, 20, 0);
    const Vector zoom(200, 150, 0);
    const double speed = std::sqrt(100.0 * 100.0 + 200.0 * 200.0) * 0.001;
    const double orbitRadius = 360.0;  // nothing under the pointer: a point ahead
    return {
        // A drag down zooms in along the view by 4 x 36 x speed.
        {"PerspectiveZoom", Window::kPerspectiveView, perspectiveOffset, level, zoom,
         RightDrag<32, 24, 32, 60>, {0, -100, -200 + 4 * 36 * speed}, {0, 0, kAny}, {kAny, kAny, kAny}},
        // 70 pixels sideways orbit about the point 360 ahead: the yaw turns by -70.
        {"PerspectiveOrbit", Window::kPerspectiveView, perspectiveOffset, level, zoom,
         RightDrag<32, 24, 102, 24>,
         {-orbitRadius * std::sin(70 * kDegrees), -100, 160 - orbitRadius * std::cos(70 * kDegrees)},
         {0, -70, kAny}, {kAny, kAny, kAny}},
        // Both buttons: a strafe of 2 x 20 x speed and a lift of 10 x speed.
        {"PerspectivePan", Window::kPerspectiveView, perspectiveOffset, level, zoom,
         BothDrag<32, 24, 52, 34>, {40 * speed, -100 - 10 * speed, -200}, {0, 0, kAny}, {kAny, kAny, kAny}},
        // The up arrow walks 3 forward; the eye, 100 above flat ground, keeps its height.
        {"PerspectiveWalk", Window::kPerspectiveView, perspectiveOffset, level, zoom, WalkForward,
         {0, -100, -197}, {0, 0, kAny}, {kAny, kAny, kAny}},

        // A drag up zooms out: the half sizes grow by 144 and 144 / aspect.
        {"BlueprintZoom", Window::kBlueprintView, blueprintOffset, topDown, zoom,
         RightDrag<32, 23, 32, -13>, {0, -400, 0}, {90, -90, kAny}, {344, 258, kAny}},
        // Blueprint orbits in 45-degree steps about the ground under the press: -90 - 70
        // gives -180, the eye straight above the pivot.
        {"BlueprintOrbit", Window::kBlueprintView, blueprintOffset, topDown, zoom,
         RightDrag<32, 23, 102, 23>, {0, -400, 0}, {90, -180, kAny}, {200, 150, kAny}},
        // Looking down with the top of the view toward -x: a strafe of 40 along z and a
        // move of 10 along the view's up direction.
        {"BlueprintPan", Window::kBlueprintView, blueprintOffset, topDown, zoom,
         BothDrag<32, 23, 52, 33>, {10, -400, -40}, {90, -90, kAny}, {200, 150, kAny}},
        // Orthographic views walk along the view's up direction.
        {"BlueprintWalk", Window::kBlueprintView, blueprintOffset, topDown, zoom, WalkForward,
         {3, -400, 0}, {90, -90, kAny}, {200, 150, kAny}},

        // The elevation's view starts at the eye, which rises with the zoom.
        {"ElevationZoom", Window::kElevationView, elevationOffset, level, zoom,
         RightDrag<32, 23, 32, -13>, {0, 128, 0}, {0, 0, kAny}, {344, 258, kAny}},
        // Elevations turn in 45-degree steps about the pivot they keep (the blueprint's,
        // on the ground) and keep the eye's height.
        {"ElevationOrbit", Window::kElevationView, elevationOffset, level, zoom,
         RightDrag<32, 23, 102, 23>, {kAny, 20, kAny}, {0, -90, kAny}, {200, 150, kAny}},
        // The eye may stay below the ground line in an elevation.
        {"ElevationPan", Window::kElevationView, elevationOffset, level, zoom,
         BothDrag<32, 23, 52, 33>, {40, 10, 0}, {0, 0, kAny}, {200, 150, kAny}},
        {"ElevationWalk", Window::kElevationView, elevationOffset, level, zoom, WalkForward,
         {0, 17, 0}, {0, 0, kAny}, {200, 150, kAny}},
    };
}

void ExpectNear(const Vector& actual, const Expected& expected, const char* what) {
    const double values[3] = {actual.x, actual.y, actual.z};
    const double wanted[3] = {expected.x, expected.y, expected.z};
    for (int i = 0; i < 3; ++i) {
        if (std::isnan(wanted[i])) continue;
        EXPECT_NEAR(values[i], wanted[i], 1e-3) << what << " component " << i;
    }
}

void ExpectSame(const Vector& actual, const Vector& expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-9) << what;
    EXPECT_NEAR(actual.z, expected.z, 1e-9) << what;
}

// Mouse and key messages posted to a running control move the main view's camera, and
// the view's undo takes each move back.
TEST(CameraNavigationGlTest, GesturesMoveTheCameraInEveryViewMode) {
    LiveControl live;
    ASSERT_TRUE(live.PumpUntilRunning());
    CDuzazododiza& control = *live.control;
    Window& view = *control.mainWindow;
    ASSERT_EQ(control.activeWindow, &view);
    // Without the sky dome nothing at all lies under the pointer; the drawn bars hide
    // while the pointer is away from them, so the presses reach the view.
    control.LockRender();
    control.globalState.SetBoolean(14, false);
    control.globalState.SetBoolean(1, true);
    control.UnlockRender();

    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        control.LockRender();
        view.SetMouseMode(3);
        view.viewFlags.SetInteger(0, c.viewMode);
        view.camera.SetVector(0, c.offset);
        view.camera.SetVector(1, c.rotation);
        view.camera.SetVector(2, c.zoom);
        view.viewUndoStack.DeleteAll();
        control.UnlockRender();
        // The view is drawn from the new camera before the gesture reads it.
        ASSERT_TRUE(live.WaitForPasses(2));

        live.Mouse(platform::WM_MOUSEMOVE, 32, 40);
        c.gesture(live);
        control.LockRender();
        const Vector offset = view.camera.GetVector(0);
        const Vector rotation = view.camera.GetVector(1);
        const Vector zoom = view.camera.GetVector(2);
        control.UnlockRender();
        ExpectNear(offset, c.offsetAfter, "offset");
        ExpectNear(rotation, c.rotationAfter, "rotation");
        ExpectNear(zoom, c.zoomAfter, "zoom");
        EXPECT_FALSE(MouseHandler::Input().left || MouseHandler::Input().right);

        ASSERT_EQ(view.viewUndoStack.GetCount(), 1u) << "one view change per gesture";
        ASSERT_TRUE(view.UndoViewChange());
        ExpectSame(view.camera.GetVector(0), c.offset, "offset after undo");
        ExpectSame(view.camera.GetVector(1), c.rotation, "rotation after undo");
        ExpectSame(view.camera.GetVector(2), c.zoom, "zoom after undo");
    }
}

}  // namespace
