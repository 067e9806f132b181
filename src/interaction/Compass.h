#pragma once

#include <cstdint>
#include <memory>

class Bitmap;
class Window;

// A picture drawn over a window in window pixels, turned by an angle (degrees) about
// its own centre, above the window's bottom bars.
class SuperImposedImage {
public:
    SuperImposedImage();
    SuperImposedImage(int width, int height);
    virtual ~SuperImposedImage();
    SuperImposedImage(const SuperImposedImage&) = delete;
    SuperImposedImage& operator=(const SuperImposedImage&) = delete;

    // The picture from `url` (now); a picture with a size gives the overlay its size.
    // False when it did not load.
    virtual bool Load(const char* url);
    virtual bool LoadResource(uint32_t id);
    // Whether window point (x, y) (y from the bottom) lies on the overlay: x within
    // [x, x + width], y within [y + h + 5, y + height + h + 5], h the height of the
    // bottom bars (global integer 3).
    virtual bool HitTest(int px, int py) const;
    // Draws the overlay in the main window's 2D mode; nothing while the overlays are
    // switched off (global booleans 8 and 17) or before the picture has its size.
    void Draw(Window& window);

    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    double angle = 0.0;

protected:
    void TakeSizeOfPicture();

    std::unique_ptr<Bitmap> bitmap;
};

// The compass rose of the plan: a 128-pixel overlay in the lower left corner that turns
// with the camera.
class Compass : public SuperImposedImage {
public:
    static constexpr int kSide = 128;

    Compass();
    // North (global double 15) plus the window's yaw and a quarter turn, then drawn.
    void UpdatePosition(Window& window);
};
