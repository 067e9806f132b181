#pragma once

#include "model/ObjectTypes.h"
#include "slabs/BaseSlab.h"

// A wall: a vertical slab along a centre line.
class Wall : public BaseSlab {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kWall; }
    int GetKindCode() const override { return KindCode::kWall; }
};
