#include <GL/gl.h>
#include <gtest/gtest.h>

#include "platform/GLContext.h"
#include "platform/GLFont.h"

using platform::Font;
using platform::GLContext;
using platform::GLDrawable;

namespace {

class GLFontTest : public ::testing::Test {
protected:
    static constexpr int kSize = 64;
    void SetUp() override {
        platform::PixelFormatRequest r;
        r.depthBits = 24;
        const int format = platform::ChoosePixelFormat(r);
        window_ = GLDrawable::CreateForWindow(kSize, kSize);
        ASSERT_TRUE(window_->SetPixelFormat(format));
        context_ = GLContext::Create(format);
        ASSERT_TRUE(context_ && context_->MakeCurrent(*window_));
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glColor3f(1, 1, 1);
    }
    void TearDown() override { GLContext::DetachCurrent(); }
    unsigned char Red(int x, int y) {
        unsigned char rgba[4];
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return rgba[0];
    }
    std::unique_ptr<GLDrawable> window_;
    std::unique_ptr<GLContext> context_;
};

}  // namespace

TEST(FontFile, FaceNamesMapToDejaVuFiles) {
    struct Case {
        const char* face;
        int weight;
        bool italic;
        const char* file;
    } cases[] = {
        {"MS Shell Dlg 2", 400, false, "DejaVuSans.ttf"},
        {"Arial", 700, false, "DejaVuSans-Bold.ttf"},
        {"Times New Roman", 400, true, "DejaVuSerif-Italic.ttf"},
        {"Microsoft Sans Serif", 400, false, "DejaVuSans.ttf"},
        {"Courier New", 700, true, "DejaVuSansMono-BoldOblique.ttf"},
    };
    for (const Case& c : cases) {
        const std::string path = platform::FontFileForFace(c.face, c.weight, c.italic);
        EXPECT_EQ(path.substr(path.rfind('/') + 1), c.file) << c.face;
    }
}

TEST_F(GLFontTest, BitmapGlyphsDrawAndAdvanceTheRasterPosition) {
    auto font = Font::Create("MS Shell Dlg 2", 13);
    ASSERT_TRUE(font);
    EXPECT_GT(font->PixelSize(), 8);
    EXPECT_LT(font->PixelSize(), 13) << "the cell height includes ascent and descent";
    const GLuint base = glGenLists(128);
    ASSERT_TRUE(font->UseBitmaps(0, 128, base));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kSize, 0, kSize, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRasterPos2i(4, 20);
    glListBase(base);
    glCallLists(2, GL_UNSIGNED_BYTE, "HH");
    GLfloat raster[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    EXPECT_GT(raster[0], 4 + 2 * 6) << "two glyph advances";
    int lit = 0;
    for (int x = 0; x < kSize; ++x)
        for (int y = 18; y < 32; ++y) lit += Red(x, y) > 0;
    EXPECT_GT(lit, 20);
    // A control character has no glyph: its list draws nothing and moves nothing.
    glRasterPos2i(4, 40);
    glCallLists(1, GL_UNSIGNED_BYTE, "\x01");
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    EXPECT_FLOAT_EQ(raster[0], 4);
    glDeleteLists(base, 128);
}

TEST_F(GLFontTest, OutlineGlyphKeepsItsHoleAndReportsMetrics) {
    auto font = Font::Create("Arial", 16);
    ASSERT_TRUE(font);
    const GLuint base = glGenLists(128);
    platform::GlyphMetrics metrics[128];
    ASSERT_TRUE(font->UseOutlines(0, 128, base, 0.0f, 0.2f, metrics));
    const platform::GlyphMetrics& o = metrics['O'];
    EXPECT_GT(o.cellIncX, 0.5f);
    EXPECT_LT(o.cellIncX, 1.0f) << "em units";
    EXPECT_GT(o.blackBoxY, 0.6f);
    EXPECT_NEAR(o.originY, o.blackBoxY, 0.05f) << "'O' sits on the base line";
    EXPECT_EQ(metrics[1].cellIncX, 0.0f);

    // Draw 'O' filling the window, seen from the front.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(o.originX, o.originX + o.blackBoxX, o.originY - o.blackBoxY, o.originY, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glCallList(base + 'O');
    EXPECT_EQ(Red(kSize / 2, kSize / 2), 0) << "the hole stays open";
    EXPECT_EQ(Red(2, kSize / 2), 255) << "the left stroke is filled";
    GLfloat modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_FLOAT_EQ(modelview[12], o.cellIncX) << "the list moves to the next glyph";
    glDeleteLists(base, 128);
}

TEST(GLFont, NeedsACurrentContext) {
    auto font = Font::Create("Arial", 12);
    ASSERT_TRUE(font);
    ASSERT_EQ(GLContext::Current(), nullptr);
    EXPECT_FALSE(font->UseBitmaps(0, 128, 1));
    EXPECT_FALSE(font->UseOutlines(0, 128, 1, 0, 0.2f, nullptr));
    EXPECT_FALSE(Font::Create("Arial", 0));
}
