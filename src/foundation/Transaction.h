#pragma once

#include <cstdint>

#include "foundation/LinkedList.h"

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

    // The transaction id of the object concerned; -1 when none.
    int32_t targetId = -1;
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

// True for a record that is a group-start marker.
bool IsGroupStart(const LinkedListObject* record);
// True for any group marker.
bool IsGroupMarker(const LinkedListObject* record);
