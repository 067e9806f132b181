#include "control/bars/MainProgressBar.h"

#include <cstdio>

void MainProgressBar::SetShown(bool show) {
    shown = show;
    if (!show) detail.clear();
}

void MainProgressBar::SetDetail(double bytes) {
    char text[kDetailSize];
    std::snprintf(text, sizeof text, "File size: %0.1f Kb.", bytes / 1024.0);
    detail = text;
}
