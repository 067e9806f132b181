#pragma once

#include "geometry/Vector.h"

class Outline;

// Axis-aligned box that every renderable object keeps. A fresh box is empty: min at
// +DBL_MAX and max at -DBL_MAX, so that the first point extended in sets both.
class BoundingBox {
public:
    Vector min;
    Vector max;
    // Spare corner storage for callers that build their own set of eight points.
    Vector points[8];
    // Filled by ComputeCorners.
    Vector corners[8];

    BoundingBox();
    virtual ~BoundingBox();

    // The box of n points; empty when n < 1.
    void SetFromPoints(const Vector* points, int n);
    // The box of the outline's current nodes; empty for an outline without nodes.
    void SetFromOutline(const Outline& outline);
    // Grows the box to hold n more points; n < 1 changes nothing.
    void ExtendByPoints(const Vector* points, int n);
    void Translate(double dx, double dy, double dz);
    // Back to the empty box.
    void SetEmpty();
    bool IsEmpty() const;
    // Fills corners: (min.x, min.y, min.z), (max.x, max.y, max.z), then (min, min, max),
    // (min, max, min), (min, max, max), (max, min, min), (max, min, max),
    // (max, max, min) per x, y, z; answers the first.
    Vector* ComputeCorners();
    // Draws the twelve edges as translucent red lines in the current GL context.
    void Draw() const;
};

// Lowers min and raises max, per x, y and z, to take in p (strict comparisons).
void ExtendMinMax(Vector& min, Vector& max, const Vector& p);
