#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "control/dialogs/Dialog.h"
#include "foundation/Registry.h"
#include "model/RenderableObject.h"
#include "platform/FileDialog.h"
#include "platform/GLContext.h"
#include "platform/ImageDecoder.h"
#include "platform/MessageBox.h"
#include "platform/Print.h"
#include "render/ExternalRenderController.h"
#include "render/PNGparse.h"
#include "render/Window.h"
#include "support/ControlLife.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr uint8_t kTile[3] = {230, 200, 40};

// A flat yellow quad in the ground plane in front of the start camera.
class Tile : public RenderableObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kModelObject; }
    void Render() override {
        glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_CULL_FACE);
        glColor3ub(kTile[0], kTile[1], kTile[2]);
        glBegin(GL_QUADS);
        glVertex3d(-300, 0, -300);
        glVertex3d(-300, 0, 300);
        glVertex3d(300, 0, 300);
        glVertex3d(300, 0, -300);
        glEnd();
        glPopAttrib();
    }
    void Translate(const Vector&) override {}
};

bool IsTile(const uint8_t* rgb) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(rgb[c] - kTile[c]) > 12) return false;
    return true;
}

// The control running a view of 160 x 120 with the tile in its scene, its temporary folder
// its own, and the answers of its dialogs and boxes played by the test.
class PrintExportGlTest : public ::testing::Test {
protected:
    PrintExportGlTest() : temporary_("TMPDIR", folder.Path()) {
        RegistrySetDouble("webKeys", "TipStartup", 1.0);
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& box) {
            std::lock_guard<std::mutex> guard(mutex_);
            boxes.push_back(box.text);
            return platform::MessageAnswer::Ok;
        });
    }
    ~PrintExportGlTest() override {
        platform::SetMessageBoxResponder(nullptr);
        platform::SetFileDialogResponder(nullptr);
        platform::SetPrintDialogResponder(nullptr);
        Dialog::SetModalRunner(nullptr);
    }

    void StartWithTile() {
        ASSERT_TRUE(life.Start("", kWidth, kHeight));
        ASSERT_TRUE(life.PumpUntilRunning());
        control().LockRender();
        // A slow machine (a sanitizer's) would get the low-frame-rate hint.
        control().lowFrameRateWarningEnabled = 0;
        control().scene.Append(new Tile);
        // The ground grid and the terrain would lie over the tile.
        control().mainWindow->viewFlags.SetInt64(0, 0x100000 | TypeBit::kTerrain);
        control().UnlockRender();
        // The view shows the tile.
        ASSERT_TRUE(PumpUntil([&] { return IsTile(ViewPixel(kWidth / 2, kHeight / 2).data()); }));
    }
    CDuzazododiza& control() { return *life.control; }
    std::vector<uint8_t> ViewPixel(int x, int y) {
        const std::vector<uint8_t> all = control().mainDrawable->PresentedPixels();
        const size_t at = (static_cast<size_t>(y) * kWidth + x) * 4;
        if (at + 3 > all.size()) return {0, 0, 0};
        return {all[at], all[at + 1], all[at + 2]};
    }
    void AnswerPrinter(const std::string& output) {
        platform::SetPrintDialogResponder([output](platform::PrinterSettings& printer) {
            printer.outputFile = output;
            printer.dotsPerInch = 100;
            return true;
        });
    }
    void AnswerOptions(std::vector<uint32_t> clicks) {
        Dialog::SetModalRunner([clicks](Dialog& dialog) {
            for (uint32_t id : clicks) dialog.Window()->Click(id);
            dialog.Window()->Click(1);
            return Dialog::kOk;
        });
    }

    ScopedRegistry registry;
    ScopedProgramFolder programFolder;
    TempFolder folder;
    std::mutex mutex_;
    std::vector<std::string> boxes;
    ControlLife<> life;

private:
    ScopedEnv temporary_;
};

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    return pclose(pipe) == 0 ? out : std::string();
}

TEST_F(PrintExportGlTest, ExportedPictureMatchesTheView) {
    StartWithTile();
    std::vector<uint8_t> view = control().mainDrawable->PresentedPixels();
    ASSERT_EQ(view.size(), static_cast<size_t>(kWidth) * kHeight * 4);

    const std::string path = folder.Path() + "photo.bmp";
    platform::SetFileDialogResponder(
        [path](const platform::FileDialogRequest& request, std::string* chosen) {
            EXPECT_EQ(request.kind, platform::FileDialogKind::Save);
            EXPECT_EQ(request.initialPath, "untitled");
            EXPECT_EQ(request.filterPattern, "*.bmp");
            *chosen = path.substr(0, path.size() - 4);  // the extension comes with the dialog
            return true;
        });
    EXPECT_EQ(control().ExportSceneImage(), platform::S_OK);

    platform::DecodedImage picture;
    ASSERT_TRUE(platform::DecodeImageFile(path, 3, picture));
    ASSERT_EQ(picture.width, kWidth);
    ASSERT_EQ(picture.height, kHeight);
    // Between the status bars (21 rows) and the menu bar (28 rows) the picture is the
    // view's, but for the smoothed edges.
    int compared = 0;
    int differing = 0;
    for (int y = 22; y < kHeight - 29; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* shown = &view[(static_cast<size_t>(y) * kWidth + x) * 4];
            const uint8_t* saved =
                &picture.pixels[(static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 3];
            ++compared;
            for (int c = 0; c < 3; ++c)
                if (std::abs(shown[c] - saved[c]) > 16) {
                    ++differing;
                    break;
                }
        }
    EXPECT_LT(differing, compared / 20) << differing << " of " << compared;
    // The bars are not in the picture: where the view shows the menu bar, the picture
    // shows the scene.
    const uint8_t* top = &picture.pixels[(2 * kWidth + 5) * 3];
    EXPECT_FALSE(top[0] == 212 && top[1] == 208 && top[2] == 200);
    EXPECT_FALSE(control().globalState.GetBoolean(29));
    EXPECT_EQ(std::count(boxes.begin(), boxes.end(), "File could not be saved."), 0);
}

TEST_F(PrintExportGlTest, ExportCancelledOrUnwritableLeavesNoFile) {
    StartWithTile();
    platform::SetFileDialogResponder(nullptr);  // cancel
    EXPECT_EQ(control().ExportSceneImage(), platform::S_OK);

    const std::string path = folder.Path() + "no/such/folder/photo.bmp";
    platform::SetFileDialogResponder(
        [path](const platform::FileDialogRequest&, std::string* chosen) {
            *chosen = path;
            return true;
        });
    EXPECT_EQ(control().ExportSceneImage(), platform::E_FAIL);
    EXPECT_FALSE(std::ifstream(path).good());
    EXPECT_FALSE(std::ifstream(path + ".part").good());
    EXPECT_EQ(std::count(boxes.begin(), boxes.end(), "File could not be saved."), 1);
}

TEST_F(PrintExportGlTest, PrintedPageHoldsTheViewAsAThumbnail) {
    StartWithTile();
    const std::string pdf = folder.Path() + "page.pdf";
    AnswerPrinter(pdf);
    AnswerOptions({ExternalRenderController::kThumbnail, ExternalRenderController::kAlignCentre});
    EXPECT_EQ(control().Print(), platform::S_OK);
    EXPECT_TRUE(control().sceneRenderingEnabled);
    EXPECT_TRUE(std::ifstream(folder.Path() + "kvrPrintTemplate.bmp").good());

    const std::string info = RunCommand("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;
    // The page at 50 pixels an inch: 425 x 550; the thumbnail an eighth of its width
    // (53 pixels), centred, at the top.
    RunCommand("pdftoppm -r 50 -png -singlefile '" + pdf + "' '" + folder.Path() + "page'");
    PNGparse page;
    ASSERT_EQ(page.Open((folder.Path() + "page.png").c_str()), 0);
    page.ConvertToRGB(false);
    const std::vector<uint8_t> pixels = page.TakePixels();
    const uint32_t width = page.Width();
    auto at = [&](int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * 3]; };
    EXPECT_EQ(width, 425u);
    EXPECT_TRUE(IsTile(at(212, 20))) << "the view's middle";
    const uint8_t* margin = at(100, 20);
    EXPECT_TRUE(margin[0] > 240 && margin[1] > 240 && margin[2] > 240) << "left of the picture";
    const uint8_t* below = at(212, 200);
    EXPECT_TRUE(below[0] > 240 && below[1] > 240 && below[2] > 240) << "below the picture";
}

TEST_F(PrintExportGlTest, AllFloorsOfAnEmptyPlanIsOnePageAndACancelPrintsNothing) {
    ASSERT_TRUE(life.Start("", kWidth, kHeight));
    ASSERT_TRUE(life.PumpUntilRunning());
    const std::string pdf = folder.Path() + "floors.pdf";
    AnswerPrinter(pdf);
    AnswerOptions({ExternalRenderController::kAllFloors});
    const int mode = control().mainWindow->GetViewMode();
    EXPECT_EQ(control().Print(), platform::S_OK);
    EXPECT_NE(RunCommand("pdfinfo '" + pdf + "'").find("Pages:           1"), std::string::npos);
    EXPECT_EQ(control().mainWindow->GetViewMode(), mode) << "the view comes back";

    // The printer dialog cancelled: nothing printed, the view drawn again.
    platform::SetPrintDialogResponder(nullptr);
    const std::string other = folder.Path() + "other.pdf";
    EXPECT_EQ(control().Print(), platform::S_OK);
    EXPECT_FALSE(std::ifstream(other).good());
    EXPECT_TRUE(control().sceneRenderingEnabled);

    // A printer that cannot be reached is reported.
    AnswerPrinter(folder.Path() + "no/such/folder/page.pdf");
    EXPECT_EQ(control().Print(), platform::E_FAIL);
    EXPECT_EQ(std::count_if(boxes.begin(), boxes.end(),
                            [](const std::string& text) {
                                return text.find("currently unavailable") != std::string::npos;
                            }),
              1);
}

TEST(PrintLayout, ImageSizeAndAlignmentOnThePage) {
    using C = ExternalRenderController;
    struct Case {
        int size, align;
        platform::Rect place;
    };
    for (const Case& c : {Case{C::kThumbnail, C::kAlignLeft, {0, 0, 600, 450}},
                          Case{C::kThumbnail, C::kAlignRight, {4200, 0, 4800, 450}},
                          Case{C::kHalfWidth, C::kAlignCentre, {1200, 0, 3600, 1800}},
                          Case{C::kFullWidth, C::kAlignCentre, {0, 0, 4800, 3600}}}) {
        const platform::Rect place = C::PlaceImage(4800, 800, 600, c.size, c.align);
        EXPECT_EQ(place.left, c.place.left) << c.size << "/" << c.align;
        EXPECT_EQ(place.right, c.place.right) << c.size << "/" << c.align;
        EXPECT_EQ(place.bottom, c.place.bottom) << c.size << "/" << c.align;
    }
    struct Turn {
        double dx, dy;
        int escapement;
    };
    // Labels never print upside down.
    for (const Turn& t :
         {Turn{1, 0, 0}, Turn{-1, 0, 0}, Turn{0, 1, 2700}, Turn{1, 1, 3150}, Turn{-1, 1, 450}}) {
        int escapement = -1;
        ASSERT_TRUE(C::PageEscapement(t.dx, t.dy, true, escapement));
        EXPECT_EQ(escapement, t.escapement) << t.dx << "," << t.dy;
    }
}

}  // namespace
