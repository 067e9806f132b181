#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "control/dialogs/LengthDialog.h"
#include "interaction/TraceImageAutoSizeMode.h"
#include "interaction/TraceImageModel.h"
#include "platform/Menu.h"
#include "render/Material.h"
#include "support/EditorScene.h"
#include "support/PlanStreams.h"
#include "support/PngWriter.h"
#include "support/ReferenceImage.h"

namespace {

// A picture of w x h pixels in four coloured quarters (red, green / blue, white from the
// top left), written as a PNG file in `folder`.
std::string WritePicture(const TempFolder& folder, uint32_t w, uint32_t h) {
    PngImage image;
    image.width = w;
    image.height = h;
    image.colourType = 2;
    image.rows.resize(size_t(w) * h * 3);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = &image.rows[(size_t(y) * w + x) * 3];
            const bool right = x >= w / 2, bottom = y >= h / 2;
            p[0] = !bottom && right ? 0 : 255;
            p[1] = bottom && !right ? 0 : (right || bottom ? 255 : 0);
            p[2] = bottom ? 255 : 0;
        }
    const std::string path = folder.Path() + "plan.png";
    const std::vector<uint8_t> bytes = WritePng(image);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

// The editor scene turned to look straight down on the ground, `unitsPerPixel` plan
// units to a pixel, the working elevation at 0: pixel (32, 24) shows the origin.
void LookDown(EditorScene& scene, double unitsPerPixel) {
    scene.control->floorState.SetDouble(4, 0.0);
    scene.view.camera.SetVector(0, Vector(0, 0, 0));
    scene.view.camera.SetVector(1, Vector(90, 0, 0));
    scene.view.camera.SetVector(2, Vector(32 * unitsPerPixel, 24 * unitsPerPixel, 0));
    scene.DrawFrame();
}

// The trace image drawn alone on black in the scene's view; RGBA rows from the bottom.
std::vector<uint8_t> DrawImage(EditorScene& scene, TraceImageModel& image) {
    std::vector<uint8_t> rgba(64 * 48 * 4);
    BaseControl& control = *scene.control;
    control.LockRender();
    scene.view.Activate();
    control.currentWindow = &scene.view;
    scene.view.SetupProjection(0, 0);
    scene.view.InitGLState();
    scene.view.SetupModelView();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    image.Render();
    glFinish();
    glReadPixels(0, 0, 64, 48, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    control.currentWindow = nullptr;
    control.UnlockRender();
    return rgba;
}

bool IsBlack(const std::vector<uint8_t>& rgba, int x, int yFromTop) {
    const uint8_t* p = &rgba[(size_t(47 - yFromTop) * 64 + x) * 4];
    return p[0] < 8 && p[1] < 8 && p[2] < 8;
}

class TraceImageGlTest : public ::testing::Test {
protected:
    TraceImageGlTest() : scene(true) {}
    ~TraceImageGlTest() override {
        Dialog::SetModalRunner(nullptr);
        platform::SetMessageBoxResponder(nullptr);
        scene.view.DeleteTraceImage();
    }
    TraceImageModel* LoadImage(uint32_t w, uint32_t h) {
        scene.view.SetTraceImage(WritePicture(folder, w, h).c_str());
        return scene.view.traceImage;
    }
    // The length dialog answers `answer` with `length` typed; the messages shown are
    // recorded.
    void AnswerLength(int answer, double length) {
        Dialog::SetModalRunner([answer, length](Dialog& dialog) {
            auto& asked = dynamic_cast<LengthDialog&>(dialog);
            EXPECT_DOUBLE_EQ(asked.GetLength(), TraceImageAutoSizeMode::kPresetLength);
            asked.SetLength(length);
            return answer;
        });
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& box) {
            messages.push_back(box.text);
            return platform::MessageAnswer::Ok;
        });
    }

    TempFolder folder;
    EditorScene scene;
    std::vector<std::string> messages;
};

// The picture's size comes from the file: 1000 x 500 pixels make a quad 1000 wide in x
// and 500 deep in z, centred on the position, turned half round and 2 units up; its
// texture covers the picture and nothing more.
TEST_F(TraceImageGlTest, APictureBecomesAQuadOfItsPixelSizeCentredOnItsPosition) {
    ASSERT_TRUE(scene.HasOpenGL());
    TraceImageModel* image = LoadImage(1000, 500);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetImageWidth(), 1000);
    EXPECT_EQ(image->GetImageHeight(), 500);
    EXPECT_FALSE(image->HasNoImage());
    EXPECT_EQ(image->GetTypeMask(), TypeMask::kTraceImageModel);
    EXPECT_NEAR(image->GetPosition().y, 2.0, 1e-12);
    EXPECT_NEAR(image->GetRotation().m[0], -1.0, 1e-9) << "turned half round";
    double st[4][2];
    ASSERT_TRUE(image->GetCornerCoordinates(st));
    // The picture fills 1000 / 1024 of the texture along its width, 500 / 1024 across.
    EXPECT_NEAR(st[0][0], 1000.0 / 1024, 1e-12);
    EXPECT_NEAR(st[2][1], 500.0 / 1024, 1e-12);
    EXPECT_EQ(st[3][0], 0.0);
    EXPECT_EQ(st[3][1], 0.0);

    LookDown(scene, 20.0);
    const std::vector<uint8_t> frame = DrawImage(scene, *image);
    // 50 x 25 pixels around the centre.
    EXPECT_FALSE(IsBlack(frame, 32, 24));
    EXPECT_FALSE(IsBlack(frame, 9, 24));
    EXPECT_FALSE(IsBlack(frame, 55, 24));
    EXPECT_TRUE(IsBlack(frame, 5, 24));
    EXPECT_TRUE(IsBlack(frame, 59, 24));
    EXPECT_TRUE(IsBlack(frame, 32, 9));
    EXPECT_TRUE(IsBlack(frame, 32, 39));
    EXPECT_TRUE(MatchesReferenceImage(frame, 64, 48,
                                      std::string(KIVORA_FIXTURES_DIR) + "/render/trace_image"));
    EXPECT_NEAR(image->GetPosition().y, 2.0, 1e-12) << "the blueprint height is for the draw only";
    EXPECT_EQ(scene.view.viewFlags.GetInteger(0), Window::kBlueprintView);

    // Not in the elevation view, nor while trace images are hidden.
    scene.view.viewFlags.SetInteger(0, Window::kElevationView);
    const std::vector<uint8_t> elevation = DrawImage(scene, *image);
    EXPECT_TRUE(IsBlack(elevation, 32, 24));
    scene.view.viewFlags.SetInteger(0, Window::kBlueprintView);
    scene.control->globalState.SetBoolean(17, true);
    EXPECT_TRUE(IsBlack(DrawImage(scene, *image), 32, 24));
    scene.control->globalState.SetBoolean(17, false);
}

// A file that is no picture leaves an image without a size, which draws nothing.
TEST_F(TraceImageGlTest, AFileThatIsNoPictureGivesNoQuad) {
    ASSERT_TRUE(scene.HasOpenGL());
    const std::string path = folder.Path() + "broken.png";
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("\x89PNG\r\n\x1a\nnot really", file);
    std::fclose(file);
    scene.view.SetTraceImage(path.c_str());
    TraceImageModel* image = scene.view.traceImage;
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetImageWidth(), 0);
    double st[4][2];
    EXPECT_FALSE(image->GetCornerCoordinates(st));
    LookDown(scene, 20.0);
    EXPECT_TRUE(IsBlack(DrawImage(scene, *image), 32, 24));
}

// Drawing a 120-unit line for a 240-unit wall doubles the scale, as one undo step that
// undo and redo take back and bring again to the exact keys; the mode ends in selection.
TEST_F(TraceImageGlTest, AReferenceLineScalesTheImageAsOneUndoStep) {
    ASSERT_TRUE(scene.HasOpenGL());
    TraceImageModel* image = LoadImage(64, 32);
    ASSERT_NE(image, nullptr);
    LookDown(scene, 2.0);
    const std::string before = plan_streams::Keys(*image);

    // Through the image's own menu entry.
    AnswerLength(Dialog::kOk, 240.0);
    ASSERT_TRUE(image->ProcessPropertyMenu(TraceImageModel::kScaleCommand));
    ASSERT_EQ(scene.Mode(), 29);
    EXPECT_EQ(scene.view.GetCurrentMode()->defaultCursor.resourceId,
              TraceImageAutoSizeMode::kCursor);
    EXPECT_DOUBLE_EQ(scene.control->globalState.GetDouble(13), 240.0);
    const int groups = scene.UndoGroups();
    scene.Drag({{2, 24}, {12, 24}, {22, 24}, {32, 24}, {42, 24}, {52, 24}, {62, 24}});
    EXPECT_NEAR(image->scale.x, 2.0, 1e-9);
    EXPECT_NEAR(image->scale.z, 2.0, 1e-9);
    EXPECT_EQ(scene.Mode(), 0);
    EXPECT_FALSE(image->IsSelected());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Success.  Walls will now draw to scale.");
    EXPECT_EQ(scene.UndoGroups(), groups + 1);
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 0);

    const std::string after = plan_streams::Keys(*image);
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    ASSERT_EQ(scene.view.traceImage, image);
    EXPECT_EQ(plan_streams::Keys(*image), before);
    ASSERT_TRUE(scene.control->BaseControl::Redo());
    EXPECT_EQ(plan_streams::Keys(*image), after);
}

// A line of fewer than six moves, a line of no length and a cancelled dialog change nothing;
// without a trace image the mode refuses to start.
TEST_F(TraceImageGlTest, ShortLinesZeroLengthsCancelAndNoImageChangeNothing) {
    ASSERT_TRUE(scene.HasOpenGL());
    AnswerLength(Dialog::kOk, 240.0);
    scene.control->SetMouseMode(29);
    EXPECT_EQ(scene.Mode(), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "There is currently no image to resize");

    TraceImageModel* image = LoadImage(64, 32);
    ASSERT_NE(image, nullptr);
    LookDown(scene, 2.0);
    struct Case {
        int answer;
        double length;
        std::vector<std::pair<int, int>> line;
        const char* message;
    } cases[] = {
        {Dialog::kOk, 240.0, {{2, 24}, {12, 24}, {22, 24}, {32, 24}, {42, 24}, {52, 24}}, nullptr},
        // A line back to its start has no length to divide by.
        {Dialog::kOk, 240.0, {{2, 24}, {12, 24}, {22, 24}, {32, 24}, {22, 24}, {12, 24}, {2, 24}},
         "Scaling failed.  Please try again."},
        {Dialog::kCancel, 240.0, {}, nullptr},
    };
    for (const Case& c : cases) {
        messages.clear();
        AnswerLength(c.answer, c.length);
        scene.control->SetMouseMode(29);
        if (c.answer == Dialog::kCancel) {
            EXPECT_EQ(scene.Mode(), 0);
            continue;
        }
        ASSERT_EQ(scene.Mode(), 29);
        scene.Drag(c.line);
        EXPECT_EQ(scene.Mode(), 0);
        EXPECT_NEAR(image->scale.x, 1.0, 1e-12) << c.line.size();
        if (c.message) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0], c.message);
        } else {
            EXPECT_TRUE(messages.empty());
        }
    }
}

// The menu turns the image with its texture; Delete takes it from the window as one
// step that undo brings back through the loader.
TEST_F(TraceImageGlTest, MenuTurnsAndDeleteIsUndoable) {
    ASSERT_TRUE(scene.HasOpenGL());
    TraceImageModel* image = LoadImage(64, 32);
    ASSERT_NE(image, nullptr);
    platform::Menu menu;
    image->BuildPropertyMenu(menu);
    EXPECT_NE(menu.FindItem(TraceImageModel::kScaleCommand), nullptr);
    struct Turn {
        uint32_t id;
        double texture;
    } turns[] = {{500, -45}, {501, 45}, {502, -90}, {503, 90}, {504, -180}};
    double expected = image->GetImageMaterial().textureRotation;
    for (const Turn& t : turns) {
        EXPECT_TRUE(image->ProcessPropertyMenu(t.id));
        expected += t.texture;
        EXPECT_DOUBLE_EQ(image->GetImageMaterial().textureRotation, expected) << t.id;
    }
    // The turns add up to 180 degrees: back where it started.
    EXPECT_NEAR(image->GetRotation().m[0], 1.0, 1e-9);

    // The image brought back is a new object: its process-wide model id is its own.
    auto keysOf = [](TraceImageModel& model) {
        return std::regex_replace(plan_streams::Keys(model), std::regex(R"( objectId="[^"]*")"), "");
    };
    const std::string keys = keysOf(*image);
    image->BeginUndoStep();
    scene.control->BeginUndoGroup();
    EXPECT_TRUE(image->ProcessPropertyMenu(MouseHandler::kDeleteCommand));
    scene.control->EndUndoGroup();
    EXPECT_EQ(scene.view.traceImage, nullptr);
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    ASSERT_NE(scene.view.traceImage, nullptr);
    EXPECT_EQ(keysOf(*scene.view.traceImage), keys);
}

// The image's keys go into the plan and come back through the loader in a fresh control:
// the plan streams agree.
TEST(TraceImagePlanTest, SavedImageComesBackFromTheLoader) {
    TempFolder folder;
    std::string file;
    std::vector<std::string> saved;
    auto withoutIds = [](std::vector<std::string> lines) {
        std::erase_if(lines, [](const std::string& line) {
            return line.find("/objectId=") != std::string::npos ||
                   line.find("/id=") != std::string::npos;
        });
        return lines;
    };
    const std::string picture = WritePicture(folder, 64, 32);
    {
        EditorScene first(true);
        ASSERT_TRUE(first.HasOpenGL());
        first.view.SetTraceImage(picture.c_str());
        TraceImageModel* image = first.view.traceImage;
        ASSERT_NE(image, nullptr);
        image->SetScaleVector(Vector(2.5, 1.0, 2.5));
        image->SetPosition(Vector(10, 2, -20));
        ASSERT_TRUE(image->ProcessPropertyMenu(501));
        file = plan_streams::Save(*first.control, folder.Path() + "Traced.kvp");
        saved = withoutIds(plan_streams::PlanStream(file, "TraceImageModel"));
        first.view.DeleteTraceImage();
    }
    ASSERT_FALSE(saved.empty());
    EditorScene second(true);
    second.control->LoadPlanFile(file.c_str(), false);
    TraceImageModel* read = second.view.traceImage;
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read->GetImageURL(), picture.c_str());
    EXPECT_EQ(read->GetImageWidth(), 64);
    EXPECT_NEAR(read->scale.x, 2.5, 1e-9);
    EXPECT_NEAR(read->GetPosition().z, -20, 1e-9);
    plan_streams::ExpectSameValues(
        withoutIds(plan_streams::PlanStream(plan_streams::Save(*second.control,
                                                               folder.Path() + "Again.kvp"),
                                            "TraceImageModel")),
        saved);
    second.view.DeleteTraceImage();
}

}  // namespace
