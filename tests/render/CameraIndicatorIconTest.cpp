#include <gtest/gtest.h>

#include <cmath>

#include "control/MapWindow.h"
#include "interaction/Compass.h"
#include "render/CameraIndicatorIcon.h"
#include "support/WallFixtures.h"

namespace {

class CameraIndicatorIconTest : public ::testing::Test {
protected:
    CameraIndicatorIcon& Icon() { return s.control.cameraIcon; }
    Vector Eye() { return Icon().GetEyePosition(); }

    WallScene s;
};

// The indicator moves the main view's eye, keeping its height, and never lets it go
// farther than 2500 from the origin.
TEST_F(CameraIndicatorIconTest, MovesTheEyeWithinItsReach) {
    s.window.camera.SetVector(0, Vector(0, -60, 0));
    Icon().SetPosition(Vector(3000, 0, 0));
    EXPECT_NEAR(Eye().x, 2500 * 3000 / std::sqrt(3000.0 * 3000 + 60 * 60), 1e-6);
    EXPECT_NEAR(Eye().y, 60, 1e-9) << "the height is kept";
    Icon().SetPosition(Vector(100, 0, 200));
    Icon().MoveBy(Vector(-50, 7, 10));
    EXPECT_NEAR(Eye().x, 50, 1e-9);
    EXPECT_NEAR(Eye().z, 210, 1e-9);
    EXPECT_NEAR(Eye().y, 60, 1e-9);
}

TEST_F(CameraIndicatorIconTest, MenuCommandsMoveTheMainCamera) {
    s.window.camera.SetVector(0, Vector(0, -100, 0));
    s.window.camera.SetVector(1, Vector(5, 30, 0));
    EXPECT_TRUE(Icon().ProcessPropertyMenu(CameraIndicatorIcon::kMoveUp));
    EXPECT_NEAR(Eye().y, 154, 1e-9);
    EXPECT_TRUE(Icon().ProcessPropertyMenu(CameraIndicatorIcon::kMoveDown));
    EXPECT_NEAR(Eye().y, 100, 1e-9);
    EXPECT_TRUE(Icon().ProcessPropertyMenu(CameraIndicatorIcon::kLookUp));
    EXPECT_NEAR(s.window.camera.GetVector(1).x, -5, 1e-9);
    EXPECT_TRUE(Icon().ProcessPropertyMenu(1804)) << "every id is the icon's";
}

// The map shows the eye with a quarter to spare, never less than 750 each way; a map
// without a size is left alone.
TEST_F(CameraIndicatorIconTest, MapFitsTheEye) {
    Window map;
    map.width = 200;
    map.height = 100;
    CameraIndicatorIcon::FitMapWindow(map, Vector(1000, 50, 0));
    EXPECT_NEAR(map.camera.GetVector(2).x, 1500, 1e-9);
    EXPECT_NEAR(map.camera.GetVector(2).y, 750, 1e-9);
    CameraIndicatorIcon::FitMapWindow(map, Vector(0, 0, 2000));
    EXPECT_NEAR(map.camera.GetVector(2).x, 5000, 1e-9);
    EXPECT_NEAR(map.camera.GetVector(2).y, 2500, 1e-9);

    Window empty;
    const Vector before = empty.camera.GetVector(2);
    CameraIndicatorIcon::FitMapWindow(empty, Vector(1000, 0, 0));
    EXPECT_DOUBLE_EQ(empty.camera.GetVector(2).x, before.x);
}

TEST_F(CameraIndicatorIconTest, LookAtTurnsTheViewTowardThePoint) {
    s.window.camera.SetVector(0, Vector(0, -60, 0));
    Icon().LookAt(Vector(100, 0, 0), Vector());
    EXPECT_NEAR(s.window.camera.GetVector(1).y, 90.0, 1e-9);
    Icon().LookAt(Vector(0, 0, 100), Vector());
    EXPECT_NEAR(s.window.camera.GetVector(1).y, 180.0, 1e-9);
}

TEST_F(CameraIndicatorIconTest, OverlayHitsItsOwnRectangleAboveTheBars) {
    s.control.globalState.SetInteger(3, 20);
    Compass compass;
    compass.x = 10;
    compass.y = 0;
    EXPECT_EQ(compass.width, 128);
    EXPECT_TRUE(compass.HitTest(10, 25));
    EXPECT_TRUE(compass.HitTest(10 + 128, 25 + 128));
    EXPECT_FALSE(compass.HitTest(9, 60));
    EXPECT_FALSE(compass.HitTest(50, 24)) << "under the bars";
}

}  // namespace
