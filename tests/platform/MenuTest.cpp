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

}  // namespace
