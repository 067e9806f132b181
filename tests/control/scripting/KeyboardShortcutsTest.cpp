#include <gtest/gtest.h>

#include <cstdint>

#include "control/scripting/KeyboardShortcuts.h"
#include "platform/Input.h"
#include "support/RunningControl.h"

namespace {

using Action = KeyboardShortcuts::Action;

TEST(KeyboardShortcutTables, CtrlKeys) {
    struct Case {
        unsigned key;
        bool shift;
        uint32_t id;
    };
    const Case cases[] = {
        {'N', false, 100},
        {'P', false, 142},
        {'S', false, 130},
        {'D', false, 220},
        {'F', false, 363},
        {'G', false, 230},
        {'H', false, 500},
        {'I', false, 404},
        {'L', false, 229},
        {'M', false, 232},
        {'U', false, 231},
        {'W', false, 402},
        {'Y', false, 201},
        {'Z', false, 200},
        {188, false, 202},
        {190, false, 203},
        // Favourite views: Shift + digit, or the character the shifted digit types.
        {'1', true, 308},
        {'3', true, 310},
        {'4', true, 324},
        {'9', true, 329},
        {'6', true, 326},
        {94, false, 326},
        {33, false, 308},
        {40, false, 329},
        // Digits without Shift and other letters are nothing.
        {'6', false, 0},
        {'A', false, 0},
        {'0', true, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(KeyboardShortcuts::CtrlCommand(c.key, c.shift), c.id) << c.key;
}

TEST(KeyboardShortcutTables, KeysWhateverCtrlDoes) {
    struct Case {
        unsigned key;
        bool typing;
        int mode;
        uint32_t id;
    };
    const Case cases[] = {{platform::VK_TAB, false, 0, 362},  {platform::VK_RETURN, false, 0, 308},
                          {platform::VK_RETURN, true, 0, 0},  {platform::VK_PRIOR, false, 0, 461},
                          {platform::VK_NEXT, false, 3, 462}, {platform::VK_PRIOR, false, 31, 0},
                          {platform::VK_NEXT, false, 31, 0},  {'Q', false, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(KeyboardShortcuts::PlainCommand(c.key, 0, c.typing, c.mode), c.id) << c.key;
    // A key without a command of its own keeps the Ctrl command.
    EXPECT_EQ(KeyboardShortcuts::PlainCommand('M', 232, false, 0), 232u);
}

TEST(KeyboardShortcutTables, EscEndsSomeModesAtOnceAndDrawingModesOnlyMidOperation) {
    for (int mode : {4, 5, 7, 12, 19, 20, 22, 25, 28, 29, 30}) {
        EXPECT_TRUE(KeyboardShortcuts::EscEndsMode(mode, false)) << mode;
    }
    for (int mode : {1, 2, 3, 8, 9, 10, 18, 21, 23, 26, 27}) {
        EXPECT_FALSE(KeyboardShortcuts::EscEndsMode(mode, false)) << mode;
        EXPECT_TRUE(KeyboardShortcuts::EscEndsMode(mode, true)) << mode;
    }
    for (int mode : {0, 11, 16, 31}) EXPECT_FALSE(KeyboardShortcuts::EscEndsMode(mode, true));
}

TEST(KeyboardShortcutTables, FieldOfViewStepsStayWithinTwentyToEighty) {
    struct Case {
        double from;
        bool wider;
        double to;
    };
    for (const Case& c : {Case{25, false, 15}, Case{25, true, 35}, Case{20, false, 20},
                          Case{80, true, 80}, Case{79, true, 89}, Case{50, false, 40}})
        EXPECT_EQ(KeyboardShortcuts::StepFieldOfView(c.from, c.wider), c.to) << c.from;
}

class KeyRoads : public ::testing::Test {
protected:
    ~KeyRoads() override {
        platform::SetKeyState(platform::VK_CONTROL, false);
        platform::SetKeyState(platform::VK_SHIFT, false);
    }
    int KeyDown(unsigned key) {
        platform::Message message;
        message.message = platform::WM_KEYDOWN;
        message.wParam = key;
        return control.ProcessKey(message);
    }
    void KeyUp(unsigned key) { control.OnKeyUp(platform::WM_KEYUP, key, 0); }

    RunningControl running;
    CDuzazododiza& control = *running.control;
    Window& window = running.window;
};

TEST_F(KeyRoads, ReleasedLettersAreShortcuts) {
    KeyUp('O');
    EXPECT_EQ(running.Mode(), 16);
    // U enters the terrain mode and leaves it again.
    KeyUp('U');
    EXPECT_EQ(running.Mode(), 28);
    KeyUp('U');
    EXPECT_EQ(running.Mode(), 0);

    control.wallState.SetBoolean(8, false);
    control.wallState.SetBoolean(9, true);
    KeyUp('W');
    EXPECT_TRUE(control.wallState.GetBoolean(8));
    EXPECT_FALSE(control.wallState.GetBoolean(9));
    EXPECT_EQ(running.Mode(), 3);

    const bool gravity = control.globalState.GetBoolean(11);
    KeyUp('G');
    EXPECT_NE(control.globalState.GetBoolean(11), gravity);
    KeyUp('D');
    EXPECT_EQ(window.GetRenderState().GetInt64(0), 0x800000u);
    // A, a command, shows every type again.
    KeyUp('A');
    EXPECT_EQ(window.GetRenderState().GetInt64(0), 0u);
    // Every key reaches the mode afterwards.
    KeyUp('Q');
    EXPECT_EQ(running.CurrentMode().keyUps.back(), static_cast<unsigned>('Q'));
}

TEST_F(KeyRoads, TypingTextOrHoldingCtrlLeavesLettersToTheMode) {
    control.textEntryActive = 1;
    KeyUp('O');
    EXPECT_EQ(running.Mode(), 0);
    EXPECT_EQ(running.CurrentMode().keyUps.back(), static_cast<unsigned>('O'));
    EXPECT_EQ(KeyDown(platform::VK_RETURN), 0);
    control.textEntryActive = 0;

    platform::SetKeyState(platform::VK_CONTROL, true);
    KeyUp('O');
    EXPECT_EQ(running.Mode(), 0);
}

TEST_F(KeyRoads, CtrlKeysBecomeCommandsAndEndTheWalk) {
    platform::SetKeyState(platform::VK_CONTROL, true);
    window.SetMouseMode(31);
    EXPECT_EQ(KeyDown('M'), 1);
    EXPECT_EQ(running.Mode(), 7);
    EXPECT_EQ(KeyDown('Q'), 0);

    // Ctrl+Shift+1 goes to favourite view 1.
    platform::SetKeyState(platform::VK_SHIFT, true);
    control.sceneStates[0].initialised = 1;
    control.sceneStates[0].viewState.SetDouble(0, 33.0);
    EXPECT_EQ(KeyDown('1'), 1);
    EXPECT_EQ(window.fieldOfView, 33.0);
}

TEST_F(KeyRoads, WorkGridKeysAreLeftToTheWalk) {
    window.SetMouseMode(31);
    EXPECT_EQ(KeyDown(platform::VK_PRIOR), 0);
    EXPECT_EQ(running.Mode(), 31);
    // Tab hides the menus and controls.
    EXPECT_EQ(KeyDown(platform::VK_TAB), 1);
    EXPECT_EQ(window.GetRenderState().GetInt64(0), 0x8000000u);
    EXPECT_EQ(running.Mode(), 0);
}

TEST_F(KeyRoads, EscReturnsToSelectionAndF8FlipsTheFrameRate) {
    window.SetMouseMode(4);
    running.CurrentMode().editLock = true;
    EXPECT_EQ(KeyDown(platform::VK_ESCAPE), 0);
    EXPECT_EQ(running.Mode(), 0);
    EXPECT_FALSE(running.CurrentMode().editLock);

    window.SetMouseMode(3);
    KeyDown(platform::VK_ESCAPE);
    EXPECT_EQ(running.Mode(), 3);
    static_cast<RecordingMode*>(window.GetMode(3))->SetBusy(true);
    KeyDown(platform::VK_ESCAPE);
    EXPECT_EQ(running.Mode(), 0);

    const bool frameRate = control.globalState.GetBoolean(33);
    EXPECT_EQ(KeyDown(KeyboardShortcuts::kF8), 0);
    EXPECT_NE(control.globalState.GetBoolean(33), frameRate);
    KeyDown(KeyboardShortcuts::kF9);
    EXPECT_EQ(control.f9Flag, 1);
}

TEST_F(KeyRoads, ABusyControlTakesEveryKeyAndEscCancelsTheLoad) {
    running.Busy();
    control.loadKind = 0;
    EXPECT_EQ(KeyDown('M'), 1);
    EXPECT_EQ(control.loadKind, 0);
    EXPECT_EQ(KeyDown(platform::VK_ESCAPE), 1);
    EXPECT_EQ(control.loadKind, 2);
    // The mode does not see key-ups meanwhile.
    KeyUp('O');
    EXPECT_TRUE(running.CurrentMode().keyUps.empty());
    EXPECT_EQ(running.Mode(), 0);
}

TEST_F(KeyRoads, PageKeyPresses) {
    // The Ctrl road hands Ctrl to the mode first.
    EXPECT_EQ(control.ProcessKeyPress('O' - 96, true), platform::S_OK);
    EXPECT_EQ(running.CurrentMode().keyDowns.back(), static_cast<unsigned>(platform::VK_CONTROL));
    // The other road is a key-up of the key as given.
    EXPECT_EQ(control.ProcessKeyPress('O', false), platform::S_OK);
    EXPECT_EQ(running.Mode(), 16);
}

}  // namespace
