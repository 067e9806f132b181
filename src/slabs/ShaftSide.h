#pragma once

#include "model/ObjectTypes.h"
#include "slabs/BaseSlab.h"

// A side of the shaft under a skylight.
class ShaftSide : public BaseSlab {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kShaftSide; }
    int GetKindCode() const override { return KindCode::kShaftSide; }
};
