#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "building/Roof.h"
#include "building/Wall.h"
#include "foundation/KeyDataList.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "slabs/Floor.h"
#include "slabs/ShaftHole.h"
#include "slabs/ShaftHoleCreator.h"
#include "slabs/ShaftSide.h"
#include "slabs/Skylight.h"
#include "support/PlanStreamCompare.h"
#include "support/WallFixtures.h"

namespace {

// The object's keys as text, object ids aside.
template <class T>
std::string Keys(T& object) {
    std::string out;
    const std::string all = plan_stream::Keys(object);
    size_t start = 0;
    while (start < all.size()) {
        const size_t end = all.find('\n', start);
        const std::string line = all.substr(start, end - start);
        if (line.find("/objectId=") == std::string::npos) out += line + "\n";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

// A free roof plane over x 0..200, rising from y 200 at z 0 to y 250 at z 100.
Roof* MakeRoofPlane() {
    auto* roof = new Roof(false);
    Outline& outline = roof->GetOutline();
    const Vector corners[4] = {Vector(0, 200, 0), Vector(0, 250, 100), Vector(200, 250, 100),
                               Vector(200, 200, 0)};
    for (int i = 0; i < 4; ++i) outline.InsertPoint(corners[i], i, false);
    outline.Refresh();
    outline.ComputeNormal();
    roof->AllocateRoofArrays();
    roof->SetSurfacesTranslucent(false);
    return roof;
}

// A floor over x x0..x1, z z0..z1 whose top is at `top`, 10 thick.
Floor* MakeFloorAt(double top, double x0 = -50, double x1 = 300, double z0 = -50,
                   double z1 = 200) {
    auto* floor = new Floor(Vector(x0, top - 5.0, z0), false);
    floor->BaseSlab::SetThickness(10.0);
    Outline& outline = floor->GetOutline();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const double corners[4][2] = {{x0, z0}, {x0, z1}, {x1, z1}, {x1, z0}};
    for (int i = 0; i < 4; ++i) nodes[i].position.Set(corners[i][0], top - 5.0, corners[i][1], 1.0);
    outline.Refresh();
    outline.ComputeNormal();
    floor->AllocateOutlineArrays();
    floor->SetSurfacesTranslucent(false);
    return floor;
}

std::vector<Vector> Nodes(const Outline& outline) {
    std::vector<Vector> out;
    for (int i = 0; i < outline.GetCount(); ++i) out.push_back(outline.GetPoints()[i].position);
    return out;
}

// The plan's elements of that kind, object ids aside.
std::vector<std::string> ElementsOf(const std::string& planFile, const char* kind) {
    std::vector<std::string> out;
    for (const std::string& line : plan_stream::Elements(planFile, {kind}))
        if (line.find("/objectId=") == std::string::npos) out.push_back(line);
    return out;
}

int CountSides(const LinkedList& scene) {
    int n = 0;
    for (LinkedListObject* node = scene.GetHead(); node; node = node->GetNext())
        if (dynamic_cast<ShaftSide*>(node)) ++n;
    return n;
}

template <class T>
T* First(LinkedList& list) {
    for (LinkedListObject* node = list.GetHead(); node; node = node->GetNext())
        if (auto* found = dynamic_cast<T*>(node)) return found;
    return nullptr;
}

Roof* AddRoof(WallScene& scene) {
    Roof* roof = MakeRoofPlane();
    scene.control.scene.Append(roof);
    return roof;
}

Floor* AddFloor(WallScene& scene, double top = 100.0, double x0 = -50, double x1 = 300,
                double z0 = -50, double z1 = 200) {
    Floor* floor = MakeFloorAt(top, x0, x1, z0, z1);
    scene.control.scene.Append(floor);
    return floor;
}

// A 20 x 30 skylight (4 deep) set into the roof at (x, z): its opening runs from x - 20
// to x and from z some 27 up the slope.
Skylight* AddSkylight(Roof* roof, double x = 100.0, double z = 50.0) {
    auto* sky = new Skylight;
    BoundingBox box;
    box.min.Set(0, 0, 0, 1);
    box.max.Set(20, 30, 4, 1);
    sky->SetBoundingBox(box);
    sky->LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
    roof->AttachChild(sky);
    sky->SetParent(roof);
    sky->PlaceAtPoint(Vector(x, 200.0 + 0.5 * z, z), false);
    return sky;
}

ShaftHoleCreator* CreatorOf(WallScene& scene) {
    return dynamic_cast<ShaftHoleCreator*>(scene.window.GetMode(ShaftHoleCreator::kMode));
}

// "Create Shaft" of the type, then a click on `bottom`; the mode ends as a click ends it.
// `mode` gets the mode the command switched to.
bool MakeShaftIn(WallScene& scene, Skylight* sky, BaseSlab* bottom, uint32_t type,
                 int* mode = nullptr) {
    sky->ProcessPropertyMenu(type);
    if (mode) *mode = scene.window.GetCurrentModeNumber();
    const bool built = CreatorOf(scene) && CreatorOf(scene)->BuildShaft(bottom);
    scene.window.SetMouseMode(0);
    return built;
}

class SkylightTest : public ::testing::Test {
protected:
    SkylightTest() {
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& box) {
            messages.push_back(box.text);
            return platform::MessageAnswer::Ok;
        });
    }
    ~SkylightTest() override {
        platform::SetMessageBoxResponder(nullptr);
        s.control.deletedObjects.DeleteAll();
    }

    Roof* AddRoof() { return ::AddRoof(s); }
    Floor* AddFloor(double top = 100.0, double x0 = -50, double x1 = 300, double z0 = -50,
                    double z1 = 200) {
        return ::AddFloor(s, top, x0, x1, z0, z1);
    }
    ShaftHoleCreator* Creator() { return CreatorOf(s); }
    bool MakeShaft(Skylight* sky, BaseSlab* bottom, uint32_t type = Skylight::kVertical) {
        return MakeShaftIn(s, sky, bottom, type, &modeAfterCommand);
    }
    std::string LastMessage() const { return messages.empty() ? "" : messages.back(); }

    std::vector<std::string> messages;
    int modeAfterCommand = -1;
    TempFolder folder;
    WallScene s;
};

// A vertical shaft: the hole is the opening carried straight down onto the floor, one
// side per edge joins them, and the roof's step and the floor's make one undo group.
TEST_F(SkylightTest, VerticalShaftReachesTheFloorWithOneSidePerEdge) {
    Roof* roof = AddRoof();
    Floor* floor = AddFloor();
    Skylight* sky = AddSkylight(roof);
    ASSERT_EQ(sky->Opening().GetOutline().GetCount(), 4);
    EXPECT_TRUE(sky->IsRectangular());
    const size_t undoBefore = s.control.GetUndoList().UndoEntries().GetCount();

    ASSERT_TRUE(MakeShaft(sky, floor));
    EXPECT_EQ(modeAfterCommand, 30) << "the command asks for the bottom";
    ShaftHole* hole = sky->GetShaft();
    ASSERT_NE(hole, nullptr);
    EXPECT_EQ(hole->GetParent(), floor);
    EXPECT_EQ(hole->GetSkylight(), sky);
    EXPECT_TRUE(floor->GetHoleList().Contains(hole));
    EXPECT_EQ(sky->GetShaftType(), static_cast<int>(Skylight::kVertical));
    ASSERT_EQ(sky->GetSides().size(), 4u);
    EXPECT_EQ(CountSides(s.control.scene), 4);
    EXPECT_GT(s.control.GetUndoList().UndoEntries().GetCount(), undoBefore);
    EXPECT_EQ(s.control.GetUndoList().GroupDepth(), 0);

    // Straight down: every hole node lies under an opening node, on the floor's plane.
    const std::vector<Vector> top = Nodes(sky->Opening().GetOutline());
    const std::vector<Vector> bottom = Nodes(hole->GetOutline());
    ASSERT_EQ(bottom.size(), 4u);
    for (const Vector& b : bottom) {
        EXPECT_NEAR(b.y, 95.0, 1e-6);
        bool under = false;
        for (const Vector& t : top) under = under || (std::fabs(t.x - b.x) < 1e-6 && std::fabs(t.z - b.z) < 1e-6);
        EXPECT_TRUE(under) << b.x << ", " << b.z;
    }
    for (ShaftSide* side : sky->GetSides()) {
        EXPECT_EQ(side->GetOutline().GetPrimaryCount(), 4);
        EXPECT_NEAR(side->GetThickness(), 3.5, 1e-12);
        EXPECT_GT(side->GetArea(), 0.0);
        EXPECT_EQ(side->GetKindCode(), 2);
    }
}

// A second "Create Shaft" leaves the first shaft alone: no new mode, no second hole, the
// same sides.
TEST_F(SkylightTest, SecondCreateShaftIsRefused) {
    Roof* roof = AddRoof();
    Floor* floor = AddFloor();
    Floor* lower = AddFloor(20.0);
    Skylight* sky = AddSkylight(roof);
    ASSERT_TRUE(MakeShaft(sky, floor));
    ShaftHole* hole = sky->GetShaft();
    const std::vector<ShaftSide*> sides = sky->GetSides();

    platform::Menu menu;
    sky->BuildPropertyMenu(menu);
    EXPECT_EQ(menu.FindItem(Skylight::kPerpendicularToRoof), nullptr);
    EXPECT_NE(menu.FindItem(Skylight::kDeleteShaft), nullptr);
    EXPECT_TRUE(sky->ProcessPropertyMenu(Skylight::kPerpendicularToRoof));
    EXPECT_EQ(s.window.GetCurrentModeNumber(), 0);

    // Even handed to the mode, the skylight keeps its one shaft.
    Creator()->SetSkylight(sky, Skylight::kVertical);
    EXPECT_FALSE(Creator()->BuildShaft(lower));
    EXPECT_EQ(sky->GetShaft(), hole);
    EXPECT_EQ(sky->GetSides(), sides);
    EXPECT_EQ(lower->GetHoleList().GetCount(), 0u);
    EXPECT_EQ(floor->GetHoleList().GetCount(), 1u);
    EXPECT_EQ(CountSides(s.control.scene), 4);
}

// Every refusal shows its message and leaves no hole, no side, no undo record and no
// open group.
TEST_F(SkylightTest, RefusedBottomsLeaveNothingBehind) {
    Roof* roof = AddRoof();
    Skylight* sky = AddSkylight(roof);
    Floor* above = AddFloor(400.0);
    Floor* close = AddFloor(sky->GetBoundingBox().min.y - 2.0);
    Floor* locked = AddFloor(50.0);
    locked->SetLocked(true);
    Wall* wall = s.Add(Vector(-20, 0, 0), Vector(-20, 0, 100), 150.0, 10.0);
    struct Case {
        const char* name;
        BaseSlab* bottom;
        uint32_t type;
        uint32_t message;
    };
    const Case cases[] = {
        {"its own roof", roof, Skylight::kVertical, 266},
        {"vertical onto a wall", wall, Skylight::kVertical, 268},
        {"a floor above it", above, Skylight::kVertical, 267},
        {"a floor just under it", close, Skylight::kVertical, 269},
        {"a locked floor", locked, Skylight::kVertical, 270},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        const size_t undoBefore = s.control.GetUndoList().UndoEntries().GetCount();
        const std::string roofKeys = Keys(*roof);
        const std::string bottomKeys = Keys(*c.bottom);
        EXPECT_FALSE(MakeShaft(sky, c.bottom, c.type));
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(LastMessage(), s.control.LoadResourceString(c.message));
        EXPECT_EQ(sky->GetShaft(), nullptr);
        EXPECT_TRUE(sky->GetSides().empty());
        EXPECT_EQ(sky->GetShaftType(), 0);
        EXPECT_EQ(CountSides(s.control.scene), 0);
        EXPECT_EQ(c.bottom->GetHoleList().GetCount(), 0u);
        EXPECT_EQ(Keys(*roof), roofKeys);
        EXPECT_EQ(Keys(*c.bottom), bottomKeys);
        EXPECT_EQ(s.control.GetUndoList().UndoEntries().GetCount(), undoBefore);
        EXPECT_EQ(s.control.GetUndoList().GroupDepth(), 0);
    }
}

// Creating and deleting a shaft are each one step: undo and redo give back the exact
// keys of the roof and of the floor, and the scene's sides with them.
TEST_F(SkylightTest, UndoAndRedoOfCreateAndDeleteRestoreExactKeys) {
    Roof* roof = AddRoof();
    Floor* floor = AddFloor();
    Skylight* sky = AddSkylight(roof);
    const std::string roofBefore = Keys(*roof), floorBefore = Keys(*floor);
    ASSERT_TRUE(MakeShaft(sky, floor, Skylight::kPerpendicularToRoof));
    const std::string roofShaft = Keys(*roof), floorShaft = Keys(*floor);
    ASSERT_NE(roofShaft, roofBefore);
    ASSERT_NE(floorShaft, floorBefore);

    ASSERT_TRUE(s.control.Undo());
    EXPECT_EQ(Keys(*roof), roofBefore);
    EXPECT_EQ(Keys(*floor), floorBefore);
    EXPECT_EQ(CountSides(s.control.scene), 0);
    ASSERT_TRUE(s.control.Redo());
    EXPECT_EQ(Keys(*roof), roofShaft);
    EXPECT_EQ(Keys(*floor), floorShaft);
    EXPECT_EQ(CountSides(s.control.scene), 4);

    sky = First<Skylight>(roof->GetInSlabList());
    ASSERT_NE(sky, nullptr);
    ASSERT_NE(sky->GetShaft(), nullptr);
    EXPECT_TRUE(sky->ProcessPropertyMenu(Skylight::kDeleteShaft));
    EXPECT_EQ(sky->GetShaft(), nullptr);
    EXPECT_EQ(sky->GetShaftType(), 0);
    EXPECT_EQ(floor->GetHoleList().GetCount(), 0u);
    EXPECT_EQ(CountSides(s.control.scene), 0);
    const std::string roofDeleted = Keys(*roof), floorDeleted = Keys(*floor);
    EXPECT_EQ(floorDeleted, floorBefore);

    ASSERT_TRUE(s.control.Undo());
    EXPECT_EQ(Keys(*roof), roofShaft);
    EXPECT_EQ(Keys(*floor), floorShaft);
    EXPECT_EQ(CountSides(s.control.scene), 4);
    ASSERT_TRUE(s.control.Redo());
    EXPECT_EQ(Keys(*roof), roofDeleted);
    EXPECT_EQ(Keys(*floor), floorDeleted);
    EXPECT_EQ(CountSides(s.control.scene), 0);
}

// "Delete" on a side or on the hole deletes the whole shaft; on a locked floor it is
// refused and the shaft stays whole.
TEST_F(SkylightTest, DeleteThroughASideOrTheHoleAndOnALockedSlab) {
    Roof* roof = AddRoof();
    Floor* floor = AddFloor();
    Skylight* sky = AddSkylight(roof);
    ASSERT_TRUE(MakeShaft(sky, floor));

    floor->SetLocked(true);
    const size_t undoBefore = s.control.GetUndoList().UndoEntries().GetCount();
    EXPECT_TRUE(sky->GetSides()[1]->ProcessPropertyMenu(MouseHandler::kDeleteCommand));
    EXPECT_NE(sky->GetShaft(), nullptr);
    EXPECT_EQ(sky->GetSides().size(), 4u);
    EXPECT_EQ(s.control.GetUndoList().UndoEntries().GetCount(), undoBefore);
    EXPECT_EQ(s.control.GetUndoList().GroupDepth(), 0);
    floor->SetLocked(false);

    EXPECT_TRUE(sky->GetSides()[1]->ProcessPropertyMenu(MouseHandler::kDeleteCommand));
    EXPECT_EQ(sky->GetShaft(), nullptr);
    EXPECT_EQ(CountSides(s.control.scene), 0);

    ASSERT_TRUE(MakeShaft(sky, floor));
    EXPECT_TRUE(sky->GetShaft()->ProcessPropertyMenu(MouseHandler::kDeleteCommand));
    EXPECT_EQ(sky->GetShaft(), nullptr);
    EXPECT_EQ(floor->GetHoleList().GetCount(), 0u);
    EXPECT_EQ(CountSides(s.control.scene), 0);
}

// A copy of a skylight is a window of its own: the shaft, its hole and its sides stay
// with the original.
TEST_F(SkylightTest, CopyOfASkylightHasNoShaft) {
    Roof* roof = AddRoof();
    Floor* floor = AddFloor();
    Skylight* sky = AddSkylight(roof);
    ASSERT_TRUE(MakeShaft(sky, floor));
    ShaftHole* hole = sky->GetShaft();
    auto* copy = dynamic_cast<Skylight*>(sky->CloneChild(false, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(roof->GetInSlabList().Contains(copy));
    EXPECT_EQ(copy->GetShaft(), nullptr);
    EXPECT_TRUE(copy->GetSides().empty());
    EXPECT_EQ(copy->GetShaftType(), 0);
    EXPECT_EQ(sky->GetShaft(), hole);
    EXPECT_EQ(hole->GetSkylight(), sky);
    EXPECT_EQ(CountSides(s.control.scene), 4);
}

// The plan keeps the shaft: reopened by the product's loader in a fresh control, the
// skylight finds its hole and sides again, and the streams match element by element.
TEST(SkylightPlanTest, PlanWithAShaftComesBackWhole) {
    TempFolder folder, again;
    std::string first;
    std::vector<std::string> roofs, floors;
    {
        auto scene = std::make_unique<WallScene>();
        Roof* roof = AddRoof(*scene);
        Floor* floor = AddFloor(*scene);
        Skylight* sky = AddSkylight(roof);
        ASSERT_TRUE(MakeShaftIn(*scene, sky, floor, Skylight::kFlared));
        EXPECT_NEAR(sky->GetShaft()->GetFlareAngle(), ShaftHole::kFlareAngle, 1e-12);
        first = plan_stream::Save(scene->control, folder.Path() + "Shaft.kvp");
        roofs = ElementsOf(first, "Roof");
        floors = ElementsOf(first, "Floor");
        ASSERT_FALSE(roofs.empty());
        ASSERT_FALSE(floors.empty());
        scene->control.deletedObjects.DeleteAll();
    }
    auto scene = std::make_unique<WallScene>();
    WallScene& fresh = *scene;
    fresh.control.LoadPlanFile(first.c_str(), false);
    Roof* loadedRoof = First<Roof>(fresh.control.scene);
    Floor* loadedFloor = First<Floor>(fresh.control.scene);
    ASSERT_NE(loadedRoof, nullptr);
    ASSERT_NE(loadedFloor, nullptr);
    auto* loaded = First<Skylight>(loadedRoof->GetInSlabList());
    ASSERT_NE(loaded, nullptr);
    ASSERT_NE(loaded->GetShaft(), nullptr);
    EXPECT_EQ(loaded->GetShaft()->GetParent(), loadedFloor);
    EXPECT_EQ(loaded->GetShaft()->GetSkylight(), loaded);
    EXPECT_EQ(loaded->GetShaftType(), static_cast<int>(Skylight::kFlared));
    EXPECT_EQ(loaded->GetSides().size(), 4u);
    EXPECT_EQ(CountSides(fresh.control.scene), 4);
    const std::string second = plan_stream::Save(fresh.control, again.Path() + "Shaft.kvp");
    plan_stream::ExpectSame(ElementsOf(second, "Floor"), floors);
    // The hand-built roof's depths are those a read roof has only from the first reading
    // on: the same keys, and from then on the same values through every save and reopen.
    const std::vector<std::string> reread = ElementsOf(second, "Roof");
    ASSERT_EQ(reread.size(), roofs.size());
    for (size_t i = 0; i < roofs.size(); ++i)
        EXPECT_EQ(reread[i].substr(0, reread[i].find('=')), roofs[i].substr(0, roofs[i].find('=')));
    fresh.control.deletedObjects.DeleteAll();
    scene.reset();
    TempFolder third;
    WallScene again2;
    again2.control.LoadPlanFile(second.c_str(), false);
    const std::string last = plan_stream::Save(again2.control, third.Path() + "Shaft.kvp");
    plan_stream::ExpectSame(ElementsOf(last, "Roof"), reread);
    plan_stream::ExpectSame(ElementsOf(last, "Floor"), floors);
    again2.control.deletedObjects.DeleteAll();
}

// A flared shaft widens along the roof's slope by tan(15 degrees) times the shaft's
// length on each side; a flare that does not fit is taken back with message 269.
TEST_F(SkylightTest, FlareWidensTheHoleAndAFlareThatDoesNotFitIsUndone) {
    Roof* roof = AddRoof();
    Floor* floor = AddFloor();
    Skylight* sky = AddSkylight(roof);
    ASSERT_TRUE(MakeShaft(sky, floor));
    auto depthAlongSlope = [&]() {
        double lo = 1e9, hi = -1e9;
        for (const Vector& p : Nodes(sky->GetShaft()->GetOutline())) {
            lo = std::fmin(lo, p.z);
            hi = std::fmax(hi, p.z);
        }
        return hi - lo;
    };
    const double straight = depthAlongSlope();
    EXPECT_TRUE(sky->ProcessPropertyMenu(Skylight::kFlare15));
    const double flared = depthAlongSlope();
    EXPECT_GT(flared, straight + 1.0);
    EXPECT_NEAR(sky->GetShaft()->GetFlareAngle(), ShaftHole::kFlareAngle, 1e-12);

    // On a small floor the 30-degree flare runs off the edge.
    Skylight* other = AddSkylight(roof, 40.0, 40.0);
    Floor* small = AddFloor(60.0, 10, 75, 10, 80);
    ASSERT_TRUE(MakeShaft(other, small));
    messages.clear();
    const std::string before = Keys(*small);
    EXPECT_TRUE(other->ProcessPropertyMenu(Skylight::kFlare30));
    EXPECT_EQ(LastMessage(), s.control.LoadResourceString(269));
    EXPECT_DOUBLE_EQ(other->GetShaft()->GetFlareAngle(), 0.0);
    EXPECT_EQ(Keys(*small), before);
    EXPECT_TRUE(other->GetShaft()->IsPositionValid());
}

// The hole is not edited node by node; a hole and an opening of different node counts
// are never paired; a move of a side moves the skylight in its roof and the hole in its
// floor, and is taken back when the hole would leave the floor.
TEST_F(SkylightTest, HoleFollowsTheSkylightAndSideMovesStayOnTheSlabs) {
    Roof* roof = AddRoof();
    Floor* floor = AddFloor();
    Skylight* sky = AddSkylight(roof);
    ASSERT_TRUE(MakeShaft(sky, floor));
    ShaftHole* hole = sky->GetShaft();
    OutlinePoint* node = hole->GetOutline().GetPrimaryPoints();
    EXPECT_FALSE(hole->RemovePoint(node));
    EXPECT_EQ(hole->GetOutline().GetPrimaryCount(), 4);

    const Vector skyBefore = sky->GetWorldCenter();
    const Vector holeBefore = hole->GetBoundingBox().min;
    sky->GetSides()[0]->MoveSlabBy(10.0, 0.0, 0.0, true);
    EXPECT_NEAR(sky->GetWorldCenter().x - skyBefore.x, 10.0, 1e-6);
    EXPECT_NEAR(hole->GetBoundingBox().min.x - holeBefore.x, 10.0, 1e-6);
    EXPECT_NEAR(hole->GetBoundingBox().min.z, holeBefore.z, 1e-6);

    // Moving the hole itself moves the skylight.
    hole->MoveBy(Vector(-10.0, 0.0, 0.0));
    EXPECT_NEAR(sky->GetWorldCenter().x, skyBefore.x, 1e-6);
    EXPECT_NEAR(hole->GetBoundingBox().min.x, holeBefore.x, 1e-6);

    // The floor ends at x 70: a side's move of 35 would put the hole off it.
    Floor* narrow = AddFloor(60.0, 10, 70, -50, 200);
    Skylight* other = AddSkylight(roof, 40.0, 50.0);
    ASSERT_TRUE(MakeShaft(other, narrow));
    const Vector otherStart = other->GetWorldCenter();
    const std::vector<Vector> otherHole = Nodes(other->GetShaft()->GetOutline());
    other->GetSides()[2]->MoveSlabBy(35.0, 0.0, 0.0, true);
    EXPECT_LT(other->GetWorldCenter().Distance(otherStart), 1e-6);
    const std::vector<Vector> after = Nodes(other->GetShaft()->GetOutline());
    ASSERT_EQ(after.size(), otherHole.size());
    for (size_t i = 0; i < after.size(); ++i) EXPECT_LT(after[i].Distance(otherHole[i]), 1e-6);
    EXPECT_TRUE(other->GetShaft()->IsPositionValid());

    // Node counts that differ: nothing is paired or projected.
    hole->GetOutline().InsertPoint(hole->GetOutline().GetPrimaryPoints()[0].position, 0, false);
    hole->GetOutline().Refresh();
    EXPECT_FALSE(hole->ProjectSkylightOutline());
    hole->RebuildGeometry();
    for (ShaftSide* side : sky->GetSides()) EXPECT_EQ(side->GetOutline().GetPrimaryCount(), 4);
}

}  // namespace
