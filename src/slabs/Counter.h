#pragma once

#include "model/ObjectTypes.h"
#include "slabs/Floor.h"

// A counter top: a thin horizontal slab. Its mask carries the slab bit but not the floor bit.
class Counter : public Floor {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kCounter; }
    int GetKindCode() const override { return KindCode::kCounter; }
};
