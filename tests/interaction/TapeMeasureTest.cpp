#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "interaction/ChalkLine.h"
#include "interaction/TapeMeasure.h"
#include "interaction/TapeMeasureEditor.h"
#include "support/WallFixtures.h"

namespace {

TEST(TapeMeasureTest, TicksComeEveryTwoUnitsUpToABound) {
    EXPECT_EQ(TapeMeasure::TickCount(7.9), 3);
    EXPECT_EQ(TapeMeasure::TickCount(8.0), 4);
    EXPECT_EQ(TapeMeasure::TickCount(0.0), 0);
    EXPECT_EQ(TapeMeasure::TickCount(std::numeric_limits<double>::quiet_NaN()), 0);
    // A plane seen edge-on sends the end very far: the ticks stay bounded.
    EXPECT_EQ(TapeMeasure::TickCount(1e15), TapeMeasure::kMaxTicks);
}

TEST(TapeMeasureTest, EndsSnapToFortyFiveDegreeStepsKeepingTheLength) {
    const Vector start(10, 5, 10), up(0, 1, 0), reference(1, 0, 0);
    struct Case {
        double degrees;
        double snapped;
    };
    for (const Case& c : {Case{30, 45}, Case{20, 0}, Case{-30, -45}, Case{100, 90}, Case{170, 180}}) {
        SCOPED_TRACE(c.degrees);
        const double a = c.degrees * M_PI / 180.0;
        // Angles grow from +x towards -z (up x reference).
        const Vector end(start.x + 20 * std::cos(a), start.y, start.z - 20 * std::sin(a));
        const Vector snapped = TapeMeasureEditor::SnapEnd(start, end, reference, up);
        EXPECT_NEAR(snapped.Distance(start), 20.0, 1e-9);
        EXPECT_NEAR(snapped.y, start.y, 1e-9);
        const double got = std::atan2(-(snapped.z - start.z), snapped.x - start.x) * 180.0 / M_PI;
        EXPECT_NEAR(std::fabs(got), std::fabs(c.snapped), 1e-6);
        if (c.snapped != 0 && std::fabs(c.snapped) != 180) EXPECT_GT(got * c.snapped, 0.0);
    }
    // No length, no direction: the end stays.
    const Vector same = TapeMeasureEditor::SnapEnd(start, start, reference, up);
    EXPECT_EQ(same.Distance(start), 0.0);
}

TEST(TapeMeasureTest, ChalkLinesAreDroppedOnlyFromALengthInTheActiveWindow) {
    WallScene s;
    TapeMeasure& tape = s.control.tapeMeasure;
    tape.window = &s.window;
    tape.SetStart(Vector(0, 0, 0));
    tape.DropChalkLine();
    EXPECT_EQ(s.control.extraList.GetHead(), nullptr) << "a tape without length";
    tape.SetEnd(Vector(30, 0, 0));
    EXPECT_NEAR(tape.side.z, 1.0, 1e-12);
    tape.DropChalkLine();
    auto* line = dynamic_cast<ChalkLine*>(s.control.extraList.GetHead());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->end.x, 30.0);
    EXPECT_EQ(line->up.y, 1.0);
    Window other;
    tape.window = &other;
    tape.DropChalkLine();
    EXPECT_EQ(s.control.extraList.GetCount(), 1) << "another window's tape";
    tape.Reset();
    EXPECT_EQ(tape.window, nullptr);
    EXPECT_EQ(tape.start.Distance(tape.end), 0.0);
    s.control.extraList.DeleteAll();
}

}  // namespace
