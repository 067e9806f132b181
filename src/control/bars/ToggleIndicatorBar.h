#pragma once

#include <cstddef>
#include <cstdint>

#include "control/bars/StatusBar.h"

class Window;

// The bar of lamps that show switches toggled by keys (spotlights, reflections).
class ToggleIndicatorBar : public StatusBar {
public:
    static constexpr int kSlots = 16;
    static constexpr size_t kLabelSize = 64;

    explicit ToggleIndicatorBar(Window* owner = nullptr) : StatusBar(owner) {}

    // Adds a lamp; answers its slot, or -1 when every slot is taken or the label is null
    // or has kLabelSize characters or more. The caption lists every label, each
    // followed by six blanks.
    int AddIndicator(const char* label, bool on);
    // False for a slot outside the ones added.
    bool SetIndicatorOn(int slot, bool on);

    // The bar with two lamps: spotlights (on while GlobalState boolean 12, lights off, is
    // clear) and reflections (on while boolean 9 is set), green when on, red when off.
    void Draw() override;
    // Over the bar (window point, y from the top; up to 12 pixels past its right edge)
    // the owner's help bar names the key that toggles the lamp under the cursor; off the
    // bar that help goes again.
    void OnMouseMove(int cursorX, int cursorY);
    // Hides the help bar when this bar showed it.
    void OnMouseLeave();

    struct Indicator {
        char label[kLabelSize] = {};
        uint8_t on = 0;
    };
    Indicator indicators[kSlots];
    int indicatorCount = 0;
    uint8_t hover = 0;
};
