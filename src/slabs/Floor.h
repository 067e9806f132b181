#pragma once

#include "model/ObjectTypes.h"
#include "slabs/BaseSlab.h"

// A horizontal slab: the floor of a storey and the ceiling of the one below.
class Floor : public BaseSlab {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kFloor; }
    int GetKindCode() const override { return KindCode::kFloor; }
};
