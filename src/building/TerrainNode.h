#pragma once

#include <cstdint>

#include "foundation/LinkedList.h"
#include "geometry/Vector.h"
#include "model/ObjectTypes.h"
#include "model/PickableObject.h"

// A pickable height node of the terrain grid.
class TerrainNode : public PickableObject, public LinkedListObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kTerrainNode; }

    // x and z place the node in the grid; y is its height.
    Vector position;
    uint8_t selected = 0;
    // The node's number in the terrain's grid.
    uint32_t index = 0;
};
