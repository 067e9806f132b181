#pragma once

#include "building/BaseMolding.h"
#include "model/ObjectTypes.h"
#include "slabs/SlabChild.h"

// A molding that belongs to a slab.
class SlabMolding : public BaseMolding, public SlabChild {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kMolding; }
};
