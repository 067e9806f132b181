#pragma once

#include "model/ObjectTypes.h"
#include "slabs/EditableSlabChild.h"

// A hole through a slab.
class SlabHole : public EditableSlabChild {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kSlabHole; }
};
