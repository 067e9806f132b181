#pragma once

#include "geometry/Vector.h"

class Outline;

// A box in a frame of its own: min and max are local coordinates along axisX, axisY
// and axisZ measured from origin. The axes are taken as given: callers pass unit,
// perpendicular directions. A fresh box is empty (min above max).
class OrientedBox {
public:
    Vector min;
    Vector max;
    Vector origin;
    Vector axisY;
    Vector axisX;
    Vector axisZ;

    OrientedBox();

    // axisY = a, axisZ = b, axisX = a x b.
    void SetAxes(const Vector& a, const Vector& b);
    // Local coordinates of a world point.
    Vector ToLocal(const Vector& q) const;
    // Origin at the first point and the box of all n points; empty when n < 1.
    void SetFromPoints(const Vector* points, int n);
    // The box of the outline's current nodes; empty for an outline without nodes.
    void SetFromOutline(const Outline& outline);
    // Grows the box to hold n more points; n < 1 changes nothing.
    void ExtendByPoints(const Vector* points, int n);
    // The world corner with the maximum (true) or minimum (false) on each local axis.
    Vector Corner(bool fx, bool fy, bool fz) const;
};
