#pragma once

#include <cstdint>

#include "control/bars/StatusBar.h"

class Window;

// The tooltip-coloured help bar that follows the cursor.
class HelpWindow : public StatusBar {
public:
    explicit HelpWindow(Window* owner = nullptr) : StatusBar(owner) { ApplyLook(); }

    void Reset() override {
        StatusBar::Reset();
        ApplyLook();
    }

    // Set while the toolbar shows its tooltip in the bar.
    uint8_t shownByToolbar = 0;

private:
    void ApplyLook() {
        // Tooltip face colour.
        background[0] = 255;
        background[1] = 255;
        background[2] = 225;
        flat = 1;
        drawCaption = 1;
    }
};
