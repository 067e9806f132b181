#include "control/UndoList.h"

#include "foundation/Trace.h"
#include "foundation/Transaction.h"

namespace {

// A list that grew to hold a large group goes back to the usual bound once it fits.
void RestoreCapacity(SizableLinkedList& list) {
    if (list.GetCount() < UndoList::kCapacity && list.GetCapacity() > UndoList::kCapacity)
        list.SetCapacity(UndoList::kCapacity);
}

}  // namespace

UndoList::UndoList() : undo_(kCapacity), redo_(kCapacity) {}

UndoList::~UndoList() = default;

void UndoList::PrependKeepingAll(SizableLinkedList& list, LinkedListObject* entry) {
    if (list.GetCount() >= list.GetCapacity()) list.SetCapacity(list.GetCount() + 1);
    list.Prepend(entry);
}

void UndoList::MakeRoom() {
    // Drops whole groups from the oldest end until one more entry fits, never an entry
    // of the open group and never past an empty list.
    while (undo_.GetCount() >= kCapacity) {
        LinkedListObject* tail = undo_.GetTail();
        if (!tail || tail == openStart_) break;
        delete undo_.PopTail();
        while ((tail = undo_.GetTail()) && tail != openStart_ && !IsGroupStart(tail))
            delete undo_.PopTail();
    }
    RestoreCapacity(undo_);
}

void UndoList::PushStartMarker() {
    auto* marker = new TransactionMarker(true);
    MakeRoom();
    PrependKeepingAll(undo_, marker);
    openStart_ = marker;
}

void UndoList::BeginGroup() {
    platform::LockHolder hold(undo_.GetLock());
    if (depth_++ == 0) PushStartMarker();
}

void UndoList::Push(BaseTransaction* transaction) {
    if (!PRECONDITION(transaction != nullptr, "Null transaction pushed")) return;
    platform::LockHolder hold(undo_.GetLock());
    if (depth_ == 0) {
        BeginGroup();
        Push(transaction);
        EndGroup();
        return;
    }
    MakeRoom();
    PrependKeepingAll(undo_, transaction);
}

void UndoList::EndGroup() {
    platform::LockHolder hold(undo_.GetLock());
    if (depth_ > 1) {
        --depth_;
        return;
    }
    // The open group stays protected from the trim until its end marker is in.
    FinishGroup();
    depth_ = 0;
    openStart_ = nullptr;
}

void UndoList::FinishGroup() {
    LinkedListObject* newest = undo_.GetHead();
    if (!newest) return;
    if (IsGroupStart(newest)) {
        undo_.DeleteNode(newest);  // an empty group leaves nothing behind
        return;
    }
    if (IsGroupMarker(newest)) return;  // already closed
    MakeRoom();
    PrependKeepingAll(undo_, new TransactionMarker(false));
    redo_.DeleteAll();
    RestoreCapacity(redo_);
}

bool UndoList::Step(SizableLinkedList& from, SizableLinkedList& to, bool undo) {
    platform::LockHolder hold(undo_.GetLock());
    // Stepping through a group still being recorded would split it between the lists.
    if (!PRECONDITION(depth_ == 0, "Undo or redo while an undo group is open")) return false;
    LinkedListObject* entry = from.PopHead();
    if (!entry) return false;
    static_cast<BaseTransaction*>(entry)->Apply(undo);
    PrependKeepingAll(to, entry);
    while ((entry = from.PopHead())) {
        if (IsGroupMarker(entry)) {
            // The marker that ends the walk moves without being applied.
            PrependKeepingAll(to, entry);
            break;
        }
        static_cast<BaseTransaction*>(entry)->Apply(undo);
        PrependKeepingAll(to, entry);
    }
    RestoreCapacity(from);
    return true;
}

bool UndoList::StepUndo() {
    return Step(undo_, redo_, true);
}

bool UndoList::StepRedo() {
    return Step(redo_, undo_, false);
}

void UndoList::ClearRedo() {
    platform::LockHolder hold(redo_.GetLock());
    redo_.DeleteAll();
    RestoreCapacity(redo_);
}

void UndoList::Clear() {
    platform::LockHolder hold(undo_.GetLock());
    undo_.DeleteAll();
    redo_.DeleteAll();
    RestoreCapacity(undo_);
    RestoreCapacity(redo_);
    openStart_ = nullptr;
    if (depth_ > 0) PushStartMarker();
}
