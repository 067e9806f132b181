#pragma once

#include <cstdint>

#include "foundation/SerializableObject.h"
#include "model/RenderableObject.h"

class KeyDataList;
class ObjectTransaction;

// Every editable scene object: it records its edits as undo steps and is found again
// by its transaction id, which survives saving and loading.
class UndoableObject : public RenderableObject, public SerializableObject {
public:
    UndoableObject() = default;
    ~UndoableObject() override = default;

    // Snapshot before an edit.
    virtual void BeginUndoStep() = 0;
    // Records the edit since BeginUndoStep on the control's undo list.
    virtual void EndUndoStep() = 0;
    // Drops the step begun, unrecorded.
    virtual void CancelUndoStep() = 0;
    // Applies a key-data list to the object.
    virtual bool ReadKeyData(KeyDataList& keys) = 0;
    // Leaves a copy where the object stands and moves the object by its offset.
    virtual UndoableObject* DuplicateAndOffset() = 0;

protected:
    ObjectTransaction* pendingTransaction = nullptr;
};
