#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "control/dialogs/SlabCoveringPropertyDialog.h"
#include "slabs/Counter.h"
#include "support/PlanStreamCompare.h"
#include "support/WallFixtures.h"

namespace {

// A rectangular counter from (x0, z0) to (x1, z1) whose top is at `top`, as the counter
// editor leaves one.
Counter* MakeCounter(double x0, double z0, double x1, double z1, double top) {
    auto* counter = new Counter(Vector(x0, top, z0));
    const double y = counter->GetOutline().GetPrimaryPoints()[0].position.y;
    OutlinePoint* nodes = counter->GetOutline().GetPrimaryPoints();
    nodes[0].position.Set(x0, y, z0, 1.0);
    nodes[1].position.Set(x0, y, z1, 1.0);
    nodes[2].position.Set(x1, y, z1, 1.0);
    nodes[3].position.Set(x1, y, z0, 1.0);
    counter->GetOutline().Refresh();
    counter->GetOutline().ComputeNormal();
    counter->RecomputeBounds();
    return counter;
}

OutlineEdge& Edge(Counter& counter, int i) {
    return *counter.GetOutline().GetPrimaryPoints()[i].edge;
}

class CounterTest : public ::testing::Test {
protected:
    CounterTest() { s.control.counterState.SetDouble(0, 2.0); }
    Counter* Add(Counter* counter) {
        s.control.scene.Append(counter);
        return counter;
    }
    WallScene s;
};

TEST_F(CounterTest, ADrawnCounterHasItsTopAtThePointAndTheDrawnCaptions) {
    Counter drawn(Vector(10, 36, 10));
    EXPECT_DOUBLE_EQ(drawn.GetTop(), 36.0);
    EXPECT_DOUBLE_EQ(drawn.GetLowerFace(), 34.0);
    EXPECT_EQ(drawn.GetTypeMask(), 0x4000001u);
    EXPECT_EQ(drawn.GetKindCode(), 10);
    EXPECT_STREQ(drawn.GetRoundedCaption(), "Round Edge");
    EXPECT_STREQ(drawn.GetBacksplashCaption(), "Backsplash");
    Counter read;
    EXPECT_STREQ(read.GetRoundedCaption(), "Rounded Edge");
    EXPECT_STREQ(read.GetBacksplashCaption(), "Show Backsplash");
    EXPECT_DOUBLE_EQ(read.GetBacksplashHeight(), 6.0);
}

TEST_F(CounterTest, TheBullnoseProfileHasOneSegmentPerUnitOfThicknessAndThreeUpToThirty) {
    struct Case {
        double thickness;
        int segments;
    };
    const Case cases[] = {{2.0, 5}, {40.0, 30}, {27.5, 30},
                          {0.5, 3}, {-10.0, 1}, {std::numeric_limits<double>::quiet_NaN(), 1}};
    for (const Case& c : cases)
        EXPECT_EQ(Counter::ProfileSegments(c.thickness), c.segments) << c.thickness;
}

TEST_F(CounterTest, CountersOverlapFloorsAndEachOther) {
    auto* floor = new Floor(Vector(0, 5, 0), false);
    s.control.scene.Append(floor);
    Counter* a = Add(MakeCounter(0, 0, 50, 30, 6.0));
    Counter* b = Add(MakeCounter(100, 0, 150, 30, 6.0));
    EXPECT_TRUE(a->IsPositionValid());
    b->MoveSlabBy(-80.0, 0.0, 0.0, true);
    EXPECT_DOUBLE_EQ(b->GetOutline().GetPrimaryPoints()[0].position.x, 20.0);
    EXPECT_TRUE(b->IsPositionValid());
}

TEST_F(CounterTest, TheMenuEdgeIsTheNearestLineAndItsItemsToggleTheEdgeFlags) {
    Counter* counter = Add(MakeCounter(0, 0, 100, 40, 36.0));
    // Edges: 0 along x = 0, 1 along z = 40, 2 along x = 100, 3 along z = 0.
    struct Case {
        Vector p;
        int edge;
    };
    const Case cases[] = {
        {Vector(5, 0, 20), 0},
        {Vector(50, 0, 38), 1},
        {Vector(97, 0, 10), 2},
        {Vector(50, 0, 1), 3},
        // Past the corner the distance is to the edge's line: 15 from z = 40, 40 from x = 0.
        {Vector(-40, 0, 55), 1},
        // A tie keeps the closing edge, which is measured first.
        {Vector(50, 0, 20), 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(counter->NearestEdge(c.p), c.edge) << c.p.x << "," << c.p.z;
    EXPECT_EQ(Counter().NearestEdge(Vector(0, 0, 0)), -1);
}

TEST_F(CounterTest, TheDialogMovesTheTopAndRefusesBacksplashesOfZeroOrLess) {
    Counter* counter = Add(MakeCounter(0, 0, 100, 40, 36.0));
    CounterPropertyDialog dialog(counter);
    counter->InitDialog(&dialog);
    EXPECT_DOUBLE_EQ(dialog.height, 36.0);
    EXPECT_DOUBLE_EQ(dialog.backsplashHeight, 6.0);
    struct Case {
        double backsplash;
        double expected;
    };
    for (const Case& c : {Case{10.0, 10.0}, Case{0.0, 10.0}, Case{-4.0, 10.0}, Case{3.5, 3.5}}) {
        dialog.thickness = counter->GetThickness();
        dialog.height = 40.0;
        dialog.backsplashHeight = c.backsplash;
        EXPECT_EQ(counter->OnDialogNotify(&dialog, 1), 0);
        EXPECT_DOUBLE_EQ(counter->GetBacksplashHeight(), c.expected) << c.backsplash;
        EXPECT_DOUBLE_EQ(counter->GetTop(), 40.0);
    }
}

TEST_F(CounterTest, ABacksplashReachesItsHeightAboveTheTopAndMeetsTheNextOne) {
    Counter* counter = Add(MakeCounter(0, 0, 100, 40, 36.0));
    counter->GetCounterState().SetDouble(9, 10.0);
    Vector box[8];
    EXPECT_FALSE(counter->BacksplashBox(1, box));
    Edge(*counter, 1).booleanParameter[Counter::kBacksplashFlag] = true;
    Edge(*counter, 2).booleanParameter[Counter::kBacksplashFlag] = true;
    ASSERT_TRUE(counter->BacksplashBox(1, box));
    for (int k = 0; k < 4; ++k) {
        EXPECT_DOUBLE_EQ(box[k].y, 34.0);
        EXPECT_DOUBLE_EQ(box[4 + k].y, 46.0) << "12 above the lower face, 10 above the top";
    }
    // Edge 1 runs along z = 40 from x 0 to 100; its box stands outside the edge, t/2 deep,
    // and reaches into the corner that the backsplash of edge 2 turns at.
    double minX = 1e9, maxX = -1e9, minZ = 1e9, maxZ = -1e9;
    for (const Vector& p : box) {
        minX = std::fmin(minX, p.x);
        maxX = std::fmax(maxX, p.x);
        minZ = std::fmin(minZ, p.z);
        maxZ = std::fmax(maxZ, p.z);
    }
    EXPECT_DOUBLE_EQ(minZ, 40.0);
    EXPECT_DOUBLE_EQ(maxZ, 41.0);
    EXPECT_DOUBLE_EQ(minX, 0.0);
    EXPECT_DOUBLE_EQ(maxX, 101.0);
    // A rounded edge wins over its backsplash flag.
    Edge(*counter, 1).booleanParameter[Counter::kRoundedFlag] = true;
    EXPECT_FALSE(counter->BacksplashBox(1, box));
}

TEST_F(CounterTest, ACopyIsACounterWithTheSameKeysAndBacksplash) {
    Counter* counter = Add(MakeCounter(0, 0, 100, 40, 36.0));
    counter->GetCounterState().SetDouble(9, 9.0);
    Edge(*counter, 2).booleanParameter[Counter::kRoundedFlag] = true;
    std::unique_ptr<RenderableObject> copy(counter->Clone());
    auto* twin = dynamic_cast<Counter*>(copy.get());
    ASSERT_NE(twin, nullptr);
    EXPECT_DOUBLE_EQ(twin->GetBacksplashHeight(), 9.0);
    EXPECT_TRUE(Edge(*twin, 2).booleanParameter[Counter::kRoundedFlag]);
    std::string mine = plan_stream::Keys(*counter), theirs = plan_stream::Keys(*twin);
    EXPECT_EQ(theirs, mine);
}

TEST_F(CounterTest, StateKeepsTheLowerFaceAndApplyingItPutsTheCounterBack) {
    Counter* counter = Add(MakeCounter(0, 0, 100, 40, 36.0));
    counter->StoreSurfacesToState();
    EXPECT_DOUBLE_EQ(counter->GetCounterState().GetDouble(4), 34.0);
    counter->MoveSlabBy(0.0, 20.0, 0.0, true);
    counter->ApplyState();
    EXPECT_DOUBLE_EQ(counter->GetLowerFace(), 34.0);
}

TEST_F(CounterTest, BillOfMaterialsNamesTheCounter) {
    Counter* counter = Add(MakeCounter(0, 0, 100, 40, 36.0));
    std::string xml;
    counter->WriteObjectInformation(xml);
    EXPECT_EQ(xml.rfind("<counter ", 0), 0u);
    EXPECT_NE(xml.find("</counter>"), std::string::npos);
}

// Saved with its edge flags, opened in a fresh control by the loader: the same plan, and
// undo and redo put back the exact keys of an edit.
TEST(CounterPlanTest, SavedCountersComeBackFromTheLoaderAndUndoRestoresTheirKeys) {
    TempFolder folder;
    std::string file;
    std::vector<std::string> saved;
    {
        WallScene s;
        Counter* counter = MakeCounter(0, 0, 100, 40, 36.0);
        Edge(*counter, 0).booleanParameter[Counter::kBacksplashFlag] = true;
        Edge(*counter, 2).booleanParameter[Counter::kRoundedFlag] = true;
        counter->SetInformationValue("note", "island");
        s.control.scene.Append(counter);
        s.control.scene.Append(MakeCounter(200, 0, 260, 30, 30.0));
        file = plan_stream::Save(s.control, folder.Path() + "Counters.kvp");
        saved = plan_stream::Elements(file, {"Counter"});
    }
    ASSERT_FALSE(saved.empty());
    WallScene s;
    s.control.LoadPlanFile(file.c_str(), false);
    std::vector<Counter*> counters;
    for (LinkedListObject* node = s.control.scene.GetHead(); node; node = node->GetNext())
        if (auto* counter = dynamic_cast<Counter*>(node)) counters.push_back(counter);
    ASSERT_EQ(counters.size(), 2u);
    EXPECT_TRUE(Edge(*counters[0], 0).booleanParameter[Counter::kBacksplashFlag]);
    EXPECT_TRUE(Edge(*counters[0], 2).booleanParameter[Counter::kRoundedFlag]);
    EXPECT_DOUBLE_EQ(counters[0]->GetTop(), 36.0);
    EXPECT_STREQ(counters[0]->GetRoundedCaption(), "Rounded Edge");
    plan_stream::ExpectSame(
        plan_stream::Elements(plan_stream::Save(s.control, folder.Path() + "Again.kvp"),
                              {"Counter"}),
        saved);

    Counter* counter = counters[0];
    const std::string before = plan_stream::Keys(*counter);
    s.control.BeginUndoGroup();
    counter->BeginUndoStep();
    Edge(*counter, 1).booleanParameter[Counter::kRoundedFlag] = true;
    counter->SetThickness(3.0);
    counter->MoveSlabBy(5.0, 4.0, 0.0, true);
    counter->EndUndoStep();
    s.control.EndUndoGroup();
    const std::string after = plan_stream::Keys(*counter);
    ASSERT_NE(before, after);
    s.control.Undo();
    EXPECT_EQ(plan_stream::Keys(*counter), before);
    s.control.Redo();
    EXPECT_EQ(plan_stream::Keys(*counter), after);
}

}  // namespace
