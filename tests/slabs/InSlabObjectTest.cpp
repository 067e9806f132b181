#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "slabs/Floor.h"
#include "slabs/InSlabObject.h"
#include "support/WallFixtures.h"

namespace {

// Every value of the tree as "path=value", object ids aside.
void Flatten(const KeyDataList& list, const std::string& path, std::vector<std::string>& out) {
    for (const BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        const std::string name = path + "/" + m->Name();
        if (!m->IsElement())
            Flatten(*static_cast<const KeyDataSublist*>(m)->GetChildren(), name, out);
        else if (m->Name() != "transactionObjectId" && m->Name() != "objectId")
            out.push_back(name + "=" + static_cast<const KeyDataElement*>(m)->Value());
    }
}

// The whole plan stream inside a saved plan file, flattened.
std::vector<std::string> PlanStream(const std::string& planFile) {
    TempFolder unpacked;
    char member[kCabinetPathSize];
    std::vector<std::string> out;
    if (!DecompressCabinet(planFile.c_str(), unpacked.Path().c_str(), member)) return out;
    FILE* file = std::fopen(member, "rb");
    if (!file) return out;
    KeyDataList plan;
    const bool whole = ReadPlanStream(file, plan);
    std::fclose(file);
    if (!whole) return out;
    Flatten(plan, "", out);
    return out;
}

std::string Save(BaseControl& control, const std::string& path) {
    char buffer[BaseControl::kPathSize];
    std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
    EXPECT_TRUE(control.WriteSceneGraphFile(buffer, sizeof buffer, false));
    return buffer;
}

std::string Keys(UndoableObject* object) {
    object->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(object->TakeWrittenElement());
    std::string text;
    element->GetChildren()->WriteXML(text);
    return text;
}

std::vector<Vector> Corners(InSlabObject* object) {
    std::vector<Vector> out;
    const Outline& outline = object->Opening().GetOutline();
    for (int i = 0; i < outline.GetCount(); ++i) out.push_back(outline.GetPoints()[i].position);
    return out;
}

// A rectangular floor whose top is at `top`, 10 thick; `down` turns its outline's normal
// downwards (a ceiling).
Floor* MakeFloor(double x0, double z0, double x1, double z1, double top, bool down = false) {
    auto* floor = new Floor(Vector(x0, top - 5.0, z0), false);
    floor->BaseSlab::SetThickness(10.0);
    Outline& outline = floor->GetOutline();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const double y = top - 5.0;
    const double corners[4][2] = {{x0, z0}, {x0, z1}, {x1, z1}, {x1, z0}};
    for (int i = 0; i < 4; ++i) {
        const int k = down ? 3 - i : i;
        nodes[i].position.Set(corners[k][0], y, corners[k][1], 1.0);
    }
    outline.Refresh();
    outline.ComputeNormal();
    floor->AllocateOutlineArrays();
    return floor;
}

InSlabObject* Child(Wall* wall, int index) {
    LinkedListObject* node = wall->GetInSlabList().GetHead();
    for (int i = 0; node && i < index; ++i) node = node->GetNext();
    return dynamic_cast<InSlabObject*>(node);
}

class InSlabObjectTest : public ::testing::Test {
protected:
    ~InSlabObjectTest() override { s.control.deletedObjects.DeleteAll(); }

    // A 100 x 100 wall along x, 10 thick, its mid-plane at z = 0.
    Wall* AddWall() { return s.Add(Vector(0, 0, 0), Vector(100, 0, 0), 100.0, 10.0); }

    // A model of width w and height h (4 deep) set into the wall at (x, y).
    template <typename Kind = InSlabObject>
    Kind* Insert(Wall* wall, double x, double y, int type = InSlabObject::kWindow,
                 double w = 10.0, double h = 20.0) {
        auto* object = new Kind;
        BoundingBox box;
        box.min.Set(0, 0, 0, 1);
        box.max.Set(w, h, 4, 1);
        object->SetBoundingBox(box);
        object->LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        object->SetInSlabType(type);
        wall->AttachChild(object);
        object->SetParent(wall);
        object->PlaceAtPoint(Vector(x, y, 0), false);
        return object;
    }

    TempFolder folder;
    WallScene s;
};

// The opening follows the model: it has the footprint's size, sits where the model was
// put and cuts the wall's whole thickness.
TEST_F(InSlabObjectTest, OpeningIsBuiltFromTheFootprint) {
    Wall* wall = AddWall();
    InSlabObject* window = Insert(wall, 30, 40);
    ASSERT_EQ(Corners(window).size(), 4u);
    const BoundingBox& b = window->GetBoundingBox();
    EXPECT_NEAR(b.max.y - b.min.y, 20.0, 1e-6);
    EXPECT_NEAR(std::fabs(b.max.x - b.min.x), 10.0, 1e-6);
    EXPECT_NEAR(b.max.z - b.min.z, 10.0, 1e-6) << "through the wall's thickness";
    EXPECT_EQ(&b, &window->Opening().GetBoundingBox()) << "the object's box is its opening's";
    EXPECT_TRUE(window->IsPositionValid());

    const std::vector<Vector> before = Corners(window);
    window->MoveBy(Vector(5, 3, 0));
    const std::vector<Vector> after = Corners(window);
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_NEAR(after[i].x - before[i].x, 5.0, 1e-6);
        EXPECT_NEAR(after[i].y - before[i].y, 3.0, 1e-6);
    }
}

// A wall with a door, a window and an asymmetric object comes back from the product's
// loader with the same wall and the same kinds; once read, the whole plan stream is kept
// through every further save and reopen.
TEST_F(InSlabObjectTest, PlanWithInSlabObjectsComesBackWhole) {
    std::string first;
    std::vector<std::string> saved;
    {
        Wall* wall = AddWall();
        Insert(wall, 10, 0, InSlabObject::kDoor);
        InSlabObject* window = Insert(wall, 40, 50);
        window->SetInverted(true);
        window->AddRotation(90.0);
        auto* unit = Insert<AsymmetricSlabObject>(wall, 70, 30, InSlabObject::kUnknown);
        unit->SetAttachToBottom(true);
        ASSERT_EQ(wall->GetInSlabList().GetCount(), 3u);
        first = Save(s.control, folder.Path() + "Openings.kvp");
        saved = PlanStream(first);
    }
    ASSERT_FALSE(saved.empty());
    s.control.scene.DeleteAll();
    auto walls = [](const std::vector<std::string>& stream) {
        std::vector<std::string> out;
        for (const std::string& line : stream)
            if (line.rfind("/Wall/", 0) == 0) out.push_back(line);
        return out;
    };
    std::vector<std::string> second;
    std::string again;
    TempFolder secondFolder, thirdFolder;
    {
        WallScene fresh;
        fresh.control.LoadPlanFile(first.c_str(), false);
        auto* wall = dynamic_cast<Wall*>(fresh.control.scene.GetHead());
        ASSERT_NE(wall, nullptr);
        ASSERT_EQ(wall->GetInSlabList().GetCount(), 3u);
        EXPECT_EQ(Child(wall, 0)->GetInSlabType(), InSlabObject::kDoor);
        EXPECT_EQ(Child(wall, 0)->GetParent(), wall);
        EXPECT_EQ(Corners(Child(wall, 0)).size(), 4u) << "the opening is built again";
        EXPECT_TRUE(Child(wall, 1)->IsInverted());
        EXPECT_DOUBLE_EQ(Child(wall, 1)->GetRotation(), 90.0);
        auto* unit = dynamic_cast<AsymmetricSlabObject*>(Child(wall, 2));
        ASSERT_NE(unit, nullptr) << "the asymmetric marker makes its own class";
        EXPECT_TRUE(unit->IsAttachedToBottom());
        // Same name elsewhere: a plan records the name it was opened under.
        again = Save(fresh.control, secondFolder.Path() + "Openings.kvp");
        second = PlanStream(again);
        fresh.control.deletedObjects.DeleteAll();
    }
    EXPECT_EQ(walls(second), walls(saved));
    WallScene third;
    third.control.LoadPlanFile(again.c_str(), false);
    const std::vector<std::string> reread = PlanStream(Save(third.control, thirdFolder.Path() + "Openings.kvp"));
    third.control.deletedObjects.DeleteAll();
    ASSERT_EQ(reread.size(), second.size());
    for (size_t i = 0; i < second.size(); ++i) EXPECT_EQ(reread[i], second[i]);
}

TEST_F(InSlabObjectTest, UndoAndRedoOfAMoveRestoreTheExactKeysAndOpening) {
    Wall* wall = AddWall();
    InSlabObject* window = Insert(wall, 20, 30);
    const std::string before = Keys(wall);
    const std::vector<Vector> corners = Corners(window);
    s.control.BeginUndoGroup();
    window->BeginUndoStep();
    window->MoveBy(Vector(15, 5, 0));
    window->EndUndoStep();
    s.control.EndUndoGroup();
    const std::string after = Keys(wall);
    ASSERT_NE(before, after);
    ASSERT_TRUE(s.control.Undo());
    EXPECT_EQ(Keys(wall), before);
    InSlabObject* restored = Child(wall, 0);
    ASSERT_NE(restored, nullptr);
    const std::vector<Vector> back = Corners(restored);
    ASSERT_EQ(back.size(), corners.size());
    for (size_t i = 0; i < back.size(); ++i) EXPECT_LT(back[i].Distance(corners[i]), 1e-6);
    ASSERT_TRUE(s.control.Redo());
    EXPECT_EQ(Keys(wall), after);
}

TEST_F(InSlabObjectTest, KeysAsWrittenAndAsRead) {
    Wall* wall = AddWall();
    InSlabObject* door = Insert(wall, 20, 0, InSlabObject::kDoor);
    door->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(door->TakeWrittenElement());
    KeyDataList& keys = *element->GetChildren();
    EXPECT_STREQ(keys.GetString("inslab"), "yes");
    EXPECT_STREQ(keys.GetString("inslabtype"), "door");
    EXPECT_FALSE(keys.GetSublist("sideSurface")->IsEmpty());

    auto* unit = Insert<AsymmetricSlabObject>(wall, 60, 40);
    unit->WriteKeyData();
    std::unique_ptr<KeyDataSublist> asym(unit->TakeWrittenElement());
    KeyDataList& asymKeys = *asym->GetChildren();
    EXPECT_STREQ(asymKeys.GetString("asymmetric"), "yes");
    EXPECT_EQ(asymKeys.GetString("inslab"), nullptr);
    EXPECT_EQ(asymKeys.GetString("inslabtype"), nullptr);
    EXPECT_EQ(asymKeys.GetString("attachToBottom"), nullptr) << "written only when set";

    struct TypeCase {
        const char* given;  // null: the key is left out
        int expected;
    };
    const TypeCase types[] = {{"DOOR", 2}, {"Window", 1}, {"shed", 0}, {"door", 2}, {nullptr, 2}};
    InSlabObject reader;
    for (const TypeCase& c : types) {
        SCOPED_TRACE(c.given ? c.given : "(missing)");
        KeyDataList entry;
        if (c.given) entry.AddString("inslabtype", c.given);
        reader.ReadKeyData(entry);
        EXPECT_EQ(reader.GetInSlabType(), c.expected);
    }

    struct BottomCase {
        const char* given;
        bool expected;
    };
    const BottomCase bottoms[] = {{"YES", true}, {"1", false}, {nullptr, false}};
    AsymmetricSlabObject asymReader;
    for (const BottomCase& c : bottoms) {
        SCOPED_TRACE(c.given ? c.given : "(missing)");
        asymReader.SetAttachToBottom(true);
        KeyDataList entry;
        if (c.given) entry.AddString("attachToBottom", c.given);
        asymReader.ReadKeyData(entry);
        EXPECT_EQ(asymReader.IsAttachedToBottom(), c.expected);
    }
}

// Changes that push the opening off the wall or onto another are refused or reported;
// a locked parent keeps the object where it is.
TEST_F(InSlabObjectTest, InvalidPlacesAreRefusedOrReported) {
    Wall* wall = AddWall();
    InSlabObject* window = Insert(wall, 20, 40);
    const Vector scale = window->scale;
    EXPECT_FALSE(window->SetScale(20.0)) << "200 units wide on a 100-unit wall";
    EXPECT_FALSE(window->SetScale(-1.0));
    EXPECT_DOUBLE_EQ(window->scale.x, scale.x);
    EXPECT_EQ(window->SetDimensions(300, 20, 4), -1);
    EXPECT_DOUBLE_EQ(window->scale.x, scale.x);
    EXPECT_TRUE(window->IsPositionValid());

    InSlabObject* other = Insert(wall, 60, 40);
    EXPECT_TRUE(other->IsPositionValid());
    other->MoveBy(Vector(-35, 0, 0));
    EXPECT_FALSE(other->IsPlacementValid()) << "its opening overlaps the first one";
    other->MoveBy(Vector(35, 0, 0));
    EXPECT_TRUE(other->IsPlacementValid());
    other->MoveBy(Vector(0, 200, 0));
    EXPECT_FALSE(other->IsPlacementValid()) << "off the wall's face";

    wall->SetLocked(true);
    const Vector start = window->GetStartPoint();
    window->MoveBy(Vector(5, 0, 0));
    window->AddRotation(45.0);
    EXPECT_DOUBLE_EQ(window->GetStartPoint().x, start.x);
    EXPECT_DOUBLE_EQ(window->GetRotation(), 0.0);
    wall->SetLocked(false);
}

// A door keeps its height when moved in a wall, and standing on the wall's bottom it has
// no reveal under its sill.
TEST_F(InSlabObjectTest, DoorInAWallStaysOnItsSill) {
    Wall* wall = AddWall();
    InSlabObject* door = Insert(wall, 20, 0, InSlabObject::kDoor);
    const double bottom = door->GetBoundingBox().min.y;
    door->MoveBy(Vector(10, 15, 0));
    EXPECT_DOUBLE_EQ(door->GetBoundingBox().min.y, bottom);
    ASSERT_EQ(door->GetSuppressedEdges().size(), 1u);
    const std::vector<Vector> c = Corners(door);
    const int e = door->GetSuppressedEdges()[0];
    EXPECT_DOUBLE_EQ(c[e].y, bottom);
    EXPECT_DOUBLE_EQ(c[(e + 1) % c.size()].y, bottom);
    EXPECT_EQ(door->Opening().GetExcludedEdges(), door->GetSuppressedEdges());

    InSlabObject* window = Insert(wall, 60, 0, InSlabObject::kWindow);
    EXPECT_TRUE(window->GetSuppressedEdges().empty()) << "only doors";
    EXPECT_DOUBLE_EQ(window->FindDoorSillHeight(0.0), -1.0);
}

// A door dropped into a wall stands 0.1 below the nearest floor top that leaves it below
// the wall's top.
TEST_F(InSlabObjectTest, DoorSillHeightIsTheNearestFloorThatFits) {
    Wall* wall = AddWall();
    s.control.scene.Append(MakeFloor(200, 0, 300, 100, 11.0));
    s.control.scene.Append(MakeFloor(200, 0, 300, 100, 90.0));
    s.control.floorState.SetDouble(4, 0.0);
    InSlabObject* door = Insert(wall, 20, 0, InSlabObject::kDoor);
    struct Case {
        double y;
        double expected;
    };
    const Case cases[] = {{12.0, 10.9}, {3.0, 0.9}, {88.0, 10.9}, {-0.4, -0.1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        EXPECT_NEAR(door->FindDoorSillHeight(c.y), c.expected, 1e-9);
    }
}

// Dropped on a ceiling (outline normal down) the asymmetric object faces the other side;
// on a floor it does not.
TEST_F(InSlabObjectTest, AsymmetricDropOnACeilingFacesDown) {
    for (bool down : {true, false}) {
        SCOPED_TRACE(down ? "ceiling" : "floor");
        Floor* slab = MakeFloor(0, 0, 100, 100, 50.0, down);
        s.control.scene.Append(slab);
        ASSERT_EQ(slab->GetOutline().normal.y < 0.0, down);
        auto* unit = new AsymmetricSlabObject;
        slab->AttachChild(unit);
        unit->SetParent(slab);
        unit->UpdatePlacement();
        EXPECT_EQ(unit->IsInverted(), down);
    }
}

// "Face Other Side" and "Reverse Object Direction" each mirror the footprint; together
// they leave it as it was.
TEST_F(InSlabObjectTest, MirroringTwiceLeavesTheFootprint) {
    Wall* wall = AddWall();
    InSlabObject* window = Insert(wall, 40, 40);
    const std::vector<Vector> plain = Corners(window);
    window->ProcessPropertyMenu(InSlabObject::kFaceOtherSide);
    EXPECT_TRUE(window->IsInverted());
    const std::vector<Vector> once = Corners(window);
    bool moved = false;
    for (size_t i = 0; i < plain.size(); ++i) moved = moved || plain[i].Distance(once[i]) > 1e-6;
    EXPECT_TRUE(moved) << "mirrored about a pivot off the middle";
    window->ProcessPropertyMenu(BaseModelMenuCommand::kReverseDirection);
    const std::vector<Vector> twice = Corners(window);
    ASSERT_EQ(twice.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) EXPECT_LT(twice[i].Distance(plain[i]), 1e-6);
}

// Two windows snapped together share an edge that gets no reveal on either; a move
// breaks the join and the reveal comes back.
TEST_F(InSlabObjectTest, SnappedNeighboursShareAnEdgeUntilOneMoves) {
    Wall* wall = AddWall();
    InSlabObject* a = Insert(wall, 20, 40);
    InSlabObject* b = Insert(wall, 32, 40);
    ASSERT_TRUE(b->SnapToNeighbours(InSlabObject::kNeighbourSnap));
    EXPECT_EQ(a->GetJoined(0), b);
    EXPECT_EQ(b->GetJoined(0), a);
    EXPECT_EQ(a->GetSuppressedEdges().size(), 1u);
    EXPECT_EQ(b->GetSuppressedEdges().size(), 1u);
    EXPECT_EQ(a->Opening().GetExcludedEdges().size(), 1u);

    a->MoveBy(Vector(-5, 0, 0));
    EXPECT_EQ(a->JoinCount(), 0);
    EXPECT_EQ(b->JoinCount(), 0);
    EXPECT_TRUE(a->GetSuppressedEdges().empty());
    EXPECT_TRUE(b->Opening().GetExcludedEdges().empty());

    // Nothing within reach: no move, no join.
    InSlabObject* far = Insert(wall, 70, 70);
    const Vector start = far->GetStartPoint();
    EXPECT_FALSE(far->SnapToNeighbours(InSlabObject::kNeighbourSnap));
    EXPECT_DOUBLE_EQ(far->GetStartPoint().x, start.x);
}

// A full neighbour takes no tenth join.
TEST_F(InSlabObjectTest, NoTenthJoin) {
    Wall* wall = AddWall();
    InSlabObject* hub = Insert(wall, 45, 40);
    std::vector<InSlabObject> others(InSlabObject::kMaxJoins + 1);
    for (int i = 0; i < InSlabObject::kMaxJoins; ++i) EXPECT_TRUE(hub->Join(&others[i]));
    EXPECT_FALSE(hub->Join(&others[InSlabObject::kMaxJoins]));
    EXPECT_EQ(hub->JoinCount(), InSlabObject::kMaxJoins);
    hub->Unjoin(&others[0]);
    EXPECT_EQ(hub->GetJoined(0), &others[1]) << "later entries move forward";
    for (int i = 1; i < InSlabObject::kMaxJoins; ++i) hub->Unjoin(&others[i]);
    EXPECT_EQ(hub->JoinCount(), 0);
}

// A copy is of the source's own class, never the parent unless it fits nowhere; a copy
// that fits on neither side is taken out again.
TEST_F(InSlabObjectTest, CloneKeepsTheClassAndDiscardsACopyThatDoesNotFit) {
    Wall* wall = AddWall();
    auto* unit = Insert<AsymmetricSlabObject>(wall, 40, 40);
    unit->SetAttachToBottom(true);
    std::unique_ptr<RenderableObject> loose(unit->Clone());
    auto* copy = dynamic_cast<AsymmetricSlabObject*>(loose.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->IsAttachedToBottom());

    InSlabObject* window = Insert(wall, 10, 70);
    RenderableObject* attached = window->Clone(true, true);
    ASSERT_NE(attached, static_cast<RenderableObject*>(wall));
    EXPECT_EQ(wall->GetInSlabList().GetCount(), 3u);
    EXPECT_NEAR(window->GetStartPoint().x, 23.0, 1e-9) << "the source moved one width and 3";

    InSlabObject* wide = Insert(wall, 2, 5, InSlabObject::kWindow, 90.0, 10.0);
    ASSERT_TRUE(wide->IsPositionValid());
    EXPECT_EQ(wide->Clone(true, true), static_cast<RenderableObject*>(wall));
    EXPECT_EQ(wall->GetInSlabList().GetCount(), 4u);
    EXPECT_DOUBLE_EQ(wide->GetStartPoint().x, 2.0);
}

// Either flag alone moves the asymmetric model to the other face; both together leave it
// where neither does.
TEST_F(InSlabObjectTest, AsymmetricFaceOffset) {
    Wall* wall = AddWall();
    auto* unit = Insert<AsymmetricSlabObject>(wall, 40, 40);
    const double plain = unit->FaceOffset();
    EXPECT_DOUBLE_EQ(std::fabs(plain), 5.0);
    unit->SetAttachToBottom(true);
    EXPECT_DOUBLE_EQ(unit->FaceOffset(), -plain);
    unit->SetInverted(true);
    EXPECT_DOUBLE_EQ(unit->FaceOffset(), plain);
    unit->SetAttachToBottom(false);
    EXPECT_DOUBLE_EQ(unit->FaceOffset(), -plain);
}

}  // namespace
