#pragma once

#include "foundation/UndoableObject.h"
#include "model/ObjectTypes.h"
#include "slabs/SlabChild.h"

// A child of a slab with an outline of its own that the user edits: holes and coverings.
class EditableSlabChild : public UndoableObject, public SlabChild {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kEditableSlabChild; }
};
