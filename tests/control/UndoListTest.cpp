#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/UndoList.h"
#include "foundation/Transaction.h"

namespace {

// Records every replay in a shared log as "+n" (forwards) or "-n" (backwards).
struct Recording : BaseTransaction {
    Recording(int n, std::vector<std::string>& log, int& live) : n(n), log(log), live(live) {
        ++live;
    }
    ~Recording() override { --live; }
    int GetTransactionType() const override { return kObjectTransactionType; }
    void Apply(bool undo) override { log.push_back((undo ? "-" : "+") + std::to_string(n)); }
    int n;
    std::vector<std::string>& log;
    int& live;
};

class UndoListTest : public ::testing::Test {
protected:
    void Push(int n) { undo.Push(new Recording(n, log, live)); }
    void Group(std::initializer_list<int> ns) {
        undo.BeginGroup();
        for (int n : ns) Push(n);
        undo.EndGroup();
    }
    // The list from its oldest entry to its newest: "[" and "]" for the markers.
    static std::string Shape(const SizableLinkedList& list) {
        std::string s;
        for (auto* e = list.GetTail(); e; e = e->GetPrev()) {
            if (!s.empty()) s += ' ';
            if (auto* r = dynamic_cast<Recording*>(e))
                s += std::to_string(r->n);
            else
                s += IsGroupStart(e) ? "[" : "]";
        }
        return s;
    }
    std::string Log() {
        std::string s;
        for (auto& e : log) s += e + " ";
        log.clear();
        return s;
    }

    std::vector<std::string> log;
    int live = 0;
    UndoList undo;
};

TEST_F(UndoListTest, UndoAndRedoMoveAndReplayWholeGroups) {
    Group({1, 2});
    Group({3, 4, 5});
    EXPECT_EQ(Shape(undo.UndoEntries()), "[ 1 2 ] [ 3 4 5 ]");

    EXPECT_TRUE(undo.StepUndo());
    EXPECT_EQ(Log(), "-5 -4 -3 ");
    EXPECT_EQ(Shape(undo.UndoEntries()), "[ 1 2 ]");
    // On the redo list the start marker is the newest entry.
    EXPECT_EQ(Shape(undo.RedoEntries()), "] 5 4 3 [");

    EXPECT_TRUE(undo.StepUndo());
    EXPECT_EQ(Log(), "-2 -1 ");
    EXPECT_FALSE(undo.StepUndo());
    EXPECT_EQ(Log(), "");

    EXPECT_TRUE(undo.StepRedo());
    EXPECT_EQ(Log(), "+1 +2 ");
    EXPECT_TRUE(undo.StepRedo());
    EXPECT_EQ(Log(), "+3 +4 +5 ");
    EXPECT_FALSE(undo.StepRedo());
    EXPECT_EQ(Shape(undo.UndoEntries()), "[ 1 2 ] [ 3 4 5 ]");
    EXPECT_EQ(Shape(undo.RedoEntries()), "");
}

TEST_F(UndoListTest, GroupsAreClosedOnceAndNestWithoutSplitting) {
    // An empty group and an end on an empty list leave nothing.
    undo.EndGroup();
    undo.BeginGroup();
    undo.EndGroup();
    EXPECT_EQ(Shape(undo.UndoEntries()), "");

    // A second end after a closed group adds no marker.
    Group({1});
    undo.EndGroup();
    EXPECT_EQ(Shape(undo.UndoEntries()), "[ 1 ]");

    // A push outside any group is a group of its own.
    Push(2);
    EXPECT_EQ(Shape(undo.UndoEntries()), "[ 1 ] [ 2 ]");

    // Inner groups write no markers: undo takes the outer group whole.
    undo.BeginGroup();
    Push(3);
    Group({4});
    undo.BeginGroup();
    undo.EndGroup();
    Push(5);
    EXPECT_EQ(undo.GroupDepth(), 1);
    undo.EndGroup();
    EXPECT_EQ(undo.GroupDepth(), 0);
    EXPECT_EQ(Shape(undo.UndoEntries()), "[ 1 ] [ 2 ] [ 3 4 5 ]");
    EXPECT_TRUE(undo.StepUndo());
    EXPECT_EQ(Log(), "-5 -4 -3 ");
}

TEST_F(UndoListTest, ClosingANonEmptyGroupClearsRedo) {
    Group({1});
    Group({2});
    undo.StepUndo();
    ASSERT_EQ(Shape(undo.RedoEntries()), "] 2 [");

    undo.BeginGroup();
    undo.EndGroup();  // empty: redo kept
    undo.BeginGroup();
    Push(3);  // open: redo kept
    EXPECT_EQ(Shape(undo.RedoEntries()), "] 2 [");
    // Stepping while a group is being recorded is refused.
    EXPECT_FALSE(undo.StepUndo());
    EXPECT_FALSE(undo.StepRedo());
    undo.EndGroup();
    EXPECT_EQ(Shape(undo.RedoEntries()), "");
    EXPECT_EQ(live, 2);
}

TEST_F(UndoListTest, FullListDropsTheOldestWholeGroupPerPush) {
    // 192 groups of four entries fill the list to its limit exactly: nothing is dropped.
    for (int g = 0; g < 192; ++g) Group({2 * g, 2 * g + 1});
    ASSERT_EQ(undo.UndoEntries().GetCount(), UndoList::kCapacity);
    EXPECT_EQ(live, 384);

    // The next group's start marker pushes out the oldest group whole, which makes
    // room for three more records; the fourth pushes out the next group.
    undo.BeginGroup();
    EXPECT_EQ(live, 382);
    EXPECT_EQ(Shape(undo.UndoEntries()).substr(0, 12), "[ 2 3 ] [ 4 ");
    for (int n = 1000; n < 1003; ++n) Push(n);
    EXPECT_EQ(undo.UndoEntries().GetCount(), UndoList::kCapacity);
    EXPECT_EQ(Shape(undo.UndoEntries()).substr(0, 12), "[ 2 3 ] [ 4 ");
    Push(1003);
    EXPECT_EQ(live, 384);
    EXPECT_EQ(Shape(undo.UndoEntries()).substr(0, 12), "[ 4 5 ] [ 6 ");
    undo.EndGroup();
    EXPECT_LE(undo.UndoEntries().GetCount(), UndoList::kCapacity);
    EXPECT_TRUE(IsGroupStart(undo.UndoEntries().GetTail()));
}

TEST_F(UndoListTest, GroupLargerThanTheLimitStaysWholeUntilANewerGroupComes) {
    Group({-1});
    undo.BeginGroup();
    for (int n = 0; n < 1000; ++n) Push(n);
    undo.EndGroup();
    // The older group made way; the large one is kept entire.
    EXPECT_EQ(undo.UndoEntries().GetCount(), 1002u);
    EXPECT_EQ(live, 1000);

    // Undone and redone without losing a record.
    EXPECT_TRUE(undo.StepUndo());
    EXPECT_EQ(undo.RedoEntries().GetCount(), 1002u);
    EXPECT_EQ(undo.UndoEntries().GetCount(), 0u);
    EXPECT_TRUE(undo.StepRedo());
    EXPECT_EQ(log.size(), 2000u);
    EXPECT_EQ(log[1000], "+0");
    EXPECT_EQ(log[1999], "+999");

    // The next group pushes the large one out whole.
    Group({7});
    EXPECT_EQ(Shape(undo.UndoEntries()), "[ 7 ]");
    EXPECT_EQ(live, 1);
}

TEST_F(UndoListTest, ClearEmptiesBothListsAndKeepsAnOpenGroupOpen) {
    Group({1});
    Group({2});
    undo.StepUndo();
    undo.BeginGroup();
    Push(3);
    undo.Clear();
    EXPECT_EQ(live, 0);
    EXPECT_EQ(Shape(undo.RedoEntries()), "");
    Push(4);
    undo.EndGroup();
    EXPECT_EQ(Shape(undo.UndoEntries()), "[ 4 ]");
}

}  // namespace
