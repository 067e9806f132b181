#pragma once

#include "model/ObjectTypes.h"
#include "slabs/BaseSlab.h"

// One plane of a roof.
class Roof : public BaseSlab {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kRoof; }
    int GetKindCode() const override { return KindCode::kRoof; }
};
