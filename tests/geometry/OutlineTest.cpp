#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/KeyDataList.h"
#include "geometry/BoundingBox.h"
#include "geometry/Outline.h"
#include "platform/Menu.h"
#include "support/OutlineShapes.h"

namespace {

void ExpectAt(const Vector& actual, double x, double y, double z, const std::string& what) {
    EXPECT_NEAR(actual.x, x, 1e-9) << what;
    EXPECT_NEAR(actual.y, y, 1e-9) << what;
    EXPECT_NEAR(actual.z, z, 1e-9) << what;
}

TEST(Outline, ThirdInsertionComputesTheNormalFacingTheRingCounterClockwise) {
    Outline outline;
    outline.InsertPoint(Vector(0, 0, 0), 0, false);
    outline.InsertPoint(Vector(100, 0, 0), 1, false);
    ExpectAt(outline.normal, 0, 0, 0, "two nodes have no plane");
    outline.InsertPoint(Vector(100, 0, 100), 2, false);
    ExpectAt(outline.normal, 0, -1, 0, "third insertion");
    outline.InsertPoint(Vector(0, 0, 100), 0, false);
    ExpectAt(outline.normal, 0, -1, 0, "later insertions leave the normal");

    // The corner vote turns the plane normal to the side that sees most corners turn
    // counter-clockwise, whichever way the first triple points.
    struct Case {
        const char* name;
        std::vector<Vector> ring;
        Vector expected;
    };
    const Case cases[] = {
        {"square one way", {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}, {0, 0, 10}}, {0, -1, 0}},
        {"square the other way", {{0, 0, 10}, {10, 0, 10}, {10, 0, 0}, {0, 0, 0}}, {0, 1, 0}},
        {"first triple collinear",
         {{0, 0, 0}, {5, 0, 0}, {10, 0, 0}, {10, 0, 10}, {0, 0, 10}},
         {0, -1, 0}},
        {"reflex first corner",
         {{10, 0, 10}, {0, 0, 0}, {20, 0, 0}, {20, 0, 20}, {0, 0, 20}},
         {0, -1, 0}},
        {"wall face", {{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0}}, {0, 0, -1}},
    };
    for (const Case& c : cases) {
        Outline ring;
        for (const Vector& p : c.ring) ring.InsertPoint(p, ring.GetPrimaryCount(), false);
        ring.ComputeNormal();
        ExpectAt(ring.normal, c.expected.x, c.expected.y, c.expected.z, c.name);
    }

    Outline fixed;
    fixed.SetNormal(Vector(0, 0, 1));
    BuildOutline(fixed, {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}});
    fixed.ComputeNormal();
    ExpectAt(fixed.normal, 0, 0, 1, "a set normal stays");
}

TEST(Outline, InsertionDeletionAndNeighboursCheckTheirNodes) {
    Outline outline;
    BuildOutline(outline, {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}});
    EXPECT_EQ(outline.InsertPoint(Vector(1, 1, 1), -1, false), nullptr);
    EXPECT_EQ(outline.InsertPoint(Vector(1, 1, 1), 4, false), nullptr);
    EXPECT_EQ(outline.GetPrimaryCount(), 3);

    OutlinePoint* inserted = outline.InsertPoint(Vector(5, 0, -1), 1, true);
    ASSERT_NE(inserted, nullptr);
    EXPECT_EQ(outline.IndexOfPrimary(inserted), 1);
    EXPECT_TRUE(inserted->constrainFollowing);
    // Every node owns its edge after the array moved.
    for (int i = 0; i < outline.GetPrimaryCount(); ++i)
        EXPECT_TRUE(outline.GetPrimaryPoints()[i].OwnsEdge()) << i;

    OutlinePoint* first = &outline.GetPrimaryPoints()[0];
    OutlinePoint* last = &outline.GetPrimaryPoints()[3];
    EXPECT_EQ(outline.GetNextPoint(last, false), nullptr);
    EXPECT_EQ(outline.GetNextPoint(last, true), first);
    EXPECT_EQ(outline.GetPreviousPoint(first, false), nullptr);
    EXPECT_EQ(outline.GetPreviousPoint(first, true), last);
    EXPECT_EQ(outline.GetNextPoint(first, false), inserted);

    // A node of another outline, or a copy, is not this outline's to delete.
    Outline other;
    BuildOutline(other, {{0, 0, 0}});
    OutlinePoint copy = outline.GetPrimaryPoints()[0];
    EXPECT_FALSE(outline.DeletePoint(&other.GetPrimaryPoints()[0]));
    EXPECT_FALSE(outline.DeletePoint(&copy));
    EXPECT_FALSE(outline.DeletePoint(nullptr));
    EXPECT_EQ(outline.GetNextPoint(&copy, true), nullptr);
    EXPECT_EQ(outline.GetPrimaryCount(), 4);

    EXPECT_TRUE(outline.DeletePoint(inserted));
    ExpectAt(outline.GetPrimaryPoints()[1].position, 10, 0, 0, "later nodes move down");
    EXPECT_TRUE(other.DeletePoint(&other.GetPrimaryPoints()[0]));
    EXPECT_EQ(other.GetPrimaryCount(), 0);
    EXPECT_EQ(other.GetPoints(), nullptr);
}

TEST(Outline, SaveAndLoadRestoreNodesFlagsBulgesAndNormal) {
    Outline source;
    BuildOutline(source, {{0, 0, 0}, {10.1234567, 0, 0}, {10, 2, 10}, {0, 0, 10}});
    source.GetPrimaryPoints()[2].constrainFollowing = true;
    source.GetPrimaryPoints()[0].ownEdge.booleanParameter[4] = true;
    CurveEdge(source, 1, 4.0);
    source.SetNormal(Vector(0.5, -0.5, 0.25));

    KeyDataList tree;
    source.Save(tree, "outline");
    const KeyDataList* stored = tree.GetSublist("outline");
    EXPECT_EQ(stored->GetNumber("nodeCount"), 4.0);
    EXPECT_EQ(stored->GetSublist("outlinePoints")->GetSublist("Point1")->GetNumber("edgeR"), 4.0);

    Outline loaded;
    loaded.edgesRoundable = true;
    loaded.Load(tree, "outline");
    ASSERT_EQ(loaded.GetPrimaryCount(), 4);
    for (int i = 0; i < 4; ++i) {
        const OutlinePoint& a = source.GetPrimaryPoints()[i];
        const OutlinePoint& b = loaded.GetPrimaryPoints()[i];
        EXPECT_NEAR(a.position.x, b.position.x, 5e-7) << i;
        EXPECT_EQ(a.position.y, b.position.y) << i;
        EXPECT_EQ(a.constrainFollowing, b.constrainFollowing) << i;
        EXPECT_EQ(a.ownEdge.edgeR, b.ownEdge.edgeR) << i;
        for (int f = 0; f < OutlineEdge::kFlagCount; ++f)
            EXPECT_EQ(a.ownEdge.booleanParameter[f], b.ownEdge.booleanParameter[f]) << i;
    }
    ExpectAt(loaded.normal, 0.5, -0.5, 0.25, "the stored normal wins");
    EXPECT_TRUE(loaded.HasCurves());
    EXPECT_FALSE(loaded.IsPrimaryView()) << "a curved outline is shown curved";
    EXPECT_GT(loaded.GetCount(), 4);

    Outline copy;
    copy.CopyFrom(source);
    EXPECT_EQ(copy.GetPrimaryCount(), 4);
    EXPECT_EQ(copy.GetPrimaryPoints()[2].constrainFollowing, true);
}

TEST(Outline, LoadFitsTheArrayToTheStoredCountOnce) {
    KeyDataList tree;
    KeyDataList* stored = tree.AddSublist("o");
    stored->AddDouble("nodeCount", 4);
    KeyDataList* points = stored->AddSublist("outlinePoints");
    Vector(7, 0, 7).WriteChild(*points->AddSublist("Point0"), "v");
    points->AddSublist("Point1")->AddString("edgeR", "1e999");

    Outline outline;
    BuildOutline(outline, {{0, 0, 0}, {1, 0, 0}, {2, 0, 2}, {3, 0, 3}, {4, 0, 4}, {5, 0, 5}});
    outline.GetPrimaryPoints()[1].ownEdge.edgeR = 2.5;
    outline.Load(tree, "o");
    ASSERT_EQ(outline.GetPrimaryCount(), 4) << "the last two nodes go";
    ExpectAt(outline.GetPrimaryPoints()[0].position, 7, 0, 7, "read");
    ExpectAt(outline.GetPrimaryPoints()[3].position, 3, 0, 3, "kept: nothing stored for it");
    EXPECT_EQ(outline.GetPrimaryPoints()[1].ownEdge.edgeR, 2.5) << "an infinite bulge is ignored";

    struct Case {
        const char* stored;
        int expected;
    };
    const Case cases[] = {
        {"-5", 0},
        {"2.6", 3},
        {"1e300", Outline::kMaxStoredNodes},
        {"1e999", Outline::kMaxStoredNodes},
        {"none", 0},
        {"-1e999", 0},
    };
    for (const Case& c : cases) {
        KeyDataList hostile;
        hostile.AddSublist("o")->AddString("nodeCount", c.stored);
        Outline target;
        BuildOutline(target, {{0, 0, 0}, {1, 0, 0}});
        target.Load(hostile, "o");
        EXPECT_EQ(target.GetPrimaryCount(), c.expected) << c.stored;
        for (int i = 0; i < target.GetPrimaryCount(); i += 4096)
            EXPECT_TRUE(target.GetPrimaryPoints()[i].OwnsEdge()) << c.stored;
    }

    Outline untouched;
    BuildOutline(untouched, {{0, 0, 0}, {1, 0, 0}});
    KeyDataList empty;
    empty.AddSublist("o");
    untouched.Load(empty, "o");
    EXPECT_EQ(untouched.GetPrimaryCount(), 2) << "an empty stored outline changes nothing";
}

TEST(Outline, EdgeMenuListsLabelsAndOffersRoundingOnce) {
    struct Case {
        const char* name;
        std::vector<const char*> labels;
        bool arcAllowed;
        std::vector<int> ids;  // 0 marks a separator
        int arcIndex;
    };
    const Case cases[] = {
        {"labels only", {"Show Wall", "Show Rail"}, false, {900, 901}, 0},
        {"rounding added", {"Show Wall"}, true, {900, 901, 0}, 1},
        {"rounding alone", {}, true, {900, 0}, 0},
        {"rounding already last",
         {"Show Wall", OutlineEdge::kRoundedLabel},
         true,
         {900, 901, 0},
         0},
        {"six labels leave no room",
         {"a", "b", "c", "d", "e", "f"},
         true,
         {900, 901, 902, 903, 904, 905},
         0},
    };
    for (const Case& c : cases) {
        OutlineEdge edge;
        for (size_t i = 0; i < c.labels.size(); ++i) edge.labels[i] = c.labels[i];
        edge.arcAllowed = c.arcAllowed;
        edge.booleanParameter[0] = true;
        platform::Menu menu;
        edge.BuildPropertyMenu(menu);
        std::vector<int> ids;
        for (size_t i = 0; i < menu.GetItemCount(); ++i)
            ids.push_back(menu.GetItem(i).separator ? 0 : static_cast<int>(menu.GetItem(i).id));
        EXPECT_EQ(ids, c.ids) << c.name;
        EXPECT_EQ(edge.arcIndex, c.arcIndex) << c.name;
        EXPECT_TRUE(menu.GetItem(0).checked) << c.name;
        EXPECT_EQ(edge.labels[OutlineEdge::kFlagCount], nullptr) << c.name;

        // Building the menu again does not add a second rounding entry.
        platform::Menu again;
        edge.BuildPropertyMenu(again);
        EXPECT_EQ(again.GetItemCount(), menu.GetItemCount()) << c.name;
    }

    OutlineEdge edge;
    edge.labels[0] = "Show Wall";
    edge.arcAllowed = true;
    platform::Menu menu;
    edge.BuildPropertyMenu(menu);
    EXPECT_EQ(menu.GetItem(1).text, "Make Edge Rounded");
    EXPECT_FALSE(edge.IsArc());
    for (int id : {899, 906}) {
        EXPECT_FALSE(edge.ProcessPropertyMenu(id));
        for (bool flag : edge.booleanParameter) EXPECT_FALSE(flag) << id;
    }
    EXPECT_FALSE(edge.ProcessPropertyMenu(901)) << "the owner goes on to rebuild";
    EXPECT_TRUE(edge.IsArc());
    EXPECT_FALSE(edge.ProcessPropertyMenu(901));
    EXPECT_FALSE(edge.IsArc());
}

TEST(Outline, NodesAndEdgesAreSelectableSceneParts) {
    Outline outline;
    BuildOutline(outline, {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}});
    OutlinePoint& node = outline.GetPrimaryPoints()[1];
    const PickableObject* pickedNode = &node;
    const PickableObject* pickedEdge = node.edge;
    EXPECT_EQ(pickedNode->GetTypeMask(), TypeMask::kOutlinePoint);
    EXPECT_EQ(pickedEdge->GetTypeMask(), TypeMask::kOutlineEdgeObject);

    // The edge fills the shared pop-up menu through its selectable base.
    node.edge->labels[0] = "Show Wall";
    SelectableObject* selectable = node.edge;
    platform::Menu& menu = SelectableObject::CreateContextMenu();
    selectable->BuildPropertyMenu(menu);
    ASSERT_EQ(menu.GetItemCount(), 1u);
    EXPECT_EQ(menu.GetItem(0).text, "Show Wall");
    EXPECT_FALSE(selectable->ProcessPropertyMenu(900));
    EXPECT_TRUE(node.edge->booleanParameter[0]);

    // Moving nodes within the array keeps their values and selection.
    node.SetSelected(true);
    outline.InsertPoint(Vector(5, 0, -5), 0, false);
    const OutlinePoint& moved = outline.GetPrimaryPoints()[2];
    EXPECT_TRUE(moved.IsSelected());
    EXPECT_TRUE(moved.OwnsEdge());
    EXPECT_TRUE(moved.edge->booleanParameter[0]);

    // A copy is in no list; assigning to a listed node keeps it where it is.
    LinkedList list;
    auto* listed = new OutlinePoint(Vector(1, 2, 3), false);
    list.Append(listed);
    OutlinePoint copy(*listed);
    EXPECT_EQ(copy.GetOwner(), nullptr);
    EXPECT_NE(copy.GetID(), listed->GetID());
    *listed = moved;
    EXPECT_EQ(listed->GetOwner(), &list);
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_TRUE(listed->OwnsEdge());
    EXPECT_EQ(listed->position.x, 10.0);
}

TEST(Outline, ViewsTranslationAndBoxesFollowTheCurvedRing) {
    Outline outline;
    BuildOutline(outline, {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}, {0, 0, 10}});
    CurveEdge(outline, 1, 5.0);
    EXPECT_EQ(outline.GetCount(), 4) << "the primary view stays until asked otherwise";
    outline.UseAlternatePoints();
    EXPECT_EQ(outline.GetCount(), 13);
    const OutlinePoint* points = outline.GetPoints();
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(points[i].edge, &outline.GetPrimaryPoints()[1].ownEdge) << i;

    outline.Translate(1, 2, 3);
    ExpectAt(outline.GetPrimaryPoints()[0].position, 1, 2, 3, "primary");
    ExpectAt(outline.GetPoints()[6].position, 16, 2, 8, "apex of the tessellated ring");

    BoundingBox box;
    box.SetFromOutline(outline);
    ExpectAt(box.min, 1, 2, 3, "box min");
    ExpectAt(box.max, 16, 2, 13, "box max takes the bulge");
    outline.UsePrimaryPoints();
    box.SetFromOutline(outline);
    ExpectAt(box.max, 11, 2, 13, "primary view");
    EXPECT_EQ(outline.GetPositions().size(), 4u);

    Outline empty;
    box.SetFromOutline(empty);
    EXPECT_TRUE(box.IsEmpty());
}

}  // namespace
