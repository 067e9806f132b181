#include "control/bars/ToggleIndicatorBar.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "render/Window.h"

namespace {

constexpr int kFirstLampOffset = 22;
constexpr int kLampSpacing = 25;
constexpr double kLampRadius = 4.0;
constexpr int kLampSegments = 8;
constexpr int kHoverMargin = 12;
constexpr const char* kLightsHelp = "Toggle spotlights with the 'L' key";
constexpr const char* kReflectionsHelp = "Toggle reflections with the 'M' key";

void DrawLamp(double cx, double cy, bool on) {
    if (on)
        glColor3ub(0, 255, 0);
    else
        glColor3ub(255, 0, 0);
    glBegin(GL_TRIANGLE_FAN);
    glVertex2d(cx, cy);
    for (int i = 0; i <= kLampSegments; ++i) {
        const double a = i * M_PI / 4.0;
        glVertex2d(cx + kLampRadius * std::cos(a), cy + kLampRadius * std::sin(a));
    }
    glEnd();
}

}  // namespace

int ToggleIndicatorBar::AddIndicator(const char* label, bool on) {
    if (!PRECONDITION(label != nullptr && std::strlen(label) < kLabelSize,
                      "Indicator label missing or too long"))
        return -1;
    if (indicatorCount >= kSlots) return -1;
    const int slot = indicatorCount++;
    std::snprintf(indicators[slot].label, kLabelSize, "%s", label);
    indicators[slot].on = on ? 1 : 0;

    char text[kCaptionSize] = {};
    size_t used = 0;
    for (int i = 0; i < indicatorCount && used < sizeof text; ++i) {
        const int n =
            std::snprintf(text + used, sizeof text - used, "%s      ", indicators[i].label);
        if (n < 0) break;
        used += static_cast<size_t>(n);
    }
    SetText(text, false);
    return slot;
}

bool ToggleIndicatorBar::SetIndicatorOn(int slot, bool on) {
    if (!PRECONDITION(slot >= 0 && slot < indicatorCount, "Indicator slot out of range"))
        return false;
    indicators[slot].on = on ? 1 : 0;
    return true;
}

void ToggleIndicatorBar::Draw() {
    const BaseControl* control = theControl();
    if (!owner || !control || BarsHiddenForOutput()) return;
    StatusBar::Draw();
    if (!shown || !laidOut || !owner->Begin2DRender()) return;
    const double cy = y + height / 2.0;
    DrawLamp(x + kFirstLampOffset, cy, !control->globalState.GetBoolean(12));
    DrawLamp(x + kFirstLampOffset + kLampSpacing, cy, control->globalState.GetBoolean(9));
    owner->End2DRender();
}

void ToggleIndicatorBar::OnMouseMove(int cursorX, int cursorY) {
    if (!owner) return;
    const int fromBottom = RowFromBottom(*owner, cursorY);
    const bool over = laidOut && fromBottom >= y && fromBottom < y + height && cursorX >= x &&
                      cursorX <= x + width + kHoverMargin;
    if (!over) {
        OnMouseLeave();
        return;
    }
    HelpWindow& help = owner->helpWindow;
    help.SetText(cursorX > x + width / 2 ? kReflectionsHelp : kLightsHelp, false);
    help.SetShown(true);
    hover = 1;
}

void ToggleIndicatorBar::OnMouseLeave() {
    if (!hover || !owner) return;
    hover = 0;
    owner->helpWindow.SetText("", false);
    owner->helpWindow.SetShown(false);
}
