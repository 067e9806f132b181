#include "control/bars/MenuBar.h"

#include <cstring>

#include "control/Resources.h"

MenuBar::MenuBar(Window* owner) {
    for (StatusBar& cell : cells) cell.owner = owner;
    // The titles end at the first "NULL" text (or at a missing one).
    for (int i = 0; i < kMaxTitles; ++i) {
        char text[kTitleTextSize];
        if (ControlStrings().LoadTo(kFirstTitleString + i, text, sizeof text) == 0) break;
        if (std::strcmp(text, "NULL") == 0) break;
        StatusBar& cell = cells[titleCount++];
        cell.SetText(text, false);
        cell.shown = 1;
        cell.drawCaption = 1;
        cell.raisedBorder = 0;
    }
    StatusBar& bar = cells[titleCount];
    bar.SetText("", false);
    bar.shown = 1;
    bar.flat = 1;
}

void MenuBar::Layout(int left, int bottom, int barWidth, int barHeight) {
    int titleLeft = left + 10;
    for (int i = 0; i < titleCount; ++i) {
        const int titleWidth = static_cast<int>(std::strlen(cells[i].caption) + 4) * 5;
        cells[i].SetRect(titleLeft, bottom, titleWidth, barHeight);
        titleLeft += titleWidth;
    }
    Background().SetRect(left, bottom, barWidth, barHeight);
}
