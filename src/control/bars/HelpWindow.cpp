#include "control/bars/HelpWindow.h"

#include <algorithm>
#include <cstring>

#include "render/Window.h"

namespace {

constexpr double kUpperPart = 0.67;
constexpr int kBelowCursor = 60;
constexpr int kAboveCursor = 10;
constexpr int kLeftOfCursor = 60;
constexpr int kPixelsPerCharacter = 5;
constexpr int kTextMargin = 15;

}  // namespace

void HelpWindow::PlaceNearCursor(int cursorX, int cursorY) {
    if (!owner || caption[0] == '\0') {
        x = y = width = height = 0;
        return;
    }
    const int windowWidth = static_cast<int>(owner->width);
    const int windowHeight = static_cast<int>(owner->height);
    const int fromBottom = windowHeight - cursorY;
    int barY = fromBottom > kUpperPart * windowHeight ? fromBottom - kBelowCursor
                                                      : fromBottom + kAboveCursor;
    int barX = cursorX > kUpperPart * windowWidth ? cursorX - kLeftOfCursor : cursorX;
    const int barWidth =
        captionWidth > 0.0
            ? static_cast<int>(captionWidth)
            : static_cast<int>(std::strlen(caption)) * kPixelsPerCharacter + kTextMargin;
    // A bar near an edge stays whole inside the window.
    barX = std::max(0, std::min(barX, windowWidth - barWidth));
    barY = std::max(0, std::min(barY, windowHeight - kHeight));
    SetRect(barX, barY, barWidth, kHeight);
}

void HelpWindow::Draw() {
    if (caption[0] == '\0') return;
    StatusBar::Draw();
}
