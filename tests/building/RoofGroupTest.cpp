#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "building/Roof.h"
#include "building/RoofGroup.h"
#include "support/PlanStreamCompare.h"
#include "support/WallFixtures.h"

namespace {

// A footprint 200 along x and 100 along z at height 100, counter-clockwise from above.
void Footprint(Vector corners[4]) {
    corners[0] = Vector(0, 100, 100);
    corners[1] = Vector(200, 100, 100);
    corners[2] = Vector(200, 100, 0);
    corners[3] = Vector(0, 100, 0);
}

int CountInScene(BaseControl& control, uint64_t mask) {
    int count = 0;
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (auto* object = dynamic_cast<PickableObject*>(node); object && object->HasType(mask))
            ++count;
    return count;
}

class RoofGroupTest : public ::testing::Test {
protected:
    // A roof over the footprint, 40 high, in the scene; hips pulled in by `inset`.
    RoofGroup* Add(bool hips, double inset = 30.0, double overhang = 0.0) {
        Vector corners[4];
        Footprint(corners);
        auto* group = new RoofGroup(corners, 40.0, overhang, overhang, overhang, hips, hips, inset);
        s.control.scene.Append(group);
        return group;
    }
    WallScene s;
};

TEST_F(RoofGroupTest, GablesMakeTwoQuadsAndHipsFourPlanesThroughThePeaks) {
    RoofGroup* gable = Add(false);
    ASSERT_NE(gable->GetPlane(0), nullptr);
    ASSERT_NE(gable->GetPlane(1), nullptr);
    EXPECT_EQ(gable->GetPlane(2), nullptr);
    EXPECT_EQ(gable->GetPlane(3), nullptr);
    for (int i = 0; i < 2; ++i) {
        const Outline& outline = gable->GetPlane(i)->GetOutline();
        ASSERT_EQ(outline.GetPrimaryCount(), 4);
        // The inside face (A) of a grouped plane is its underside.
        EXPECT_LT(outline.normal.y, 0.0);
        // The ridge at 140 over the middle, the eaves at 100.
        EXPECT_NEAR(gable->GetPlane(i)->GetBoundingBox().max.y, 140.0 + 3.0, 1e-6);
    }
    EXPECT_NEAR(gable->GetPeakLeft().position.z, 50.0, 1e-9);
    EXPECT_NEAR(gable->GetLength(), 200.0, 1e-9);
    EXPECT_NEAR(gable->GetWidth(), 100.0, 1e-9);

    RoofGroup* hipped = Add(true);
    EXPECT_EQ(hipped->CountPlanes(), 4);
    EXPECT_EQ(hipped->GetPlane(2)->GetOutline().GetPrimaryCount(), 3);
    EXPECT_NEAR(hipped->GetPeakLeft().position.x, 30.0, 1e-9);
    EXPECT_EQ(CountInScene(s.control, TypeBit::kRoof), 6);
}

TEST_F(RoofGroupTest, PeaksPulledInMakeHipsUntilTheUserDeletesOne) {
    RoofGroup* group = Add(false);
    group->GetPeakLeft().position.x = 20.0;
    group->UpdateRoofs();
    ASSERT_NE(group->GetPlane(2), nullptr);
    EXPECT_NEAR(group->GetPlane(2)->GetOutline().GetPrimaryPoints()[1].position.x, 20.0, 1e-9);
    // Back on the gable line: the hip goes and may come again.
    group->GetPeakLeft().position.x = 0.0;
    group->UpdateRoofs();
    EXPECT_EQ(group->GetPlane(2), nullptr);
    EXPECT_TRUE(group->IsPlaneAllowed(2));
    EXPECT_EQ(CountInScene(s.control, TypeBit::kRoof), 2);

    group->GetPeakLeft().position.x = 20.0;
    group->UpdateRoofs();
    Roof* hip = group->GetPlane(2);
    ASSERT_NE(hip, nullptr);
    // The user deletes the hip: it stays gone, and is written so.
    group->DetachRoof(hip);
    s.control.scene.DeleteNode(hip);
    EXPECT_FALSE(group->IsPlaneAllowed(2));
    group->GetPeakLeft().position.x = 25.0;
    group->UpdateRoofs();
    EXPECT_EQ(group->GetPlane(2), nullptr);
    group->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(group->TakeWrittenElement());
    EXPECT_EQ(element->GetChildren()->GetNumber("allowRoof2"), 0.0);
    EXPECT_TRUE(element->GetChildren()->GetSublist("subroof2")->IsEmpty());
}

TEST_F(RoofGroupTest, EditedPlanesStopHipsUntilTheEdgesAreReset) {
    RoofGroup* group = Add(false);
    Roof* front = group->GetPlane(0);
    // A fifth node on the front eave.
    front->GetOutline().InsertPoint(Vector(100, 100, 100), 4, false);
    group->GetPeakLeft().position.x = 20.0;
    group->UpdateRoofs();
    EXPECT_EQ(group->GetPlane(2), nullptr);
    group->ProcessPropertyMenu(RoofGroup::kResetRoofEdges);
    EXPECT_EQ(front->GetOutline().GetPrimaryCount(), 4);
    EXPECT_NEAR(front->GetOutline().GetPrimaryPoints()[1].position.x, 20.0, 1e-9);
    group->UpdateRoofs();
    EXPECT_NE(group->GetPlane(2), nullptr);
}

TEST_F(RoofGroupTest, FootprintsWithoutAreaAndSizesNotAboveZeroMakeNothing) {
    Vector point(10, 100, 10);
    auto* drawn = new RoofGroup(point);
    s.control.scene.Append(drawn);
    drawn->UpdatePeakCenter();
    EXPECT_EQ(drawn->CountPlanes(), 0);
    EXPECT_FALSE(drawn->AreRoofsCreated());

    Vector corners[4];
    for (Vector& c : corners) c = Vector(5, 100, 5);
    auto* flat = new RoofGroup(corners, 40.0, 9.0, 9.0, 9.0, true, true, 10.0);
    s.control.scene.Append(flat);
    EXPECT_EQ(flat->CountPlanes(), 0);

    RoofGroup* group = Add(false);
    for (double bad : {0.0, -5.0, std::nan("")}) {
        EXPECT_EQ(group->SetLength(bad), -1);
        EXPECT_EQ(group->SetWidth(bad), -1);
        EXPECT_EQ(group->SetThickness(bad), -1);
    }
    EXPECT_NEAR(group->GetLength(), 200.0, 1e-9);
    EXPECT_EQ(group->SetLength(150.0), 0);
    EXPECT_NEAR(group->GetLength(), 150.0, 1e-9);
    EXPECT_NEAR(group->GetPlane(0)->GetBoundingBox().max.x, 150.0, 1e-6);
    EXPECT_EQ(group->GetPlane(0)->SetSizeX(80.0), 0);
    EXPECT_NEAR(group->GetWidth(), 80.0, 1e-9);
}

TEST_F(RoofGroupTest, PlaneEdgeCutsAndTextureDirection) {
    RoofGroup* group = Add(false);
    Roof* front = group->GetPlane(0);
    const double half = front->BaseSlab::GetThickness() / 2.0;
    const Vector& n = front->GetOutline().normal;
    const double s = n.y > 0.0 ? 1.0 : -1.0;
    const Vector& node = front->GetOutline().GetPrimaryPoints()[0].position;
    EXPECT_NEAR(front->GetFacePointsA()[0].y - node.y, s * half, 1e-9);
    EXPECT_NEAR(front->GetFacePointsA()[0].x, node.x, 1e-9);
    EXPECT_LT(front->GetThickness(), front->BaseSlab::GetThickness()) << "projected thickness";
    // Cut perpendicular at the eave (edge 3 runs from P1 back to P0): both its nodes move
    // along the normal, the others stay plumb.
    front->GetOutline().GetPrimaryPoints()[3].edge->booleanParameter[0] = true;
    front->RecomputeBounds();
    EXPECT_NEAR(front->GetFacePointsA()[0].z - node.z, n.z * half, 1e-9);
    EXPECT_NEAR(front->GetFacePointsA()[0].y - node.y, n.y * half, 1e-9);
    EXPECT_NEAR(front->GetFacePointsA()[1].z, front->GetOutline().GetPrimaryPoints()[1].position.z,
                1e-9);
    EXPECT_DOUBLE_EQ(front->GetThickness(), front->BaseSlab::GetThickness());
    // Textures run up the slope.
    EXPECT_NEAR(std::fabs(front->GetUVector().x), 0.0, 1e-9);

    Roof free(false);
    for (int i = 0; i < 4; ++i)
        free.GetOutline().InsertPoint(Vector(i % 3 == 0 ? 0 : 50, 10, i < 2 ? 0 : 50), i, false);
    free.GetOutline().ComputeNormal();
    free.AllocateRoofArrays();
    EXPECT_EQ(free.GetUVector().x, 1.0);
    EXPECT_FALSE(free.FitToPlane(1.0, 0.0, 0.0, 5.0)) << "a vertical plane";
    EXPECT_FALSE(free.FitToPlane(0.0, 1.0, std::nan(""), 5.0));
    EXPECT_EQ(free.GetOutline().GetPrimaryPoints()[0].position.y, 10.0);
}

TEST_F(RoofGroupTest, GroupedPlanesAreNotClonedAndKeepTheirNodeRules) {
    RoofGroup* group = Add(false);
    EXPECT_EQ(group->GetPlane(0)->Clone(true, true), nullptr);
    Roof* free = new Roof(false);
    for (int i = 0; i < 4; ++i)
        free->GetOutline().InsertPoint(Vector(i % 3 == 0 ? 0 : 50, 10, i < 2 ? 0 : 50), i, false);
    free->GetOutline().ComputeNormal();
    free->AllocateRoofArrays();
    s.control.scene.Append(free);
    auto* copy = dynamic_cast<Roof*>(free->Clone(true, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_NEAR(copy->GetBoundingBox().min.x - free->GetBoundingBox().min.x, 12.0, 1e-9);
    EXPECT_NEAR(copy->GetBoundingBox().min.z - free->GetBoundingBox().min.z, 12.0, 1e-9);

    struct Case {
        int plane, index;
        bool keep, remove;
    };
    const Case cases[] = {{0, 1, true, false},  {0, 2, false, false}, {0, 3, true, true},
                          {0, 0, true, true},   {1, 1, true, false},  {2, 1, false, false},
                          {2, 3, true, true}};
    for (const Case& c : cases) {
        Roof probe(true);
        probe.SetGroup(group, c.plane);
        EXPECT_EQ(group->CanKeepInsertedNode(&probe, c.index), c.keep) << c.plane << c.index;
        EXPECT_EQ(group->CanDeleteNode(&probe, c.index), c.remove) << c.plane << c.index;
        probe.SetGroup(nullptr, 0);
    }
    group->GetPeakLeft().position.x = 20.0;
    group->UpdateRoofs();
    Roof probe(true);
    probe.SetGroup(group, 0);
    EXPECT_FALSE(group->CanKeepInsertedNode(&probe, 1)) << "the left hip exists now";
    probe.SetGroup(nullptr, 0);
}

TEST_F(RoofGroupTest, ReadingAPlaneOfAnotherIdReplacesTheOneInTheSlot) {
    RoofGroup* group = Add(false);
    group->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(group->TakeWrittenElement());
    KeyDataList* roofKeys = element->GetChildren()->GetSublist("subroof1")->GetSublist("Roof");
    ASSERT_FALSE(roofKeys->IsEmpty());
    Roof* before = group->GetPlane(1);
    // The same id: read in place.
    group->ReadKeyData(*element->GetChildren());
    EXPECT_EQ(group->GetPlane(1), before);
    // Another id: a new plane, and the old one leaves the scene with nothing pointing at it.
    roofKeys->DeleteNode(roofKeys->FindElement("transactionObjectId"));
    roofKeys->AddDouble("transactionObjectId", 777777.0);
    group->ReadKeyData(*element->GetChildren());
    ASSERT_NE(group->GetPlane(1), nullptr);
    EXPECT_EQ(group->GetPlane(1)->GetObjectId(), 777777u);
    EXPECT_EQ(group->GetPlane(1)->GetGroup(), group);
    EXPECT_EQ(CountInScene(s.control, TypeBit::kRoof), 2);
}

TEST_F(RoofGroupTest, SavedRoofsComeBackFromTheLoaderAndUndoRestoresTheirKeys) {
    TempFolder folder;
    std::string first;
    std::vector<std::string> saved;
    {
        // Made in the test's control: a group puts its planes in the control's scene.
        Vector corners[4];
        Footprint(corners);
        s.control.scene.Append(new RoofGroup(corners, 40.0, 9.0, 9.0, 0.0, true, false, 30.0));
        Roof* free = new Roof(false);
        for (int i = 0; i < 3; ++i)
            free->GetOutline().InsertPoint(Vector(i == 1 ? 50 : 0, 10 + i * 5, i == 2 ? 50 : 0),
                                           i, false);
        free->GetOutline().ComputeNormal();
        free->AllocateRoofArrays();
        s.control.scene.Append(free);
        first = plan_stream::Save(s.control, folder.Path() + "Roofs.kvp");
        saved = plan_stream::Elements(first, {"RoofGroup", "Roof"});
        s.control.scene.DeleteAll();
    }
    ASSERT_FALSE(saved.empty());
    s.control.LoadPlanFile(first.c_str(), false);
    EXPECT_EQ(CountInScene(s.control, TypeBit::kRoofGroup), 1);
    EXPECT_EQ(CountInScene(s.control, TypeBit::kRoof), 4);
    plan_stream::ExpectSame(
        plan_stream::Elements(plan_stream::Save(s.control, folder.Path() + "Again.kvp"),
                              {"RoofGroup", "Roof"}),
        saved);

    RoofGroup* group = nullptr;
    for (LinkedListObject* node = s.control.scene.GetHead(); node; node = node->GetNext())
        if (auto* g = dynamic_cast<RoofGroup*>(node)) group = g;
    ASSERT_NE(group, nullptr);
    const std::string before = plan_stream::Keys(*group);
    s.control.BeginUndoGroup();
    group->GetPlane(0)->BeginUndoStep();
    group->SetWidth(120.0);
    group->GetPlane(0)->EndUndoStep();
    s.control.EndUndoGroup();
    const std::string after = plan_stream::Keys(*group);
    ASSERT_NE(before, after);
    s.control.Undo();
    EXPECT_EQ(plan_stream::Keys(*group), before);
    s.control.Redo();
    EXPECT_EQ(plan_stream::Keys(*group), after);
}

}  // namespace
