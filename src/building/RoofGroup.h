#pragma once

#include "foundation/UndoableObject.h"
#include "model/ObjectTypes.h"
#include "model/TopLevelObject.h"

// A roof over a rectangular footprint, made of up to four roof planes.
class RoofGroup : public UndoableObject, public TopLevelObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kRoofGroup; }
    int GetKindCode() const override { return KindCode::kRoofGroup; }
};
