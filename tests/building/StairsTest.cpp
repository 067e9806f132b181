#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "building/Stairs.h"
#include "building/Wall.h"
#include "control/dialogs/StairsPropertyDialog.h"
#include "foundation/KeyDataList.h"
#include "platform/Menu.h"
#include "support/PlanStreams.h"
#include "support/WallFixtures.h"

namespace {

using namespace plan_streams;

// The keys of a straight stair `length` long along +x and `width` wide from `origin`
// (corners 0 and 1 across the bottom edge), with the step depth asked for.
void StairKeys(KeyDataList& keys, double length, double depth, double width = 36.0,
               const Vector& origin = Vector(0, 0, 0), bool done = true) {
    Outline corners;
    const double h = width / 2.0;
    const Vector at[4] = {Vector(0, 0, -h), Vector(0, 0, h), Vector(length, 0, h),
                          Vector(length, 0, -h)};
    for (int i = 0; i < 4; ++i) {
        Vector p = at[i];
        p.Add(origin);
        corners.InsertPoint(p, i, false);
    }
    corners.SetNormal(Vector(0, 1, 0));
    corners.Save(keys, "outline");
    Vector(1, 0, 0).WriteChild(keys, "StairDirection");
    keys.AddDouble("stepDepth", depth);
    keys.AddDouble("creationDone", done ? 1.0 : 0.0);
}

// A stair read from StairKeys through its own reader, in no list.
std::unique_ptr<Stairs> MakeStairs(double length, double depth, bool preserve = false) {
    auto stairs = std::make_unique<Stairs>();
    KeyDataList keys;
    StairKeys(keys, length, depth);
    keys.AddDouble("preserveStepDepth", preserve ? 1.0 : 0.0);
    stairs->ReadKeyData(keys);
    return stairs;
}

int TreadCount(Stairs& stairs) {
    int n = 0;
    for (LinkedListObject* node = stairs.GetSteps().GetHead(); node; node = node->GetNext())
        n += static_cast<Step*>(node)->HasTread() ? 1 : 0;
    return n;
}

class StairsTest : public ::testing::Test {
protected:
    // Each test makes its scene: the process serves one control at a time.
    TempFolder folder;
};

TEST_F(StairsTest, TheRunIsDividedIntoSteps) {
    struct Case {
        double length;
        double depth;
        bool preserve;
        int steps;
        double stepDepth;
        double stepHeight;
    };
    const Case cases[] = {
        {120.0, 12.0, false, 10, 12.0, 6.0},
        {125.0, 12.0, false, 10, 12.5, 6.25},
        {125.0, 12.0, true, 10, 12.0, 6.25},
        // 9.999999995 steps count as 10.
        {119.99999994, 12.0, false, 10, 11.999999994, 5.999999997},
        {5.0, 12.0, false, 1, 5.0, 2.5},
        {0.0, 12.0, false, 1, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        auto stairs = MakeStairs(c.length, c.depth, c.preserve);
        EXPECT_EQ(stairs->GetStepCount(), c.steps);
        EXPECT_EQ(stairs->GetSteps().GetCount(), c.steps);
        EXPECT_NEAR(stairs->GetStepDepth(), c.stepDepth, 1e-6);
        EXPECT_NEAR(stairs->GetStepHeight(), c.stepHeight, 1e-6);
        EXPECT_NEAR(stairs->GetHeight(), c.length * 0.5, 1e-6);
        // Step 0 has no tread: the treads are steps 1 .. n-1.
        EXPECT_EQ(TreadCount(*stairs), c.steps - 1);
        const BoundingBox& box = stairs->GetBoundingBox();
        EXPECT_NEAR(box.max.y - box.min.y, c.length * 0.5 + 0.5, 1e-6);
    }
}

TEST_F(StairsTest, StepDepthsThatAreNoDepthAreRefusedAndStepsAreBounded) {
    auto stairs = MakeStairs(120.0, 12.0);
    for (double bad : {0.0, -12.0, 0.01, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(stairs->SetStepDepth(bad)) << bad;
        EXPECT_DOUBLE_EQ(stairs->GetStepDepth(), 12.0);
    }
    // Corners go down to three and no further.
    EXPECT_TRUE(stairs->DeleteCorner(&stairs->GetOutline().GetPrimaryPoints()[3]));
    EXPECT_FALSE(stairs->DeleteCorner(&stairs->GetOutline().GetPrimaryPoints()[2]));
    OutlinePoint stranger;
    EXPECT_FALSE(stairs->DeleteCorner(&stranger));
    EXPECT_EQ(stairs->GetOutline().GetPrimaryCount(), 3);
    stairs->GetOutline().InsertPoint(Vector(120, 0, -18), 3, false);
    stairs->UpdateSteps();
    // From the plan: a refused depth keeps the current one.
    KeyDataList keys;
    keys.AddString("stepDepth", "0");
    stairs->ReadKeyData(keys);
    EXPECT_EQ(stairs->GetStepCount(), 10);
    // A long run in shallow steps stops at the bound.
    auto longRun = std::make_unique<Stairs>();
    KeyDataList far;
    StairKeys(far, 1.0e6, 1.0);
    far.AddDouble("preserveStepDepth", 1.0);
    longRun->ReadKeyData(far);
    EXPECT_EQ(longRun->GetStepCount(), Stairs::kMaxSteps);
    EXPECT_EQ(longRun->GetSteps().GetCount(), Stairs::kMaxSteps);
}

TEST_F(StairsTest, HeightChangesKeepStepHeightsInRangeOrChooseANewDepth) {
    struct Case {
        const char* what;
        double depth;
        double newHeight;
        bool preserve;
        int steps;
        double height;
    };
    const Case cases[] = {
        {"within 4..10 per step", 12.0, 70.0, false, 10, 70.0},
        {"below 4: depth L / 8.5", 12.0, 35.0, false, 8, 35.0},
        {"above 10: depth L / 11.5", 12.0, 110.0, false, 11, 110.0},
        {"below 4 with the depth kept", 12.0, 35.0, true, 10, 60.0},
        {"lowering would need a depth above 15", 15.0, 20.0, false, 8, 60.0},
        {"raising would need a depth below 8", 8.0, 200.0, false, 15, 60.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto stairs = MakeStairs(120.0, c.depth, c.preserve);
        const double stepHeight = stairs->GetStepHeight();
        stairs->ChangeHeightBy(stairs->GetHeight() - c.newHeight);
        EXPECT_EQ(stairs->GetStepCount(), c.steps);
        EXPECT_NEAR(stairs->GetHeight(), c.height, 1e-6);
        if (c.height == 60.0) {
            EXPECT_NEAR(stairs->GetSlope(), 0.5, 1e-12);
            EXPECT_NEAR(stairs->GetStepHeight(), stepHeight, 1e-12);
        }
    }
    // Without a run there is no slope to change, and nothing becomes a NaN.
    auto flat = MakeStairs(0.0, 12.0);
    flat->ChangeHeightBy(-30.0);
    EXPECT_DOUBLE_EQ(flat->GetSlope(), 0.5);
    EXPECT_TRUE(std::isfinite(flat->GetStepHeight()));
    // A locked stair keeps its height.
    auto locked = MakeStairs(120.0, 12.0);
    locked->SetLocked(true);
    locked->ChangeHeightBy(-10.0);
    EXPECT_NEAR(locked->GetHeight(), 60.0, 1e-9);
}

TEST_F(StairsTest, TreadsSpanTheOutlineAndOverhangOnlyTheTread) {
    KeyDataList keys;
    StairKeys(keys, 120.0, 12.0);
    keys.AddDouble("stepOverhang", 1.0);
    Stairs stairs;
    stairs.ReadKeyData(keys);
    auto* step = static_cast<Step*>(stairs.GetSteps().GetHead()->GetNext());
    ASSERT_TRUE(step->HasTread());
    const Outline& tread = step->GetTreadOutline();
    const Outline& riser = step->GetRiserOutline();
    ASSERT_EQ(tread.GetPrimaryCount(), 4);
    double minX = 1e9, minZ = 1e9, maxZ = -1e9, riserMinX = 1e9;
    for (int i = 0; i < 4; ++i) {
        const Vector& p = tread.GetPrimaryPoints()[i].position;
        minX = std::fmin(minX, p.x);
        minZ = std::fmin(minZ, p.z);
        maxZ = std::fmax(maxZ, p.z);
        EXPECT_DOUBLE_EQ(p.y, 6.0);
        riserMinX = std::fmin(riserMinX, riser.GetPrimaryPoints()[i].position.x);
    }
    EXPECT_NEAR(maxZ - minZ, 36.0, 1e-9);
    EXPECT_NEAR(riserMinX, 12.0, 1e-9);
    EXPECT_NEAR(minX, 11.0, 1e-9);
    // The riser area is that of the blocks without the overhang: 9 blocks, 96 around,
    // 5.5 high.
    EXPECT_NEAR(stairs.GetRiserArea(), 9 * 96.0 * 5.5, 1e-6);
    EXPECT_NEAR(stairs.GetStepArea(), 9 * 13.0 * 36.0, 1e-6);

    // A tread line that misses the outline makes no tread, and no node at the origin.
    StepParameters params;
    Outline square;
    params.profile = &square;
    for (const Vector& p : {Vector(1, 0, 1), Vector(1, 0, 0), Vector(-1, 0, 0), Vector(-1, 0, 1)})
        square.InsertPoint(p, square.GetPrimaryCount(), false);
    Step lost(&params);
    lost.Build(stairs.GetOutline(), Vector(500, 0, 500), 1);
    EXPECT_FALSE(lost.HasTread());
    EXPECT_EQ(lost.GetTreadOutline().GetPrimaryCount(), 0);
}

TEST_F(StairsTest, TheDialogsValuesAreAppliedAndAnUnreachableHeightIsRefused) {
    auto stairs = MakeStairs(120.0, 12.0, true);
    StairsPropertyDialog dialog(stairs.get());
    dialog.stairHeight = 70.5f;  // 70 with half a tread's thickness
    dialog.stepDepth = 12.0f;
    dialog.stepOverhang = 1.0f;
    dialog.stepThickness = 1.0f;
    dialog.supportThickness = 3.0f;
    dialog.rounded = true;
    dialog.showRisers = false;
    dialog.preserveStepDepth = true;
    dialog.showSupports = true;
    dialog.supports[2] = true;
    stairs->OnDialogNotify(&dialog, 1);
    EXPECT_NEAR(stairs->GetHeight(), 70.0, 1e-4);
    EXPECT_TRUE(stairs->IsRounded());
    EXPECT_FALSE(stairs->ShowsRiser());
    EXPECT_TRUE(stairs->ShowsStringerAt(2));
    EXPECT_FALSE(stairs->ShowsStringerAt(0));
    EXPECT_DOUBLE_EQ(stairs->GetStringerThickness(), 3.0);
    EXPECT_DOUBLE_EQ(stairs->GetStepOverhang(), 1.0);
    // With the depth kept, a height that needs steps under 4 high is refused.
    dialog.stairHeight = 30.5f;
    stairs->OnDialogNotify(&dialog, 1);
    EXPECT_NEAR(stairs->GetHeight(), 70.0, 1e-4);
    EXPECT_EQ(stairs->GetStepCount(), 10);
}

TEST_F(StairsTest, RoundedKeyAndDepthKeyAreReadAsWritten) {
    struct Case {
        const char* text;
        bool rounded;
    };
    for (const Case& c : {Case{"yes", true}, Case{"YES", true}, Case{"true", false},
                          Case{"no", false}, Case{nullptr, true}}) {
        SCOPED_TRACE(c.text ? c.text : "missing");
        auto stairs = MakeStairs(120.0, 12.0);
        stairs->SetRounded(true);
        KeyDataList keys;
        if (c.text) keys.AddString("rounded", c.text);
        keys.AddString("STEPDEPTH", "20");
        stairs->ReadKeyData(keys);
        EXPECT_EQ(stairs->IsRounded(), c.rounded);
        EXPECT_EQ(stairs->GetStepCount(), 6);
    }
}

TEST_F(StairsTest, SavedStairsComeBackFromTheLoader) {
    std::string file;
    std::vector<std::string> saved;
    {
        WallScene first;
        auto* plain = new Stairs;
        KeyDataList a;
    StairKeys(a, 120.0, 12.0);
        plain->ReadKeyData(a);
        first.control.scene.Append(plain);
        auto* styled = new Stairs;
        KeyDataList b;
    StairKeys(b, 90.0, 11.0, 48.0, Vector(200, 10, 50), false);
        b.AddString("rounded", "yes");
        b.AddDouble("showRiser", 0.0);
        b.AddDouble("stepOverhang", 1.5);
        b.AddDouble("stepThickness", 2.0);
        b.AddDouble("stringerThickness", 3.0);
        b.AddDouble("showStringers", 1.0);
        b.AddDouble("showMiddleStringer", 1.0);
        b.AddDouble("preserveStepDepth", 1.0);
        styled->ReadKeyData(b);
        styled->GetMaterial(0).SetColor(0.25, 0.5, 0.75, 1.0);
        styled->SetInformationValue("note", "cellar steps");
        first.control.scene.Append(styled);
        file = Save(first.control, folder.Path() + "Stairs.kvp");
        saved = PlanStream(file, "Stairs");
    }
    ASSERT_FALSE(saved.empty());
    WallScene s;
    s.control.LoadPlanFile(file.c_str(), false);
    std::vector<Stairs*> read;
    for (LinkedListObject* node = s.control.scene.GetHead(); node; node = node->GetNext())
        if (auto* stairs = dynamic_cast<Stairs*>(node)) read.push_back(stairs);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_TRUE(read[0]->IsCreationDone());
    EXPECT_FALSE(read[1]->IsCreationDone());
    EXPECT_TRUE(read[1]->IsRounded());
    EXPECT_TRUE(read[1]->ShowsStringerAt(2));
    EXPECT_DOUBLE_EQ(read[1]->GetMaterial(0).green, 0.5);
    ASSERT_NE(read[1]->GetInformation(), nullptr);
    EXPECT_STREQ(read[1]->GetInformation()->GetString("note"), "cellar steps");
    ExpectSameValues(PlanStream(Save(s.control, folder.Path() + "Again.kvp"), "Stairs"), saved);

    // An element without an outline makes no stair.
    KeyDataSublist empty("Stairs");
    empty.GetChildren()->AddString("slope", "0.5");
    EXPECT_EQ(s.control.LoadPlanObjects(empty), nullptr);
}

TEST_F(StairsTest, UndoAndRedoOfTheMenuCommandsRestoreTheExactKeys) {
    struct Edit {
        const char* what;
        uint32_t command;
    };
    for (const Edit& edit : {Edit{"round fronts", Stairs::kRoundFronts},
                             Edit{"hide risers", Stairs::kHideRisers},
                             Edit{"hide support beams", Stairs::kHideSupportBeams},
                             Edit{"delete", 104}}) {
        SCOPED_TRACE(edit.what);
        WallScene scene;
        auto* stairs = new Stairs;
        KeyDataList keys;
    StairKeys(keys, 120.0, 12.0);
        stairs->ReadKeyData(keys);
        scene.control.scene.Append(stairs);
        const std::string before = Keys(*stairs);
        scene.control.BeginUndoGroup();
        // The control's menu opens the step of a deletion; the stair's own commands open
        // theirs.
        if (edit.command == 104) stairs->BeginUndoStep();
        EXPECT_TRUE(stairs->ProcessPropertyMenu(edit.command));
        scene.control.EndUndoGroup();
        auto only = [&]() -> Stairs* {
            LinkedListObject* head = scene.control.scene.GetHead();
            return head ? dynamic_cast<Stairs*>(head) : nullptr;
        };
        std::string after;
        if (edit.command == 104) {
            EXPECT_EQ(only(), nullptr);
        } else {
            ASSERT_NE(only(), nullptr);
            after = Keys(*only());
            EXPECT_NE(after, before);
        }
        ASSERT_TRUE(scene.control.Undo());
        ASSERT_NE(only(), nullptr);
        EXPECT_EQ(Keys(*only()), before);
        ASSERT_TRUE(scene.control.Redo());
        if (edit.command == 104)
            EXPECT_EQ(only(), nullptr);
        else
            EXPECT_EQ(Keys(*only()), after);
        scene.control.deletedObjects.DeleteAll();
    }
}

TEST_F(StairsTest, MenuAndBillOfMaterials) {
    WallScene s;
    auto stairs = MakeStairs(120.0, 12.0);
    stairs->SetStringerAt(0, true);
    stairs->SetStringerAt(2, true);
    stairs->SetShowStringers(false);
    std::string xml;
    stairs->WriteObjectInformation(xml);
    EXPECT_EQ(xml.rfind("<stairs stepCount=\"10\" stepArea=\"3888.000000\" riserArea=\"", 0), 0u)
        << xml;
    EXPECT_NE(xml.find("stringerCount=\"2\" stepHeight=\"6.000000\" stepDepth=\"12.000000\">"),
              std::string::npos);
    EXPECT_NE(xml.find("stepMaterial"), std::string::npos);
    EXPECT_NE(xml.find("riserMaterial"), std::string::npos);
    EXPECT_NE(xml.find("stringerMaterial"), std::string::npos);
    EXPECT_EQ(xml.substr(xml.size() - 9), "</stairs>");

    platform::Menu menu;
    stairs->BuildPropertyMenu(menu);
    std::vector<std::pair<uint32_t, bool>> items;
    for (size_t i = 0; i < menu.GetItemCount(); ++i)
        if (menu.GetItem(i).id) items.push_back({menu.GetItem(i).id, menu.GetItem(i).checked});
    const std::vector<std::pair<uint32_t, bool>> expected = {
        {100, false}, {101, false}, {1502, false}, {1500, false}, {1501, false}, {1503, true}};
    EXPECT_EQ(items, expected);
    // A locked stair stays in the scene.
    s.control.scene.Append(stairs.get());
    stairs->SetLocked(true);
    EXPECT_FALSE(stairs->RemoveFromList(s.control.scene));
    EXPECT_TRUE(stairs->ProcessPropertyMenu(104));
    EXPECT_EQ(s.control.scene.GetHead(), stairs.get());
    s.control.scene.Remove(stairs.get());
}

TEST_F(StairsTest, SupportWallsStandUnderTheSidesButNotTheBottomEdge) {
    WallScene s;
    auto* stairs = new Stairs;
    KeyDataList keys;
    StairKeys(keys, 120.0, 12.0);
    keys.AddDouble("showStringers", 1.0);
    stairs->ReadKeyData(keys);
    s.control.scene.Append(stairs);
    s.control.BeginUndoGroup();
    EXPECT_TRUE(stairs->ProcessPropertyMenu(Stairs::kBuildSupportWalls));
    s.control.EndUndoGroup();
    EXPECT_FALSE(stairs->ShowsRiser());
    EXPECT_FALSE(stairs->ShowsStringers());
    std::vector<Wall*> walls;
    for (LinkedListObject* node = s.control.scene.GetHead(); node; node = node->GetNext())
        if (auto* wall = dynamic_cast<Wall*>(node)) walls.push_back(wall);
    // Three walls: two sides and the back; none under the bottom edge at x = 0.
    ASSERT_EQ(walls.size(), 3u);
    for (Wall* wall : walls) {
        const Outline& o = wall->GetOutline();
        const Vector& a = o.GetPrimaryPoints()[0].position;
        const Vector& b = o.GetPrimaryPoints()[wall->GetWallEndIndex()].position;
        EXPECT_FALSE(std::fabs(a.x) < 1e-6 && std::fabs(b.x) < 1e-6);
        if (std::fabs(a.x - 120.0) < 1e-6 && std::fabs(b.x - 120.0) < 1e-6) {
            // The back wall stands one step below the top.
            EXPECT_NEAR(wall->GetBoundingBox().max.y, 54.0, 1e-6);
        } else {
            EXPECT_LE(wall->GetBoundingBox().max.y, 60.0 + 1e-6);
        }
    }
    // One undo takes the walls away again and gives the risers back.
    ASSERT_TRUE(s.control.Undo());
    int left = 0;
    for (LinkedListObject* node = s.control.scene.GetHead(); node; node = node->GetNext())
        left += dynamic_cast<Wall*>(node) ? 1 : 0;
    EXPECT_EQ(left, 0);
    s.control.deletedObjects.DeleteAll();
}

}  // namespace
