#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "building/Fence.h"
#include "foundation/KeyDataList.h"
#include "support/PlanStreams.h"
#include "support/WallFixtures.h"

namespace {

using namespace plan_streams;

Fence* AddFence(WallScene& s, const std::vector<Vector>& posts, bool closed = false) {
    auto* fence = new Fence;
    for (const Vector& p : posts)
        fence->GetOutline().InsertPoint(p, fence->GetOutline().GetPrimaryCount(), false);
    fence->GetOutline().SetNormal(Vector(0, 1, 0));
    if (closed) {
        // Closing drops a last post that stands on the first.
        fence->GetOutline().InsertPoint(posts.front(), fence->GetOutline().GetPrimaryCount(),
                                        false);
        fence->CloseCircuit();
    }
    fence->Changed();
    s.control.scene.Append(fence);
    return fence;
}

class FenceTest : public ::testing::Test {
protected:
    // Each test makes its scene: the process serves one control at a time.
    TempFolder folder;
};

TEST_F(FenceTest, RailsAreCutAtTheSegmentEndAndRailsWithoutLengthDrawNothing) {
    struct Case {
        double length;
        double piece;
        int whole;
        double cut;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {100.0, 30.0, 3, 10.0}, {90.0, 30.0, 3, 0.0}, {20.0, 30.0, 0, 20.0},
        {100.0, 0.0, 0, 0.0},   {100.0, -5.0, 0, 0.0}, {100.0, nan, 0, 0.0},
        {0.0, 30.0, 0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << " by " << c.piece);
        int whole = -1;
        double cut = -1.0;
        Fence::RailPieces(c.length, c.piece, whole, cut);
        EXPECT_EQ(whole, c.whole);
        EXPECT_NEAR(cut, c.cut, 1e-9);
    }
    // However long the segment, a segment draws a bounded number of pieces.
    int whole = 0;
    double cut = 0.0;
    Fence::RailPieces(1e12, 1e-3, whole, cut);
    EXPECT_LE(whole, 10000);
}

TEST_F(FenceTest, SegmentsPostsAndClosing) {
    WallScene s;
    Fence* open = AddFence(s, {Vector(0, 0, 0), Vector(100, 0, 0), Vector(100, 0, 100)});
    EXPECT_EQ(open->SegmentCount(), 2);
    Fence* ring = AddFence(s, {Vector(0, 0, 0), Vector(100, 0, 0), Vector(100, 0, 100)}, true);
    EXPECT_TRUE(ring->IsClosed());
    EXPECT_EQ(ring->GetOutline().GetPrimaryCount(), 3);
    EXPECT_EQ(ring->SegmentCount(), 3);

    // A post 20 from the line through its neighbours lands on it; one 30 away stays.
    Fence* line = AddFence(s, {Vector(0, 0, 0), Vector(200, 0, 0)});
    OutlinePoint* near = line->InsertPostAt(Vector(100, 5, 20));
    ASSERT_NE(near, nullptr);
    EXPECT_NEAR(near->position.z, 0.0, 1e-9);
    EXPECT_NEAR(near->position.y, 0.0, 1e-9);
    OutlinePoint* far = line->InsertPostAt(Vector(50, 0, 30));
    ASSERT_NE(far, nullptr);
    EXPECT_NEAR(far->position.z, 30.0, 1e-9);
    EXPECT_EQ(line->GetOutline().GetPrimaryCount(), 4);

    // A locked fence keeps its posts.
    line->SetLocked(true);
    EXPECT_EQ(line->InsertPostAt(Vector(150, 0, 0)), nullptr);
    EXPECT_FALSE(line->DeletePost(&line->GetOutline().GetPrimaryPoints()[1]));
    EXPECT_EQ(line->GetOutline().GetPrimaryCount(), 4);
    line->SetLocked(false);
    EXPECT_TRUE(line->DeletePost(&line->GetOutline().GetPrimaryPoints()[1]));
    EXPECT_EQ(line->GetOutline().GetPrimaryCount(), 3);
}

TEST_F(FenceTest, SavedFencesComeBackFromTheLoader) {
    std::string file;
    std::vector<std::string> saved;
    {
        WallScene first;
        AddFence(first, {Vector(0, 0, 0), Vector(100, 0, 0), Vector(100, 0, 60)});
        Fence* ring = AddFence(first, {Vector(200, 10, 0), Vector(300, 10, 0),
                                       Vector(300, 10, 90), Vector(200, 10, 90)},
                               true);
        ring->SetLocked(true);
        ring->SetInformationValue("note", "garden");
        file = Save(first.control, folder.Path() + "Fences.kvp");
        saved = PlanStream(file, "Fence");
    }
    ASSERT_FALSE(saved.empty());
    WallScene s;
    s.control.LoadPlanFile(file.c_str(), false);
    std::vector<Fence*> read;
    for (LinkedListObject* node = s.control.scene.GetHead(); node; node = node->GetNext())
        if (auto* fence = dynamic_cast<Fence*>(node)) read.push_back(fence);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_FALSE(read[0]->IsClosed());
    EXPECT_TRUE(read[1]->IsClosed());
    EXPECT_TRUE(read[1]->IsLocked());
    EXPECT_EQ(read[1]->GetOutline().GetPrimaryCount(), 4);
    ExpectSameValues(PlanStream(Save(s.control, folder.Path() + "Again.kvp"), "Fence"), saved);

    std::string xml;
    read[0]->WriteObjectInformation(xml);
    EXPECT_EQ(xml,
              "<fence postCount=\"3\" length=\"160.000000\"><post></post><betweenPost>"
              "</betweenPost></fence>");
}

TEST_F(FenceTest, UndoAndRedoOfPostEditsRestoreTheExactKeys) {
    struct Edit {
        const char* what;
        void (*run)(Fence&);
    };
    const Edit edits[] = {
        {"insert", [](Fence& f) { f.InsertPostAt(Vector(50, 0, 40)); }},
        {"delete", [](Fence& f) { f.DeletePost(&f.GetOutline().GetPrimaryPoints()[1]); }},
        {"close", [](Fence& f) {
             f.GetOutline().InsertPoint(Vector(0, 0, 0), f.GetOutline().GetPrimaryCount(), false);
             f.CloseCircuit();
         }},
        {"move", [](Fence& f) { f.MoveBy(Vector(5, 0, -3)); }},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.what);
        WallScene scene;
        Fence* fence = AddFence(scene, {Vector(0, 0, 0), Vector(100, 0, 0), Vector(100, 0, 100)});
        const std::string before = Keys(*fence);
        fence->BeginUndoStep();
        edit.run(*fence);
        fence->EndUndoStep();
        const std::string after = Keys(*fence);
        ASSERT_NE(after, before);
        ASSERT_TRUE(scene.control.Undo());
        EXPECT_EQ(Keys(*fence), before);
        ASSERT_TRUE(scene.control.Redo());
        EXPECT_EQ(Keys(*fence), after);
    }
    // Delete from the menu, then undo brings the fence back through the loader.
    WallScene scene;
    Fence* fence = AddFence(scene, {Vector(0, 0, 0), Vector(100, 0, 0)});
    const std::string before = Keys(*fence);
    fence->BeginUndoStep();
    EXPECT_TRUE(fence->ProcessPropertyMenu(104));
    EXPECT_EQ(scene.control.scene.GetHead(), nullptr);
    ASSERT_TRUE(scene.control.Undo());
    auto* back = dynamic_cast<Fence*>(scene.control.scene.GetHead());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(Keys(*back), before);
    scene.control.deletedObjects.DeleteAll();
}

}  // namespace
