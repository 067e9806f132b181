#pragma once

#include "foundation/UndoableObject.h"
#include "model/ObjectTypes.h"
#include "model/TopLevelObject.h"

// A run of posts with rails between them.
class Fence : public UndoableObject, public TopLevelObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kFence; }
    int GetKindCode() const override { return KindCode::kFence; }
};
