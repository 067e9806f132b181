#include <gtest/gtest.h>

#include "interaction/EyeDropperMode.h"
#include "model/Part.h"
#include "platform/MessageBox.h"
#include "render/Material.h"
#include "support/WallFixtures.h"

namespace {

Material& SurfaceMaterial(Wall* wall, int id) {
    return *wall->GetSurface(id)->material;
}

TEST(EyeDropperModeTest, AClickPicksUpAndTheNextAppliesOnceOrWithShiftAgain) {
    WallScene scene;
    Wall* a = scene.Add(Vector(0, 0, 0), Vector(100, 0, 0));
    Wall* b = scene.Add(Vector(100, 0, 0), Vector(100, 0, 100));
    SurfaceMaterial(a, BaseSlab::kOutsideSurface).SetColor(0.25, 0.5, 0.75, 1.0);
    SurfaceMaterial(a, BaseSlab::kOutsideSurface).granularity = Vector(3.0, 3.0, 1.0);
    for (int id : {BaseSlab::kInsideSurface, BaseSlab::kEdgeSurface})
        SurfaceMaterial(b, id).SetColor(0.5, 0.5, 0.5, 1.0);

    EyeDropperMode dropper;
    dropper.Activate();
    EXPECT_EQ(dropper.defaultCursor.resourceId, EyeDropperMode::kEmptyCursor);
    // Something that is no part picks up nothing.
    dropper.ClickHits({a});
    EXPECT_FALSE(dropper.IsLoaded());
    dropper.ClickHits({a, a->GetSurface(BaseSlab::kOutsideSurface)});
    ASSERT_TRUE(dropper.IsLoaded());
    EXPECT_EQ(dropper.defaultCursor.resourceId, EyeDropperMode::kLoadedCursor);

    MouseHandler::Input().shift = 1;
    dropper.ClickHits({b, b->GetSurface(BaseSlab::kInsideSurface)});
    EXPECT_DOUBLE_EQ(SurfaceMaterial(b, BaseSlab::kInsideSurface).blue, 0.75);
    EXPECT_DOUBLE_EQ(SurfaceMaterial(b, BaseSlab::kInsideSurface).granularity.x, 3.0);
    EXPECT_DOUBLE_EQ(SurfaceMaterial(b, BaseSlab::kEdgeSurface).blue, 0.5);
    EXPECT_TRUE(dropper.IsLoaded()) << "Shift keeps the dropper loaded";
    MouseHandler::Input().shift = 0;
    // Undo and redo take the change back and bring it again.
    auto painted = [&] {
        int count = 0;
        for (LinkedListObject* node = scene.control.scene.GetHead(); node; node = node->GetNext())
            if (auto* wall = dynamic_cast<Wall*>(node);
                wall && SurfaceMaterial(wall, BaseSlab::kInsideSurface).blue == 0.75)
                ++count;
        return count;
    };
    EXPECT_EQ(painted(), 1);
    ASSERT_TRUE(scene.control.Undo());
    EXPECT_EQ(painted(), 0);
    ASSERT_TRUE(scene.control.Redo());
    EXPECT_EQ(painted(), 1);
    b = nullptr;
    for (LinkedListObject* node = scene.control.scene.GetHead(); node; node = node->GetNext())
        if (auto* wall = dynamic_cast<Wall*>(node);
            wall && SurfaceMaterial(wall, BaseSlab::kInsideSurface).blue == 0.75)
            b = wall;
    ASSERT_NE(b, nullptr);

    // A locked wall changes only after Yes.
    b->SetLocked(true);
    platform::SetMessageBoxResponder(
        [](const platform::MessageBoxRequest&) { return platform::MessageAnswer::No; });
    dropper.ClickHits({b, b->GetSurface(BaseSlab::kEdgeSurface)});
    EXPECT_DOUBLE_EQ(SurfaceMaterial(b, BaseSlab::kEdgeSurface).blue, 0.5);
    platform::SetMessageBoxResponder(nullptr);
    dropper.Deactivate();
    EXPECT_EQ(dropper.GetHeldMaterial(), nullptr);
}

}  // namespace
