#pragma once

#include <cstdint>

#include "control/bars/StatusBar.h"

class Window;

// The tooltip-coloured help bar that follows the cursor.
class HelpWindow : public StatusBar {
public:
    static constexpr int kHeight = 15;

    explicit HelpWindow(Window* owner = nullptr) : StatusBar(owner) { ApplyLook(); }

    void Reset() override {
        StatusBar::Reset();
        ApplyLook();
    }

    // Places the bar beside window point (x, y), y from the top: 60 pixels below the
    // cursor in the upper third of the window, else 10 above it; 60 pixels to the left
    // in the right third. The bar is as wide as its caption and is kept inside the
    // window. Without a caption the bar is empty (every value 0).
    void PlaceNearCursor(int cursorX, int cursorY);
    // Nothing without a caption.
    void Draw() override;

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
