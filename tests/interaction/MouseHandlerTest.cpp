#include <gtest/gtest.h>

#include <cmath>

#include "building/Terrain.h"
#include "interaction/MouseHandler.h"
#include "platform/Input.h"
#include "render/Window.h"
#include "support/SceneFixtures.h"
#include "support/TestControl.h"
#include "support/TestTerrain.h"

namespace {

constexpr double kDegrees = M_PI / 180.0;

// Flat ground at a height of its own.
class RaisedGround : public TestTerrain {
public:
    explicit RaisedGround(double height) : height(height) {}
    double GetHeightAt(double, double) const override { return height; }
    double height;
};

// The control's main view with the editor's modes, 64 x 48, without OpenGL.
class MouseHandlerTest : public ::testing::Test {
protected:
    MouseHandlerTest() {
        view.OnSize({0, 0, 64, 48});
        control.mainWindow = control.activeWindow = &view;
        handler = view.GetCurrentMode();
    }
    ~MouseHandlerTest() override {
        control.scene.DeleteAll();
        delete control.terrain;
        control.terrain = nullptr;
        control.mainWindow = control.activeWindow = nullptr;
    }

    void Camera(int viewMode, const Vector& offset, const Vector& rotation, double zoom = 200) {
        view.viewFlags.SetInteger(0, viewMode);
        view.camera.SetVector(0, offset);
        view.camera.SetVector(1, rotation);
        view.camera.SetVector(2, Vector(zoom, zoom / view.aspect, 0));
    }
    // The pointer moved by (dx, dy) since the last step of a drag.
    void Moved(int dx, int dy) {
        MouseInput& in = MouseHandler::Input();
        in.previous = {100, 100};
        in.current = {100 + dx, 100 + dy};
    }
    Vector Offset() const { return view.camera.GetVector(0); }
    Vector Rotation() const { return view.camera.GetVector(1); }
    Vector Eye() const {
        Vector eye = Offset();
        eye.Scale(-1.0);
        return eye;
    }

    ScopedProgramFolder programFolder;
    TestControl control;
    Window view;
    MouseHandler* handler = nullptr;
};

TEST_F(MouseHandlerTest, ZoomDragMovesAtLeastTheSlowestSpeedAndStaysInBounds) {
    // A perspective camera looking along -z.
    Camera(Window::kPerspectiveView, Vector(0, -100, -200), Vector(0, 0, 0));
    handler->moveSpeed = 0.01;
    Moved(0, 10);
    handler->DragZoom();
    EXPECT_NEAR(Offset().z, -200 + 4 * 10 * 0.05, 1e-9);

    // A blueprint zoom that would fall to 9 is taken back in the same step.
    Camera(Window::kBlueprintView, Vector(0, -400, 0), Vector(90, -90, 0), 21);
    handler->moveSpeed = 1.0;
    Moved(0, 3);
    handler->DragZoom();
    EXPECT_EQ(view.camera.GetVector(2).x, 21);
    // One that would rise beyond 4000 likewise.
    Camera(Window::kBlueprintView, Vector(0, -400, 0), Vector(90, -90, 0), 3990);
    Moved(0, -5);
    handler->DragZoom();
    EXPECT_NEAR(view.camera.GetVector(2).x, 3990, 1e-9);
    EXPECT_TRUE(handler->IsCameraInBounds());
}

TEST_F(MouseHandlerTest, CommittedCameraIsClampedIntoItsBounds) {
    struct Case {
        int viewMode;
        Vector offset;
        double zoom;
        Vector offsetAfter;
        double zoomAfter;
        bool inBounds;
    };
    const double far = 2499.0 / 2600.0;
    const Case cases[] = {
        // A blueprint zoom of 4500 comes back to 4000; its camera height is free.
        {Window::kBlueprintView, Vector(0, -9000, 0), 4500, Vector(0, -9000, 0), 4000, false},
        {Window::kBlueprintView, Vector(0, -400, 0), 5, Vector(0, -400, 0), 10.01, false},
        // An eye 2600 from the origin comes back to 2499, along the same line.
        {Window::kPerspectiveView, Vector(-2400, -100, -1000), 200,
         Vector(-2400 * far, -100, -1000 * far), 200, false},
        // A perspective eye stays between 4.99 and 3999.99 high.
        {Window::kPerspectiveView, Vector(0, -2, 0), 200, Vector(0, -4.99, 0), 200, false},
        {Window::kPerspectiveView, Vector(0, -5000, 0), 200, Vector(0, -3999.99, 0), 200, false},
        // An elevation may look from below the ground line.
        {Window::kElevationView, Vector(0, 20, 0), 200, Vector(0, 20, 0), 200, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.viewMode);
        Camera(c.viewMode, c.offset, Vector(0, 0, 0), c.zoom);
        EXPECT_EQ(handler->IsCameraInBounds(), c.inBounds);
        handler->CommitCameraMove();
        EXPECT_NEAR(Offset().x, c.offsetAfter.x, 1e-9);
        EXPECT_NEAR(Offset().y, c.offsetAfter.y, 1e-9);
        EXPECT_NEAR(Offset().z, c.offsetAfter.z, 1e-9);
        EXPECT_NEAR(view.camera.GetVector(2).x, c.zoomAfter, 1e-9);
    }
}

TEST_F(MouseHandlerTest, OrbitKeepsItsPitchAndTurnsInStepsWhereAsked) {
    auto orbitFrom = [&](double yaw, double pitch) {
        handler->orbitPivot = Vector(0, 0, 0);
        handler->orbitDistance = 100;
        handler->orbitYaw = yaw;
        handler->orbitPitch = pitch;
    };
    // The pitch never leaves [-90, 90].
    Camera(Window::kPerspectiveView, Vector(0, -50, -86.6), Vector(30, 0, 0));
    orbitFrom(0, 30);
    Moved(0, -1000);
    handler->DragOrbit();
    EXPECT_EQ(handler->orbitPitch, 90);
    EXPECT_EQ(Rotation().x, 90);
    EXPECT_NEAR(Eye().y, 100, 1e-9);

    // Blueprint turns in 45-degree steps: a yaw of 44 gives 0, of -1 gives -45.
    Camera(Window::kBlueprintView, Vector(0, -100, 0), Vector(90, 0, 0));
    for (auto [start, expected] : {std::pair{45.0, 0.0}, std::pair{0.0, -45.0}}) {
        orbitFrom(start, 90);
        Moved(1, 0);
        handler->DragOrbit();
        EXPECT_EQ(Rotation().y, expected) << start;
        EXPECT_EQ(Rotation().x, 90) << "the blueprint keeps looking down";
    }

    // Shift turns a perspective orbit in steps too.
    Camera(Window::kPerspectiveView, Vector(0, -50, -86.6), Vector(30, 0, 0));
    MouseHandler::Input().shift = 1;
    orbitFrom(0, 30);
    Moved(10, 0);
    handler->DragOrbit();
    EXPECT_EQ(Rotation().y, -45);
    MouseHandler::Input().shift = 0;
}

TEST_F(MouseHandlerTest, OrbitStepUnderTheGroundIsTakenBackWhole) {
    const Vector offset(0, -100 * std::sin(5 * kDegrees), -100 * std::cos(5 * kDegrees));
    Camera(Window::kPerspectiveView, offset, Vector(5, 0, 0));
    handler->orbitPivot = Vector(0, 0, 0);
    handler->orbitDistance = 100;
    handler->orbitYaw = 0;
    handler->orbitPitch = 5;
    // 30 pixels down lower the pitch by 9.9 degrees: the eye would go below the ground.
    Moved(7, 30);
    handler->DragOrbit();
    EXPECT_EQ(handler->orbitYaw, 0);
    EXPECT_EQ(handler->orbitPitch, 5);
    EXPECT_EQ(Offset().y, offset.y);
    EXPECT_EQ(Rotation().y, 0);

    // Lifting the eye from there is allowed.
    Moved(0, -30);
    handler->DragOrbit();
    EXPECT_NEAR(handler->orbitPitch, 5 + 9.9, 1e-9);
    EXPECT_GT(Eye().y, 0);
}

TEST_F(MouseHandlerTest, ArrowStepsTurnWalkAndStrafe) {
    MouseInput& in = MouseHandler::Input();
    Camera(Window::kPerspectiveView, Vector(0, -100, -200), Vector(0, 0, 0));
    // Left and right together turn left; up and down together walk forward.
    in.arrowMotion = 1 | 2 | 4 | 8;
    handler->ArrowKeyStep();
    EXPECT_EQ(Rotation().y, -1);
    EXPECT_NEAR(Eye().z, 200 - 3 * std::cos(1 * kDegrees), 1e-9);

    // With Shift the arrows strafe and move along the view, and the ground is not
    // followed.
    Camera(Window::kPerspectiveView, Vector(0, -100, -200), Vector(0, 0, 0));
    in.shift = 1;
    in.arrowMotion = 2;
    handler->ArrowKeyStep();
    EXPECT_EQ(Rotation().y, 0);
    EXPECT_NEAR(Eye().x, 3, 1e-9);
    in.shift = 0;
    in.arrowMotion = 0;
}

TEST_F(MouseHandlerTest, WalkingFollowsTheGroundWithinReach) {
    struct Case {
        double ground;
        double eye;
        double eyeAfter;
    };
    const Case cases[] = {
        {0, 100, 100},   // level ground at 0 keeps the height
        {0, 62, 62},     // also within reach of it
        {10, 80, 70},    // 60 above ground 10
        {10, 120, 120},  // more than 36 from where the ground would put it
        {10, 40, 70},    // climbs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ground);
        SCOPED_TRACE(c.eye);
        delete control.terrain;
        control.terrain = new RaisedGround(c.ground);
        Camera(Window::kPerspectiveView, Vector(-10, -c.eye, -10), Vector(0, 0, 0));
        handler->FollowGround();
        EXPECT_NEAR(Eye().y, c.eyeAfter, 1e-9);
    }

    // A floor between the ground and the eye carries the walker.
    delete control.terrain;
    control.terrain = new RaisedGround(10);
    auto* floor = new TestItem(TypeMask::kFloor);
    floor->SetBox(0, 0, 0, 20, 15, 20);
    control.scene.Append(floor);
    Camera(Window::kPerspectiveView, Vector(-10, -80, -10), Vector(0, 0, 0));
    handler->FollowGround();
    EXPECT_NEAR(Eye().y, 80, 1e-9);
}

TEST_F(MouseHandlerTest, PointsUnpackAsSignedWindowCoordinates) {
    for (auto [x, y] : {std::pair{0, 0}, std::pair{32, 24}, std::pair{-13, 700}, std::pair{5, -40}}) {
        const MousePoint point = MousePoint::Unpack(platform::MakeLParam(x, y));
        EXPECT_EQ(point.x, x);
        EXPECT_EQ(point.y, y);
        EXPECT_EQ(MousePoint::Unpack(point.Pack()), point);
    }
}

// Without an active window the handlers stop at their check.
TEST_F(MouseHandlerTest, NoActiveWindowMovesNothing) {
    control.activeWindow = nullptr;
    const intptr_t at = platform::MakeLParam(10, 10);
    handler->OnLButtonDown(at);
    handler->OnMouseMove(platform::MakeLParam(40, 40));
    handler->OnLButtonUp(at);
    handler->OnRButtonDown(at);
    handler->OnRButtonUp(at);
    handler->OnMButtonDown(at);
    handler->OnMButtonUp(at);
    handler->OnLButtonDblClk(at);
    EXPECT_FALSE(MouseHandler::Input().left);
    EXPECT_FALSE(MouseHandler::Input().right);
    EXPECT_FALSE(MouseHandler::Input().middle);
    EXPECT_EQ(view.GetCurrentModeNumber(), 0);
}

}  // namespace
