#include <gtest/gtest.h>

#include <cstdint>

#include "model/ObjectTypes.h"
#include "platform/Menu.h"
#include "support/RunningControl.h"

namespace {

const platform::MenuItem& Item(const platform::Menu& menu, uint32_t id) {
    const platform::MenuItem* item = menu.FindItem(id);
    EXPECT_NE(item, nullptr) << id;
    static const platform::MenuItem none;
    return item ? *item : none;
}

TEST(ViewMenu, TicksShowTheViewAndItsHiddenThings) {
    RunningControl running;
    Window& window = running.window;
    GlobalState& global = running.control->globalState;
    window.fieldOfView = 45.0;
    window.viewFlags.SetInt64(0, 0x40 | 0x8000000);
    global.SetBoolean(6, false);
    global.SetBoolean(14, true);
    global.SetBoolean(21, true);
    global.SetBoolean(3, true);

    platform::Menu menu;
    window.BuildViewMenu(menu);
    EXPECT_EQ(menu.GetItem(0).text, "Mode");
    EXPECT_TRUE(Item(menu, 1304).checked);
    for (uint32_t id = 1238; id <= 1244; ++id)
        EXPECT_FALSE(Item(menu, id).checked) << "45 degrees is none of the entries";
    EXPECT_EQ(Item(menu, 1238).text, "20\xC2\xB0 - Tunnel Vision");
    EXPECT_TRUE(Item(menu, 1310).checked);   // walls hidden
    EXPECT_TRUE(Item(menu, 1313).checked);   // menus and controls hidden
    EXPECT_FALSE(Item(menu, 1308).checked);  // floors shown
    EXPECT_TRUE(Item(menu, 1309).checked);   // other floors hidden (boolean 6 clear)
    EXPECT_FALSE(Item(menu, 1322).checked);  // sky shown
    EXPECT_TRUE(Item(menu, 1325).checked);   // crosshairs hidden (boolean 21 set)
    EXPECT_TRUE(Item(menu, 208).checked);
    EXPECT_EQ(menu.FindItem(1327), nullptr);

    window.fieldOfView = 50.0;
    platform::Menu again;
    window.BuildViewMenu(again);
    EXPECT_TRUE(Item(again, 1241).checked);
}

TEST(ViewMenu, CommandsChangeTheViewTheModeAndTheSwitches) {
    RunningControl running;
    Window& window = running.window;
    GlobalState& global = running.control->globalState;

    EXPECT_TRUE(window.OnViewCommand(1305));
    EXPECT_EQ(window.GetViewMode(), Window::kBlueprintView);
    EXPECT_TRUE(window.OnViewCommand(1307));
    EXPECT_EQ(window.GetViewMode(), Window::kElevationView);
    EXPECT_TRUE(window.OnViewCommand(15));
    EXPECT_EQ(running.Mode(), 15);
    EXPECT_TRUE(window.OnViewCommand(1327));
    EXPECT_EQ(running.Mode(), 29) << "the trace-image sizing mode, which no entry shows";
    EXPECT_TRUE(window.OnViewCommand(1243));
    EXPECT_EQ(window.fieldOfView, 70.0);

    EXPECT_TRUE(window.OnViewCommand(1310));
    EXPECT_EQ(window.viewFlags.GetInt64(0) & TypeBit::kWall, TypeBit::kWall);
    EXPECT_TRUE(window.OnViewCommand(1310));
    EXPECT_EQ(window.viewFlags.GetInt64(0) & TypeBit::kWall, 0u);

    const bool sky = global.GetBoolean(14);
    EXPECT_TRUE(window.OnViewCommand(1322));
    EXPECT_EQ(global.GetBoolean(14), !sky);
    const bool snap = global.GetBoolean(3);
    EXPECT_TRUE(window.OnViewCommand(208));
    EXPECT_EQ(global.GetBoolean(3), !snap);

    // "Show All" brings every type back and the other floors too.
    window.OnViewCommand(1311);
    global.SetBoolean(6, false);
    EXPECT_TRUE(window.OnViewCommand(1303));
    EXPECT_EQ(window.viewFlags.GetInt64(0) & TypeBit::kRoof, 0u);
    EXPECT_TRUE(global.GetBoolean(6));

    EXPECT_FALSE(window.OnViewCommand(9999));
}

}  // namespace
