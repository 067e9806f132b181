#include <gtest/gtest.h>

#include "interaction/RubberBandMode.h"
#include "platform/Input.h"
#include "support/EditorScene.h"

namespace {

class RubberBandModeGlTest : public ::testing::Test {
protected:
    EditorScene scene;
};

// Blocks at (-16, 0) and (16, 0) seen from the front: pixel (px, py) shows (px - 32, 24 - py).
TEST_F(RubberBandModeGlTest, TheBandSelectsWhatItCoversAndPutsThePickPolygonBack) {
    ASSERT_TRUE(scene.HasOpenGL());
    Block* left = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, -16, 0));
    Block* right = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, 16, 0));
    Block* light = scene.Add(new Block(TypeMask::kModelObject | 0x400000, KindCode::kNone, -16, 14));
    // The eye stands back from the blocks, so that they lie behind the band's plane.
    scene.view.camera.SetVector(0, Vector(0, 0, -100));
    scene.DrawFrame();
    ASSERT_TRUE(scene.view.SetMouseMode(7));
    const Vector* source = scene.view.pickPolygonSource;
    const int count = scene.view.pickPolygonCount;

    // Over the left block (and the light): only the block.
    scene.Drag({{2, 2}, {14, 14}, {26, 40}});
    EXPECT_TRUE(left->IsSelected());
    EXPECT_FALSE(right->IsSelected());
    EXPECT_FALSE(light->IsSelected());
    EXPECT_EQ(scene.view.pickPolygonSource, source);
    EXPECT_EQ(scene.view.pickPolygonCount, count);
    EXPECT_FALSE(scene.view.marqueeShown);

    // Shift adds the right block and keeps the left one.
    scene.Key(platform::VK_SHIFT, true);
    scene.Drag({{38, 2}, {50, 14}, {62, 40}});
    scene.Key(platform::VK_SHIFT, false);
    EXPECT_TRUE(left->IsSelected());
    EXPECT_TRUE(right->IsSelected());

    // Without Shift, a band that leaves the left block deselects it.
    scene.Drag({{62, 46}, {50, 34}, {2, 2}, {30, 2}});
    EXPECT_FALSE(left->IsSelected());
    EXPECT_TRUE(right->IsSelected());

    // A click without movement selects the block under it alone.
    scene.Click(16, 24);
    EXPECT_TRUE(left->IsSelected());
    EXPECT_FALSE(right->IsSelected());
}

}  // namespace
