#include "host/Splitter.h"

#include <cstdlib>
#include <vector>

namespace {

struct Colour {
    uint8_t r, g, b;
};

constexpr Colour kFace{212, 208, 200};
constexpr Colour kWhite{255, 255, 255};
constexpr Colour kBlack{0, 0, 0};
constexpr Colour kLight{244, 240, 232};
constexpr Colour kShadow{148, 144, 136};
constexpr Colour kArrow{64, 64, 64};

// The arrow on the bar: it points to where a click moves the bar.
constexpr int kArrowWidth = 4;
constexpr int kArrowHeight = 7;

}  // namespace

void Splitter::SetCollapsed(bool collapsed) {
    collapsed_ = collapsed;
    if (platform::IsWindow(window_)) platform::UpdateWindow(window_);
}

int Splitter::OnSize(platform::WParam, int, int) {
    platform::UpdateWindow(window_);
    return 0;
}

int Splitter::OnPaint() {
    const platform::Size size = platform::GetClientSize(window_);
    const int w = size.width;
    const int h = size.height;
    if (w <= 0 || h <= 0) return 0;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    auto put = [&](int x, int y, Colour c) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    };
    for (int y = 0; y < h; ++y) {
        put(0, y, kBlack);
        put(1, y, kWhite);
        for (int x = 2; x < w; ++x) put(x, y, kFace);
    }
    for (int x = 1; x < w; ++x) {
        put(x, 0, kLight);
        put(x, h - 1, kShadow);
    }
    // Open: the arrow points right (the pane collapses); collapsed: left (it opens).
    const int top = (h - kArrowHeight) / 2;
    for (int row = 0; row < kArrowHeight; ++row) {
        const int reach = kArrowHeight / 2 - std::abs(row - kArrowHeight / 2);
        for (int i = 0; i <= reach && i < kArrowWidth; ++i)
            put(collapsed_ ? 1 + kArrowWidth - 1 - i : 1 + i + 1, top + row, kArrow);
    }
    platform::DrawPixels(window_, 0, 0, w, h, rgb.data());
    return 0;
}

int Splitter::OnLButtonDown(platform::WParam wParam, platform::LParam lParam) {
    const platform::WindowHandle main = platform::GetParent(window_);
    if (main == platform::kNoWindow) return 1;
    const platform::Rect rect = platform::GetWindowRect(window_);
    const int x = platform::XFromLParam(lParam) + rect.left;
    const int y = platform::YFromLParam(lParam) + rect.top;
    platform::PostMessage(main, platform::WM_LBUTTONDOWN, wParam, platform::MakeLParam(x, y));
    return 0;
}
