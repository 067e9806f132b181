#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "geometry/ViewProjection.h"
#include "interaction/MouseHandler.h"
#include "platform/Menu.h"
#include "slabs/ParametricDoor.h"
#include "slabs/ParametricWindowFrame.h"
#include "control/dialogs/SlabCoveringPropertyDialog.h"
#include "slabs/SlabCovering.h"
#include "slabs/SlabHole.h"
#include "support/TempFolder.h"
#include "support/WallFixtures.h"

namespace {

// Looking at a wall in the x-y plane from +z: pixel (px, py) of a 200 x 200 viewport lies
// over (px / 2, (199 - py) / 2).
ViewProjection FrontView() {
    ViewProjection view;
    view.viewport[2] = 200;
    view.viewport[3] = 200;
    double m[16] = {};
    m[0] = 0.02;
    m[5] = 0.02;
    m[10] = -0.001;
    m[12] = -1.0;
    m[13] = -1.0;
    m[15] = 1.0;
    view.projection = Matrix(m);
    return view;
}
int PixelX(double x) {
    return static_cast<int>(std::lround(x * 2));
}
int PixelY(double y) {
    return 199 - static_cast<int>(std::lround(y * 2));
}

std::vector<Vector> Rectangle(double x0, double y0, double x1, double y1) {
    return {Vector(x0, y0, 0), Vector(x1, y0, 0), Vector(x1, y1, 0), Vector(x0, y1, 0)};
}

// The object's keys as text, without the list ids of children (a child made again by
// redo gets a new one; it is not read back).
std::string Keys(UndoableObject& object) {
    object.WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(object.TakeWrittenElement());
    std::string text;
    element->GetChildren()->WriteXML(text);
    return std::regex_replace(text, std::regex("objectId=\\\"[0-9.]*\\\""), "");
}

class SlabHoleTest : public ::testing::Test, public WallScene {
protected:
    SlabHoleTest() { wall = Add(Vector(0, 0, 0), Vector(100, 0, 0), 100.0, 10.0); }

    SlabHole* Cut(const std::vector<Vector>& corners) {
        return wall->CreateHole(corners.data(), static_cast<int>(corners.size()));
    }
    std::vector<Vector> Corners(SlabHole* hole) { return hole->GetOutline().GetPositions(); }

    Wall* wall = nullptr;
};

TEST_F(SlabHoleTest, AHoleCutsThroughTheWholeThicknessAgainstTheFace) {
    // Corners given with the face's normal and against it both end up running against it.
    for (bool reversed : {false, true}) {
        std::vector<Vector> corners = Rectangle(20, 10, 40, 60);
        if (reversed) corners = {corners[3], corners[2], corners[1], corners[0]};
        SlabHole* hole = Cut(corners);
        ASSERT_NE(hole, nullptr);
        Vector given;
        given.PolygonNormal(corners.data(), 4);
        const std::vector<Vector> stored = Corners(hole);
        Vector kept;
        kept.PolygonNormal(stored.data(), 4);
        EXPECT_LE(kept.Dot(wall->GetOutline().normal), 0.0);
        EXPECT_NEAR(hole->GetDepth(), 5.0, 1e-9);
        EXPECT_NEAR(hole->GetArea(), 1000.0, 1e-6);
        const BoundingBox& box = hole->GetBoundingBox();
        EXPECT_NEAR(box.max.z - box.min.z, 10.0, 1e-9);
        ASSERT_EQ(hole->GetFrontPolygon().size(), 4u);
        ASSERT_EQ(hole->GetBackPolygon().size(), 4u);
        EXPECT_NEAR(hole->GetFrontPolygon()[0].Distance(hole->GetBackPolygon()[0]), 10.0, 1e-9);
        EXPECT_TRUE(hole->IsSelected());
        ASSERT_TRUE(wall->RemoveChild(hole, true));
        delete hole;
    }
    // A thicker wall takes its holes' faces with it.
    SlabHole* hole = Cut(Rectangle(20, 10, 40, 60));
    wall->SetThickness(20.0);
    EXPECT_NEAR(hole->GetDepth(), 10.0, 1e-9);
    EXPECT_NEAR(hole->GetFrontPolygon()[0].Distance(hole->GetBackPolygon()[0]), 20.0, 1e-9);
}

TEST_F(SlabHoleTest, DegenerateOrLockedCutsAreRefused) {
    const std::vector<std::vector<Vector>> refused = {
        {Vector(20, 10, 0), Vector(40, 10, 0)},
        {Vector(20, 10, 0), Vector(30, 10, 0), Vector(40, 10, 0), Vector(50, 10, 0)},
        {Vector(20, 10, 0), Vector(20, 10, 0), Vector(20, 10, 0)},
    };
    for (const auto& corners : refused) EXPECT_EQ(Cut(corners), nullptr);
    wall->SetLocked(true);
    EXPECT_EQ(Cut(Rectangle(20, 10, 40, 60)), nullptr);
    EXPECT_EQ(wall->GetHoleList().GetCount(), 0u);
    // The wall can still be edited: no child blocks it.
    wall->SetLocked(false);
    EXPECT_TRUE(wall->IsPositionValid());
}

TEST_F(SlabHoleTest, CornerEditsThatOverlapOrLeaveTheWallAreTakenBack) {
    SlabHole* left = Cut(Rectangle(10, 10, 30, 50));
    SlabHole* right = Cut(Rectangle(50, 10, 70, 50));
    ASSERT_TRUE(left && right);
    EXPECT_TRUE(left->IsPositionValid());
    const ViewProjection view = FrontView();
    const std::vector<Vector> before = Corners(left);
    // Into the other hole, then out of the wall: both go back.
    for (const Vector& target : {Vector(60, 30, 0), Vector(10, 130, 0)}) {
        OutlinePoint* node = &left->GetOutline().GetPrimaryPoints()[0];
        left->MovePoint(view, PixelX(target.x), PixelY(target.y), node, false);
        const std::vector<Vector> after = Corners(left);
        for (size_t i = 0; i < before.size(); ++i) EXPECT_TRUE(after[i].Equals(before[i])) << i;
    }
    // A free spot is taken.
    OutlinePoint* node = &left->GetOutline().GetPrimaryPoints()[0];
    const Vector was = node->position;
    left->MovePoint(view, PixelX(was.x - 4), PixelY(was.y + 4), node, false);
    EXPECT_NEAR(left->GetOutline().GetPrimaryPoints()[0].position.x, was.x - 4, 0.6);
    // Three corners stay.
    ASSERT_TRUE(left->RemovePoint(&left->GetOutline().GetPrimaryPoints()[0]));
    EXPECT_FALSE(left->RemovePoint(&left->GetOutline().GetPrimaryPoints()[0]));
    EXPECT_EQ(left->GetOutline().GetPrimaryCount(), 3);
}

TEST_F(SlabHoleTest, CornersInsertedNearAnEdgeLandOnIt) {
    struct Case {
        double off;
        bool onEdge;
    };
    for (const Case c : {Case{24.0, true}, Case{26.0, false}}) {
        SCOPED_TRACE(c.off);
        SlabHole* hole = Cut(Rectangle(10, 10, 90, 90));
        // Below the top edge (y = 90) by `off`: that edge is the nearest.
        OutlinePoint* node = hole->InsertPoint(FrontView(), PixelX(50), PixelY(90 - c.off));
        ASSERT_NE(node, nullptr);
        EXPECT_NEAR(node->position.y, c.onEdge ? 90.0 : 90.0 - c.off, c.onEdge ? 1e-9 : 0.6);
        wall->RemoveChild(hole, true);
        delete hole;
    }
}

TEST_F(SlabHoleTest, DoorsAndWindowsShowHideAndSwapThroughTheMenu) {
    SlabHole* hole = Cut(Rectangle(20, 0.5, 50, 80));
    auto labels = [&] {
        platform::Menu menu;
        hole->BuildPropertyMenu(menu);
        std::vector<uint32_t> ids;
        for (size_t i = 0; i < menu.GetItemCount(); ++i) ids.push_back(menu.GetItem(i).id);
        return ids;
    };
    auto has = [](const std::vector<uint32_t>& ids, uint32_t id) {
        for (uint32_t i : ids)
            if (i == id) return true;
        return false;
    };
    EXPECT_TRUE(has(labels(), 1957));
    ASSERT_TRUE(hole->ProcessPropertyMenu(1957));
    auto* door = dynamic_cast<ParametricDoor*>(hole->GetDoorOrWindow());
    ASSERT_NE(door, nullptr);
    EXPECT_TRUE(has(labels(), 1955));
    EXPECT_TRUE(hole->ProcessPropertyMenu(1955));
    EXPECT_TRUE(door->IsHidden());
    // A hidden door is still saved.
    EXPECT_NE(Keys(*hole).find("ParametricDoor"), std::string::npos);
    EXPECT_TRUE(hole->ProcessPropertyMenu(1956));
    EXPECT_NE(dynamic_cast<ParametricWindowFrame*>(hole->GetDoorOrWindow()), nullptr);
    EXPECT_TRUE(hole->ProcessPropertyMenu(1957));
    EXPECT_EQ(hole->GetDoorOrWindow(), door);
    EXPECT_FALSE(door->IsHidden());

    // An embedded hole offers nothing and refuses Delete.
    SlabHole embedded(true);
    platform::Menu menu;
    const size_t base = menu.GetItemCount();
    embedded.BuildPropertyMenu(menu);
    EXPECT_EQ(menu.GetItemCount(), base);
    EXPECT_FALSE(embedded.ProcessPropertyMenu(MouseHandler::kDeleteCommand));
}

TEST_F(SlabHoleTest, DeleteRemovesTheHoleAsOneUndoableStepUnlessLocked) {
    Cut(Rectangle(20, 10, 40, 60));
    // The newest: undo puts a child back at the end of its list.
    SlabHole* hole = Cut(Rectangle(60, 10, 80, 60));
    wall->SetSelected(false);
    const std::string withBoth = Keys(*wall);
    wall->SetLocked(true);
    hole->BeginUndoStep();
    EXPECT_TRUE(hole->ProcessPropertyMenu(MouseHandler::kDeleteCommand));
    EXPECT_EQ(wall->GetHoleList().GetCount(), 2u);
    wall->SetLocked(false);
    control.BeginUndoGroup();
    hole->BeginUndoStep();
    EXPECT_TRUE(hole->ProcessPropertyMenu(MouseHandler::kDeleteCommand));
    control.EndUndoGroup();
    EXPECT_EQ(wall->GetHoleList().GetCount(), 1u);
    EXPECT_EQ(control.deletedObjects.GetCount(), 1u);
    control.Undo();
    EXPECT_EQ(wall->GetHoleList().GetCount(), 2u);
    wall->SetSelected(false);
    EXPECT_EQ(Keys(*wall), withBoth);
    control.deletedObjects.DeleteAll();
}

TEST_F(SlabHoleTest, CopiesAreHolesBesideTheirSourceOrNothing) {
    // Room beside it: the copy is a hole of the same shape, moved clear of the source.
    SlabHole* hole = Cut(Rectangle(10, 10, 20, 30));
    RenderableObject* copy = hole->Clone(true);
    auto* copied = dynamic_cast<SlabHole*>(copy);
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->GetParent(), wall);
    EXPECT_EQ(wall->GetHoleList().GetCount(), 2u);
    EXPECT_NEAR(copied->GetArea(), hole->GetArea(), 1e-9);
    EXPECT_FALSE(copied->OverlapsHole(*hole));
    EXPECT_TRUE(copied->IsPositionValid());
    // No room on either side: the copy goes and the wall is answered.
    SlabHole* wide = Cut(Rectangle(35, 5, 95, 95));
    EXPECT_EQ(wide->Clone(true), wall);
    EXPECT_EQ(wall->GetHoleList().GetCount(), 3u);
}

TEST_F(SlabHoleTest, DoorKnobStandsFortyAboveTheBottomOfTallDoors) {
    struct Case {
        double height;
        double knobY;
    };
    // 40.0 high: the general rule (the knob on the line to the first edge's middle, 3.0
    // inside the opposite edge); higher: 40.0 above the bottom.
    for (const Case c : {Case{40.0, 17.0}, Case{40.01, 40.0 - 40.01 / 2.0}}) {
        SlabHole* hole = Cut(Rectangle(20, 1, 50, 1 + c.height));
        hole->ShowDoorOrWindow(false);
        auto* door = dynamic_cast<ParametricDoor*>(hole->GetDoorOrWindow());
        ASSERT_NE(door, nullptr);
        door->RefreshFromHole();
        EXPECT_NEAR(std::fabs(door->GetKnobOffset().y), c.knobY, 1e-6) << c.height;
        wall->RemoveChild(hole, true);
        delete hole;
    }
}

TEST_F(SlabHoleTest, ReversingADoorTwiceRestoresItsHole) {
    SlabHole* hole = Cut(Rectangle(20, 1, 50, 81));
    hole->ShowDoorOrWindow(false);
    auto* door = dynamic_cast<ParametricDoor*>(hole->GetDoorOrWindow());
    door->RefreshFromHole();
    const std::vector<Vector> corners = Corners(hole);
    const Vector knob = door->GetKnobOffset();
    ASSERT_TRUE(door->ProcessPropertyMenu(ParametricDoor::kReverseCommand));
    EXPECT_FALSE(Corners(hole)[0].Equals(corners[0]) && door->GetKnobOffset().Equals(knob));
    ASSERT_TRUE(door->ProcessPropertyMenu(ParametricDoor::kReverseCommand));
    const std::vector<Vector> back = Corners(hole);
    for (size_t i = 0; i < corners.size(); ++i) EXPECT_LT(back[i].Distance(corners[i]), 1e-9);
    EXPECT_LT(door->GetKnobOffset().Distance(knob), 1e-9);
}

TEST_F(SlabHoleTest, WindowCrossbarsFollowTheirAngularBands) {
    SlabHole* hole = Cut(Rectangle(20, 10, 50, 60));
    hole->ShowDoorOrWindow(true);
    auto* frame = dynamic_cast<ParametricWindowFrame*>(hole->GetDoorOrWindow());
    ASSERT_NE(frame, nullptr);
    // A wall's u vector points up: the upright bar is in the vertical band.
    const OutlinePoint* nodes = hole->GetOutline().GetPoints();
    const int upright = std::fabs(nodes[0].position.y - nodes[1].position.y) < 1e-9 ? 0 : 1;
    struct Case {
        bool vertical, horizontal;
    };
    for (const Case c : {Case{true, true}, Case{false, true}, Case{true, false},
                         Case{false, false}}) {
        frame->showVertBar = c.vertical;
        frame->showHorizBar = c.horizontal;
        EXPECT_EQ(frame->DrawsBar(upright), c.vertical);
        EXPECT_EQ(frame->DrawsBar(1 - upright), c.horizontal);
    }
    // A toggle through the menu is one step of the wall.
    frame->showVertBar = frame->showHorizBar = true;
    wall->SetSelected(false);
    const std::string before = Keys(*wall);
    control.BeginUndoGroup();
    ASSERT_TRUE(hole->ProcessPropertyMenu(ParametricWindowFrame::kVerticalBarCommand));
    control.EndUndoGroup();
    EXPECT_FALSE(frame->showVertBar);
    control.Undo();
    wall->SetSelected(false);
    EXPECT_EQ(Keys(*wall), before);

    // No crossbars in a hole that is not a rectangle, and no submenu.
    SlabHole* triangle = Cut({Vector(60, 10, 0), Vector(90, 10, 0), Vector(75, 50, 0)});
    triangle->ShowDoorOrWindow(true);
    auto* other = dynamic_cast<ParametricWindowFrame*>(triangle->GetDoorOrWindow());
    EXPECT_FALSE(other->DrawsBar(0));
    EXPECT_FALSE(other->DrawsBar(1));
    platform::Menu menu;
    other->AppendMenuEntries(menu);
    EXPECT_EQ(menu.GetItemCount(), 0u);
}

TEST_F(SlabHoleTest, FrameCornersLieFrameHeightInsideEveryEdgeEvenAtStraightNodes) {
    // An L-shaped hole with one extra node in the middle of its bottom edge.
    SlabHole* hole = Cut({Vector(10, 10, 0), Vector(30, 10, 0), Vector(50, 10, 0),
                          Vector(50, 30, 0), Vector(30, 30, 0), Vector(30, 60, 0),
                          Vector(10, 60, 0)});
    ASSERT_NE(hole, nullptr);
    hole->ShowDoorOrWindow(true);
    auto* frame = dynamic_cast<ParametricWindowFrame*>(hole->GetDoorOrWindow());
    const Outline& outline = hole->GetOutline();
    for (int i = 0; i < outline.GetCount(); ++i) {
        const Vector corner = frame->InnerCorner(i);
        EXPECT_TRUE(std::isfinite(corner.x) && std::isfinite(corner.y)) << i;
        EXPECT_TRUE(outline.ContainsPoint(corner)) << i;
        // The frame height from each edge at the node (along one axis only at the straight
        // node).
        const Vector& p = outline.GetPoints()[i].position;
        const double dx = std::fabs(corner.x - p.x), dy = std::fabs(corner.y - p.y);
        EXPECT_NEAR(std::fmax(dx, dy), 2.0, 1e-9) << i;
        const bool straight = p.y == 10.0 && p.x == 30.0;
        EXPECT_NEAR(std::fmin(dx, dy), straight ? 0.0 : 2.0, 1e-9) << i;
    }
}

// Every value of the tree as "path=value", object ids aside.
void Flatten(const KeyDataList& list, const std::string& path, std::vector<std::string>& out) {
    for (const BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        const std::string name = path + "/" + m->Name();
        if (!m->IsElement())
            Flatten(*static_cast<const KeyDataSublist*>(m)->GetChildren(), name, out);
        else if (m->Name() != "transactionObjectId" && m->Name() != "objectId" &&
                 m->Name() != "id")
            out.push_back(name + "=" + static_cast<const KeyDataElement*>(m)->Value());
    }
}

// The walls of the plan stream inside a saved plan file, flattened.
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

TEST(SlabChildPlanTest, HolesDoorsWindowsAndCoveringsComeBackFromAPlan) {
    TempFolder folder;
    std::string first;
    std::vector<std::string> saved;
    {
        WallScene s;
        Wall* wall = s.Add(Vector(0, 0, 0), Vector(200, 0, 0), 100.0, 10.0);
        const auto door = Rectangle(20, 0.5, 50, 80);
        const auto window = Rectangle(80, 30, 120, 70);
        const auto plain = Rectangle(140, 20, 160, 40);
        SlabHole* withDoor = wall->CreateHole(door.data(), 4);
        withDoor->ShowDoorOrWindow(false);
        auto* leaf = dynamic_cast<ParametricDoor*>(withDoor->GetDoorOrWindow());
        leaf->SetKnobOffset(Vector(-9, 2, 0));
        SlabHole* withWindow = wall->CreateHole(window.data(), 4);
        withWindow->ShowDoorOrWindow(true);
        auto* frame = dynamic_cast<ParametricWindowFrame*>(withWindow->GetDoorOrWindow());
        frame->showHorizBar = false;
        frame->frameHeight = 3.0;
        SlabHole* hole = wall->CreateHole(plain.data(), 4);
        hole->GetSideMaterial().SetColor(0.1, 0.2, 0.3, 1.0);
        const auto rug = Rectangle(165, 10, 195, 90);
        SlabCovering* covering =
            wall->CreateCovering(rug.data(), 4, wall->GetSurface(BaseSlab::kOutsideSurface), false);
        ASSERT_NE(covering, nullptr);
        covering->GetMaterial().SetColor(0.5, 0.25, 1.0, 1.0);
        wall->SetSelected(false);
        first = Save(s.control, folder.Path() + "Openings.kvp");
        saved = PlanStream(first);
    }
    ASSERT_FALSE(saved.empty());
    WallScene s;
    s.control.LoadPlanFile(first.c_str(), false);
    Wall* wall = dynamic_cast<Wall*>(s.control.scene.GetHead());
    ASSERT_NE(wall, nullptr);
    ASSERT_EQ(wall->GetHoleList().GetCount(), 3u);
    ASSERT_EQ(wall->GetCoveringList().GetCount(), 1u);
    auto* withDoor = dynamic_cast<SlabHole*>(wall->GetHoleList().GetHead());
    auto* leaf = dynamic_cast<ParametricDoor*>(withDoor->GetDoorOrWindow());
    ASSERT_NE(leaf, nullptr);
    EXPECT_TRUE(leaf->GetKnobOffset().Equals(Vector(-9, 2, 0)));
    auto* withWindow = dynamic_cast<SlabHole*>(withDoor->GetNext());
    auto* frame = dynamic_cast<ParametricWindowFrame*>(withWindow->GetDoorOrWindow());
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(frame->showHorizBar);
    EXPECT_DOUBLE_EQ(frame->frameHeight, 3.0);
    auto* plainHole = dynamic_cast<SlabHole*>(withWindow->GetNext());
    EXPECT_EQ(plainHole->GetDoorOrWindow(), nullptr);
    EXPECT_NEAR(plainHole->GetDepth(), 5.0, 1e-9);
    // Saved again, the plan is the same, element by element.
    const std::vector<std::string> again = PlanStream(Save(s.control, folder.Path() + "Again.kvp"));
    ASSERT_EQ(again.size(), saved.size());
    for (size_t i = 0; i < saved.size(); ++i) EXPECT_EQ(again[i], saved[i]);
}

TEST(SlabChildPlanTest, UndoAndRedoOfChildEditsRestoreTheWallsKeys) {
    struct Edit {
        const char* what;
        void (*run)(Wall&, BaseControl&);
    };
    const Edit edits[] = {
        {"cutting a hole with a door",
         [](Wall& wall, BaseControl&) {
             const auto corners = Rectangle(20, 0.5, 50, 80);
             wall.BeginUndoStep();
             wall.CreateHole(corners.data(), 4)->ShowDoorOrWindow(false);
             wall.EndUndoStep();
         }},
        {"making the hole oval",
         [](Wall& wall, BaseControl&) {
             auto* hole = dynamic_cast<SlabHole*>(wall.GetHoleList().GetHead());
             EXPECT_TRUE(hole->ProcessPropertyMenu(2051));
         }},
        {"showing a window", [](Wall& wall, BaseControl&) {
             auto* hole = dynamic_cast<SlabHole*>(wall.GetHoleList().GetHead());
             EXPECT_TRUE(hole->ProcessPropertyMenu(1956));
         }},
        {"drawing a covering", [](Wall& wall, BaseControl&) {
             const auto corners = Rectangle(120, 10, 180, 90);
             wall.BeginUndoStep();
             wall.CreateCovering(corners.data(), 4, wall.GetSurface(1000), false);
             wall.EndUndoStep();
         }},
        {"making the covering oval", [](Wall& wall, BaseControl&) {
             auto* covering = dynamic_cast<SlabCovering*>(wall.GetCoveringList().GetHead());
             EXPECT_TRUE(covering->ProcessPropertyMenu(SlabCovering::kMakeOvalCommand));
         }},
    };
    WallScene s;
    Wall* wall = s.Add(Vector(0, 0, 0), Vector(200, 0, 0), 100.0, 10.0);
    const auto hole = Rectangle(70, 20, 100, 60);
    wall->CreateHole(hole.data(), 4);
    const auto covering = Rectangle(130, 20, 170, 60);
    wall->CreateCovering(covering.data(), 4, wall->GetSurface(1001), false);
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.what);
        wall->SetSelected(false);
        const std::string before = Keys(*wall);
        s.control.BeginUndoGroup();
        edit.run(*wall, s.control);
        s.control.EndUndoGroup();
        wall->SetSelected(false);
        const std::string after = Keys(*wall);
        ASSERT_NE(after, before);
        s.control.Undo();
        wall->SetSelected(false);
        EXPECT_EQ(Keys(*wall), before);
        s.control.Redo();
        wall->SetSelected(false);
        EXPECT_EQ(Keys(*wall), after);
    }
}

class SlabCoveringTest : public SlabHoleTest {};

TEST_F(SlabCoveringTest, AThickerSlabMovesCoveringsAlongTheirNormals) {
    struct Case {
        double offset;
        double moved;
        double after;
    };
    for (const Case c : {Case{5.25, 5.0, 10.25}, Case{-5.25, 5.0, -10.25}}) {
        SCOPED_TRACE(c.offset);
        SlabCovering covering(true);
        const auto corners = Rectangle(10, 10, 40, 40);
        ASSERT_TRUE(covering.Define(corners.data(), 4, Vector(0, 0, 1), c.offset, wall));
        const Vector first = covering.GetOutline().GetPrimaryPoints()[0].position;
        covering.SetOffset(10.25);
        const Vector now = covering.GetOutline().GetPrimaryPoints()[0].position;
        EXPECT_NEAR(now.z - first.z, c.moved, 1e-9);
        EXPECT_NEAR(covering.GetOffset(), c.after, 1e-9);
        // A locked slab keeps both the place and the offset.
        wall->SetLocked(true);
        covering.SetOffset(20.0);
        EXPECT_NEAR(covering.GetOffset(), c.after, 1e-9);
        EXPECT_TRUE(covering.GetOutline().GetPrimaryPoints()[0].position.Equals(now));
        EXPECT_FALSE(covering.Define(corners.data(), 4, Vector(0, 0, 1), 1.0, wall));
        wall->SetLocked(false);
    }
    // Fewer than three corners, or no area: refused.
    SlabCovering covering(true);
    const Vector two[2] = {Vector(0, 0, 0), Vector(1, 0, 0)};
    EXPECT_FALSE(covering.Define(two, 2, Vector(0, 0, 1), 1.0, wall));
    EXPECT_EQ(wall->CreateCovering(two, 2, wall->GetSurface(1000), false), nullptr);
}

TEST_F(SlabCoveringTest, TheDialogSetsBlendingAndClampsTheOpacity) {
    const auto corners = Rectangle(10, 10, 40, 40);
    SlabCovering* covering = wall->CreateCovering(corners.data(), 4, wall->GetSurface(1000), false);
    ASSERT_NE(covering, nullptr);
    struct Case {
        double percent;
        double opacity;
        bool blending;
    };
    for (const Case c : {Case{0.0, 1.0, false}, Case{30.0, 0.7, true}, Case{-20.0, 1.0, false},
                         Case{150.0, 0.0, true}}) {
        SlabCoveringPropertyDialog dialog(covering);
        covering->InitDialog(&dialog);
        dialog.reflectivity = c.percent;
        dialog.materialName = "textures/rug.jpg";
        EXPECT_EQ(covering->OnDialogNotify(&dialog, 1), 1);
        EXPECT_NEAR(covering->GetMaterial().opacity, c.opacity, 1e-9) << c.percent;
        EXPECT_EQ(covering->GetMaterial().transparent != 0, c.blending) << c.percent;
    }
    // Made the default, the settings start the next covering.
    covering->MakeDefault();
    EXPECT_NEAR(control.coveringState.GetDouble(0), 1.0, 1e-9);
    SlabCovering* next = wall->CreateCovering(Rectangle(50, 10, 80, 40).data(), 4,
                                              wall->GetSurface(1000), false);
    EXPECT_NEAR(next->GetMaterial().opacity, 0.0, 1e-9);
}

TEST_F(SlabCoveringTest, MovesKeepTheBoxWithTheOutlineAndTheXmlNamesTheSide) {
    const auto corners = Rectangle(10, 10, 40, 40);
    for (int face : {BaseSlab::kInsideSurface, BaseSlab::kOutsideSurface}) {
        SlabCovering* covering = wall->CreateCovering(corners.data(), 4, wall->GetSurface(face), false);
        ASSERT_NE(covering, nullptr);
        const BoundingBox box = covering->GetBoundingBox();
        covering->MoveBy(Vector(3, 4, 0));
        covering->Translate(Vector(1, 0, 0));
        EXPECT_TRUE(covering->GetBoundingBox().min.Equals(
            Vector(box.min.x + 4, box.min.y + 4, box.min.z)));
        EXPECT_TRUE(covering->GetBoundingBox().max.Equals(
            Vector(box.max.x + 4, box.max.y + 4, box.max.z)));
        std::string xml;
        covering->WriteObjectInformation(xml);
        const bool inside = covering->GetOutline().normal.Dot(wall->GetOutline().normal) > 0.0;
        EXPECT_EQ(inside, face == BaseSlab::kInsideSurface);
        EXPECT_NE(xml.find(inside ? "side=\"inside\"" : "side=\"outside\""), std::string::npos)
            << xml;
        EXPECT_NE(xml.find("<covering area=\"900.00\""), std::string::npos) << xml;
    }
}

}  // namespace
