#include "foundation/UndoableObject.h"

#include <atomic>

#include "building/Terrain.h"
#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "model/SceneView.h"

namespace {

// The id the next object takes.
std::atomic<TransactionId> nextTransactionObjectId{0};

TransactionId TakeNextId() {
    TransactionId id = nextTransactionObjectId.load();
    while (true) {
        if (id >= kNoTransactionId) {
            // Every id is used: the last one is handed out again rather than "none".
            TraceWrite("Transaction ids exhausted");
            return kNoTransactionId - 1;
        }
        if (nextTransactionObjectId.compare_exchange_weak(id, id + 1)) return id;
    }
}

void RaiseCounterAbove(TransactionId id) {
    TransactionId current = nextTransactionObjectId.load();
    while (id >= current && !nextTransactionObjectId.compare_exchange_weak(current, id + 1)) {
    }
}

}  // namespace

UndoableObject::UndoableObject() : transactionObjectId(TakeNextId()) {}

UndoableObject::~UndoableObject() {
    delete pendingTransaction;
    pendingTransaction = nullptr;
}

TransactionId UndoableObject::GetNextObjectId() {
    return nextTransactionObjectId.load();
}

void UndoableObject::SetObjectId(TransactionId id) {
    if (id >= kFirstReservedId) {
        theTrace().WriteFormat("Transaction id %u replaced", id);
        transactionObjectId = TakeNextId();
        return;
    }
    transactionObjectId = id;
    RaiseCounterAbove(id);
}

bool UndoableObject::TakeFreshIdIfTaken(const LinkedList& list) {
    bool taken = false;
    list.Lock();
    for (LinkedListObject* node = list.GetHead(); node; node = node->GetNext()) {
        auto* other = dynamic_cast<UndoableObject*>(node);
        if (other && other != this && other->transactionObjectId == transactionObjectId) {
            taken = true;
            break;
        }
    }
    list.Unlock();
    if (taken) transactionObjectId = TakeNextId();
    return taken;
}

KeyDataSublist* UndoableObject::TakeWrittenElement() {
    KeyDataSublist* taken = element;
    element = nullptr;
    return taken;
}

void UndoableObject::BeginTransaction(bool created) {
    delete pendingTransaction;
    pendingTransaction = new ObjectTransaction;
    pendingTransaction->targetId = transactionObjectId;
    if (created) {
        pendingTransaction->created = 1;
        return;
    }
    WriteKeyData();
    pendingTransaction->beforeElement = TakeWrittenElement();
}

void UndoableObject::BeginUndoStep() {
    BeginTransaction(false);
}

void UndoableObject::EndUndoStep() {
    ObjectTransaction* step = pendingTransaction;
    pendingTransaction = nullptr;
    if (step) step->Finish();
}

void UndoableObject::CancelUndoStep() {
    delete pendingTransaction;
    pendingTransaction = nullptr;
}

void UndoableObject::RestoreInto(UndoableObject& target, bool handOverInformation,
                                 bool fullReload) {
    if (&target == this) return;
    WriteKeyData();
    KeyDataSublist* written = TakeWrittenElement();
    if (!POSTCONDITION(written != nullptr, "No key data to restore from")) return;
    const TransactionId keptId = target.transactionObjectId;
    const uint32_t keptNodeId = target.GetID();
    // A full reload is the target class's own ReadKeyData business.
    (void)fullReload;
    target.ReadKeyData(*written->GetChildren());
    if (handOverInformation) target.CopyObjectInformation(*this);
    target.transactionObjectId = keptId;
    if (target.GetID() != keptNodeId) target.SetID(keptNodeId);
    target.SetSelected(false);
    delete written;
}

UndoableObject* UndoableObject::DuplicateAndOffset() {
    if (IsLocked() || offsetBase.Length() == 0.0) return nullptr;
    BaseControl* control = theControl();
    if (!control) return nullptr;
    const Vector offset = offsetBase;
    control->LockRender();
    RenderableObject* copy = Clone();
    UndoableObject* clone = nullptr;
    if (copy && copy != this) {
        if (!copy->GetOwner()) control->scene.Append(copy);
        BeginUndoStep();
        MoveBy(offset);
        if (!IsPositionValid()) {
            Vector back = offset;
            back.Negate();
            MoveBy(back);
            CancelUndoStep();
            if (!copy->GetOwner() || !copy->GetOwner()->DeleteNode(copy)) delete copy;
            control->UnlockRender();
            return nullptr;
        }
        // The copy's creation is recorded only now that the move stands.
        clone = dynamic_cast<UndoableObject*>(copy);
        if (clone) {
            clone->BeginTransaction(true);
            clone->EndUndoStep();
        }
        SetSelected(true);
        EndUndoStep();
    }
    control->UnlockRender();
    return clone;
}

UndoableObject* FindObjectByTransactionId(const LinkedList& list, TransactionId id) {
    // An empty scene may still have a trace image or terrain to find.
    UndoableObject* found = nullptr;
    list.Lock();
    for (LinkedListObject* node = list.GetHead(); node && !found; node = node->GetNext()) {
        auto* object = dynamic_cast<UndoableObject*>(node);
        if (object && object->GetObjectId() == id) found = object;
    }
    list.Unlock();
    if (found) return found;
    BaseControl* control = theControl();
    if (!control) return nullptr;
    if (SceneView* view = control->GetMainView()) {
        UndoableObject* image = view->GetTraceImage();
        if (image && image->GetObjectId() == id) return image;
    }
    UndoableObject* terrain = control->terrain;
    if (terrain && terrain->GetObjectId() == id) return terrain;
    return nullptr;
}
