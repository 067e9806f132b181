#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "control/Duzazododiza.h"
#include "foundation/KeyDataList.h"
#include "model/Group.h"
#include "model/Model.h"
#include "platform/Menu.h"
#include "support/GeometryFile.h"
#include "support/SceneFixtures.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"
#include "support/TraceLogTail.h"

namespace {

// A model with a box of the given size whose minimum corner stands at the origin, placed
// at `at`.
Model* MakeModel(const Vector& at, double sx = 10, double sy = 10, double sz = 10) {
    auto* model = new Model;
    BoundingBox box;
    box.min.Set(0, 0, 0, 1);
    box.max.Set(sx, sy, sz, 1);
    model->SetBoundingBox(box);
    model->SetPosition(at);
    return model;
}

void ExpectNear(const Vector& v, double x, double y, double z, double tolerance = 1e-9) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

class GroupTest : public ::testing::Test {
protected:
    template <class T>
    T* Add(T* object, bool selected = true) {
        control.scene.Append(object);
        object->SetSelected(selected);
        return object;
    }

    // The groups of the scene, in order.
    std::vector<Group*> Groups() {
        std::vector<Group*> found;
        for (auto* n = control.scene.GetHead(); n; n = n->GetNext())
            if (auto* g = dynamic_cast<Group*>(n)) found.push_back(g);
        return found;
    }

    // A group (in the scene) of two models standing at x = 0 and x = 30.
    Group* GroupOfTwo() {
        Add(MakeModel(Vector(0, 0, 0)));
        Add(MakeModel(Vector(30, 0, 0)));
        EXPECT_TRUE(Group::CreateGroup(new Group));
        return Groups().empty() ? nullptr : Groups().front();
    }

    // A nest `depth` deep; each level holds a model and the level below. Not in the scene.
    Group* Nest(int depth) {
        Group* inner = nullptr;
        for (int level = 0; level < depth; ++level) {
            auto* group = new Group;
            group->AddMember(MakeModel(Vector(level, 0, 0)));
            group->AddMember(inner ? static_cast<RenderableObject*>(inner)
                                   : MakeModel(Vector(0, 20, 0)));
            inner = group;
        }
        return inner;
    }

    SceneTestControl control;
};

TEST_F(GroupTest, GroupingTakesSelectedModelsAroundTheirCentre) {
    Model* a = Add(MakeModel(Vector(0, 0, 0)));
    Model* b = Add(MakeModel(Vector(30, 0, 20)));
    Model* left = Add(MakeModel(Vector(100, 0, 0)), false);
    auto* light = Add(new TestItem(TypeBit::kLight | TypeBit::kCatalogueModel));
    a->SetSnapMode(SnappableObject::kSnapFloorObjects);
    b->SetSnapMode(SnappableObject::kSnapNone);

    auto* group = new Group;
    ASSERT_TRUE(Group::CreateGroup(group));
    EXPECT_EQ(group->GetOwner(), &control.scene);
    EXPECT_TRUE(group->IsSelected());
    EXPECT_EQ(group->GetMembers().GetCount(), 2u);
    EXPECT_EQ(a->GetGroup(), group);
    EXPECT_FALSE(a->IsSelected());
    // Lights and unselected objects stay where they are.
    EXPECT_EQ(light->GetOwner(), &control.scene);
    EXPECT_EQ(left->GetOwner(), &control.scene);
    EXPECT_TRUE(control.globalState.GetBoolean(0));

    // The combined box (0..40, 0..10, 0..30) is centred on the group's position.
    ExpectNear(group->GetPosition(), 20, 5, 15);
    ExpectNear(group->GetBoundingBox().min, -20, -5, -15);
    ExpectNear(group->GetBoundingBox().max, 20, 5, 15);
    ExpectNear(a->GetPosition(), -20, -5, -15);
    ExpectNear(b->GetPosition(), 10, -5, 5);
    ExpectNear(group->GetWorldCorners()[1], 40, 10, 30);
    // A floor-snapping member with a non-snapping one: the group does not snap.
    EXPECT_EQ(group->GetSnapMode(), SnappableObject::kSnapNone);
}

TEST_F(GroupTest, SelectionsThatMakeNoGroupLeaveTheSceneAsItWas) {
    // Nothing selected but a light.
    Add(new TestItem(TypeBit::kLight | TypeBit::kCatalogueModel));
    EXPECT_FALSE(Group::CreateGroup(new Group));
    EXPECT_TRUE(Groups().empty());

    // One model: grouped, then dissolved at once, back at its place.
    Model* only = Add(MakeModel(Vector(7, 3, 2)));
    EXPECT_FALSE(Group::CreateGroup(new Group));
    EXPECT_TRUE(Groups().empty());
    EXPECT_EQ(only->GetOwner(), &control.scene);
    EXPECT_EQ(only->GetGroup(), nullptr);
    ExpectNear(only->GetPosition(), 7, 3, 2);
}

TEST_F(GroupTest, UngroupPutsMembersAtTheirTurnedWorldPlaces) {
    Group* group = GroupOfTwo();
    ASSERT_NE(group, nullptr);
    auto* first = static_cast<Model*>(group->GetMembers().GetHead());
    first->RotateAboutAxis(1, 30.0);
    group->RotateAboutAxis(1, 90.0);
    const Vector groupPlace = group->GetPosition();
    const Vector local = first->GetPosition();
    Matrix expected;
    group->GetRotation().Multiply(expected, first->GetRotation());

    Group::Ungroup(group);
    EXPECT_TRUE(Groups().empty());
    EXPECT_EQ(first->GetOwner(), &control.scene);
    EXPECT_TRUE(first->IsSelected());
    EXPECT_EQ(first->GetGroup(), nullptr);
    // A quarter turn about y takes (x, y, z) to (z, y, -x).
    ExpectNear(first->GetPosition(), groupPlace.x + local.z, groupPlace.y + local.y,
               groupPlace.z - local.x);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(first->GetRotation().m[i], expected.m[i], 1e-9);
    EXPECT_EQ(control.scene.GetCount(), 2u);
}

TEST_F(GroupTest, SimplifyDissolvesSingleMembersAndTooDeepNests) {
    // A group of one model leaves the model standing alone.
    auto* single = new Group;
    Model* model = MakeModel(Vector(5, 0, 0));
    single->AddMember(model);
    control.scene.Append(single);
    EXPECT_EQ(Group::Simplify(single), model);
    EXPECT_EQ(model->GetOwner(), &control.scene);
    EXPECT_TRUE(Groups().empty());
    control.scene.DeleteAll();

    // 24 levels stay.
    Group* allowed = Nest(Group::kMaxDepth);
    control.scene.Append(allowed);
    EXPECT_EQ(allowed->Depth(), 24);
    EXPECT_EQ(Group::Simplify(allowed), allowed);
    control.scene.DeleteAll();

    // 25 levels: the outer level goes, the 24 below stay.
    Group* deep = Nest(Group::kMaxDepth + 1);
    EXPECT_EQ(deep->CountObjects(), 26);
    control.scene.Append(deep);
    EXPECT_EQ(Group::Simplify(deep), nullptr);
    ASSERT_EQ(Groups().size(), 1u);
    EXPECT_EQ(Groups().front()->Depth(), 24);
    EXPECT_EQ(control.scene.GetCount(), 2u);
}

TEST_F(GroupTest, NestsDeeperThanTheLimitAreNotMadeFromTheSelection) {
    Group* nest = Nest(Group::kMaxDepth);
    control.scene.Append(nest);
    nest->SetSelected(true);
    Add(MakeModel(Vector(50, 0, 0)));
    EXPECT_FALSE(Group::CreateGroup(new Group));
    EXPECT_EQ(Groups().size(), 1u);
    EXPECT_EQ(Groups().front(), nest);
    EXPECT_EQ(control.scene.GetCount(), 2u);
}

TEST_F(GroupTest, BlueprintIconIsFoundInNestedMembers) {
    Group* nest = Nest(3);
    std::unique_ptr<Group> owner(nest);
    EXPECT_FALSE(nest->HasBlueprintIcon());
    auto* innermost = static_cast<Group*>(
        static_cast<Group*>(nest->GetMembers().GetTail())->GetMembers().GetTail());
    KeyDataList keys;
    keys.AddString("iconURL", "http://h/icon.png");
    static_cast<Model*>(innermost->GetMembers().GetHead())->BaseModel::ReadKeyData(keys);
    EXPECT_TRUE(nest->HasBlueprintIcon());

    // A member that is neither model nor group is reported and passed over.
    TraceLogTail log;
    innermost->GetMembers().Prepend(new TestItem);
    EXPECT_TRUE(nest->HasBlueprintIcon());
    EXPECT_TRUE(log.Contains("Subobject is not model or group"));
}

class GroupFileTest : public GroupTest {
protected:
    // A model read from a local geometry file, as a plan's models are.
    Model* LoadedModel(const Vector& at) {
        GeometryFile g;
        g.Triangle(0).PartEnd();
        g.End();
        const std::string path = folder.Path() + "m" + std::to_string(++files) + ".geo";
        g.Save(path);
        Model* model = MakeModel(at);
        model->StartDownload("http://h/m.3c_", path.c_str(), true);
        return model;
    }

    TempFolder folder;
    int files = 0;
};

TEST_F(GroupFileTest, KeyDataRoundTripRebuildsMembersAndFindsKnownOnes) {
    Add(LoadedModel(Vector(0, 0, 0)));
    Add(LoadedModel(Vector(30, 0, 0)));
    auto* group = new Group;
    ASSERT_TRUE(Group::CreateGroup(group));
    group->RotateAboutAxis(1, 45.0);
    group->SetLocked(true);
    group->SetInformationValue("note", "kept");

    group->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(group->TakeWrittenElement());
    ASSERT_TRUE(element);
    EXPECT_STREQ(element->GetName(), "Group");
    KeyDataList& keys = *element->GetChildren();
    ASSERT_NE(keys.GetSublist("GroupObjects"), nullptr);
    EXPECT_EQ(keys.GetSublist("GroupObjects")->GetCount(), 2u);

    Group read;
    read.ReadKeyData(keys);
    ASSERT_EQ(read.GetMembers().GetCount(), 2u);
    EXPECT_TRUE(read.IsLocked());
    // Plans keep numbers to six decimals.
    ExpectNear(read.GetPosition(), group->GetPosition().x, group->GetPosition().y,
               group->GetPosition().z, 1e-5);
    for (int i = 0; i < 8; ++i)
        ExpectNear(read.GetWorldCorners()[i], group->GetWorldCorners()[i].x,
                   group->GetWorldCorners()[i].y, group->GetWorldCorners()[i].z, 1e-4);
    auto* member = static_cast<Model*>(read.GetMembers().GetHead());
    EXPECT_EQ(member->GetGroup(), &read);
    ExpectNear(member->GetPosition(), -20, -5, -5);

    // Reading again finds the members by their ids instead of adding more.
    read.ReadKeyData(keys);
    EXPECT_EQ(read.GetMembers().GetCount(), 2u);

    // A copy has members of its own, ids of its own and the group's information.
    Group* copy = group->Clone(true, true);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetOwner(), &control.scene);
    EXPECT_EQ(copy->GetMembers().GetCount(), 2u);
    EXPECT_NEAR(copy->GetPosition().x, group->GetPosition().x + 40.0, 1e-9);
    EXPECT_NE(copy->GetObjectId(), group->GetObjectId());
    for (auto *c = copy->GetMembers().GetHead(), *o = group->GetMembers().GetHead(); c && o;
         c = c->GetNext(), o = o->GetNext())
        EXPECT_NE(static_cast<Model*>(c)->GetObjectId(), static_cast<Model*>(o)->GetObjectId());
    ASSERT_NE(copy->GetInformation(), nullptr);
    EXPECT_STREQ(copy->GetInformation()->GetString("note"), "kept");

    std::string xml;
    group->WriteObjectInformation(xml);
    EXPECT_EQ(xml.rfind("<group>", 0), 0u);
    EXPECT_EQ(xml.substr(xml.size() - 8), "</group>");
}

TEST_F(GroupFileTest, PlanGroupOfOneMemberIsDissolvedOnLoad) {
    Group saved;
    saved.AddMember(LoadedModel(Vector(4, 0, 0)));
    saved.WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(saved.TakeWrittenElement());
    ASSERT_TRUE(element);

    SerializableObject* made = control.BaseControl::LoadPlanObjects(*element);
    auto* model = dynamic_cast<Model*>(made);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetOwner(), &control.scene);
    EXPECT_EQ(model->GetGroup(), nullptr);
    EXPECT_TRUE(Groups().empty());
    ExpectNear(model->GetPosition(), 4, 0, 0, 1e-5);
}

TEST_F(GroupTest, CopyingInformationNeedsAGroupOfTheSameLength) {
    Group* group = GroupOfTwo();
    ASSERT_NE(group, nullptr);
    static_cast<Model*>(group->GetMembers().GetHead())->SetInformationValue("k", "v");
    TraceLogTail log;

    Group shorter;
    shorter.AddMember(MakeModel(Vector(0, 0, 0)));
    shorter.CopyObjectInformation(*group);
    EXPECT_TRUE(log.Contains("Destination and source lists weren't of the same length"));
    auto* first = static_cast<Model*>(shorter.GetMembers().GetHead());
    ASSERT_NE(first->GetInformation(), nullptr);
    EXPECT_STREQ(first->GetInformation()->GetString("k"), "v");

    Model notAGroup;
    shorter.CopyObjectInformation(notAGroup);
    EXPECT_TRUE(log.Contains("Invalid group to copy was supplied"));
}

TEST_F(GroupTest, MenuOffersUngroupAndRunsIt) {
    Group* group = GroupOfTwo();
    ASSERT_NE(group, nullptr);
    platform::Menu menu;
    group->BuildPropertyMenu(menu);
    const platform::MenuItem* ungroup = menu.FindItem(GroupCommand::kUngroup);
    ASSERT_NE(ungroup, nullptr);
    EXPECT_EQ(ungroup->text, "Ungroup");
    EXPECT_NE(menu.FindItem(100), nullptr);

    const size_t before = control.GetUndoList().UndoEntries().GetCount();
    // Handled, so that nobody passes the id on; the group is still there for the rest of
    // its own menu handling and waits for the render thread among the deleted objects.
    EXPECT_TRUE(group->ProcessPropertyMenu(GroupCommand::kUngroup));
    EXPECT_EQ(group->GetMembers().GetCount(), 0u);
    EXPECT_TRUE(control.deletedObjects.Contains(group));
    EXPECT_TRUE(Groups().empty());
    EXPECT_EQ(control.scene.GetCount(), 2u);
    EXPECT_GT(control.GetUndoList().UndoEntries().GetCount(), before);
}

TEST(GroupScriptingTest, CreateGroupAndUngroupWorkOnTheSelection) {
    ScopedRegistry registry;
    ScopedProgramFolder programFolder;
    auto* control = new CDuzazododiza;
    for (double x : {0.0, 30.0}) {
        Model* model = MakeModel(Vector(x, 0, 0));
        control->scene.Append(model);
        model->SetSelected(true);
    }
    control->CreateGroup();
    ASSERT_EQ(control->scene.GetCount(), 1u);
    auto* group = dynamic_cast<Group*>(control->scene.GetHead());
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->IsSelected());
    EXPECT_FALSE(group->HasOpenStep());

    control->Ungroup();
    EXPECT_EQ(control->scene.GetCount(), 2u);
    EXPECT_EQ(dynamic_cast<Group*>(control->scene.GetHead()), nullptr);
    control->Release();
}

}  // namespace
