#include "control/bars/StatusBar.h"

#include <cstdio>

namespace {

// The menu face colour the bars are drawn in (a white face would vanish on a white
// scene, so the bars never take it).
constexpr uint8_t kMenuFace[3] = {212, 208, 200};

}  // namespace

StatusBar::StatusBar(Window* ownerWindow) : owner(ownerWindow) {
    Reset();
}

void StatusBar::Reset() {
    x = y = width = height = 0;
    laidOut = 0;
    shown = 1;
    drawCaption = 1;
    anchoredRight = 0;
    raisedBorder = 0;
    flat = 0;
    highlight = 0;
    caption[0] = '\0';
    captionIsWarning = 0;
    holdCaption = 0;
    captionWidth = 0.0;
    for (int c = 0; c < 3; ++c) background[c] = kMenuFace[c];
    borderStyle = 2;
    progress = 0.0;
    progressEnabled = 0;
    for (int k = 0; k < kShades; ++k) shades[k] = static_cast<uint8_t>(192.0 - k * 19.2);
}

void StatusBar::SetShown(bool show) {
    shown = show ? 1 : 0;
    if (!show) progress = 0.0;
}

int StatusBar::SetRect(int left, int bottom, int barWidth, int barHeight) {
    x = left;
    y = bottom;
    width = barWidth;
    height = barHeight;
    laidOut = 1;
    return height;
}

void StatusBar::SetText(const char* text, bool warning) {
    std::snprintf(caption, sizeof caption, "%s", text ? text : "");
    captionIsWarning = warning ? 1 : 0;
}
