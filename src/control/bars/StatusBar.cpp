#include "control/bars/StatusBar.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "control/BaseControl.h"
#include "render/Window.h"

namespace {

// The menu face colour the bars are drawn in (a white face would vanish on a white
// scene, so the bars never take it).
constexpr uint8_t kMenuFace[3] = {212, 208, 200};
constexpr int kCaptionInset = 6;
constexpr double kCaptionMargin = 12.0;
// Height of the font's capitals, which the caption is centred by.
constexpr int kCapitalHeight = 9;
constexpr int kProgressBoxWidth = 100;
constexpr int kProgressBoxInset = 3;

uint8_t Shifted(uint8_t value, int by) {
    return static_cast<uint8_t>(std::clamp(value + by, 0, 255));
}

}  // namespace

double DrawBarText(const char* text, double x, double y) {
    const BaseControl* control = theControl();
    glRasterPos2d(x, y);
    if (!control || control->dialogFontList == 0 || !text || !text[0]) return x;
    std::string shown(text);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) >= 128) c = '?';
    glListBase(control->dialogFontList);
    glCallLists(static_cast<GLsizei>(shown.size()), GL_UNSIGNED_BYTE, shown.data());
    GLfloat end[4] = {};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, end);
    return end[0];
}

int RowFromBottom(const Window& window, int cursorY) {
    return static_cast<int>(window.height) - 1 - cursorY;
}

bool BarsHiddenForOutput() {
    const BaseControl* control = theControl();
    return control && control->globalState.GetBoolean(29);
}

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

bool StatusBar::Contains(int px, int py) const {
    return laidOut && px >= x && px < x + width && py >= y && py < y + height;
}

void StatusBar::SetText(const char* text, bool warning) {
    std::snprintf(caption, sizeof caption, "%s", text ? text : "");
    captionIsWarning = warning ? 1 : 0;
}

void StatusBar::Draw() {
    if (!owner || !shown || !laidOut || BarsHiddenForOutput()) return;
    if (anchoredRight) {
        width = std::max(width, static_cast<int32_t>(captionWidth));
        x = static_cast<int32_t>(owner->width) - width;
    }
    if (width <= 0 || height <= 0) return;
    if (!owner->Begin2DRender()) return;

    const int left = x;
    const int right = x + width;
    const int top = y + height;
    glColor3ub(background[0], background[1], background[2]);
    glRecti(left, y, right, top);

    if (!flat || highlight) {
        const bool raised = raisedBorder || highlight;
        uint8_t light[3], dark[3];
        for (int c = 0; c < 3; ++c) {
            light[c] = Shifted(background[c], 32);
            dark[c] = Shifted(background[c], -64);
        }
        const uint8_t* upper = raised ? light : dark;
        const uint8_t* lower = raised ? dark : light;
        glBegin(GL_LINES);
        glColor3ubv(upper);
        glVertex2f(left + 0.5f, y + 0.5f);
        glVertex2f(left + 0.5f, top - 0.5f);
        glVertex2f(left + 0.5f, top - 0.5f);
        glVertex2f(right - 0.5f, top - 0.5f);
        glColor3ubv(lower);
        glVertex2f(right - 0.5f, top - 0.5f);
        glVertex2f(right - 0.5f, y + 0.5f);
        glVertex2f(right - 0.5f, y + 0.5f);
        glVertex2f(left + 0.5f, y + 0.5f);
        glEnd();
    }

    if (drawCaption && caption[0]) {
        if (captionIsWarning)
            glColor3ub(255, 0, 0);
        else
            glColor3ub(0, 0, 0);
        const double start = left + kCaptionInset;
        const double end = DrawBarText(caption, start, y + (height - kCapitalHeight) / 2);
        captionWidth = end - start + kCaptionMargin;
    }

    if (progressEnabled) DrawProgressBox(left);
    owner->End2DRender();
}

void StatusBar::DrawProgressBox(int left) {
    const int boxWidth = std::min(kProgressBoxWidth, width - 2 * kProgressBoxInset);
    if (boxWidth <= 0 || height <= 2 * kProgressBoxInset) return;
    const int x0 = left + width - boxWidth - kProgressBoxInset;
    const int y0 = y + kProgressBoxInset;
    const int x1 = x0 + boxWidth;
    const int y1 = y + height - kProgressBoxInset;
    // The well, shaded from the light top to the darker bottom.
    glBegin(GL_QUADS);
    glColor3ub(shades[0], shades[0], shades[0]);
    glVertex2i(x0, y1);
    glVertex2i(x1, y1);
    glColor3ub(shades[2], shades[2], shades[2]);
    glVertex2i(x1, y0);
    glVertex2i(x0, y0);
    glEnd();

    const double fraction = std::clamp(progress * 0.01, 0.0, 1.0);
    if (fraction > 0.0) {
        glColor3ub(0, 0, 127);
        glRecti(x0, y0, x0 + static_cast<int>(boxWidth * fraction), y1);
    }
    glColor3ub(shades[9], shades[9], shades[9]);
    glBegin(GL_LINE_LOOP);
    glVertex2f(x0 + 0.5f, y0 + 0.5f);
    glVertex2f(x1 - 0.5f, y0 + 0.5f);
    glVertex2f(x1 - 0.5f, y1 - 0.5f);
    glVertex2f(x0 + 0.5f, y1 - 0.5f);
    glEnd();

    char text[32];
    if (progress > 0.0)
        std::snprintf(text, sizeof text, "%1.2f%%", progress);
    else
        std::snprintf(text, sizeof text, "Retrieving...");
    glEnable(GL_COLOR_LOGIC_OP);
    glLogicOp(GL_INVERT);
    DrawBarText(text, x0 + 4, y0 + (y1 - y0 - kCapitalHeight) / 2);
    glDisable(GL_COLOR_LOGIC_OP);
}
