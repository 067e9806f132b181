#pragma once

#include <cstdint>

#include "foundation/LinkedList.h"
#include "geometry/Vector.h"
#include "model/ObjectTypes.h"
#include "model/PickableObject.h"

class NineTree;

// A pickable height node of the terrain grid.
class TerrainNode : public PickableObject, public LinkedListObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kTerrainNode; }

    // x and z place the node in the grid; y is its height.
    Vector position;
    // The position as last committed (Terrain::StoreNodePositions).
    Vector committed;
    // The leaf of the terrain's tree that holds the node; not owned.
    NineTree* leaf = nullptr;
    uint8_t selected = 0;
    // The node's number in the terrain's grid.
    uint32_t index = 0;
};
