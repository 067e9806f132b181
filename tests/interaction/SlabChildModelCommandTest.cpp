#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "building/Roof.h"
#include "foundation/KeyDataList.h"
#include "interaction/DragDropCommand.h"
#include "interaction/SlabChildModelCommand.h"
#include "slabs/InSlabObject.h"
#include "slabs/OnSlabObject.h"
#include "slabs/Skylight.h"
#include "support/PlanStreamCompare.h"
#include "support/WallFixtures.h"

namespace {

using plan_stream::Keys;

// A free roof plane over x 0..200, rising from y 200 at z 0 to y 250 at z 100.
Roof* AddRoofPlane(LinkedList& scene) {
    auto* roof = new Roof(false);
    Outline& outline = roof->GetOutline();
    const Vector corners[4] = {Vector(0, 200, 0), Vector(0, 250, 100), Vector(200, 250, 100),
                               Vector(200, 200, 0)};
    for (int i = 0; i < 4; ++i) outline.InsertPoint(corners[i], i, false);
    outline.Refresh();
    outline.ComputeNormal();
    roof->AllocateRoofArrays();
    scene.Append(roof);
    return roof;
}

std::unique_ptr<KeyDataList> Item(const char* marker) {
    auto description = std::make_unique<KeyDataList>();
    KeyDataList* model = description->AddSublist("Model");
    model->AddString(marker, "yes");
    return description;
}

class SlabChildModelCommandTest : public ::testing::Test {
protected:
    ~SlabChildModelCommandTest() override { s.control.deletedObjects.DeleteAll(); }

    // A command for the kind, begun, its model given a 20 x 30 box.
    std::unique_ptr<SlabChildModelCommand> Begun(uint64_t kind) {
        auto command = std::make_unique<SlabChildModelCommand>(new KeyDataList, "host", kind);
        command->Begin(0, platform::ScreenPoint{}, nullptr);
        SlabChildModel* model = command->GetModel();
        BoundingBox box;
        box.min.Set(0, 0, 0, 1);
        box.max.Set(20, 30, 4, 1);
        model->SetBoundingBox(box);
        model->LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        if (auto* inSlab = dynamic_cast<InSlabObject*>(model))
            inSlab->SetFootprint(inSlab->Footprint());
        return command;
    }
    static std::vector<PickableObject*> Over(BaseSlab* slab, int surface = BaseSlab::kInsideSurface) {
        return {slab, slab->GetSurface(surface), slab->GetSurface(surface)};
    }
    size_t UndoCount() { return s.control.GetUndoList().UndoEntries().GetCount(); }

    WallScene s;
};

// Items marked for slabs now build the slab-model command, with the class mask of their
// marker.
TEST_F(SlabChildModelCommandTest, SlabItemsBuildTheSlabModelCommand) {
    struct Case {
        const char* marker;
        uint64_t mask;
    };
    const Case cases[] = {{"Inslab", 0x10},
                          {"Onslab", 0x20},
                          {"Asymmetric", 0x2000000},
                          {"Skylight", 0x100000000ull}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.marker);
        auto description = Item(c.marker);
        std::unique_ptr<BaseCommandHandler> command = MakeCatalogueCommand(*description, "h", false);
        auto* slabCommand = dynamic_cast<SlabChildModelCommand*>(command.get());
        ASSERT_NE(slabCommand, nullptr);
        EXPECT_EQ(slabCommand->GetKindMask(), c.mask);
    }
    struct Made {
        uint64_t mask;
        uint64_t type;
    };
    const Made made[] = {{0x10, TypeMask::kInSlabObject},
                         {0x20, TypeMask::kOnSlabObject},
                         {0x2000000, TypeMask::kAsymmetricSlabObject},
                         {0x100000000ull, TypeMask::kSkylight}};
    for (const Made& m : made) {
        auto command = Begun(m.mask);
        ASSERT_NE(command->GetModel(), nullptr);
        EXPECT_EQ(command->GetModel()->GetTypeMask(), m.type);
        command->Cancel();
        EXPECT_EQ(command->GetModel(), nullptr);
    }
}

// A skylight goes into a roof only; dropped at a valid place it stays, in one step of
// the roof that undo takes back whole.
TEST_F(SlabChildModelCommandTest, SkylightGoesIntoARoofAndTheDropEndsTheRoofStep) {
    Roof* roof = AddRoofPlane(s.control.scene);
    Wall* wall = s.Add(Vector(0, 0, -20), Vector(200, 0, -20), 150.0, 10.0);
    const std::string roofBefore = Keys(*roof), wallBefore = Keys(*wall);
    const size_t undoBefore = UndoCount();

    auto command = Begun(SlabChildModelCommand::kSkylightKind);
    SlabChildModel* model = command->GetModel();
    uint32_t effect = 0;
    command->DragOverHits(Over(wall), 10, 10, false, &effect);
    EXPECT_EQ(command->GetTarget(), nullptr);
    EXPECT_EQ(model->GetOwner(), nullptr);
    EXPECT_EQ(effect, platform::DROPEFFECT_NONE);
    EXPECT_EQ(Keys(*wall), wallBefore);

    command->DragOverHits(Over(roof), 10, 10, false, &effect);
    EXPECT_EQ(command->GetTarget(), roof);
    EXPECT_EQ(model->GetOwner(), &roof->GetInSlabList());
    EXPECT_EQ(effect, platform::DROPEFFECT_LINK);

    model->PlaceAtPoint(Vector(100, 225, 50), false);
    ASSERT_TRUE(model->IsPositionValid());
    command->DropOn(nullptr);
    EXPECT_EQ(command->GetModel(), nullptr);
    EXPECT_EQ(command->GetTarget(), nullptr);
    EXPECT_TRUE(roof->GetInSlabList().Contains(model)) << "the dropped model stays";
    EXPECT_TRUE(model->IsDropComplete());
    EXPECT_GT(UndoCount(), undoBefore);
    EXPECT_EQ(s.control.GetUndoList().GroupDepth(), 0);
    command.reset();

    ASSERT_TRUE(s.control.Undo());
    EXPECT_EQ(roof->GetInSlabList().GetCount(), 0u);
    EXPECT_EQ(Keys(*roof), roofBefore);
}

// Moving from one slab to another cancels the first slab's step; a drop at an invalid
// place, outside any slab, or a cancel leaves every slab as it was and no record.
TEST_F(SlabChildModelCommandTest, LeftSlabsAndRefusedDropsLeaveNoTrace) {
    Wall* first = s.Add(Vector(0, 0, 0), Vector(200, 0, 0), 150.0, 10.0);
    Wall* second = s.Add(Vector(0, 0, 100), Vector(200, 0, 100), 150.0, 10.0);
    const std::string firstBefore = Keys(*first), secondBefore = Keys(*second);
    const size_t undoBefore = UndoCount();

    auto command = Begun(SlabChildModelCommand::kInSlabKind);
    SlabChildModel* model = command->GetModel();
    command->DragOverHits(Over(first), 10, 10, false, nullptr);
    ASSERT_EQ(command->GetTarget(), first);
    command->DragOverHits(Over(second, BaseSlab::kOutsideSurface), 10, 10, false, nullptr);
    EXPECT_EQ(command->GetTarget(), second);
    EXPECT_EQ(first->GetInSlabList().GetCount(), 0u);
    EXPECT_EQ(Keys(*first), firstBefore);
    EXPECT_EQ(model->GetOwner(), &second->GetInSlabList());

    // Off the wall's face: the drop takes it out and frees it.
    model->PlaceAtPoint(Vector(500, 500, 100), false);
    command->DropOn(nullptr);
    EXPECT_EQ(command->GetModel(), nullptr);
    EXPECT_EQ(second->GetInSlabList().GetCount(), 0u);
    EXPECT_EQ(Keys(*second), secondBefore);

    // Nothing under the pointer, then dropped.
    auto outside = Begun(SlabChildModelCommand::kOnSlabKind);
    outside->DragOverHits(Over(first), 10, 10, false, nullptr);
    outside->DragOverHits({}, 10, 10, false, nullptr);
    EXPECT_EQ(outside->GetTarget(), nullptr);
    outside->DropOn(nullptr);
    EXPECT_EQ(outside->GetModel(), nullptr);

    // Cancelled while over a slab.
    auto cancelled = Begun(SlabChildModelCommand::kInSlabKind);
    cancelled->DragOverHits(Over(first), 10, 10, false, nullptr);
    cancelled->Cancel();
    EXPECT_EQ(first->GetInSlabList().GetCount(), 0u);

    // A locked slab takes nothing, and its step is closed.
    second->SetLocked(true);
    auto locked = Begun(SlabChildModelCommand::kInSlabKind);
    locked->DragOverHits(Over(second), 10, 10, false, nullptr);
    EXPECT_EQ(locked->GetTarget(), nullptr);
    EXPECT_EQ(second->GetInSlabList().GetCount(), 0u);
    locked.reset();
    second->SetLocked(false);

    EXPECT_EQ(Keys(*first), firstBefore);
    EXPECT_EQ(Keys(*second), secondBefore);
    EXPECT_EQ(UndoCount(), undoBefore);
    EXPECT_EQ(s.control.GetUndoList().GroupDepth(), 0);
}

}  // namespace
