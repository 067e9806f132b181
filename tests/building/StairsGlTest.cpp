#include <GL/gl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "building/Fence.h"
#include "building/Stairs.h"
#include "control/Defaults.h"
#include "foundation/KeyDataList.h"
#include "interaction/MouseHandler.h"
#include "interaction/ChalkLine.h"
#include "interaction/TapeMeasure.h"
#include "render/Window.h"
#include "support/GlTestContext.h"
#include "support/ReferenceImage.h"
#include "support/TestControl.h"
#include "support/WallFixtures.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// Stairs and fences drawn into a small frame of a real view window, against pictures.
class StairsGlTest : public ::testing::Test {
protected:
    StairsGlTest() : window([](int) { return new MouseHandler; }) {
        control.contentDomain[0] = 0;
        SetFactoryDefaults(control);
        window.OnSize({0, 0, kWidth, kHeight});
        window.InitCameraPresets();
        control.initialised = 1;
        control.globalState.SetVector(1, Vector(1, 1, 1));
        control.globalState.SetBoolean(29, true);
        control.globalState.SetBoolean(6, true);
        window.viewFlags.SetInt64(0, TypeBit::kGrid);
        control.mainWindow = control.activeWindow = control.currentWindow = &window;
    }
    ~StairsGlTest() override {
        control.scene.DeleteAll();
        control.mainWindow = control.activeWindow = control.currentWindow = nullptr;
    }

    void Blueprint() {
        ASSERT_TRUE(window.SetViewMode(Window::kBlueprintView));
        window.camera.SetVector(2, Vector(96, 72, 0));
    }

    std::vector<uint8_t> Frame() {
        gl.MakeCurrent();
        window.InitGLState();
        window.SetupProjection(0, 0);
        window.SetupModelView();
        window.RenderScene(0, 0);
        glFinish();
        return gl.ReadPixels();
    }

    void ExpectPicture(const std::string& name) {
        const std::string base = std::string(KIVORA_FIXTURES_DIR) + "/render/" + name;
        int differing = 0;
        EXPECT_TRUE(MatchesReferenceImage(Frame(), kWidth, kHeight, base, &differing))
            << differing << " pixels differ; see " << base << ".out.png";
    }

    Stairs* AddStairs() {
        auto* stairs = new Stairs;
        KeyDataList keys;
        Outline corners;
        for (const Vector& p : {Vector(-30, 0, -18), Vector(-30, 0, 18), Vector(30, 0, 18),
                                Vector(30, 0, -18)})
            corners.InsertPoint(p, corners.GetPrimaryCount(), false);
        corners.Save(keys, "outline");
        Vector(1, 0, 0).WriteChild(keys, "StairDirection");
        keys.AddDouble("stepDepth", 10.0);
        keys.AddDouble("showStringers", 1.0);
        keys.AddDouble("showLeftStringer", 1.0);
        keys.AddDouble("showRightStringer", 1.0);
        keys.AddDouble("creationDone", 1.0);
        stairs->ReadKeyData(keys);
        stairs->GetMaterial(0).SetColor(0.8, 0.6, 0.4, 1.0);
        stairs->GetMaterial(1).SetColor(0.3, 0.3, 0.3, 1.0);
        stairs->GetMaterial(2).SetColor(0.5, 0.5, 0.8, 1.0);
        stairs->GetMaterial(3).SetColor(0.2, 0.2, 0.2, 1.0);
        control.scene.Append(stairs);
        return stairs;
    }

    ScopedRegistry registry;
    ScopedProgramFolder programFolder;
    TestControl control;
    GlTestContext gl{kWidth, kHeight};
    Window window;
};

TEST_F(StairsGlTest, StairsDrawTheirStepsAndTheirOutlineWhileUnfinished) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    Stairs* stairs = AddStairs();
    window.camera.SetVector(0, Vector(-87.5, -100, 56.25));
    ExpectPicture("stairs_3d");
    Blueprint();
    ExpectPicture("stairs_blueprint");
    // An unfinished stair shows its flat outline only.
    KeyDataList keys;
    keys.AddDouble("creationDone", 0.0);
    stairs->ReadKeyData(keys);
    ExpectPicture("stairs_outline_blueprint");
}

TEST_F(StairsGlTest, ASelectedFenceShowsItsPostAndSegmentHandles) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    auto* fence = new Fence;
    for (const Vector& p : {Vector(-30, 0, -20), Vector(20, 0, -20), Vector(20, 0, 20)})
        fence->GetOutline().InsertPoint(p, fence->GetOutline().GetPrimaryCount(), false);
    fence->Changed();
    control.scene.Append(fence);
    fence->SetSelected(true);
    Blueprint();
    ExpectPicture("fence_handles_blueprint");
}

TEST_F(StairsGlTest, TheTapeMeasureShowsItsBandAndTicksAndChalkLinesStay) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    TapeMeasure& tape = control.tapeMeasure;
    tape.window = &window;
    tape.up = Vector(0, 1, 0);
    tape.SetStart(Vector(-30, 0, -10));
    tape.SetEnd(Vector(30, 0, 10));
    window.camera.SetVector(0, Vector(-87.5, -100, 56.25));
    ExpectPicture("tape_3d");
    Blueprint();
    ExpectPicture("tape_blueprint");
    control.extraList.Append(new ChalkLine(tape.start, tape.end, tape.up));
    tape.Reset();
    ExpectPicture("chalk_line_blueprint");
    control.extraList.DeleteAll();
}

}  // namespace
