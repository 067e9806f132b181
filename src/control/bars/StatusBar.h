#pragma once

#include <cstddef>
#include <cstdint>

class Window;

// A bar drawn with OpenGL inside a view window: a rectangle with a caption, an optional
// progress box and a border. The other drawn bars (menu titles, toolbar, help bar,
// indicator bar) are status bars too or use their rectangle and caption.
//
// Coordinates follow OpenGL: x from the window's left edge, y from its bottom edge.
class StatusBar {
public:
    static constexpr size_t kCaptionSize = 2048;
    static constexpr int kShades = 10;

    explicit StatusBar(Window* owner = nullptr);
    virtual ~StatusBar() = default;
    StatusBar(const StatusBar&) = delete;
    StatusBar& operator=(const StatusBar&) = delete;

    // Every field back to its starting value; the owner stays.
    virtual void Reset();
    // Hiding also clears the progress value.
    virtual void SetShown(bool show);

    // Places the bar and marks it laid out; answers the height.
    int SetRect(int left, int bottom, int barWidth, int barHeight);
    // The caption, cut to kCaptionSize - 1 characters; null clears it. A warning is drawn
    // in red.
    void SetText(const char* text, bool warning);

    // Prepares the bar for drawing; the control does it once at construction.
    void Setup() { setUp = true; }
    bool IsSetUp() const { return setUp; }

    Window* owner;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint8_t laidOut = 0;
    uint8_t shown = 1;
    uint8_t drawCaption = 1;
    uint8_t anchoredRight = 0;
    uint8_t raisedBorder = 0;
    uint8_t flat = 0;
    uint8_t highlight = 0;
    char caption[kCaptionSize] = {};
    uint8_t captionIsWarning = 0;
    // Set while a mode's prompt must stay; the start of a frame then keeps the caption.
    uint8_t holdCaption = 0;
    // Width of the caption as last drawn; 0 before the first draw.
    double captionWidth = 0.0;
    uint8_t background[3] = {};
    uint8_t borderStyle = 2;
    double progress = 0.0;
    uint8_t progressEnabled = 0;
    // Shades of the progress box, light to dark.
    uint8_t shades[kShades] = {};

private:
    bool setUp = false;
};
