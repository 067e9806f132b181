#pragma once

#include <cstdint>

#include "control/bars/StatusBar.h"

class Window;

// The drawn menu bar at the top of a view: one cell per title, read from the string
// resources at construction, and one more cell behind them for the bar itself.
class MenuBar {
public:
    static constexpr int kCells = 16;
    static constexpr int kMaxTitles = 15;
    static constexpr int kFirstTitleString = 202;
    static constexpr int kTitleTextSize = 128;

    explicit MenuBar(Window* owner = nullptr);
    MenuBar(const MenuBar&) = delete;
    MenuBar& operator=(const MenuBar&) = delete;

    // Titles from left + 10 to the right, each (characters + 4) x 5 pixels wide, all
    // at the bar's bottom and height; the background cell spans the whole bar.
    void Layout(int left, int bottom, int barWidth, int barHeight);

    int TitleCount() const { return titleCount; }
    // The cell behind the titles.
    StatusBar& Background() { return cells[titleCount]; }

    StatusBar cells[kCells];
    int titleCount = 0;
    int selected = -1;
    uint8_t autoHidden = 0;
    uint8_t shown = 1;
};
