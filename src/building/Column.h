#pragma once

#include "building/Fence.h"
#include "control/dialogs/DialogOwner.h"
#include "model/ObjectTypes.h"
#include "model/StateObject.h"

// A column: a post with a capital, a base and beams.
class Column : public Fence, public StateObject, public DialogOwner {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kColumn; }
    int GetKindCode() const override { return KindCode::kColumn; }
};
