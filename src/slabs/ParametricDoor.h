#pragma once

#include "model/ObjectTypes.h"
#include "slabs/ParametricInSlabObject.h"

// A parametric door leaf.
class ParametricDoor : public ParametricInSlabObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kParametricInSlabObject; }
};
