#pragma once

#include <memory>

#include "control/SavedViewWindow.h"

class Bitmap;
class SelectableObject;

// The floating map: a saved-view window that shows the plan from above (dimensions and
// roofs hidden) with a clickable navigator picture in its lower right corner that
// turns, raises and places the main view's camera.
class MapWindow : public SavedViewWindow {
public:
    static constexpr uint64_t kHiddenTypes = 0x800100;
    static constexpr int kNavigatorMargin = 10;
    static constexpr double kEyeStep = 54.0;
    static constexpr double kLookStep = 10.0;
    static constexpr double kLowestEye = 10.0;
    static constexpr double kHighestEye = 3000.0;

    MapWindow(platform::WindowHandle owner, int pixelFormat);
    // Deletes the navigator picture under the render lock.
    ~MapWindow() override;

    // The navigator picture from `url`, swapped in under the render lock; it shows once
    // it has arrived.
    void LoadNavigator(const char* url);

    platform::LResult WindowProc(uint32_t message, platform::WParam wParam,
                                 platform::LParam lParam) override;
    // Picks at the point; with a hit the main camera steps into the view there.
    void OnDoubleClick(int x, int y) override;
    // The view, then the navigator picture.
    void Draw() override;
    // A press on the navigator (window point, y from the top): the button under it acts
    // on the main view's camera as one view change. False without a picture or off it.
    bool OnClick(int x, int y) override;
    // The navigator button (1..10) under window point (x, y), y from the top; 0 off the
    // picture or without one.
    int NavigatorButtonAt(int x, int y) const;
    // The button at (px, py) of a picture of width x height, px from its left and py from
    // its bottom edge; 0 off the picture.
    static int NavigatorButton(double px, double py, double width, double height);

    // The main camera's look (its first angle) turns by `degrees`.
    static void MoveEye(Window& main, double degrees);
    // Vector 0 of the main camera (the negated eye) moves up by `delta`: a negative
    // delta raises the eye. The eye stays between heights 10 and 3000.
    static void RaiseEye(Window& main, double delta);

    std::unique_ptr<Bitmap> navigator;
    bool isMap = true;
    // Fills and answers the navigator's menu (button 4); none until one is given.
    SelectableObject* menuOwner = nullptr;

private:
    bool NavigatorPlace(int& left, int& bottom) const;
};
