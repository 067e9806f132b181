#pragma once

#include <cstdint>

#include "foundation/SerializableObject.h"
#include "foundation/Transaction.h"
#include "model/RenderableObject.h"

class KeyDataList;

// Every editable scene object: it records its edits as undo steps and is found again by
// its transaction id, which it writes as "transactionObjectId" and which survives saving
// and loading.
//
// Ids come from one process-wide counter; an object takes the counter's value when it is
// made. The ids at the top of the range are kept for objects made in this process: an
// id read from a plan there is replaced by a fresh one.
class UndoableObject : public RenderableObject, public SerializableObject {
public:
    // Ids read from outside at or above this are replaced by fresh ones.
    static constexpr TransactionId kFirstReservedId = 0xFF000000u;

    UndoableObject();
    // Drops a step still open.
    ~UndoableObject() override;

    // Snapshot before an edit.
    virtual void BeginUndoStep();
    // Records the edit since BeginUndoStep on the control's undo list; a step that changed
    // nothing leaves no record.
    virtual void EndUndoStep();
    // Drops the open step, unrecorded.
    virtual void CancelUndoStep();
    // Applies a key-data list to the object.
    virtual bool ReadKeyData(KeyDataList& keys) = 0;
    // Leaves a copy where the object stands and moves the object by its offset; answers
    // the copy, or null when the object is locked, has no offset or cannot stand at the
    // new place (then nothing is recorded).
    virtual UndoableObject* DuplicateAndOffset();

    TransactionId GetObjectId() const { return transactionObjectId; }
    // Takes the id (read from a plan) and raises the counter above it. An id in the
    // reserved top range is replaced by a fresh one (traced).
    void SetObjectId(TransactionId id);
    // Gives the object a fresh id when another object of the list has its id; true when
    // it did. A plan merged into a scene runs it for each object before it joins.
    bool TakeFreshIdIfTaken(const LinkedList& list);
    // Opens a step: with `created` it only records that the object is new, otherwise it
    // keeps the object's key data as the state before the edit. A step still open is
    // dropped.
    void BeginTransaction(bool created);
    bool HasOpenStep() const { return pendingTransaction != nullptr; }

    // Copies this object's state into `target`: its key data read by the target (a full
    // reload is its class's own business), its object information when
    // `handOverInformation` is set. The target keeps its ids and ends deselected.
    void RestoreInto(UndoableObject& target, bool handOverInformation, bool fullReload);

    // The counter's value: the id the next object takes.
    static TransactionId GetNextObjectId();

    // Hands over the element WriteKeyData has just built; the caller owns it.
    KeyDataSublist* TakeWrittenElement();

protected:
    ObjectTransaction* pendingTransaction = nullptr;
    TransactionId transactionObjectId;
};

// The first object of the list with that transaction id; else the main view's trace image
// or the control's terrain when they have it. An empty list finds nothing.
UndoableObject* FindObjectByTransactionId(const LinkedList& list, TransactionId id);
