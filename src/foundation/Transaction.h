#pragma once

#include <cstdint>

#include "foundation/KeyDataList.h"
#include "foundation/LinkedList.h"

class BaseControl;
class UndoableObject;
class Vector;

// The id by which undo records find an object again. Objects take ids from 0 upwards;
// the top value means "no object".
using TransactionId = uint32_t;
constexpr TransactionId kNoTransactionId = UINT32_MAX;

// Kinds of undo record, as GetTransactionType reports them.
enum TransactionType {
    kObjectTransactionType = 1,
    kTransactionMarkerType = 2,
    kSpecialTransactionType = 3,
};

// One undoable step. Records live in the control's undo and redo lists, which own them.
class BaseTransaction : public LinkedListObject {
public:
    BaseTransaction() = default;
    ~BaseTransaction() override = default;

    virtual int GetCode() const { return 4; }
    virtual int GetTransactionType() const = 0;
    // Replays the step: backwards when `undo` is set (the record came off the undo
    // list), forwards when it came off the redo list.
    virtual void Apply(bool undo) = 0;

    // The transaction id of the object concerned; kNoTransactionId when none.
    TransactionId targetId = kNoTransactionId;
};

// Start or end of a group of records that undo and redo move as one.
class TransactionMarker : public BaseTransaction {
public:
    explicit TransactionMarker(bool start) : flag(start ? 1 : 0) {}

    int GetTransactionType() const override { return kTransactionMarkerType; }
    void Apply(bool) override {}

    bool IsStart() const { return flag == 1; }

    // 1 for a group start, 0 for a group end.
    uint8_t flag;
};

// One edit of one object, as the differences between its key data before and after.
// Undoing applies the before side to the object, redoing the after side; a record of a
// creation or a deletion removes the object or makes it again from its whole key data.
class ObjectTransaction : public BaseTransaction {
public:
    ObjectTransaction() = default;
    ~ObjectTransaction() override;

    int GetCode() const override { return -1; }
    int GetTransactionType() const override { return kObjectTransactionType; }
    void Apply(bool undo) override;

    // Ends the step: compares the object's key data now with beforeElement and pushes
    // the record on the control's undo list, or destroys the record when nothing
    // changed (or there is no control). The record is not to be used afterwards.
    void Finish();

    // Takes the object out of the scene for the render thread to destroy (a trace image,
    // which lives outside it, is destroyed by its view).
    static void RemoveObject(BaseControl& control, UndoableObject& object);

    // The object's element captured when the step began; owned until the step ends.
    KeyDataSublist* beforeElement = nullptr;
    KeyDataList undoData;
    KeyDataList redoData;
    // The step created the object.
    uint8_t created = 0;
    // The object no longer existed when the step ended.
    uint8_t deleted = 0;
};

// A plan-wide edit: moving the whole plan, or changing the current floor level.
class SpecialTransaction : public BaseTransaction {
public:
    enum Kind { kMovePlanOffset = 1, kChangeFloorLevelDelta = 2 };

    explicit SpecialTransaction(int kind) : kind(kind) {}

    int GetTransactionType() const override { return kSpecialTransactionType; }
    void Apply(bool undo) override;

    // Keeps the move of the plan (kMovePlanOffset) and pushes the record on the
    // control's undo list, which takes it over.
    void Record(const Vector& offset);
    // Keeps the change of the floor level (kChangeFloorLevelDelta) and pushes the record.
    void Record(double delta);

    int32_t kind;
    KeyDataList data;
};

// Writes into `undo` and `redo` what differs between the children of an object's element
// before an edit and after it: `undo` holds what brings the after state back to the
// before state, `redo` the other way. Elements are compared by key; sublists of models,
// materials, groups, coverings, holes and moldings are paired by their
// "transactionObjectId", other sublists by name and order of occurrence. A partial record
// of a child is marked with the child's kind and id; an added or removed child adds
// "removedTransactionId" entries for every id it holds on the other side.
void ComputeKeyDataDifference(const KeyDataList& before, const KeyDataList& after,
                              KeyDataList& undo, KeyDataList& redo);

// True for a record that is a group-start marker.
bool IsGroupStart(const LinkedListObject* record);
// True for any group marker.
bool IsGroupMarker(const LinkedListObject* record);
