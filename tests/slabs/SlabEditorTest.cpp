#include <gtest/gtest.h>

#include "slabs/SlabEditor.h"

namespace {

// The slab editor's own steps, seen through an editor that draws nothing.
class Steps : public SlabEditor {
public:
    void StartNewSlab() override {}
    void TrackDrawingPoint(intptr_t) override {}
    using SlabEditor::DirectionFromMove;
    using SlabEditor::LiftStep;
};

TEST(SlabEditorTest, LiftStepsFollowThePointer) {
    struct Case {
        int pixels;  // upward
        bool shift;
        double step;
    };
    const Case cases[] = {{10, false, 5}, {3, false, 1}, {1, false, 1},  {0, false, -1},
                          {-2, false, -1}, {-3, false, -2}, {-9, false, -5}, {10, true, 1.25},
                          {-4, true, -0.5}};
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(Steps::LiftStep(c.pixels, c.shift), c.step) << c.pixels << (c.shift ? " shift" : "");
}

TEST(SlabEditorTest, ChildDragsLockToTheSlabsDirection) {
    const Vector u(1, 0, 0);
    EXPECT_EQ(Steps::DirectionFromMove(Vector(0.95, 0.31, 0), u), 1) << "within 22.5 degrees";
    EXPECT_EQ(Steps::DirectionFromMove(Vector(0.2, 0.98, 0), u), 2) << "beyond 67.5 degrees";
    EXPECT_EQ(Steps::DirectionFromMove(Vector(0.7071, 0.7071, 0), u), 0);
}

}  // namespace
