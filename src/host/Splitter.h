#pragma once

#include "host/BaseWindow.h"

// The 7-pixel bar between the editor and the directory pane; a click on it opens or
// collapses the pane.
class Splitter : public BaseWindow {
public:
    static constexpr int kWidth = 7;

    void SetCollapsed(bool collapsed);
    bool IsCollapsed() const { return collapsed_; }

    int OnPaint() override;
    // Hands the click to the main window, in the main window's coordinates.
    int OnLButtonDown(platform::WParam wParam, platform::LParam lParam) override;
    int OnSize(platform::WParam type, int width, int height) override;

private:
    bool collapsed_ = false;
};
