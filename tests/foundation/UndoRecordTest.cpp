#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "foundation/Transaction.h"
#include "foundation/UndoableObject.h"
#include "interaction/MouseHandler.h"
#include "model/Model.h"
#include "support/SceneFixtures.h"

namespace {

// The tree as text: elements sorted by key (readers take keys by name), then sublists in
// order.
std::string Canonical(const KeyDataList& list) {
    std::vector<std::string> elements;
    std::string sublists;
    for (auto* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement()) {
            elements.push_back(m->Name() + "=" + static_cast<const KeyDataElement*>(m)->Value());
        } else {
            sublists += m->Name() + "{" +
                        Canonical(*static_cast<const KeyDataSublist*>(m)->GetChildren()) + "}";
        }
    }
    std::sort(elements.begin(), elements.end());
    std::string out;
    for (const std::string& e : elements) out += e + ";";
    return out + sublists;
}

using Build = std::function<void(KeyDataList&)>;

void AddChild(KeyDataList& list, const char* name, const char* id, const char* value) {
    KeyDataList* child = list.AddSublist(name);
    child->AddString("covering", "yes");
    child->AddString("transactionObjectId", id);
    child->AddString("height", value);
}

void Base(KeyDataList& list) {
    list.AddString("thickness", "10.000000");
    list.AddString("Locked", "0.000000");
    KeyDataList* outline = list.AddSublist("outline");
    outline->AddString("count", "4.000000");
    AddChild(list, "covering", "7", "1.000000");
}

TEST(UndoRecord, DifferenceAppliedBothWaysRestoresTheKeys) {
    struct Case {
        const char* name;
        Build after;
    };
    const Case cases[] = {
        {"value change",
         [](KeyDataList& l) {
             Base(l);
             l.DeleteNode(l.FindElement("thickness"));
             l.AddString("thickness", "12.000000");
         }},
        {"nested value change",
         [](KeyDataList& l) {
             l.AddString("thickness", "10.000000");
             l.AddString("Locked", "0.000000");
             l.AddSublist("outline")->AddString("count", "5.000000");
             AddChild(l, "covering", "7", "1.000000");
         }},
        {"child changed",
         [](KeyDataList& l) {
             l.AddString("thickness", "10.000000");
             l.AddString("Locked", "0.000000");
             l.AddSublist("outline")->AddString("count", "4.000000");
             AddChild(l, "covering", "7", "2.500000");
         }},
        {"child added",
         [](KeyDataList& l) {
             Base(l);
             AddChild(l, "covering", "9", "3.000000");
         }},
        {"child removed",
         [](KeyDataList& l) {
             l.AddString("thickness", "10.000000");
             l.AddString("Locked", "0.000000");
             l.AddSublist("outline")->AddString("count", "4.000000");
         }},
        {"sublist added",
         [](KeyDataList& l) {
             Base(l);
             l.AddSublist("Model")->AddString("transactionObjectId", "12");
         }},
    };
    for (const Case& c : cases) {
        KeyDataList before, after, undo, redo;
        Base(before);
        c.after(after);
        ComputeKeyDataDifference(before, after, undo, redo);
        EXPECT_FALSE(undo.IsEmpty() && redo.IsEmpty()) << c.name;

        KeyDataList backwards;
        backwards.AppendCopiesOf(after);
        TestItem::ApplyKeyRecord(backwards, undo);
        EXPECT_EQ(Canonical(backwards), Canonical(before)) << c.name;

        KeyDataList forwards;
        forwards.AppendCopiesOf(before);
        TestItem::ApplyKeyRecord(forwards, redo);
        EXPECT_EQ(Canonical(forwards), Canonical(after)) << c.name;
    }
}

TEST(UndoRecord, DifferenceHoldsOnlyWhatChanged) {
    struct Case {
        const char* name;
        Build before;
        Build after;
        const char* undo;
        const char* redo;
    };
    const Case cases[] = {
        {"same keys", Base, Base, "", ""},
        {"one value", [](KeyDataList& l) { l.AddString("t", "10.000000"); },
         [](KeyDataList& l) { l.AddString("t", "12.000000"); }, "t=10.000000;", "t=12.000000;"},
        // A change of letter case is an edit of its own.
        {"letter case", [](KeyDataList& l) { l.AddString("name", "TRUE"); },
         [](KeyDataList& l) { l.AddString("name", "true"); }, "name=TRUE;", "name=true;"},
        {"key removed",
         [](KeyDataList& l) {
             l.AddString("a", "1");
             l.AddString("b", "2");
         },
         [](KeyDataList& l) { l.AddString("a", "1"); }, "b=2;", ""},
        {"key added", [](KeyDataList& l) { l.AddString("a", "1"); },
         [](KeyDataList& l) {
             l.AddString("a", "1");
             l.AddString("b", "2");
         },
         "", "b=2;"},
        {"everything new", [](KeyDataList&) {},
         [](KeyDataList& l) { AddChild(l, "group", "3", "1"); }, "removedTransactionId=3;",
         "group{covering=yes;height=1;transactionObjectId=3;}"},
        {"marked child",
         [](KeyDataList& l) {
             l.AddString("a", "1");
             AddChild(l, "covering", "5", "1");
         },
         [](KeyDataList& l) {
             l.AddString("a", "1");
             AddChild(l, "covering", "5", "2");
         },
         "covering{covering=yes;height=1;transactionObjectId=5;}",
         "covering{covering=yes;height=2;transactionObjectId=5;}"},
        {"model child keeps its id",
         [](KeyDataList& l) {
             l.AddString("a", "1");
             KeyDataList* m = l.AddSublist("model");
             m->AddString("transactionObjectId", "8");
             m->AddString("x", "1");
         },
         [](KeyDataList& l) {
             l.AddString("a", "1");
             KeyDataList* m = l.AddSublist("model");
             m->AddString("transactionObjectId", "8");
             m->AddString("x", "2");
         },
         "model{transactionObjectId=8;x=1;}", "model{transactionObjectId=8;x=2;}"},
        // Same-name sublists without ids pair up in order of occurrence.
        {"repeated sublists",
         [](KeyDataList& l) {
             l.AddString("a", "1");
             l.AddSublist("Point")->AddString("x", "1");
             l.AddSublist("Point")->AddString("x", "2");
         },
         [](KeyDataList& l) {
             l.AddString("a", "1");
             l.AddSublist("Point")->AddString("x", "1");
             l.AddSublist("Point")->AddString("x", "3");
             l.AddSublist("Point")->AddString("x", "4");
         },
         "Point{x=2;}", "Point{x=3;}Point{x=4;}"},
    };
    for (const Case& c : cases) {
        KeyDataList before, after, undo, redo;
        c.before(before);
        c.after(after);
        ComputeKeyDataDifference(before, after, undo, redo);
        EXPECT_EQ(Canonical(undo), c.undo) << c.name;
        EXPECT_EQ(Canonical(redo), c.redo) << c.name;
    }
}

class UndoSteps : public ::testing::Test {
protected:
    TestItem* Add(const char* thickness = "1.000000") {
        auto* item = new TestItem;
        item->state.AddString("thickness", thickness);
        control.scene.Append(item);
        return item;
    }
    static std::string Thickness(const TestItem& item) {
        const char* value = item.state.GetString("thickness");
        return value ? value : "";
    }
    TestItem* Find(TransactionId id) {
        return dynamic_cast<TestItem*>(FindObjectByTransactionId(control.scene, id));
    }
    void SetThickness(TestItem& item, const char* value) {
        control.BeginUndoGroup();
        item.BeginUndoStep();
        item.state.DeleteNode(item.state.FindElement("thickness"));
        item.state.AddString("thickness", value);
        item.EndUndoStep();
        control.EndUndoGroup();
    }
    // The undo list from its oldest entry: "[" "]" for markers, "o" object records
    // ("c" creations, "d" deletions), "s" special records.
    std::string UndoShape() const {
        std::string s;
        for (auto* e = control.undoList.UndoEntries().GetTail(); e; e = e->GetPrev()) {
            if (auto* o = dynamic_cast<const ObjectTransaction*>(e))
                s += o->created ? "c" : o->deleted ? "d" : "o";
            else if (dynamic_cast<const SpecialTransaction*>(e))
                s += "s";
            else
                s += IsGroupStart(e) ? "[" : "]";
        }
        return s;
    }

    ScopedProgramFolder programFolder;
    SceneTestControl control;
};

TEST_F(UndoSteps, EditIsUndoneAndRedoneThroughTheRecord) {
    TestItem* item = Add("10.000000");
    SetThickness(*item, "12.000000");
    ASSERT_EQ(UndoShape(), "[o]");
    auto* record =
        static_cast<ObjectTransaction*>(control.undoList.UndoEntries().GetHead()->GetNext());
    EXPECT_EQ(Canonical(record->undoData), "thickness=10.000000;");
    EXPECT_EQ(Canonical(record->redoData), "thickness=12.000000;");
    EXPECT_EQ(record->GetCode(), -1);

    control.Undo();
    EXPECT_EQ(Thickness(*item), "10.000000");
    EXPECT_TRUE(item->IsSelected());
    control.Redo();
    EXPECT_EQ(Thickness(*item), "12.000000");
}

TEST_F(UndoSteps, StepsThatChangeNothingLeaveNoRecord) {
    TestItem* item = Add();
    control.BeginUndoGroup();
    item->BeginUndoStep();
    item->EndUndoStep();
    item->BeginUndoStep();
    item->state.AddString("extra", "1");
    item->CancelUndoStep();
    item->EndUndoStep();  // nothing open
    control.EndUndoGroup();
    EXPECT_EQ(UndoShape(), "");

    auto* orphan = new ObjectTransaction;  // no target
    orphan->undoData.AddString("a", "1");
    orphan->Finish();
    EXPECT_EQ(UndoShape(), "");
}

TEST_F(UndoSteps, GroupOfEditsIsUndoneAsOne) {
    TestItem* a = Add("1.000000");
    TestItem* b = Add("2.000000");
    control.BeginUndoGroup();
    SetThickness(*a, "5.000000");
    SetThickness(*b, "6.000000");
    control.EndUndoGroup();
    EXPECT_EQ(UndoShape(), "[oo]");
    control.Undo();
    EXPECT_EQ(Thickness(*a), "1.000000");
    EXPECT_EQ(Thickness(*b), "2.000000");
    EXPECT_TRUE(control.undoList.UndoEntries().IsEmpty());
}

TEST_F(UndoSteps, DeletionIsUndoneFromTheWholeKeysAndRedoneAgain) {
    auto* model = new Model;
    model->SetScaleVector(Vector(3.0, 1.0, 1.0));
    control.scene.Append(model);
    const TransactionId id = model->GetObjectId();
    control.BeginUndoGroup();
    model->BeginUndoStep();
    ASSERT_TRUE(model->RemoveFromList(control.scene));
    model->EndUndoStep();
    control.deletedObjects.Append(model);
    control.EndUndoGroup();
    EXPECT_EQ(UndoShape(), "[d]");

    control.Undo();
    auto* again = dynamic_cast<Model*>(FindObjectByTransactionId(control.scene, id));
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, model);
    EXPECT_DOUBLE_EQ(again->scale.x, 3.0);
    EXPECT_TRUE(again->IsSelected());

    control.Redo();
    EXPECT_EQ(FindObjectByTransactionId(control.scene, id), nullptr);
    EXPECT_TRUE(control.deletedObjects.Contains(again));
}

class RecordingMode : public MouseHandler {
public:
    void ReleaseTarget() override { ++released; }
    int released = 0;
};

TEST_F(UndoSteps, UndoneCreationGoesToTheDeletedListAndComesBackWithItsId) {
    RecordingMode mode;
    control.view->mode = &mode;
    control.BeginUndoGroup();
    auto* model = new Model;
    model->SetScaleVector(Vector(4.0, 1.0, 1.0));
    control.scene.Append(model);
    model->BeginTransaction(true);
    model->EndUndoStep();
    control.EndUndoGroup();
    const TransactionId id = model->GetObjectId();
    EXPECT_EQ(UndoShape(), "[c]");

    control.Undo();
    EXPECT_TRUE(control.deletedObjects.Contains(model));  // left for the render thread
    EXPECT_EQ(mode.released, 1);
    EXPECT_FALSE(control.RenderLock().IsHeldByCurrentThread());

    control.Redo();
    auto* again = dynamic_cast<Model*>(FindObjectByTransactionId(control.scene, id));
    ASSERT_NE(again, nullptr);
    EXPECT_DOUBLE_EQ(again->scale.x, 4.0);
    control.view->mode = nullptr;
}

TEST_F(UndoSteps, LoadedIdsRaiseTheCounterAndTopIdsAreReplaced) {
    TestItem loaded;
    loaded.SetObjectId(UndoableObject::GetNextObjectId() + 500);
    const TransactionId loadedId = loaded.GetObjectId();
    TestItem next;
    EXPECT_EQ(next.GetObjectId(), loadedId + 1);

    TestItem top;
    top.SetObjectId(0xFFFFFFF0u);
    EXPECT_LT(top.GetObjectId(), UndoableObject::kFirstReservedId);
    EXPECT_LT(UndoableObject::GetNextObjectId(), UndoableObject::kFirstReservedId);
    top.SetObjectId(kNoTransactionId);
    EXPECT_NE(top.GetObjectId(), kNoTransactionId);
}

TEST_F(UndoSteps, MergedObjectWithATakenIdGetsAFreshOne) {
    TestItem* present = Add();
    TestItem merged;
    merged.SetObjectId(present->GetObjectId());
    EXPECT_TRUE(merged.TakeFreshIdIfTaken(control.scene));
    EXPECT_NE(merged.GetObjectId(), present->GetObjectId());
    EXPECT_FALSE(merged.TakeFreshIdIfTaken(control.scene));
    EXPECT_EQ(Find(present->GetObjectId()), present);
}

TEST_F(UndoSteps, ObjectsAreFoundByIdInTheListOrAsTheTraceImage) {
    TestItem image;
    control.view->traceImage = &image;
    // An empty scene still has its trace image: an edit of the image in an empty plan
    // is an edit, not a removal.
    EXPECT_EQ(FindObjectByTransactionId(control.scene, image.GetObjectId()), &image);
    TestItem* item = Add();
    EXPECT_EQ(FindObjectByTransactionId(control.scene, item->GetObjectId()), item);
    EXPECT_EQ(FindObjectByTransactionId(control.scene, image.GetObjectId()), &image);
    EXPECT_EQ(FindObjectByTransactionId(control.scene, kNoTransactionId), nullptr);
    control.view->traceImage = nullptr;
}

TEST_F(UndoSteps, DuplicateLeavesACopyBehindAndMovesTheObject) {
    TestItem* item = Add("2.000000");
    item->SetBox(0, 0, 0, 10, 10, 10);
    item->ApplyOffset();
    item->Translate(Vector(0, 0, 20));
    item->RemoveOffset();  // offset (0, 0, 20)
    control.BeginUndoGroup();
    auto* copy = dynamic_cast<TestItem*>(item->DuplicateAndOffset());
    control.EndUndoGroup();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->GetObjectId(), item->GetObjectId());
    EXPECT_EQ(Thickness(*copy), "2.000000");
    EXPECT_TRUE(control.scene.Contains(copy));
    EXPECT_EQ(item->GetBoundingBox().max.z, 50.0);
    // The fixture's keys hold no position, so the move itself leaves no record.
    EXPECT_EQ(UndoShape(), "[c]");
    EXPECT_FALSE(item->HasOpenStep());

    control.Undo();
    EXPECT_FALSE(control.scene.Contains(copy));
    EXPECT_TRUE(control.deletedObjects.Contains(copy));
}

TEST_F(UndoSteps, DuplicateToAnInvalidPlaceRecordsNothing) {
    TestItem* item = Add();
    item->SetBox(0, 0, 0, 10, 10, 10);
    item->ApplyOffset();
    item->Translate(Vector(0, 2000, 0));  // offset that takes it out of the valid range
    item->RemoveOffset();
    const uint32_t count = control.scene.GetCount();
    control.BeginUndoGroup();
    EXPECT_EQ(item->DuplicateAndOffset(), nullptr);
    control.EndUndoGroup();
    EXPECT_EQ(control.scene.GetCount(), count);
    EXPECT_EQ(item->GetBoundingBox().max.y, 2010.0);  // moved back to where it stood
    EXPECT_FALSE(item->HasOpenStep());
    EXPECT_EQ(UndoShape(), "");

    item->SetLocked(true);
    EXPECT_EQ(item->DuplicateAndOffset(), nullptr);
}

TEST_F(UndoSteps, SpecialRecordsReplayPlanMovesAndFloorChanges) {
    control.floorState.SetDouble(4, 5.0);
    control.BeginUndoGroup();
    control.floorState.SetDouble(4, 6.0);
    (new SpecialTransaction(SpecialTransaction::kChangeFloorLevelDelta))->Record(1.0);
    control.EndUndoGroup();
    control.Undo();
    EXPECT_DOUBLE_EQ(control.floorState.GetDouble(4), 5.0);
    control.Redo();
    EXPECT_DOUBLE_EQ(control.floorState.GetDouble(4), 6.0);

    TestItem* item = Add();
    control.BeginUndoGroup();
    control.MoveAllObjects(Vector(1, 2, 3));
    (new SpecialTransaction(SpecialTransaction::kMovePlanOffset))->Record(Vector(1, 2, 3));
    control.EndUndoGroup();
    EXPECT_TRUE(item->moved.Equals(Vector(1, 2, 3)));
    control.Undo();
    EXPECT_TRUE(item->moved.Equals(Vector(0, 0, 0)));
    EXPECT_EQ(UndoShape(), "[s]");  // the floor change
}

}  // namespace
