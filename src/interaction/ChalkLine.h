#pragma once

#include "foundation/LinkedList.h"
#include "geometry/Vector.h"

// A straight line of the scene between two points.
class Line : public LinkedListObject {
public:
    Line(const Vector& start, const Vector& end) : start(start), end(end) {}
    ~Line() override = default;

    Vector start;
    Vector end;
};

// A line left where the tape lay; `up` is the normal of the tape's plane, along which it is
// lifted off the surface when drawn.
class ChalkLine : public Line {
public:
    ChalkLine(const Vector& start, const Vector& end, const Vector& up) : Line(start, end), up(up) {}
    ~ChalkLine() override = default;

    Vector up;
};
