#pragma once

#include <cstdint>

#include "platform/RecursiveLock.h"

class LinkedList;
class TopLevelObject;

// Base of every node that lives in a LinkedList. Each node takes a 32-bit id from one
// process-wide counter when it is made; undo records and plan files find objects again
// by it. A node is in at most one list at a time; the list owns it.
class LinkedListObject {
public:
    LinkedListObject();
    // A node destroyed while still in a list takes itself out of it first.
    virtual ~LinkedListObject();
    LinkedListObject(const LinkedListObject&) = delete;
    LinkedListObject& operator=(const LinkedListObject&) = delete;

    uint32_t GetID() const { return id; }
    // Stores the id and raises the process-wide counter above it, so that nodes made
    // afterwards never take an id that was read back from a file.
    void SetID(uint32_t newId);

    LinkedListObject* GetPrev() const { return prev; }
    LinkedListObject* GetNext() const { return next; }
    // The list that holds the node, or null.
    LinkedList* GetOwner() const { return owner; }

    // The last id handed out or raised to (0 before the first node). When it reaches
    // the top of the 32-bit range it stays there and new nodes get id 0.
    static uint32_t GetNextNodeId();

    // An id handed out ahead of construction (see NodeIdRun).
    struct PresetId {
        uint32_t id;
    };

protected:
    // For code that makes many nodes in a row: the id comes from a run taken at once.
    explicit LinkedListObject(PresetId preset) : id(preset.id) {}

private:
    friend class LinkedList;

    LinkedListObject* prev = nullptr;
    LinkedListObject* next = nullptr;
    uint32_t id = 0;
    LinkedList* owner = nullptr;
};

// A run of consecutive node ids taken from the process-wide counter in one step, for a
// reader that makes many nodes in a row. Ids it does not hand out are skipped for good.
class NodeIdRun {
public:
    // The next id of the run; a new run is taken when this one is used up. 0 once the
    // counter is exhausted, as for nodes made one by one.
    LinkedListObject::PresetId Take() {
        if (next_ == end_ && !Refill()) return {0};
        return {next_++};
    }

private:
    bool Refill();
    uint32_t next_ = 0;
    uint32_t end_ = 0;
};

// Intrusive, doubly linked list of LinkedListObject nodes under its own recursive lock.
// The list owns its nodes: DeleteNode, DeleteAll and the destructor destroy them.
class LinkedList {
public:
    LinkedList() = default;
    virtual ~LinkedList();
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;

    // Insert at the head or the tail. A null node, or one that is already in a list, is
    // refused with a trace and left where it is.
    virtual void Prepend(LinkedListObject* node);
    virtual void Append(LinkedListObject* node);
    // Inserts right after `after`, a node of this list; at the head when `after` is null.
    // A node of another list as `after` is refused with a trace.
    void InsertAfter(LinkedListObject* after, LinkedListObject* node);

    // Unlinks the node and, when `destroy` is set, destroys it. Answers false, changing
    // nothing, when the node is null or not in this list. A removed node's links are
    // cleared.
    bool RemoveNode(LinkedListObject* node, bool destroy);
    // Unlinks the node; the caller owns it again.
    bool Remove(LinkedListObject* node) { return RemoveNode(node, false); }
    // Unlinks and destroys the node.
    bool DeleteNode(LinkedListObject* node) { return RemoveNode(node, true); }
    // Unlink and hand over the first or last node; null when the list is empty.
    LinkedListObject* PopHead();
    LinkedListObject* PopTail();
    // The first node from the head with that id, or null.
    LinkedListObject* FindByID(uint32_t id) const;
    // Destroys every node.
    void DeleteAll();

    bool Contains(const LinkedListObject* node) const;
    uint32_t GetCount() const { return count; }
    bool IsEmpty() const { return count == 0; }
    LinkedListObject* GetHead() const { return head; }
    LinkedListObject* GetTail() const { return tail; }

    // The list's own lock, for callers that walk a list another thread may change.
    void Lock() const { lock.Lock(); }
    void Unlock() const { lock.Unlock(); }
    platform::RecursiveLock& GetLock() const { return lock; }

protected:
    // Links a node that is in no list at the tail without taking the lock or checking it:
    // for the owner of a list no other thread can reach yet, or that holds the lock.
    void LinkAtTail(LinkedListObject* node) {
        node->owner = this;
        node->next = nullptr;
        node->prev = tail;
        if (tail)
            tail->next = node;
        else
            head = node;
        tail = node;
        ++count;
    }

    // Destroys every node in one pass, for a list that is being destroyed and whose
    // nodes' destructors never reach into the list itself.
    void DestroyMembersInOnePass();

private:
    // Unlinks a node of this list; the caller holds the lock.
    void Unlink(LinkedListObject* node);
    // Destroys every node; the caller holds the lock or destroys the list.
    void DeleteMembers();

    mutable platform::RecursiveLock lock;
    uint32_t count = 0;
    LinkedListObject* head = nullptr;
    LinkedListObject* tail = nullptr;
};

// A list with a bound: after each insertion that takes the count past the capacity, the
// node at the other end is destroyed (the tail after a Prepend, the head after an
// Append), so the node just inserted always stays.
class SizableLinkedList : public LinkedList {
public:
    explicit SizableLinkedList(uint32_t capacity = UINT32_MAX);

    void Prepend(LinkedListObject* node) override;
    void Append(LinkedListObject* node) override;

    // A capacity below 1 is raised to 1.
    void SetCapacity(uint32_t newCapacity);
    uint32_t GetCapacity() const { return capacity; }

private:
    uint32_t capacity;
};

// Walks a list from its head. It takes no lock of its own: a caller that walks a list
// another thread may change brackets the walk with LockList and UnlockList.
//
//   for (auto* node = it.First(); !it.IsDone(); node = it.Next()) ...
class LinkedListIterator {
public:
    explicit LinkedListIterator(const LinkedList* list);
    explicit LinkedListIterator(const LinkedList& list) : LinkedListIterator(&list) {}
    virtual ~LinkedListIterator() = default;

    // Back to the head; null (and done) when the list is empty.
    LinkedListObject* First();
    // The node after the current one; null (and done) at the end or on an empty list.
    LinkedListObject* Next();
    LinkedListObject* Current() const { return current; }
    bool IsDone() const { return done; }

    void LockList() const;
    void UnlockList() const;

private:
    LinkedListObject* current = nullptr;
    bool done = true;
    const LinkedList* list = nullptr;
};

// Entry of the control's queue of hidden objects: either one hidden object, or a 64-bit
// type mask that was hidden, held as its two 32-bit halves.
class HiddenQueueObject : public LinkedListObject {
public:
    explicit HiddenQueueObject(TopLevelObject* hidden) : object(hidden) {}
    HiddenQueueObject(uint32_t firstValue, uint32_t secondValue)
        : first(firstValue), second(secondValue) {}

    bool Matches(uint32_t firstValue, uint32_t secondValue) const {
        return first == firstValue && second == secondValue;
    }

    TopLevelObject* object = nullptr;
    uint32_t first = 0;
    uint32_t second = 0;
};
