#pragma once

#include "foundation/UndoableObject.h"
#include "model/ObjectTypes.h"
#include "model/TopLevelObject.h"

class TerrainNode;

// The ground: a grid of height nodes.
class Terrain : public UndoableObject, public TopLevelObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kTerrain; }
    int GetKindCode() const override { return KindCode::kTerrain; }

    // The ground height under the horizontal position (x, z). The ground is level at
    // height 0 until its nodes are raised or lowered.
    virtual double GetHeightAt(double x, double z) const {
        (void)x;
        (void)z;
        return 0.0;
    }

    // Draws the grid cell whose corner is `node` (while a display list of the spatial
    // tree is recorded). The grid's own drawing comes with the terrain's geometry.
    virtual void UpdateCell(TerrainNode&) {}
    // Draws the horizontal quad through the four corners, facing up.
    virtual void DrawFlatQuad(const Vector[4]) {}
};
