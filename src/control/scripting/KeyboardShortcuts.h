#pragma once

#include <cstdint>

// The control's keyboard shortcuts as tables: which command a key-down gives (with Ctrl
// and without), what a released letter does, when Esc ends a mode and how ',' and '.'
// step the field of view. CDuzazododiza::ProcessKey and OnKeyUp carry them out.
class KeyboardShortcuts {
public:
    // Keys beyond the platform's list.
    static constexpr unsigned kF8 = 119;
    static constexpr unsigned kF9 = 120;
    static constexpr unsigned kComma = 188;
    static constexpr unsigned kPeriod = 190;
    static constexpr int kWalkMode = 31;

    // The command of a key pressed with Ctrl held (`shift`: Shift held too); 0 for none.
    static uint32_t CtrlCommand(unsigned key, bool shift);
    // The command of a key pressed whatever Ctrl does, or `ctrlCommand` when the key has
    // none: Tab, Enter (not while a text is typed) and Page Up / Page Down (not in the
    // arrow-key walk mode).
    static uint32_t PlainCommand(unsigned key, uint32_t ctrlCommand, bool typingText,
                                 int activeMode);
    // Whether Esc returns `mode` to the selection mode: some modes at once, the drawing
    // modes only while they are in the middle of an operation.
    static bool EscEndsMode(int mode, bool operationInProgress);

    // What a key released without Ctrl (and outside text entry) does.
    enum class Action : uint8_t {
        None,
        Command,          // value: command id
        Mode,             // value: mouse mode
        ToggleHidden,     // value: type mask whose hidden state flips
        ToggleGlobal,     // value: GlobalState boolean
        Wall,             // value: 1 interior, 0 exterior (linked walls)
        TerrainMode,      // mode 28, or back to selection when it is on already
        LightOverhead,    // the active light over the camera
        SavedViewWindow,  // a new saved-view window
        NarrowView,       // field of view 10 degrees narrower
        WidenView         // field of view 10 degrees wider
    };
    struct KeyUp {
        Action action = Action::None;
        uint64_t value = 0;
    };
    static KeyUp KeyUpShortcut(unsigned key);

    // The field of view after a narrowing or widening step, or `degrees` itself when the
    // step would leave 20..80 (by the tens digit).
    static double StepFieldOfView(double degrees, bool wider);
};
