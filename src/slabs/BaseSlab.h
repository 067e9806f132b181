#pragma once

#include "model/ObjectTypes.h"
#include "model/SizeableObject.h"
#include "model/StateObject.h"
#include "model/TopLevelObject.h"

// A slab: a flat solid given by an outline and a thickness, with surfaces and child lists.
// Walls, floors, counters, roof planes and shaft sides are slabs.
class BaseSlab : public SizeableObject, public TopLevelObject, public StateObject {
public:
    // Slabs answer their lock flag.
    bool IsLocked() const override { return locked != 0; }
    uint64_t GetTypeMask() const override { return TypeMask::kBaseSlab; }
};
