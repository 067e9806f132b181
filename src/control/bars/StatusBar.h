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

    // Draws the bar in its window's 2D overlay: the face, the border (none for a flat
    // bar unless it is highlighted, raised when highlighted), the caption in red or
    // black (measuring its width) and the progress box. Nothing while the drawn bars are
    // hidden (GlobalState boolean 29), for a bar that is hidden or not laid out, or
    // without a window. A right-anchored bar first moves so that it ends at the
    // window's right edge, wide enough for its caption.
    virtual void Draw();

    // Places the bar and marks it laid out; answers the height.
    int SetRect(int left, int bottom, int barWidth, int barHeight);
    // Whether window point (px, py), y from the bottom, lies in the bar.
    bool Contains(int px, int py) const;
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
    void DrawProgressBox(int left);

    bool setUp = false;
};

// Draws `text` with the control's dialog font from window point (x, y) (the baseline's
// left end) in the current colour; answers where the text ends (x without a font).
// Characters outside the font's 128 are drawn as '?'.
double DrawBarText(const char* text, double x, double y);

// The pixel row, counted from the bottom, of a cursor `cursorY` pixels below the top of
// `window`.
int RowFromBottom(const Window& window, int cursorY);

// Whether the control hides its drawn bars (GlobalState boolean 29: output in progress).
bool BarsHiddenForOutput();
