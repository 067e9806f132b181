#pragma once

#include "model/ObjectTypes.h"
#include "slabs/ParametricInSlabObject.h"

// A parametric window frame.
class ParametricWindowFrame : public ParametricInSlabObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kParametricInSlabObject; }
};
