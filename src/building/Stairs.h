#pragma once

#include "control/dialogs/DialogOwner.h"
#include "foundation/UndoableObject.h"
#include "model/ObjectTypes.h"
#include "model/StateObject.h"
#include "model/TopLevelObject.h"

// A flight of stairs.
class Stairs : public UndoableObject,
               public TopLevelObject,
               public StateObject,
               public DialogOwner {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kStairs; }
    int GetKindCode() const override { return KindCode::kStairs; }
};
