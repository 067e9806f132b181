#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "CatalogueWriter.h"
#include "ContentServer.h"
#include "foundation/WizardXMLProcessor.h"
#include "model/BaseModel.h"
#include "model/ModelGeometry.h"
#include "render/Bitmap.h"
#include "render/LightSource.h"
#include "render/Material.h"
#include "support/GlTestContext.h"
#include "support/PngWriter.h"
#include "support/SceneFixtures.h"
#include "support/TempFolder.h"

// The starter catalogue read by the editor's own readers from the content server.
namespace {

class CatalogueGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.IsValid()) << gl.Error();
        ASSERT_TRUE(server_.Start());
        control.view->viewId = 0;
        // A light's lamp comes from the editor's own content domain.
        std::snprintf(control.contentDomain, sizeof control.contentDomain, "http://%s/",
                      server_.Address().c_str());
        GeometryReader::SetContextActivator([this] { gl.MakeCurrent(); });
    }
    void TearDown() override { GeometryReader::SetContextActivator(nullptr); }

    std::string Url(const std::string& path) const {
        return "http://" + server_.Address() + "/" + path;
    }

    // Draws the model lit from the upper left, seen from the front and above, into a
    // picture written beside the build; answers how many pixels it covered.
    int Draw(BaseModel& model, const std::string& name) {
        gl.MakeCurrent();
        const int size = gl.Width();
        glViewport(0, 0, size, size);
        glClearColor(0.2f, 0.2f, 0.25f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-60, 60, -60, 60, -300, 300);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        const GLfloat light[4] = {-0.5f, 1.0f, 0.8f, 0.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, light);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_COLOR_MATERIAL);
        glEnable(GL_NORMALIZE);
        glRotated(25, 1, 0, 0);
        glRotated(-30, 0, 1, 0);
        const BoundingBox& box = model.GetBoundingBox();
        glTranslated(-(box.min.x + box.max.x) / 2, -(box.min.y + box.max.y) / 2,
                     -(box.min.z + box.max.z) / 2);
        model.Render();
        glFinish();
        const std::vector<uint8_t> pixels = gl.ReadPixels();
        PngImage image;
        image.width = image.height = static_cast<uint32_t>(size);
        image.colourType = 2;
        int covered = 0;
        for (int y = size - 1; y >= 0; --y)
            for (int x = 0; x < size; ++x) {
                const uint8_t* p = &pixels[(static_cast<size_t>(y) * size + x) * 4];
                image.rows.insert(image.rows.end(), p, p + 3);
                covered += !(p[0] == 51 && p[1] == 51 && p[2] == 64);
            }
        const std::vector<uint8_t> png = WritePng(image);
        std::ofstream(name + ".out.png", std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()),
                   static_cast<std::streamsize>(png.size()));
        return covered;
    }

    GlTestContext gl{128, 128};
    TempFolder temp_;
    ScopedEnv tmpdir_{"TMPDIR", temp_.Path()};
    TempFolder cache_;
    ScopedEnv cacheEnv_{"KIVORA_URL_CACHE", cache_.Path()};
    TempFolder uploads_;
    ContentServer server_{KIVORA_CONTENT_SITE, uploads_.Path()};
    SceneTestControl control;
};

TEST_F(CatalogueGlTest, EveryPieceOfFurnitureLoadsWithItsPartsAndMaterialsAndDraws) {
    int furniture = 0;
    for (const CatalogueItem& item : CatalogueItems()) {
        if (item.section != "Furniture") continue;
        SCOPED_TRACE(item.path);
        ++furniture;
        BaseModel model;
        ASSERT_TRUE(model.LoadDescription(Url(item.path).c_str()));
        ASSERT_TRUE(model.IsLoaded());
        const int parts = static_cast<int>(model.GetParts().GetCount());
        EXPECT_GT(parts, 0);
        EXPECT_EQ(model.GetPolygonCount(), 12 * parts);
        EXPECT_GE(model.materialCount, 1u);
        EXPECT_NE(std::string(model.materials[0].GetTextureURL()).find("/catalogue/textures/"),
                  std::string::npos);
        EXPECT_GT(Draw(model, "catalogue-" + item.title), 400);
    }
    EXPECT_EQ(furniture, 5);

    // Sizes in inches: width, height, depth.
    BaseModel chair;
    ASSERT_TRUE(chair.LoadDescription(Url("catalogue/furniture/chair.3c_").c_str()));
    EXPECT_NEAR(chair.GetSizeX(), 18.0, 1e-3);
    EXPECT_NEAR(chair.GetSizeY(), 36.0, 1e-3);
    EXPECT_NEAR(chair.GetSizeZ(), 18.0, 1e-3);
}

TEST_F(CatalogueGlTest, MaterialsNameTheirTexturesOnTheSameServer) {
    Material material;
    ASSERT_TRUE(material.LoadFromURLNow(Url("textures/brick/bostonred_r_im.3c_").c_str()));
    EXPECT_EQ(std::string(material.GetTextureURL()), Url("catalogue/textures/brick.png"));
    ASSERT_NE(material.GetTexture(), nullptr);
    material.GetTexture()->WaitForDownload();
    EXPECT_NEAR(material.granularity.x, 48.0, 1e-9);
}

TEST_F(CatalogueGlTest, TheLightsAndTheWizardTemplatesRead) {
    for (const char* path :
         {"catalogue/lights/ceilinglamp.3c_", "3d/compressedfileformat/defaultspotlight.3c_",
          "plansys/gsun/sun.3c_"}) {
        SCOPED_TRACE(path);
        LightSource light;
        EXPECT_TRUE(light.LoadFromCommandFile(Url(path).c_str()));
        EXPECT_GT(light.GetParts().GetCount(), 0u);
    }
    for (const char* wizard : {"cottage.xml", "townhouse.xml", "lhouse.xml"}) {
        SCOPED_TRACE(wizard);
        const std::string path = std::string(KIVORA_CONTENT_SITE) + "/catalogue/wizard/" + wizard;
        FILE* file = std::fopen(path.c_str(), "r");
        ASSERT_NE(file, nullptr);
        WizardXMLProcessor answers;
        EXPECT_TRUE(answers.ParseFile(file));
        std::fclose(file);
        const KeyDataList* plan = answers.GetTree().GetSublist("planXML");
        EXPECT_NE(plan->GetSublist("numStories")->GetString("value"), nullptr);
        EXPECT_NE(plan->GetSublist("shapeData")->GetSublist("shape")->GetString("type"), nullptr);
    }
}

}  // namespace
