#include <GL/gl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "render/Bitmap.h"
#include "support/GlTestContext.h"
#include "support/PngWriter.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A control and a software context that texture work makes current again (giving up the
// render lock detaches it).
class BitmapGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.IsValid()) << gl.Error();
        Bitmap::SetContextActivator([this] { gl.MakeCurrent(); });
    }
    void TearDown() override { Bitmap::SetContextActivator(nullptr); }

    std::string WriteImage(const char* name, const PngImage& image) {
        const std::string path = folder.Path() + name;
        const Bytes bytes = WritePng(image);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    // The texels of a texture's first level, `channels` per texel.
    Bytes Texels(GLuint texture, int channels, int* side) {
        gl.MakeCurrent();
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, side);
        Bytes texels(size_t(*side) * *side * channels);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE,
                      texels.data());
        return texels;
    }

    ScopedProgramFolder programFolder;
    TempFolder folder;
    GlTestContext gl{16, 16};
    TestControl control;
};

TEST_F(BitmapGlTest, SmallPictureIsRepeatedIntoAPowerOfTwoTexture) {
    const PngImage image = MakePatternImage(64, 32, 2, 8);
    Bitmap bitmap(0, 1);
    bitmap.allowCompression = 0;
    ASSERT_TRUE(bitmap.LoadFromCache(WriteImage("p.PNG", image).c_str(), "http://h/P.PNG", true));
    ASSERT_NE(bitmap.GetTextureId(), 0u);
    EXPECT_STREQ(bitmap.GetURL(), "http://h/P.PNG");
    EXPECT_DOUBLE_EQ(bitmap.texCoordScaleS, 0.5);
    EXPECT_DOUBLE_EQ(bitmap.texCoordScaleT, 0.25);

    int side = 0;
    const Bytes texels = Texels(bitmap.GetTextureId(), 3, &side);
    ASSERT_EQ(side, 128);
    // Rows go bottom-up: texture row r holds picture row 31 - (r mod 32).
    for (int r = 0; r < 128; r += 7)
        for (int c = 0; c < 128; c += 5) {
            const uint8_t* t = texels.data() + (size_t(r) * 128 + c) * 3;
            const uint8_t* p = image.rows.data() + (size_t(31 - r % 32) * 64 + c % 64) * 3;
            ASSERT_EQ(Bytes(t, t + 3), Bytes(p, p + 3)) << r << "," << c;
        }
}

TEST_F(BitmapGlTest, AlphaFromColourKeyOrFromAnAlphaImageOfAnotherSize) {
    PngImage colour;
    colour.width = colour.height = 8;
    colour.colourType = 2;
    colour.rows.assign(8 * 8 * 3, 255);  // white: keyed out without an alpha source
    colour.rows[0] = 10;                 // top-left pixel stays opaque
    const std::string colourPath = WriteImage("c.png", colour);

    Bitmap keyed(1, 1);
    keyed.mipmaps = 0;
    ASSERT_TRUE(keyed.LoadFromCache(colourPath.c_str(), "http://h/c.png", false));
    int side = 0;
    Bytes texels = Texels(keyed.GetTextureId(), 4, &side);
    ASSERT_EQ(side, 8);
    EXPECT_EQ(texels[(7 * 8 + 0) * 4 + 3], 255);  // the top row is the last one
    EXPECT_EQ(texels[(7 * 8 + 1) * 4 + 3], 0);

    // A 2 x 2 alpha image: left column opaque, right column clear.
    PngImage mask;
    mask.width = mask.height = 2;
    mask.colourType = 2;
    mask.rows = {255, 255, 255, 0, 0, 0, 255, 255, 255, 0, 0, 0};
    Bitmap masked(1, 1);
    masked.SetAlphaURL("http://h/mask.png");
    masked.SetCachedAlphaPath(WriteImage("mask.png", mask).c_str());
    ASSERT_TRUE(masked.LoadFromCache(colourPath.c_str(), "http://h/c2.png", false));
    texels = Texels(masked.GetTextureId(), 4, &side);
    ASSERT_EQ(side, 8);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            ASSERT_EQ(texels[(r * 8 + c) * 4 + 3], c < 4 ? 255 : 0) << r << "," << c;
}

TEST_F(BitmapGlTest, GeneratedTexturesAndTheirDeletion) {
    auto normal = std::make_unique<Bitmap>(0, 1);
    ASSERT_TRUE(normal->CreateDefaultNormalMap());
    int side = 0;
    EXPECT_EQ(Texels(normal->GetTextureId(), 3, &side), (Bytes{128, 128, 255}));

    Bitmap falloff(0, 1);
    const float colour[3] = {1.0f, 0.5f, 0.0f};
    ASSERT_TRUE(falloff.CreateFalloffTexture(64, 10, colour));
    const Bytes texels = Texels(falloff.GetTextureId(), 3, &side);
    ASSERT_EQ(side, 64);
    const uint8_t* centre = texels.data() + (32 * 64 + 32) * 3;
    EXPECT_EQ(centre[0], uint8_t(255 * 0.6));
    EXPECT_EQ(centre[1], uint8_t(0.5 * 255 * 0.6));
    EXPECT_EQ(texels[0], 0);

    const GLuint id = normal->GetTextureId();
    normal.reset();
    gl.MakeCurrent();
    EXPECT_FALSE(glIsTexture(id));
}

TEST_F(BitmapGlTest, KeptPixelsAreDrawnWhereTheRasterIs) {
    PngImage image = MakePatternImage(4, 4, 2, 8);
    for (size_t i = 0; i < image.rows.size(); i += 3) {
        image.rows[i] = 200;
        image.rows[i + 1] = 30;
        image.rows[i + 2] = 60;
    }
    Bitmap overlay(0, 0);
    ASSERT_TRUE(overlay.LoadFromCache(WriteImage("o.png", image).c_str(), "res:o", false));
    EXPECT_EQ(overlay.GetTextureId(), 0u);
    ASSERT_TRUE(overlay.HasPixels());
    gl.MakeCurrent();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glRasterPos2f(-0.75f, -0.75f);  // pixel (2, 2) of 16 x 16
    overlay.Bind();
    const auto pixel = gl.ReadPixel(3, 3);
    EXPECT_EQ(pixel[0], 200);
    EXPECT_EQ(pixel[1], 30);
    EXPECT_EQ(pixel[2], 60);
    EXPECT_EQ(gl.ReadPixel(10, 10)[0], 0);
}

TEST_F(BitmapGlTest, BrokenOrEmptyFilesLeaveTheBitmapUntextured) {
    const std::string path = folder.Path() + "bad.png";
    std::ofstream(path, std::ios::binary) << "not an image";
    Bitmap bitmap(0, 1);
    EXPECT_FALSE(bitmap.LoadFromCache(path.c_str(), "http://h/bad.png", false));
    EXPECT_EQ(bitmap.GetTextureId(), 0u);
    EXPECT_FALSE(bitmap.LoadFromCache((folder.Path() + "missing.png").c_str(), "x", false));
    gl.MakeCurrent();
    glEnable(GL_TEXTURE_2D);
    bitmap.Bind();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

}  // namespace
