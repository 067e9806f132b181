#pragma once

#include <cstdint>
#include <memory>

#include "control/bars/StatusBar.h"

class Window;

namespace platform {
class Menu;
}

// The drawn menu bar at the top of a view: one cell per title, read from the string
// resources at construction, and one more cell behind them for the bar itself. A click
// on a title opens the title's pop-up menu (the menu resource of the same number) and
// the command chosen goes to the control.
class MenuBar {
public:
    static constexpr int kCells = 16;
    static constexpr int kMaxTitles = 15;
    static constexpr int kFirstTitleString = 202;
    static constexpr int kTitleTextSize = 128;

    explicit MenuBar(Window* owner = nullptr);
    ~MenuBar();
    MenuBar(const MenuBar&) = delete;
    MenuBar& operator=(const MenuBar&) = delete;

    // Titles from left + 10 to the right, each (characters + 4) x 5 pixels wide, all
    // at the bar's bottom and height; the background cell spans the whole bar.
    void Layout(int left, int bottom, int barWidth, int barHeight);
    // The cells from the last to the first, while the bar is shown.
    void Draw();
    // Window point (x, y), y from the top. The title under the cursor is highlighted.
    // The bar shows at all times unless the menus auto-hide or are hidden in the window;
    // then it shows only while the cursor is in its strip.
    void OnMouseMove(int cursorX, int cursorY);
    // A click on a title opens its menu below the title (the render lock given up while
    // it is open) and passes the command chosen to the control; answers 1 when a title
    // was hit, else 0.
    int OnClick(int cursorX, int cursorY);
    // Ticks and greys the entries of title `index`'s menu by the control's state.
    void UpdateMenuState(int index);

    int TitleCount() const { return titleCount; }
    // The title under window point (x, y), y from the top, or -1.
    int TitleAt(int cursorX, int cursorY) const;
    // The cell behind the titles.
    StatusBar& Background() { return cells[titleCount]; }
    // Title `index`'s pop-up menu, or null.
    platform::Menu* TitleMenu(int index) const;

    Window* owner;
    StatusBar cells[kCells];
    int titleCount = 0;
    int selected = -1;
    uint8_t autoHidden = 0;
    uint8_t shown = 1;

private:
    std::unique_ptr<platform::Menu> menus[kMaxTitles];
};

// The states of the control's menu entries, applied to every entry of `menu` (and its
// sub-menus) whose id the state table knows.
void ApplyMenuStates(platform::Menu& menu);

// Moves a screen point for a menu onto the work area of the screen.
void KeepOnScreen(int& x, int& y);
