#pragma once

#include "geometry/Vector.h"

class Window;

// The measuring tape of the annotation tools: a yellow band from a start point to an end
// point, lying on the plane whose normal is `up`, with a tick every 2 units. The control
// owns exactly one; the tape measure mode stretches it.
class TapeMeasure {
public:
    // Ticks drawn at most, however long the tape (a plane seen edge-on sends the end far
    // away).
    static constexpr int kMaxTicks = 1000;

    TapeMeasure() = default;
    virtual ~TapeMeasure() = default;

    // start = end = point.
    void SetStart(const Vector& point);
    // The end, the direction from start to end, and the side across the tape.
    void SetEnd(const Vector& point);
    // No tape shown: no window, both ends at the origin; the active window's help bar hides.
    void Reset();
    // A chalk line where the tape lies, when the tape belongs to the active window and has
    // length; appended to the control's chalk-line list.
    void DropChalkLine();
    // Draws the tape into its own window (nothing in others, nor without length).
    void Render();
    // Ticks a tape of that length shows.
    static int TickCount(double length);

    Vector start;
    Vector end;
    Vector direction{1.0, 0.0, 0.0};
    Vector up{0.0, 1.0, 0.0};
    Vector side{0.0, 0.0, 1.0};
    Window* window = nullptr;
};
