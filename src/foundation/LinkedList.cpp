#include "foundation/LinkedList.h"

#include <atomic>

#include "foundation/Trace.h"

namespace {

// The last id handed out or raised to. It never wraps: at the top of the range it stays
// there and further nodes get id 0, which no counted node ever has.
std::atomic<uint32_t> g_nextNodeId{0};
std::atomic<bool> g_exhaustionTraced{false};

uint32_t TakeNextNodeId() {
    uint32_t current = g_nextNodeId.load(std::memory_order_relaxed);
    do {
        if (current == UINT32_MAX) {
            if (!g_exhaustionTraced.exchange(true)) TraceWrite("Node id counter exhausted");
            return 0;
        }
    } while (!g_nextNodeId.compare_exchange_weak(current, current + 1, std::memory_order_relaxed));
    return current + 1;
}

}  // namespace

LinkedListObject::LinkedListObject() : id(TakeNextNodeId()) {}

LinkedListObject::~LinkedListObject() {
    if (owner) owner->Remove(this);
}

void LinkedListObject::SetID(uint32_t newId) {
    id = newId;
    uint32_t current = g_nextNodeId.load(std::memory_order_relaxed);
    while (newId >= current) {
        const uint32_t raised = newId == UINT32_MAX ? UINT32_MAX : newId + 1;
        if (g_nextNodeId.compare_exchange_weak(current, raised, std::memory_order_relaxed)) break;
    }
}

uint32_t LinkedListObject::GetNextNodeId() {
    return g_nextNodeId.load(std::memory_order_relaxed);
}

bool NodeIdRun::Refill() {
    constexpr uint32_t kRunLength = 64;
    uint32_t current = g_nextNodeId.load(std::memory_order_relaxed);
    uint32_t last;
    do {
        if (current == UINT32_MAX) {
            if (!g_exhaustionTraced.exchange(true)) TraceWrite("Node id counter exhausted");
            return false;
        }
        last = current > UINT32_MAX - kRunLength ? UINT32_MAX : current + kRunLength;
    } while (!g_nextNodeId.compare_exchange_weak(current, last, std::memory_order_relaxed));
    next_ = current + 1;
    end_ = last == UINT32_MAX ? UINT32_MAX : last + 1;
    return true;
}

LinkedList::~LinkedList() {
    // No other thread may use a list that is being destroyed: no lock is taken.
    DeleteMembers();
}

void LinkedList::Prepend(LinkedListObject* node) {
    platform::LockHolder hold(lock);
    if (!head) {
        Append(node);
        return;
    }
    if (!PRECONDITION(node && !node->owner, "node is null or already in a list")) return;
    node->owner = this;
    node->prev = nullptr;
    node->next = head;
    head->prev = node;
    head = node;
    ++count;
}

void LinkedList::InsertAfter(LinkedListObject* after, LinkedListObject* node) {
    platform::LockHolder hold(lock);
    if (!after) {
        Prepend(node);
        return;
    }
    if (!PRECONDITION(after->owner == this, "insertion point is not in this list")) return;
    if (after == tail) {
        Append(node);
        return;
    }
    if (!PRECONDITION(node && !node->owner, "node is null or already in a list")) return;
    node->owner = this;
    node->prev = after;
    node->next = after->next;
    after->next->prev = node;
    after->next = node;
    ++count;
}

void LinkedList::Append(LinkedListObject* node) {
    platform::LockHolder hold(lock);
    if (!PRECONDITION(node && !node->owner, "node is null or already in a list")) return;
    node->owner = this;
    node->next = nullptr;
    node->prev = tail;
    if (tail) {
        tail->next = node;
    } else {
        head = node;
    }
    tail = node;
    ++count;
}

void LinkedList::Unlink(LinkedListObject* node) {
    if (node->prev) {
        node->prev->next = node->next;
    } else {
        head = node->next;
    }
    if (node->next) {
        node->next->prev = node->prev;
    } else {
        tail = node->prev;
    }
    node->prev = nullptr;
    node->next = nullptr;
    node->owner = nullptr;
    --count;
}

bool LinkedList::RemoveNode(LinkedListObject* node, bool destroy) {
    {
        platform::LockHolder hold(lock);
        if (!node || node->owner != this) return false;
        Unlink(node);
    }
    if (destroy) delete node;
    return true;
}

void LinkedList::DestroyMembersInOnePass() {
    LinkedListObject* node = head;
    head = tail = nullptr;
    count = 0;
    while (node) {
        LinkedListObject* next = node->next;
        if (next) {
            __builtin_prefetch(next, 1);
            // Nodes made one after another tend to lie at even steps: the one after next
            // is fetched on that guess.
            const char* guess = reinterpret_cast<const char*>(next) +
                                (reinterpret_cast<const char*>(next) - reinterpret_cast<const char*>(node));
            __builtin_prefetch(guess, 1);
        }
        node->owner = nullptr;
        delete node;
        node = next;
    }
}

LinkedListObject* LinkedList::PopHead() {
    platform::LockHolder hold(lock);
    LinkedListObject* node = head;
    RemoveNode(node, false);
    return node;
}

LinkedListObject* LinkedList::PopTail() {
    platform::LockHolder hold(lock);
    LinkedListObject* node = tail;
    RemoveNode(node, false);
    return node;
}

LinkedListObject* LinkedList::FindByID(uint32_t wanted) const {
    platform::LockHolder hold(lock);
    for (LinkedListObject* node = head; node; node = node->next) {
        if (node->id == wanted) return node;
    }
    return nullptr;
}

void LinkedList::DeleteAll() {
    platform::LockHolder hold(lock);
    DeleteMembers();
}

void LinkedList::DeleteMembers() {
    // The head is read again after each deletion: a destructor may take other nodes out.
    while (LinkedListObject* node = head) {
        if (node->next) __builtin_prefetch(node->next, 1);
        Unlink(node);
        delete node;
    }
}

bool LinkedList::Contains(const LinkedListObject* node) const {
    return node && node->owner == this;
}

SizableLinkedList::SizableLinkedList(uint32_t capacity) : capacity(capacity ? capacity : 1) {}

void SizableLinkedList::SetCapacity(uint32_t newCapacity) {
    PRECONDITION(newCapacity > 0, "list capacity must be at least 1");
    capacity = newCapacity ? newCapacity : 1;
}

void SizableLinkedList::Prepend(LinkedListObject* node) {
    platform::LockHolder hold(GetLock());
    const uint32_t before = GetCount();
    LinkedList::Prepend(node);
    if (GetCount() > before && GetCount() > capacity) delete PopTail();
}

void SizableLinkedList::Append(LinkedListObject* node) {
    platform::LockHolder hold(GetLock());
    const uint32_t before = GetCount();
    LinkedList::Append(node);
    if (GetCount() > before && GetCount() > capacity) delete PopHead();
}

LinkedListIterator::LinkedListIterator(const LinkedList* iterated) : list(iterated) {
    current = list ? list->GetHead() : nullptr;
    done = current == nullptr;
}

LinkedListObject* LinkedListIterator::First() {
    current = list ? list->GetHead() : nullptr;
    done = current == nullptr;
    return current;
}

LinkedListObject* LinkedListIterator::Next() {
    if (!current || !current->GetNext()) {
        done = true;
        return nullptr;
    }
    current = current->GetNext();
    done = false;
    return current;
}

void LinkedListIterator::LockList() const {
    if (list) list->Lock();
}

void LinkedListIterator::UnlockList() const {
    if (list) list->Unlock();
}
