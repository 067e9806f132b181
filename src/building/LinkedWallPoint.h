#pragma once

#include "geometry/Outline.h"

// The joint of two linked wall ends: the common bottom point of both ends, and the
// height of the ends above it. Both walls hold the one object; the wall that breaks the
// link deletes it.
class LinkedWallPoint : public OutlinePoint {
public:
    LinkedWallPoint() = default;
    LinkedWallPoint(const Vector& at, double endHeight) : height(endHeight) { position = at; }

    double height = 0.0;
};
