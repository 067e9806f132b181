#pragma once

#include "model/ObjectTypes.h"
#include "slabs/SlabHole.h"

// The hole that a skylight's shaft makes in the slabs below it.
class ShaftHole : public SlabHole {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kShaftHole; }
};
