#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "foundation/LinkedList.h"

namespace {

// A node that counts its destructions.
struct CountedNode : LinkedListObject {
    explicit CountedNode(int* destroyed = nullptr) : destroyed(destroyed) {}
    ~CountedNode() override {
        if (destroyed) ++*destroyed;
    }
    int* destroyed;
};

std::vector<LinkedListObject*> Walk(const LinkedList& list) {
    std::vector<LinkedListObject*> nodes;
    LinkedListIterator it(list);
    for (auto* node = it.First(); !it.IsDone(); node = it.Next()) nodes.push_back(node);
    return nodes;
}

// Links in both directions agree with the count.
void ExpectConsistent(const LinkedList& list) {
    uint32_t forward = 0;
    const LinkedListObject* last = nullptr;
    for (auto* node = list.GetHead(); node; node = node->GetNext()) {
        EXPECT_EQ(node->GetPrev(), last);
        EXPECT_EQ(node->GetOwner(), &list);
        last = node;
        ++forward;
    }
    EXPECT_EQ(list.GetTail(), last);
    EXPECT_EQ(forward, list.GetCount());
}

}  // namespace

TEST(LinkedListIds, NodesTakeConsecutiveIdsAndSetIdRaisesTheCounter) {
    CountedNode a;
    CountedNode b;
    EXPECT_EQ(b.GetID(), a.GetID() + 1);
    EXPECT_EQ(LinkedListObject::GetNextNodeId(), b.GetID());

    const uint32_t read = b.GetID() + 500;
    a.SetID(read);
    EXPECT_EQ(a.GetID(), read);
    CountedNode c;
    EXPECT_EQ(c.GetID(), read + 2) << "ids after one read back skip it";

    const uint32_t before = LinkedListObject::GetNextNodeId();
    b.SetID(5);
    EXPECT_EQ(b.GetID(), 5u);
    EXPECT_EQ(LinkedListObject::GetNextNodeId(), before) << "a lower id leaves the counter";
}

TEST(LinkedListIds, FirstNodeIsOneAndTheCounterNeverWraps) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A fresh process: the counter starts at 0 there.
    EXPECT_EXIT(
        {
            CountedNode first;
            if (first.GetID() != 1) std::exit(1);
            first.SetID(UINT32_MAX);
            if (LinkedListObject::GetNextNodeId() != UINT32_MAX) std::exit(2);
            CountedNode after;
            if (after.GetID() != 0) std::exit(3);
            if (LinkedListObject::GetNextNodeId() != UINT32_MAX) std::exit(4);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(LinkedListIds, ConcurrentNodesGetDistinctIds) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 2000;
    std::vector<std::vector<uint32_t>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&ids, t] {
            for (int i = 0; i < kPerThread; ++i) ids[t].push_back(CountedNode().GetID());
        });
    }
    for (auto& thread : threads) thread.join();
    std::set<uint32_t> distinct;
    for (const auto& some : ids) distinct.insert(some.begin(), some.end());
    EXPECT_EQ(distinct.size(), size_t{kThreads * kPerThread});
}

TEST(LinkedList, PrependAndAppendBuildTheOrderAndFindById) {
    LinkedList list;
    EXPECT_EQ(list.FindByID(1), nullptr);
    auto* b = new CountedNode;
    auto* c = new CountedNode;
    auto* a = new CountedNode;
    list.Prepend(b);  // empty list: same as Append
    list.Append(c);
    list.Prepend(a);
    EXPECT_EQ(Walk(list), (std::vector<LinkedListObject*>{a, b, c}));
    ExpectConsistent(list);
    EXPECT_EQ(list.FindByID(c->GetID()), c);
    EXPECT_EQ(list.FindByID(0), nullptr);

    a->SetID(c->GetID());
    EXPECT_EQ(list.FindByID(c->GetID()), a) << "the first from the head wins";

    // Insertion after a member: in the middle, at the tail, at the head for none.
    auto* ab = new CountedNode;
    auto* end = new CountedNode;
    auto* first = new CountedNode;
    list.InsertAfter(a, ab);
    list.InsertAfter(c, end);
    list.InsertAfter(nullptr, first);
    EXPECT_EQ(Walk(list), (std::vector<LinkedListObject*>{first, a, ab, b, c, end}));
    ExpectConsistent(list);
    LinkedList other;
    auto* stranger = new CountedNode;
    other.Append(stranger);
    auto* refused = new CountedNode;
    list.InsertAfter(stranger, refused);
    EXPECT_EQ(refused->GetOwner(), nullptr) << "an insertion point of another list";
    EXPECT_EQ(list.GetCount(), 6u);
    delete refused;
}

TEST(LinkedList, RemoveUnlinksOnlyMembers) {
    struct Case {
        const char* name;
        int removeIndex;  // index into the three nodes, or -1 for a stranger
        std::vector<int> left;
    };
    const Case cases[] = {
        {"head", 0, {1, 2}},
        {"middle", 1, {0, 2}},
        {"tail", 2, {0, 1}},
        {"stranger", -1, {0, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int destroyed = 0;
        LinkedList list;
        CountedNode* nodes[3];
        for (auto*& node : nodes) list.Append(node = new CountedNode(&destroyed));
        CountedNode stranger;
        LinkedListObject* target = c.removeIndex < 0 ? &stranger : nodes[c.removeIndex];

        EXPECT_EQ(list.Remove(target), c.removeIndex >= 0);
        std::vector<LinkedListObject*> expected;
        for (int i : c.left) expected.push_back(nodes[i]);
        EXPECT_EQ(Walk(list), expected);
        ExpectConsistent(list);
        EXPECT_EQ(target->GetPrev(), nullptr);
        EXPECT_EQ(target->GetNext(), nullptr);
        EXPECT_EQ(target->GetOwner(), nullptr);
        EXPECT_EQ(destroyed, 0) << "Remove hands the node back";
        if (c.removeIndex >= 0) delete target;
    }
}

TEST(LinkedList, RemoveEdgeCases) {
    LinkedList list;
    CountedNode loose;
    EXPECT_FALSE(list.Remove(&loose));
    EXPECT_FALSE(list.Remove(nullptr));
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.PopHead(), nullptr);
    EXPECT_EQ(list.PopTail(), nullptr);

    auto* only = new CountedNode;
    list.Append(only);
    LinkedList other;
    EXPECT_FALSE(other.Remove(only)) << "a node of another list";
    EXPECT_EQ(other.GetCount(), 0u);
    EXPECT_TRUE(list.Remove(only));
    EXPECT_FALSE(list.Remove(only)) << "a second removal";
    EXPECT_EQ(list.GetHead(), nullptr);
    EXPECT_EQ(list.GetTail(), nullptr);
    EXPECT_EQ(list.GetCount(), 0u);
    delete only;
}

TEST(LinkedList, ANodeIsInOneListAtATime) {
    LinkedList first;
    LinkedList second;
    auto* node = new CountedNode;
    first.Append(node);
    second.Append(node);
    first.Prepend(node);
    EXPECT_EQ(first.GetCount(), 1u);
    EXPECT_EQ(second.GetCount(), 0u);
    ExpectConsistent(first);
    first.Append(nullptr);
    EXPECT_EQ(first.GetCount(), 1u);
}

TEST(LinkedList, PopsDeletionsAndDestructionOfMembers) {
    int destroyed = 0;
    auto list = std::make_unique<LinkedList>();
    CountedNode* nodes[5];
    for (auto*& node : nodes) list->Append(node = new CountedNode(&destroyed));

    LinkedListObject* head = list->PopHead();
    LinkedListObject* tail = list->PopTail();
    EXPECT_EQ(head, nodes[0]);
    EXPECT_EQ(tail, nodes[4]);
    EXPECT_EQ(head->GetNext(), nullptr);
    EXPECT_EQ(tail->GetPrev(), nullptr);
    delete head;
    delete tail;
    EXPECT_EQ(destroyed, 2);

    EXPECT_TRUE(list->DeleteNode(nodes[2]));
    EXPECT_EQ(destroyed, 3);
    delete nodes[1];  // a member destroyed directly takes itself out
    EXPECT_EQ(Walk(*list), (std::vector<LinkedListObject*>{nodes[3]}));
    ExpectConsistent(*list);

    list->Append(new CountedNode(&destroyed));
    list->DeleteAll();
    EXPECT_EQ(destroyed, 6);
    EXPECT_EQ(list->GetCount(), 0u);
    EXPECT_EQ(list->GetHead(), nullptr);

    list->Append(new CountedNode(&destroyed));
    list.reset();
    EXPECT_EQ(destroyed, 7) << "the list destroys what it still holds";
}

TEST(SizableLinkedList, TrimsTheOtherEndAndKeepsTheNewNode) {
    int destroyed = 0;
    SizableLinkedList list;
    list.SetCapacity(768);
    list.Prepend(new CountedNode(&destroyed));  // through the overriding Append
    LinkedListObject* oldest = list.GetTail();
    for (int i = 1; i < 768; ++i) list.Prepend(new CountedNode(&destroyed));
    EXPECT_EQ(list.GetCount(), 768u);
    EXPECT_EQ(destroyed, 0);

    const uint32_t oldestId = oldest->GetID();
    auto* newest = new CountedNode(&destroyed);
    list.Prepend(newest);
    EXPECT_EQ(list.GetCount(), 768u);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(list.FindByID(oldestId), nullptr) << "the oldest (tail) went";
    EXPECT_EQ(list.GetHead(), newest);

    LinkedListObject* head = list.GetHead();
    auto* appended = new CountedNode(&destroyed);
    list.Append(appended);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(list.GetTail(), appended) << "an Append to a full list keeps the appended node";
    EXPECT_NE(list.GetHead(), head);
    ExpectConsistent(list);

    list.SetCapacity(767);
    list.Prepend(appended);  // refused: already a member, so nothing is trimmed either
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(list.GetCount(), 768u);
    list.Prepend(new CountedNode(&destroyed));
    EXPECT_EQ(destroyed, 3) << "one trim per insertion";
    EXPECT_EQ(list.GetCount(), 768u);

    SizableLinkedList one(0);  // a capacity below 1 holds one node
    one.Append(new CountedNode);
    auto* last = new CountedNode;
    one.Append(last);
    EXPECT_EQ(one.GetCount(), 1u);
    EXPECT_EQ(one.GetHead(), last);
}

TEST(LinkedListIterator, WalksAndStopsCleanly) {
    LinkedList list;
    LinkedListIterator empty(list);
    EXPECT_TRUE(empty.IsDone());
    EXPECT_EQ(empty.First(), nullptr);
    EXPECT_EQ(empty.Next(), nullptr);
    EXPECT_TRUE(empty.IsDone());

    auto* a = new CountedNode;
    auto* b = new CountedNode;
    list.Append(a);
    list.Append(b);
    LinkedListIterator it(&list);
    EXPECT_FALSE(it.IsDone());
    EXPECT_EQ(it.Next(), b) << "the constructor starts at the head";
    EXPECT_EQ(it.Next(), nullptr);
    EXPECT_TRUE(it.IsDone());
    EXPECT_EQ(it.Next(), nullptr);
    EXPECT_EQ(it.First(), a);
    EXPECT_FALSE(it.IsDone());

    it.LockList();
    EXPECT_TRUE(list.GetLock().IsHeldByCurrentThread());
    list.Append(new CountedNode);  // the lock is re-entrant
    it.UnlockList();
    EXPECT_FALSE(list.GetLock().IsHeld());
    EXPECT_EQ(Walk(list).size(), 3u);
}

TEST(LinkedList, ConcurrentAppendsAndRemovalsKeepTheListWhole) {
    LinkedList list;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&list] {
            for (int i = 0; i < 500; ++i) {
                auto* node = new CountedNode;
                list.Append(node);
                if (i % 2) list.DeleteNode(node);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(list.GetCount(), 1000u);
    ExpectConsistent(list);
}

TEST(HiddenQueueObject, HoldsAnObjectOrATypeMask) {
    LinkedList queue;
    queue.Prepend(new HiddenQueueObject(0x400000u, 0u));
    queue.Prepend(new HiddenQueueObject(nullptr));
    auto* newest = static_cast<HiddenQueueObject*>(queue.GetHead());
    EXPECT_TRUE(newest->Matches(0, 0));
    auto* types = static_cast<HiddenQueueObject*>(newest->GetNext());
    EXPECT_TRUE(types->Matches(0x400000u, 0u));
    EXPECT_EQ(types->object, nullptr);
}
