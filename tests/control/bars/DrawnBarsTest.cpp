#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "control/bars/MenuBar.h"
#include "control/bars/StatusBar.h"
#include "control/bars/ToggleIndicatorBar.h"
#include "support/TraceLogTail.h"

namespace {

TEST(StatusBar, TextIsCutHidingClearsProgressAndResetKeepsTheOwner) {
    auto* owner = reinterpret_cast<Window*>(0x10);
    StatusBar bar(owner);
    EXPECT_EQ(bar.shades[0], 192);
    EXPECT_EQ(bar.shades[9], 19);  // 192 - 9 x 19.2, truncated

    const std::string longText(5000, 'x');
    bar.SetText(longText.c_str(), true);
    EXPECT_EQ(std::strlen(bar.caption), StatusBar::kCaptionSize - 1);
    EXPECT_TRUE(bar.captionIsWarning);

    bar.progress = 42.0;
    bar.SetShown(false);
    EXPECT_FALSE(bar.shown);
    EXPECT_EQ(bar.progress, 0.0);

    EXPECT_EQ(bar.SetRect(5, 6, 7, 8), 8);
    bar.anchoredRight = 1;
    bar.Reset();
    EXPECT_EQ(bar.owner, owner);
    EXPECT_TRUE(bar.shown);
    EXPECT_FALSE(bar.laidOut);
    EXPECT_FALSE(bar.anchoredRight);
    EXPECT_STREQ(bar.caption, "");
}

TEST(ToggleIndicatorBar, RefusesBadLabelsAndSlotsBeyondItsSixteen) {
    ToggleIndicatorBar bar;
    {
        TraceLogTail trace;
        EXPECT_EQ(bar.AddIndicator(nullptr, true), -1);
        EXPECT_EQ(bar.AddIndicator(std::string(64, 'a').c_str(), true), -1);
        EXPECT_TRUE(trace.Contains("Precondition Failed"));
    }
    EXPECT_EQ(bar.AddIndicator(std::string(63, 'a').c_str(), true), 0);
    for (int slot = 1; slot < ToggleIndicatorBar::kSlots; ++slot)
        EXPECT_EQ(bar.AddIndicator("x", false), slot);
    EXPECT_EQ(bar.AddIndicator("y", false), -1);

    EXPECT_TRUE(bar.SetIndicatorOn(15, true));
    EXPECT_TRUE(bar.indicators[15].on);
    EXPECT_FALSE(bar.SetIndicatorOn(16, true));
    EXPECT_FALSE(bar.SetIndicatorOn(-1, true));
}

TEST(MenuBar, TitlesEndAtTheFirstNullText) {
    MenuBar menu;
    ASSERT_EQ(menu.TitleCount(), 5);
    const char* titles[] = {"File", "Edit", "View", "Build", "Help"};
    for (int i = 0; i < 5; ++i) EXPECT_STREQ(menu.cells[i].caption, titles[i]);
    EXPECT_STREQ(menu.Background().caption, "");
    EXPECT_TRUE(menu.Background().flat);
    EXPECT_EQ(menu.selected, -1);
}

}  // namespace
