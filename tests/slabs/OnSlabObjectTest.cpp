#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "slabs/OnSlabObject.h"
#include "support/GeometryFile.h"
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

// The walls (with their children) of the plan stream inside a saved plan file.
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
    for (const BaseKeyDataElement* m = plan.GetFirstMember(); m; m = m->GetNextMember())
        if (!m->IsElement() && m->Name() == "Wall")
            Flatten(*static_cast<const KeyDataSublist*>(m)->GetChildren(), "/Wall", out);
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

OnSlabObject* FirstChild(Wall* wall) {
    return dynamic_cast<OnSlabObject*>(wall->GetOnSlabList().GetHead());
}

class OnSlabObjectTest : public ::testing::Test {
protected:
    ~OnSlabObjectTest() override { s.control.deletedObjects.DeleteAll(); }

    // A 100 x 100 wall along x, 10 thick, its mid-plane at z = 0.
    Wall* AddWall() { return s.Add(Vector(0, 0, 0), Vector(100, 0, 0), 100.0, 10.0); }

    // A 10 x 10 x 2 picture on the wall's inside face at (x, y).
    OnSlabObject* Hang(Wall* wall, double x, double y, const char* geometry = nullptr) {
        auto* picture = new OnSlabObject;
        if (geometry) picture->StartDownload("http://h/picture.3c_", geometry, true);
        BoundingBox box;
        box.min.Set(0, 0, 0, 1);
        box.max.Set(10, 10, 2, 1);
        picture->SetBoundingBox(box);
        picture->LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        wall->AttachChild(picture);
        picture->SetParent(wall);
        picture->SetSurface(wall->GetSurface(BaseSlab::kInsideSurface));
        picture->PlaceAtPoint(Vector(x, y, 0), false);
        return picture;
    }
    std::string GeometryPath() {
        GeometryFile g;
        g.Vertices({0, 0, 0}, {10, 10, 2}, {0, 0, 0}, {{32767, 0, 0}, {32767, 32767, 32767}})
            .Faces({{0, 1, 2, 7, 0}})
            .PartEnd()
            .End();
        const std::string path = folder.Path() + "picture.geo";
        g.Save(path);
        return path;
    }

    TempFolder folder;
    WallScene s;
};

// A wall holding pictures (one of them upright, one on the outside face, one turned)
// comes back from the product's loader with the same plan stream, and the picture's
// geometry is read again from its file.
TEST_F(OnSlabObjectTest, PlanWithOnSlabObjectsComesBackElementByElement) {
    const std::string geometry = GeometryPath();
    std::string first;
    std::vector<std::string> saved;
    {
        Wall* wall = AddWall();
        OnSlabObject* a = Hang(wall, 20, 30, geometry.c_str());
        a->AddRotation(45.0);
        OnSlabObject* b = Hang(wall, 60, 30);
        b->SetSurface(wall->GetSurface(BaseSlab::kOutsideSurface));
        OnSlabObject* c = Hang(wall, 40, 60);
        c->SetPerpToGround(OnSlabObject::kPerpUp);
        ASSERT_EQ(wall->GetOnSlabList().GetCount(), 3u);
        first = Save(s.control, folder.Path() + "Pictures.kvp");
        saved = PlanStream(first);
    }
    ASSERT_FALSE(saved.empty());
    s.control.scene.DeleteAll();
    WallScene fresh;
    fresh.control.LoadPlanFile(first.c_str(), false);
    auto* wall = dynamic_cast<Wall*>(fresh.control.scene.GetHead());
    ASSERT_NE(wall, nullptr);
    ASSERT_EQ(wall->GetOnSlabList().GetCount(), 3u);
    OnSlabObject* a = FirstChild(wall);
    EXPECT_EQ(a->GetParent(), wall);
    EXPECT_TRUE(a->IsLoaded()) << "the geometry came back from its file";
    EXPECT_DOUBLE_EQ(a->GetRotation(), 45.0);
    char again[BaseControl::kPathSize];
    std::snprintf(again, sizeof again, "%s", (folder.Path() + "Again.kvp").c_str());
    ASSERT_TRUE(fresh.control.WriteSceneGraphFile(again, sizeof again, false));
    const std::vector<std::string> reread = PlanStream(again);
    ASSERT_EQ(reread.size(), saved.size());
    for (size_t i = 0; i < saved.size(); ++i) EXPECT_EQ(reread[i], saved[i]);
}

TEST_F(OnSlabObjectTest, KeysAsWrittenAndAsRead) {
    Wall* wall = AddWall();
    OnSlabObject* picture = Hang(wall, 20, 30);
    picture->SetSurface(wall->GetSurface(BaseSlab::kOutsideSurface));
    picture->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(picture->TakeWrittenElement());
    KeyDataList& keys = *element->GetChildren();
    EXPECT_STREQ(keys.GetString("side"), "1001.000000");
    EXPECT_STREQ(keys.GetString("onslab"), "yes");
    EXPECT_STREQ(keys.GetString("perpToGround"), "none");
    EXPECT_STREQ(keys.GetString("dropComplete"), "1.000000") << "written as 1 while still false";
    EXPECT_FALSE(picture->IsDropComplete());

    struct Case {
        const char* given;  // null: the key is left out
        int expected;
    };
    const Case cases[] = {{"UP", 2}, {"down", 1}, {"sideways", 0}, {nullptr, 1}};
    OnSlabObject reader;
    reader.SetPerpToGround(OnSlabObject::kPerpDown);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given ? c.given : "(missing)");
        KeyDataList entry;
        if (c.given) entry.AddString("perpToGround", c.given);
        entry.AddString("side", "1001.9");
        const int before = reader.GetPerpToGround();
        reader.ReadKeyData(entry);
        EXPECT_EQ(reader.GetPerpToGround(), c.given ? c.expected : before);
        EXPECT_EQ(reader.GetSide(), 1001) << "truncated";
    }
    KeyDataList wild;
    wild.AddString("side", "1e300");
    reader.ReadKeyData(wild);
    EXPECT_EQ(reader.GetSide(), 1001) << "a side beyond the integers is not taken";
}

// An edit of a child is a step of its parent: undo and redo give the exact keys back.
TEST_F(OnSlabObjectTest, UndoAndRedoOfAMoveRestoreTheExactKeys) {
    Wall* wall = AddWall();
    OnSlabObject* picture = Hang(wall, 20, 30);
    const std::string before = Keys(wall);
    s.control.BeginUndoGroup();
    picture->BeginUndoStep();
    picture->MoveBy(Vector(15, 5, 0));
    picture->EndUndoStep();
    s.control.EndUndoGroup();
    const std::string after = Keys(wall);
    ASSERT_NE(before, after);
    ASSERT_TRUE(s.control.Undo());
    EXPECT_EQ(Keys(wall), before);
    EXPECT_DOUBLE_EQ(FirstChild(wall)->GetStartPoint().x, 20.0);
    ASSERT_TRUE(s.control.Redo());
    EXPECT_EQ(Keys(wall), after);
}

// Every change that would push the picture off its face is taken back.
TEST_F(OnSlabObjectTest, ChangesThatLeaveTheFaceAreTakenBack) {
    Wall* wall = AddWall();
    OnSlabObject* picture = Hang(wall, 20, 30);
    ASSERT_TRUE(picture->IsPositionValid());
    const Vector start = picture->GetStartPoint();
    const Vector scale = picture->scale;

    EXPECT_FALSE(picture->SetScale(20.0)) << "200 units wide on a 100-unit wall";
    EXPECT_DOUBLE_EQ(picture->scale.x, scale.x);
    EXPECT_FALSE(picture->SetScale(0.0));
    EXPECT_FALSE(picture->SetScale(-1.0));
    EXPECT_DOUBLE_EQ(picture->scale.x, scale.x);
    EXPECT_TRUE(picture->SetScale(1.5));
    EXPECT_EQ(picture->SetDimensions(300, 10, 2), -1);
    EXPECT_DOUBLE_EQ(picture->scale.x, 1.5);

    // A neighbour's corner within reach: snapping there is kept while it stays on the
    // face.
    OnSlabObject* neighbour = Hang(wall, 37, 30);
    EXPECT_TRUE(neighbour->SnapToNeighbours(OnSlabObject::kNeighbourSnap));
    EXPECT_TRUE(neighbour->IsPositionValid());
    (void)start;
}

TEST_F(OnSlabObjectTest, RotateCommandsAddWithoutWrapping) {
    Wall* wall = AddWall();
    OnSlabObject* picture = Hang(wall, 40, 40);
    for (int i = 0; i < 8; ++i) picture->ProcessPropertyMenu(SlabChildModel::kRotateClockwise);
    EXPECT_DOUBLE_EQ(picture->GetRotation(), -360.0);
    picture->ProcessPropertyMenu(SlabChildModel::kResetRotation);
    EXPECT_DOUBLE_EQ(picture->GetRotation(), 0.0);
    picture->ProcessPropertyMenu(SlabChildModel::kRotateCounterClockwise);
    EXPECT_DOUBLE_EQ(picture->GetRotation(), 45.0);
}

// Delete takes the child out of an unlocked parent as one step; a locked parent keeps
// it, and the step begun for the removal is dropped rather than left open.
TEST_F(OnSlabObjectTest, DeleteIsRefusedCleanlyOnALockedParent) {
    Wall* wall = AddWall();
    OnSlabObject* picture = Hang(wall, 40, 40);
    wall->SetLocked(true);
    s.control.BeginUndoGroup();
    wall->BeginUndoStep();
    EXPECT_TRUE(picture->ProcessPropertyMenu(SlabChildModel::kDeleteCommand));
    s.control.EndUndoGroup();
    EXPECT_EQ(FirstChild(wall), picture);
    EXPECT_FALSE(wall->HasOpenStep());

    wall->SetLocked(false);
    s.control.BeginUndoGroup();
    wall->BeginUndoStep();
    EXPECT_TRUE(picture->ProcessPropertyMenu(SlabChildModel::kDeleteCommand));
    s.control.EndUndoGroup();
    EXPECT_EQ(wall->GetOnSlabList().GetCount(), 0u);
    EXPECT_FALSE(wall->HasOpenStep());
    ASSERT_TRUE(s.control.Undo());
    EXPECT_EQ(wall->GetOnSlabList().GetCount(), 1u);
}

// A copy is an on-slab object of its own, never the parent; with an offset the source
// moves one width aside, and a copy that fits on neither side goes again.
TEST_F(OnSlabObjectTest, CloneGivesACopyOfTheChild) {
    Wall* wall = AddWall();
    OnSlabObject* picture = Hang(wall, 40, 40);
    std::unique_ptr<RenderableObject> loose(picture->Clone());
    ASSERT_NE(dynamic_cast<OnSlabObject*>(loose.get()), nullptr);
    EXPECT_NE(loose.get(), static_cast<RenderableObject*>(wall));

    OnSlabObject* copy = picture->Clone(true, true);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetParent(), wall);
    EXPECT_EQ(wall->GetOnSlabList().GetCount(), 2u);
    EXPECT_DOUBLE_EQ(copy->GetStartPoint().x, 40.0) << "the copy stays where it was";
    EXPECT_NEAR(picture->GetStartPoint().Distance(Vector(40, 40, 0)), 13.0, 1e-9)
        << "the source moved one width and 3 aside";

    // A picture nearly as wide as the wall fits on neither side.
    OnSlabObject* wide = Hang(wall, 2, 70);
    ASSERT_EQ(wide->SetDimensions(95, 10, 2), 0);
    EXPECT_EQ(wide->Clone(true, true), nullptr);
    EXPECT_EQ(wall->GetOnSlabList().GetCount(), 3u);
    EXPECT_DOUBLE_EQ(wide->GetStartPoint().x, 2.0);
}

// On a vertical face the support prism of an upright model keeps straight sides: no
// division by the face normal's zero height.
TEST_F(OnSlabObjectTest, UprightModelOnAVerticalFaceHasAFinitePrism) {
    Wall* wall = AddWall();
    OnSlabObject* lamp = Hang(wall, 40, 40);
    lamp->SetPerpToGround(OnSlabObject::kPerpDown);
    for (int i = 0; i < 8; ++i) {
        const Vector& p = lamp->GetSupportPrism()[i];
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << i;
    }
}

TEST_F(OnSlabObjectTest, PivotOnAFaceAlongZIsNotTurned) {
    Wall* wall = AddWall();
    OnSlabObject* picture = Hang(wall, 40, 40);
    const Vector c = picture->ComputeCenterOnParent();
    EXPECT_NEAR(c.x, 40 + picture->GetCenterPoint().x, 1e-9);
    EXPECT_NEAR(c.y, 40 + picture->GetCenterPoint().y, 1e-9);
    EXPECT_NEAR(c.z, picture->GetCenterPoint().z, 1e-9);
    OnSlabObject orphan;
    EXPECT_TRUE(orphan.IsInVisibleHeightRange());
}

}  // namespace
