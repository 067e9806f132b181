#pragma once

#include <vector>

#include "geometry/Vector.h"
#include "model/ObjectTypes.h"
#include "slabs/BaseSlab.h"

// A wall: a vertical slab along a centre line.
class Wall : public BaseSlab {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kWall; }
    int GetKindCode() const override { return KindCode::kWall; }

    // ---- What moved objects snap to (Snapping.cpp) ----
    // Whether a point lies on the side of the centre line that the normal points to.
    bool IsOnNormalSide(const Vector& point) const;
    // The outline's primary nodes; the centre line runs from node 0 to node endIndex.
    std::vector<Vector> outlineNodes;
    int endIndex = 1;
    // The full thickness.
    double thickness = 0.0;
    // Horizontal unit normal of the wall's face.
    Vector normal{0.0, 0.0, 1.0};
    // Objects only snap to walls that have it set.
    uint8_t snapTarget = 1;
    // ---- end of snapping ----
};
