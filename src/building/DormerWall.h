#pragma once

#include "building/Wall.h"
#include "model/ObjectTypes.h"

// A wall of a dormer.
class DormerWall : public Wall {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kDormerWall; }
    int GetKindCode() const override { return KindCode::kWall; }
};
