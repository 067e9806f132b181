#pragma once

#include <cstdint>
#include <memory>

#include "control/bars/StatusBar.h"

class Bitmap;
class Window;

// The drawn bitmap toolbar of a view, placed at the window's top edge. Its picture is
// cut into GlobalState integer 0 buttons of equal width; a click sends command 2000 +
// the button, a double click 2100 + the button.
class Toolbar : public StatusBar {
public:
    static constexpr uint32_t kBitmapResource = 676;
    static constexpr uint32_t kFirstTooltipString = 212;
    static constexpr uint32_t kClickCommand = 2000;
    static constexpr uint32_t kDoubleClickCommand = 2100;
    static constexpr int kMinimumX = 310;

    explicit Toolbar(Window* owner);
    ~Toolbar() override;

    // The toolbar picture (bitmap resource 676), swapped in under the render lock; false
    // when the resource does not load.
    bool LoadBitmap();
    // Lays the bar out from GlobalState integers 2 and 3 (width and height) at the top
    // of the window, right-aligned 10 pixels from the edge but never left of x 310, and
    // draws the picture into it. Nothing without a picture or while the bars are hidden.
    void Draw() override;

    // The 1-based button under window point (x, y), y from the top, or 0.
    int HitTestButton(int cursorX, int cursorY) const;
    // Send the button's command; false (nothing sent) when no button is there.
    bool ClickButton(int cursorX, int cursorY);
    bool ClickButtonAlternate(int cursorX, int cursorY);
    // A tooltip shown is hidden; the bar shows unless the menus auto-hide (GlobalState
    // boolean 1) or are hidden in the window, when it shows only while the cursor is in
    // its strip.
    void OnMouseMove(int cursorX, int cursorY);
    // Over a button: the owner's help bar shows the button's text (string 212 + button;
    // "NULL" gives an empty bar).
    void ShowTooltip(int cursorX, int cursorY);

    bool HasBitmap() const { return bitmap != nullptr; }

    uint8_t pinned = 0;

private:
    bool Click(int cursorX, int cursorY, uint32_t base);

    std::unique_ptr<Bitmap> bitmap;
};

// Whether the window shows its menus and controls at all times: GlobalState boolean 1
// (auto-hide) is clear and the window does not hide the drawn bars (type 0x8000000).
bool BarsAlwaysShown(const Window& window);
