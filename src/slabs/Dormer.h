#pragma once

#include "model/ObjectTypes.h"
#include "slabs/SlabHole.h"

// A dormer set into a roof plane.
class Dormer : public SlabHole {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kDormer; }
};
