#include <gtest/gtest.h>

#include "platform/Menu.h"

namespace {

class MenuTracking : public ::testing::Test {
protected:
    void TearDown() override { platform::SetMenuChooser(nullptr); }

    void Choose(uint32_t id) {
        platform::SetMenuChooser([id](const platform::Menu&) { return id; });
    }
};

TEST_F(MenuTracking, ItemsKeepTheirOrderStateAndSubmenus) {
    platform::Menu menu;
    menu.AppendItem(1, "One", true);
    menu.AppendSeparator();
    platform::Menu& sub = menu.AppendSubmenu("More");
    sub.AppendItem(2, "Two", false, true);
    ASSERT_EQ(menu.GetItemCount(), 3u);
    EXPECT_TRUE(menu.GetItem(0).checked);
    EXPECT_TRUE(menu.GetItem(1).separator);
    EXPECT_EQ(menu.GetItem(2).text, "More");
    ASSERT_NE(menu.FindItem(2), nullptr);
    EXPECT_TRUE(menu.FindItem(2)->greyed);
    EXPECT_EQ(menu.FindItem(0), nullptr);  // the separator and the sub-menu are no commands
    menu.Clear();
    EXPECT_EQ(menu.GetItemCount(), 0u);
}

TEST_F(MenuTracking, TrackAnswersOnlyCommandsThatCanBeChosen) {
    platform::Menu menu;
    menu.AppendItem(10, "Enabled");
    menu.AppendItem(11, "Greyed", false, true);
    menu.AppendSubmenu("Sub").AppendItem(12, "Nested");

    EXPECT_EQ(menu.Track(), 0u);  // default chooser dismisses
    struct Case {
        uint32_t chosen;
        uint32_t answer;
    };
    for (const Case& c : {Case{10, 10}, Case{12, 12}, Case{11, 0}, Case{99, 0}, Case{0, 0}}) {
        Choose(c.chosen);
        EXPECT_EQ(menu.Track(), c.answer) << c.chosen;
    }
}

TEST_F(MenuTracking, TicksAndGreyingReachEveryEntryOfAnId) {
    platform::Menu menu;
    menu.AppendItem(5, "Top");
    platform::Menu& sub = menu.AppendSubmenu("Sub");
    sub.AppendItem(5, "Again");
    sub.AppendItem(6, "Other");
    EXPECT_TRUE(menu.CheckItem(5, true));
    EXPECT_TRUE(menu.GetItem(0).checked);
    EXPECT_TRUE(sub.GetItem(0).checked);
    EXPECT_FALSE(sub.GetItem(1).checked);
    EXPECT_TRUE(menu.EnableItem(6, false));
    EXPECT_FALSE(menu.CanChoose(6));
    EXPECT_TRUE(menu.EnableItem(6, true));
    EXPECT_TRUE(menu.CanChoose(6));
    EXPECT_FALSE(menu.CheckItem(7, true));
    EXPECT_FALSE(menu.EnableItem(7, false));
}

}  // namespace
