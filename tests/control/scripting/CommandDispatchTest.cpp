#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "control/dialogs/DomePropertyDialog.h"
#include "control/dialogs/Preferences.h"
#include "model/ObjectTypes.h"
#include "platform/DialogBox.h"
#include "support/DialogPlayer.h"
#include "support/RunningControl.h"

namespace {

class CommandDispatch : public ::testing::Test {
protected:
    RunningControl running;
    CDuzazododiza& control = *running.control;
    Window& window = running.window;

    uint64_t Hidden() { return window.GetRenderState().GetInt64(0); }
    uint64_t Second() { return window.GetRenderState().GetInt64(1); }
};

TEST_F(CommandDispatch, WhileNotRunningEveryIdIsSwallowed) {
    running.Busy();
    const bool reflections = control.globalState.GetBoolean(9);
    for (uint32_t id : {232u, 224u, 2003u, 9999u}) {
        EXPECT_EQ(control.HandleCommand(id), 1u) << id;
    }
    EXPECT_EQ(running.Mode(), 0);
    EXPECT_EQ(control.globalState.GetBoolean(9), reflections);
}

TEST_F(CommandDispatch, IdsOutsideTheTableAreNotHandled) {
    // Toolbar button 0 (single and double click) belongs to the host as well.
    for (uint32_t id : {0u, 99u, 2000u, 2100u, 2030u, 2130u, 9999u, 0xFFFFFFFFu})
        EXPECT_EQ(control.HandleCommand(id), 0u) << id;
}

TEST_F(CommandDispatch, ModeCommandsAndToolbarButtonsSwitchTheActiveWindowsMode) {
    struct Case {
        uint32_t id;
        int mode;
    };
    const Case cases[] = {
        {232, 7},  {148, 29}, {313, 16},  {314, 11},  {315, 15},  {316, 14},  {317, 31}, {318, 12},
        {319, 17}, {411, 1},  {421, 2},   {422, 21},  {423, 22},  {433, 10},  {441, 18}, {442, 23},
        {444, 26}, {451, 8},  {452, 9},   {453, 24},  {250, 28},  {235, 25},  {475, 27}, {481, 5},
        {2001, 0}, {2005, 1}, {2110, 16}, {2116, 11}, {2117, 15}, {2120, 31}, {2102, 0}};
    for (const Case& c : cases) {
        window.SetMouseMode(c.mode == 3 ? 0 : 3);
        EXPECT_EQ(control.HandleCommand(c.id), 1u) << c.id;
        EXPECT_EQ(running.Mode(), c.mode) << c.id;
    }
    // Blank places of the toolbar change nothing.
    for (uint32_t id : {2008u, 2009u, 2121u, 2122u}) {
        EXPECT_EQ(control.HandleCommand(id), 1u) << id;
        EXPECT_EQ(running.Mode(), 0) << id;
    }
}

TEST_F(CommandDispatch, WallCommandsSetTheWallKindAndDrawWalls) {
    struct Case {
        uint32_t id;
        bool interior;  // WallState boolean 9
        bool linked;    // WallState boolean 8
    };
    for (const Case& c : {Case{401, false, true}, Case{402, false, false}, Case{403, true, true},
                          Case{404, true, false}, Case{2006, false, true}}) {
        control.wallState.SetBoolean(9, !c.interior);
        control.wallState.SetBoolean(8, !c.linked);
        window.SetMouseMode(0);
        control.HandleCommand(c.id);
        EXPECT_EQ(control.wallState.GetBoolean(9), c.interior) << c.id;
        EXPECT_EQ(control.wallState.GetBoolean(8), c.linked) << c.id;
        EXPECT_EQ(running.Mode(), 3) << c.id;
    }
}

TEST_F(CommandDispatch, ToggleCommandsFlipOnlyTheirGlobalBooleans) {
    struct Case {
        uint32_t id;
        std::vector<int> flipped;
    };
    const Case cases[] = {{224, {9}},  {225, {13}}, {226, {12}}, {227, {12, 9}},
                          {228, {14}}, {233, {3}},  {234, {11}}, {352, {6}},
                          {360, {24}}, {379, {30}}, {705, {33}}, {706, {21}}};
    const std::vector<int> watched = {3, 6, 9, 11, 12, 13, 14, 21, 24, 30, 33};
    for (const Case& c : cases) {
        std::vector<bool> before;
        for (int b : watched) before.push_back(control.globalState.GetBoolean(b));
        control.HandleCommand(c.id);
        for (size_t i = 0; i < watched.size(); ++i) {
            const bool flips =
                std::find(c.flipped.begin(), c.flipped.end(), watched[i]) != c.flipped.end();
            EXPECT_EQ(control.globalState.GetBoolean(watched[i]), before[i] != flips)
                << c.id << " boolean " << watched[i];
        }
    }
}

TEST_F(CommandDispatch, FavouriteViewsUseSlotsZeroToTwoAndFourToNine) {
    struct Case {
        uint32_t save;
        uint32_t go;
        int slot;
    };
    const Case cases[] = {{305, 308, 0}, {306, 309, 1}, {307, 310, 2}, {372, 324, 4}, {373, 325, 5},
                          {374, 326, 6}, {376, 327, 7}, {377, 328, 8}, {378, 329, 9}};
    for (const Case& c : cases) {
        window.fieldOfView = 20.0 + c.slot;
        control.HandleCommand(c.save);
        EXPECT_TRUE(control.sceneStates[c.slot].initialised) << c.save;
    }
    EXPECT_FALSE(control.sceneStates[3].initialised);

    for (const Case& c : cases) {
        window.fieldOfView = 70.0;
        control.HandleCommand(c.go);
        EXPECT_EQ(window.fieldOfView, 20.0 + c.slot) << c.go;
    }
    // Each recall is one view change that can be undone.
    control.HandleCommand(202);
    EXPECT_EQ(window.fieldOfView, 70.0);
}

TEST_F(CommandDispatch, HideCommandsToggleTheHiddenTypesOfTheActiveWindow) {
    struct Case {
        uint32_t id;
        uint64_t mask;
    };
    const Case cases[] = {{221, 0x10},      {359, 0x10},     {222, 0x8},          {357, 0x8},
                          {223, 0x20},      {358, 0x20},     {349, 0x2000000000}, {351, 0x100},
                          {353, 0x80},      {354, 0x40},     {356, 0x80000000},   {361, 0x100000},
                          {362, 0x8000000}, {363, 0x400000}, {367, 0x1000000},    {368, 0x800000}};
    for (const Case& c : cases) {
        control.HandleCommand(c.id);
        EXPECT_EQ(Hidden(), c.mask) << c.id;
        control.HandleCommand(c.id);
        EXPECT_EQ(Hidden(), 0u) << c.id;
    }

    // Show All clears every hidden type and turns the other floors on.
    control.HandleCommand(351);
    control.HandleCommand(368);
    control.globalState.SetBoolean(6, false);
    control.HandleCommand(332);
    EXPECT_EQ(Hidden(), 0u);
    EXPECT_TRUE(control.globalState.GetBoolean(6));
}

TEST_F(CommandDispatch, SecondMaskCommandsToggleTheirBits) {
    struct Case {
        uint32_t id;
        uint64_t mask;
    };
    for (const Case& c : {Case{381, 0x40}, Case{382, 0x100}, Case{383, 0x80}, Case{384, 0x4000000},
                          Case{385, 0x140}}) {
        control.HandleCommand(c.id);
        EXPECT_EQ(Second(), c.mask) << c.id;
        control.HandleCommand(c.id);
        EXPECT_EQ(Second(), 0u) << c.id;
    }
}

TEST_F(CommandDispatch, TypeVisibilityModes) {
    control.ApplyTypeVisibility(0x40, 1);
    control.ApplyTypeVisibility(0x100, 1);
    control.ApplyTypeVisibility(0x40, 2);
    EXPECT_EQ(Second(), 0x100u);
    control.ApplyTypeVisibility(0x80, 0);
    EXPECT_EQ(Hidden(), 0x80u);
    // The short mask stands for every type.
    control.ApplyTypeVisibility(0xFFFFFFFF, 0);
    EXPECT_EQ(Hidden(), TypeMask::kAllTypes);
    control.ApplyTypeVisibility(0xFFFFFFFF, 7);
    EXPECT_EQ(Hidden(), 0u);
}

TEST_F(CommandDispatch, StyleCommandsSetTheStateAndTheDrawingMode) {
    const int fences[] = {0, 1, 3, 2, 4};
    for (uint32_t id = 434; id <= 438; ++id) {
        control.HandleCommand(id);
        EXPECT_EQ(control.fenceState.GetInteger(0), fences[id - 434]) << id;
        EXPECT_EQ(running.Mode(), 23);
    }
    const int shapes[] = {1, 2, 4, 8};
    for (uint32_t id = 471; id <= 474; ++id) {
        control.HandleCommand(id);
        EXPECT_EQ(control.baseMoldingState.GetInteger(0), shapes[id - 471]) << id;
        EXPECT_EQ(running.Mode(), 27);
    }
    std::snprintf(control.contentDomain, sizeof control.contentDomain, "http://content/");
    control.HandleCommand(480);
    EXPECT_EQ(control.coveringState.GetString(0), "http://content/textures/default_covering.3c_");
    EXPECT_EQ(running.Mode(), 4);
    control.globalState.SetBoolean(9, false);
    control.HandleCommand(32813);
    EXPECT_EQ(control.coveringState.GetString(0), "http://content/textures/default_mirror.3c_");
    EXPECT_TRUE(control.globalState.GetBoolean(9));
}

TEST_F(CommandDispatch, RotationAndBlueprintSchemes) {
    control.globalState.SetDouble(15, 0.0);
    control.HandleCommand(335);
    control.HandleCommand(335);
    control.HandleCommand(336);
    EXPECT_DOUBLE_EQ(control.globalState.GetDouble(15), 22.5);
    for (uint32_t id : {700u, 702u, 704u, 32812u}) {
        control.HandleCommand(id);
        EXPECT_EQ(control.blueprintColorScheme, id == 32812u ? 5 : static_cast<int>(id - 700));
    }
}

// Dialogs run with the render lock given up, so the views keep drawing meanwhile.
TEST_F(CommandDispatch, DialogCommandsRunTheirDialogsWithoutTheRenderLock) {
    struct Seen {
        std::string kind;
        int page = -1;
        bool lockHeld = true;
    };
    std::vector<Seen> seen;
    Dialog::SetModalRunner([&](Dialog& dialog) {
        Seen s;
        if (auto* preferences = dynamic_cast<Preferences*>(&dialog)) {
            s.kind = "preferences";
            s.page = preferences->GetPage();
        } else if (dynamic_cast<FogPropertyDialog*>(&dialog)) {
            s.kind = "fog";
        } else if (dynamic_cast<DomePropertyDialog*>(&dialog)) {
            s.kind = "sky";
        } else {
            s.kind = "other";
        }
        s.lockHeld = control.RenderLock().IsHeldByCurrentThread();
        seen.push_back(s);
        return Dialog::kCancel;
    });
    control.LockRender();
    for (uint32_t id : {240u, 560u, 355u, 375u, 290u}) control.HandleCommand(id);
    EXPECT_TRUE(control.RenderLock().IsHeldByCurrentThread());
    control.UnlockRender();
    Dialog::SetModalRunner(nullptr);

    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].kind, "preferences");
    EXPECT_EQ(seen[0].page, Preferences::kGeneral);
    EXPECT_EQ(seen[1].page, Preferences::kAbout);
    EXPECT_EQ(seen[2].kind, "fog");
    EXPECT_EQ(seen[3].kind, "sky");
    EXPECT_EQ(seen[4].kind, "other");
    for (const Seen& s : seen) EXPECT_FALSE(s.lockHeld) << s.kind;
}

TEST_F(CommandDispatch, WorkGridHeightIsTakenOnlyWhenConfirmed) {
    control.floorState.SetDouble(4, 1.0);
    const double before = control.floorState.GetDouble(4);
    auto play = [](bool confirm) {
        Dialog::SetModalRunner([confirm](Dialog& dialog) {
            EXPECT_EQ(dialog.Window()->GetCaption(), "Set work grid height");
            dialog.Window()->SetText(213, "0");
            dialog.Window()->SetText(212, "10");
            if (confirm)
                dialog.Window()->PressEnter();
            else
                dialog.Window()->PressEscape();
            return 0;
        });
    };
    play(false);
    control.HandleCommand(32814);
    EXPECT_EQ(control.floorState.GetDouble(4), before);
    play(true);
    control.HandleCommand(32814);
    Dialog::SetModalRunner(nullptr);
    EXPECT_NE(control.floorState.GetDouble(4), before);
}

}  // namespace
