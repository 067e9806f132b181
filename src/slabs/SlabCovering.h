#pragma once

#include "control/dialogs/DialogOwner.h"
#include "model/ObjectTypes.h"
#include "model/StateObject.h"
#include "slabs/EditableSlabChild.h"

// A patch of another material on a slab's surface.
class SlabCovering : public EditableSlabChild, public StateObject, public DialogOwner {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kSlabCovering; }
};
