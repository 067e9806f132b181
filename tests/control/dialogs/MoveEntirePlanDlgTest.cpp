#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "control/dialogs/MoveEntirePlanDlg.h"

namespace {

using Move = std::array<int, 3>;

class MoveEntirePlanDlgTest : public ::testing::Test {
protected:
    void TearDown() override { Dialog::SetModalRunner(nullptr); }

    MoveEntirePlanDlg dialog{[this](int x, int y, int z) { moves.push_back({x, y, z}); }};
    std::vector<Move> moves;
};

TEST_F(MoveEntirePlanDlgTest, EachArrowMovesThePlanByTheWholeNudge) {
    // The pad sits at (10, 10); points are client coordinates.
    struct Case {
        int x, y;
        Move move;
        uint32_t picture;
    };
    const Case cases[] = {
        {10 + 81, 10 + 9, {0, 12, 0}, 695},      // forward, on the corner
        {10 + 150, 10 + 120, {12, 0, 0}, 700},   // right
        {10 + 100, 10 + 191, {0, -12, 0}, 697},  // back
        {10 + 40, 10 + 90, {-12, 0, 0}, 699},    // left
        {10 + 50, 10 + 120, {0, 0, 12}, 698},    // up
        {10 + 130, 10 + 80, {0, 0, -12}, 696},   // down
    };
    auto play = [&](platform::DialogBox& box) {
        EXPECT_EQ(box.GetText(MoveEntirePlanDlg::kNudge), "12");
        box.Type(MoveEntirePlanDlg::kNudge, "12.5");
        for (const Case& c : cases) {
            moves.clear();
            box.ClearPaints();
            box.Mouse(platform::WM_LBUTTONDOWN, c.x, c.y);
            ASSERT_EQ(moves.size(), 1u) << c.picture;
            EXPECT_EQ(moves[0], c.move) << c.picture;
            ASSERT_FALSE(box.Paints().empty());
            EXPECT_EQ(box.Paints().back().bitmap, c.picture);
            EXPECT_EQ(box.Paints().back().x, 10);
            box.Mouse(platform::WM_LBUTTONUP, c.x, c.y);
            EXPECT_EQ(box.Paints().back().bitmap, 693u);
            EXPECT_EQ(dialog.GetPressed(), 0);
        }
        // A double-click presses again; a miss moves nothing and shows the plain pad.
        moves.clear();
        box.Mouse(platform::WM_LBUTTONDBLCLK, 10 + 81, 10 + 9);
        box.Mouse(platform::WM_LBUTTONDOWN, 10 + 5, 10 + 5);
        EXPECT_EQ(moves.size(), 1u);
        EXPECT_EQ(dialog.GetPressed(), 0);
        EXPECT_EQ(box.Paints().back().bitmap, 693u);
        box.PressEnter();
    };
    Dialog::SetModalRunner([&](Dialog& d) {
        play(*d.Window());
        return 0;
    });
    EXPECT_EQ(dialog.Show(), Dialog::kOk);
}

}  // namespace
