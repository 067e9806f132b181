#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "control/bars/MainProgressBar.h"
#include "control/bars/MenuBar.h"
#include "control/bars/MenuResources.h"
#include "control/bars/StatusBar.h"
#include "control/bars/ToggleIndicatorBar.h"
#include "control/bars/Toolbar.h"
#include "interaction/MouseHandler.h"
#include "platform/Menu.h"
#include "render/Window.h"
#include "support/TestControl.h"
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

// A control and its main view of 700 x 100 pixels with the toolbar at its default size.
class BarsTest : public ::testing::Test {
protected:
    BarsTest() : window([](int) { return new MouseHandler; }) {
        control.globalState.SetInteger(2, 296);
        control.globalState.SetInteger(3, 24);
        control.mainWindow = control.activeWindow = &window;
        window.OnSize({0, 0, 700, 100});
    }
    ~BarsTest() override { control.mainWindow = control.activeWindow = nullptr; }

    ScopedProgramFolder folder;
    TestControl control;
    Window window;
};

TEST_F(BarsTest, HelpBarStaysBesideTheCursorAndInsideTheWindow) {
    HelpWindow& help = window.helpWindow;
    help.PlaceNearCursor(350, 50);
    EXPECT_EQ(help.width, 0) << "without text the bar is empty";

    help.SetText("Orbit", false);  // 5 x 5 + 15 = 40 pixels before it is drawn
    struct Case {
        int x, y;  // cursor, y from the top
        int barX, barY;
    };
    const Case cases[] = {
        {600, 10, 540, 30},  // upper right: 60 below and 60 to the left
        {100, 80, 100, 30},  // lower left: 10 above
        {690, 95, 630, 15},  // lower right
        {680, 0, 620, 40},   // at the top edge
        {-20, 20, 0, 20},    // left of the window: kept inside
        {20, 200, 20, 0},    // below the window: kept inside
    };
    for (const Case& c : cases) {
        help.PlaceNearCursor(c.x, c.y);
        EXPECT_EQ(help.x, c.barX) << c.x << "," << c.y;
        EXPECT_EQ(help.y, c.barY) << c.x << "," << c.y;
        EXPECT_EQ(help.width, 40);
        EXPECT_EQ(help.height, 15);
    }
    help.captionWidth = 200.0;  // measured when drawn
    help.PlaceNearCursor(650, 50);
    EXPECT_EQ(help.x, 500) << "a wide bar near the right edge ends at the edge";
}

TEST_F(BarsTest, ToolbarButtonsSendTheirCommandsAndTooltips) {
    Toolbar& toolbar = *window.toolbar;
    EXPECT_EQ(toolbar.x, 394);
    EXPECT_EQ(toolbar.y, 76);
    struct Case {
        int x, y;  // y from the top
        int button;
    };
    for (const Case& c : {Case{394, 0, 1}, Case{404, 12, 1}, Case{405, 12, 2}, Case{689, 23, 29},
                          Case{393, 12, 0}, Case{690, 12, 0}, Case{500, 24, 0}, Case{500, -1, 0}})
        EXPECT_EQ(toolbar.HitTestButton(c.x, c.y), c.button) << c.x << "," << c.y;

    EXPECT_TRUE(toolbar.ClickButton(500, 5));
    EXPECT_TRUE(toolbar.ClickButtonAlternate(500, 5));
    EXPECT_FALSE(toolbar.ClickButton(300, 5));
    EXPECT_EQ(control.hostMessages, (std::vector<uint32_t>{2011, 2111}));

    // Buttons 8 and 9 are blank places of the bar: their help is empty.
    toolbar.ShowTooltip(490, 5);
    EXPECT_STREQ(window.helpWindow.caption, "Orbit");
    EXPECT_TRUE(window.helpWindow.shownByToolbar);
    toolbar.ShowTooltip(390, 5);
    EXPECT_STREQ(window.helpWindow.caption, "Orbit") << "off the bar nothing changes";
    toolbar.ShowTooltip(394 + 75, 5);
    EXPECT_STREQ(window.helpWindow.caption, "");
    // The next move hides the tooltip.
    toolbar.ShowTooltip(600, 5);
    toolbar.OnMouseMove(600, 60);
    EXPECT_FALSE(window.helpWindow.shownByToolbar);
    EXPECT_FALSE(window.helpWindow.shown);

    // One button spans the whole bar.
    control.globalState.SetInteger(0, 1);
    EXPECT_EQ(toolbar.HitTestButton(689, 5), 1);
}

TEST_F(BarsTest, BarsAutoHideOutsideTheirStripOnlyWhenAsked) {
    MenuBar& menu = window.menuBar;
    menu.OnMouseMove(40, 50);
    EXPECT_TRUE(menu.shown);
    EXPECT_EQ(menu.selected, -1);
    menu.OnMouseMove(40, 5);  // "File" spans 10 .. 50, "Edit" 50 .. 90
    EXPECT_EQ(menu.selected, 0);
    EXPECT_TRUE(menu.cells[0].highlight);
    menu.OnMouseMove(60, 5);
    EXPECT_EQ(menu.selected, 1);
    EXPECT_FALSE(menu.cells[0].highlight);

    // Menus and controls hidden in the view: the bars show only while the cursor is in
    // their strip.
    window.viewFlags.SetInt64(0, 0x8000000);
    menu.OnMouseMove(60, 50);
    window.toolbar->OnMouseMove(60, 50);
    EXPECT_FALSE(menu.shown);
    EXPECT_FALSE(window.toolbar->shown);
    menu.OnMouseMove(60, 20);
    window.toolbar->OnMouseMove(500, 20);
    EXPECT_TRUE(menu.shown);
    EXPECT_TRUE(window.toolbar->shown);
    window.viewFlags.SetInt64(0, 0);
    control.globalState.SetBoolean(1, true);  // auto-hide
    menu.OnMouseMove(60, 80);
    EXPECT_FALSE(menu.shown);
}

TEST_F(BarsTest, IndicatorBarNamesTheKeyOfTheLampUnderTheCursor) {
    ToggleIndicatorBar& lamps = window.indicatorBar;  // 250 .. 290, top 28 pixels
    lamps.OnMouseMove(255, 10);
    EXPECT_STREQ(window.helpWindow.caption, "Toggle spotlights with the 'L' key");
    lamps.OnMouseMove(300, 10);  // 12 pixels past the right edge still counts
    EXPECT_STREQ(window.helpWindow.caption, "Toggle reflections with the 'M' key");
    lamps.OnMouseMove(300, 40);
    EXPECT_STREQ(window.helpWindow.caption, "");
    EXPECT_FALSE(lamps.hover);
    // Help that another bar shows is left alone.
    window.helpWindow.SetText("Zoom", false);
    lamps.OnMouseLeave();
    EXPECT_STREQ(window.helpWindow.caption, "Zoom");
}

TEST(MainProgressBar, FractionFromDownloadsOrPercentAndTheDetailLine) {
    GlobalState global;
    struct Case {
        int needed, done;
        double percent;
        double fraction;
    };
    for (const Case& c : {Case{4, 1, 90.0, 0.25}, Case{0, 3, 40.0, 0.4}, Case{2, 5, 0.0, 1.0},
                          Case{0, 0, 250.0, 1.0}, Case{0, 0, -5.0, 0.0}}) {
        global.SetInteger(10, c.needed);
        global.SetInteger(11, c.done);
        global.SetDouble(16, c.percent);
        EXPECT_DOUBLE_EQ(MainProgressBar::Fraction(global), c.fraction)
            << c.needed << "/" << c.done;
    }

    MainProgressBar bar;
    bar.SetShown(true);
    bar.SetDetail(1536.0);
    EXPECT_EQ(bar.Detail(), "File size: 1.5 Kb.");
    bar.SetDetail(1e60);  // cut to the line's 50 characters
    EXPECT_EQ(bar.Detail().size(), MainProgressBar::kDetailSize - 1);
    bar.SetShown(false);
    EXPECT_EQ(bar.Detail(), "");
}

TEST(MenuResources, EveryTitleHasItsMenuAndTheViewMenuItsSubmenus) {
    for (uint32_t id = 202; id <= 206; ++id) {
        const auto menu = LoadControlMenu(id);
        ASSERT_NE(menu, nullptr) << id;
        EXPECT_GT(menu->GetItemCount(), 3u);
    }
    EXPECT_EQ(LoadControlMenu(207), nullptr);
    const auto view = LoadControlMenu(204);
    for (size_t index : {12u, 17u}) {
        const platform::Menu* sub = view->GetItem(index).submenu.get();
        ASSERT_NE(sub, nullptr) << index;
        EXPECT_NE(sub->FindItem(363), nullptr);
        EXPECT_NE(sub->FindItem(360), nullptr);
    }
    EXPECT_EQ(LoadControlMenu(202)->FindItem(142)->text, "Print...");
}

TEST_F(BarsTest, MenuStatesFollowTheControlAndTheActiveView) {
    auto edit = LoadControlMenu(203);
    auto view = LoadControlMenu(204);
    auto build = LoadControlMenu(205);

    control.globalState.SetBoolean(3, true);
    control.globalState.SetBoolean(9, true);
    control.globalState.SetBoolean(14, false);
    window.viewFlags.SetInt64(0, 0x100 | (uint64_t{1} << 23));
    window.viewFlags.SetInteger(0, Window::kBlueprintView);
    window.fieldOfView = 40.0;
    control.wallState.SetDouble(5, 100.0);
    control.floorState.SetDouble(4, 201.0);  // the third floor
    control.SetBlueprintColorScheme(5);
    for (platform::Menu* menu : {edit.get(), view.get(), build.get()}) ApplyMenuStates(*menu);

    struct Case {
        platform::Menu* menu;
        uint32_t id;
        bool checked;
        bool greyed;
    };
    const Case cases[] = {
        {edit.get(), 200, false, true},    // nothing to undo
        {edit.get(), 202, false, true},    // no view change to undo
        {edit.get(), 233, true, false},    // snap to
        {view.get(), 302, true, false},    // blueprint
        {view.get(), 301, false, false},   //
        {view.get(), 224, false, false},   // reflections on: "Turn Off" not ticked
        {view.get(), 228, true, false},    // sky hidden
        {view.get(), 351, true, false},    // roofs hidden
        {view.get(), 368, true, false},    // dimensions hidden
        {view.get(), 354, false, false},   //
        {view.get(), 392, true, false},    // 40 degrees
        {view.get(), 393, false, false},   //
        {view.get(), 345, false, false},   // from above: the blueprint view allows it
        {view.get(), 32812, true, false},  // black and white
        {view.get(), 700, false, false},   //
        {build.get(), 485, true, false},   // third floor
        {build.get(), 32814, false, false}, {build.get(), 451, false, true},  // dimensions hidden
        {build.get(), 400, false, false},                                     // no sun in the plan
        {build.get(), 709, false, true},                                      // no tape measurement
    };
    for (const Case& c : cases) {
        const platform::MenuItem* item = c.menu->FindItem(c.id);
        ASSERT_NE(item, nullptr) << c.id;
        EXPECT_EQ(item->checked, c.checked) << c.id;
        EXPECT_EQ(item->greyed, c.greyed) << c.id;
    }

    // Between floors the grid height is "Other...".
    control.floorState.SetDouble(4, 1250.0);
    ApplyMenuStates(*build);
    EXPECT_TRUE(build->FindItem(32814)->checked);
    EXPECT_FALSE(build->FindItem(491)->checked);
}

}  // namespace
