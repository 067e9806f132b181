#pragma once

#include "foundation/LinkedList.h"
#include "model/ObjectTypes.h"
#include "model/PickableObject.h"

// A pickable height node of the terrain grid.
class TerrainNode : public PickableObject, public LinkedListObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kTerrainNode; }
};
