#include "control/bars/ToggleIndicatorBar.h"

#include <cstdio>
#include <cstring>

#include "foundation/Trace.h"

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
