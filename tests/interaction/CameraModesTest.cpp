#include <gtest/gtest.h>

#include <cmath>

#include "interaction/CameraModes.h"

namespace {

TEST(CameraModesTest, WalkCursorsFollowTheDirectionOfTheDrag) {
    struct Case {
        int dx, dy, stepY;
        int cursor;
    };
    const Case cases[] = {
        {0, -30, -3, MouseHandler::kWalkCursor},  {0, 30, 3, WalkMode::kBackCursor},
        {-30, 2, 0, WalkMode::kLeftCursor},       {30, 0, 0, WalkMode::kRightCursor},
        {-20, -20, -2, WalkMode::kUpLeftCursor},  {20, -15, -2, WalkMode::kUpRightCursor},
        {-20, 20, 2, WalkMode::kDownLeftCursor},  {20, 12, 2, WalkMode::kDownRightCursor},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WalkMode::DirectionCursor(c.dx, c.dy, c.stepY), c.cursor) << c.dx << "," << c.dy;
}

TEST(CameraModesTest, YawFromARotationMatrixStaysANumber) {
    EXPECT_DOUBLE_EQ(YawFromMatrix(1.0000000002, 0.0), 0.0);
    EXPECT_NEAR(YawFromMatrix(-1.5, 0.0), 180.0, 1e-9);
    EXPECT_NEAR(YawFromMatrix(0.0, -1.0), -90.0, 1e-9);
    EXPECT_NEAR(YawFromMatrix(std::cos(M_PI / 3), 0.5), 60.0, 1e-9);
    EXPECT_FALSE(std::isnan(YawFromMatrix(std::nan(""), 1.0)));
}

}  // namespace
