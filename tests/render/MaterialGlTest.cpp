#include <GL/gl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "render/Bitmap.h"
#include "render/Material.h"
#include "support/GlTestContext.h"
#include "support/PngWriter.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

namespace {

class MaterialGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.IsValid()) << gl.Error();
        Bitmap::SetContextActivator([this] { gl.MakeCurrent(); });
    }
    void TearDown() override { Bitmap::SetContextActivator(nullptr); }

    // Applies the material with the context current, as the render pass does.
    void Apply(Material& material, bool allowTexture, const MaterialView& view = {}) {
        gl.MakeCurrent();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        material.Apply(allowTexture, false, view);
    }
    static std::vector<float> Colour() {
        std::vector<float> c(4);
        glGetFloatv(GL_CURRENT_COLOR, c.data());
        return c;
    }
    std::string TexturePath() {
        const std::string path = folder.Path() + "t.png";
        const auto bytes = WritePng(MakePatternImage(8, 8, 2, 8));
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }

    ScopedProgramFolder programFolder;
    TempFolder folder;
    ScopedEnv tempEnv{"TMPDIR", folder.Path()};
    GlTestContext gl{8, 8};
    TestControl control;
};

TEST_F(MaterialGlTest, ColourAlphaAndShininess) {
    Material material;
    material.SetColor(0.25, 0.5, 1.0, 1.0);
    material.SetSpecularColor(0.5f, 0.25f, 0.125f);
    material.shininess = 300.0f;

    // The first Apply draws at half alpha once.
    Apply(material, true);
    EXPECT_EQ(Colour(), (std::vector<float>{0.25f, 0.5f, 1.0f, 0.5f}));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    float shininess = 0.0f;
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
    EXPECT_EQ(shininess, 128.0f);
    EXPECT_EQ(material.shininess, 128.0f);
    float specular[4];
    glGetMaterialfv(GL_BACK, GL_SPECULAR, specular);
    EXPECT_EQ(specular[1], 0.25f);

    Apply(material, true);
    EXPECT_EQ(Colour()[3], 1.0f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    // With reflections on, an opaque colour draws at the material's opacity.
    control.globalState.SetBoolean(9, true);
    material.SetOpacity(0.4);
    Apply(material, true);
    EXPECT_FLOAT_EQ(Colour()[3], 0.4f);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));

    material.showColor = 0;
    Apply(material, true);
    EXPECT_EQ(Colour()[0], 1.0f);
}

TEST_F(MaterialGlTest, TextureIsBoundUnlessRefused) {
    Material material;
    material.halfAlphaOnce = 0;
    material.SetColor(0.2, 0.4, 0.6, 1.0);
    material.SetTextureFromCache("http://h/t.png", TexturePath().c_str(), "", "");
    ASSERT_NE(material.GetTexture(), nullptr);
    const GLuint id = material.GetTexture()->GetTextureId();
    ASSERT_NE(id, 0u);

    Apply(material, true);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), id);
    EXPECT_EQ(Colour(), (std::vector<float>{1.0f, 1.0f, 1.0f, 1.0f}));

    material.modulateTexture = 1;
    Apply(material, true);
    EXPECT_FLOAT_EQ(Colour()[1], 0.4f);

    Apply(material, false);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    material.showTexture = 0;
    Apply(material, true);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(MaterialGlTest, OrthographicViewsDrawTheFlatColour) {
    Material material;
    material.SetTextureFromCache("http://h/t.png", TexturePath().c_str(), "", "");
    material.SetOrthoColor(0.5, 0.25, 0.75, 0.5);
    const MaterialView ortho{true, false};

    Apply(material, true, ortho);
    EXPECT_EQ(Colour(), (std::vector<float>{0.5f, 0.25f, 0.75f, 0.5f}));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    // In the transparency pass the see-through colour becomes opaque and stays so.
    Apply(material, true, MaterialView{true, true});
    EXPECT_EQ(Colour()[3], 1.0f);
    EXPECT_EQ(material.orthoColor[3], 1.0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    gl.MakeCurrent();
    material.Apply(true, true, ortho);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(MaterialGlTest, BumpMapDefaultsToTheNormalMap) {
    Bitmap normal(0, 1);
    ASSERT_TRUE(normal.CreateDefaultNormalMap());
    SetDefaultNormalMap(&normal);
    Material material;
    material.SetBumpMapURL(nullptr);
    EXPECT_EQ(material.GetBumpMap(), &normal);
    control.globalState.SetBoolean(17, true);
    gl.MakeCurrent();
    glDisable(GL_TEXTURE_2D);
    material.ApplyBumpMap(true);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), normal.GetTextureId());
    SetDefaultNormalMap(nullptr);
}

}  // namespace
