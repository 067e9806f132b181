#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>

#include "render/OpenGL.h"

using platform::GLContext;
using platform::GLDrawable;

namespace {

// The probe on the real renderer, then the main window's format and context, as the
// editor's start-up does it.
class OpenGLOnMesa : public ::testing::Test {
protected:
    static constexpr int kSize = 32;
    void SetUp() override {
        InitGLExtensions(nullptr);
        window_ = GLDrawable::CreateForWindow(kSize, kSize);
        ASSERT_TRUE(theOpenGL.SetPixelFormat(window_.get(), &description_));
        context_ = GLContext::Create(theOpenGL.pixelFormat);
        ASSERT_TRUE(context_ && context_->MakeCurrent(*window_));
        SelectTexCoordFunctions(HasGLExtension(kExtMultitexture));
    }
    void TearDown() override {
        GLContext::DetachCurrent();
        theOpenGL = OpenGL{};
        theGLEntryPoints = GLEntryPoints{};
        SelectTexCoordFunctions(false);
    }
    void Pixel(int x, int y, unsigned char rgba[4]) {
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    }
    platform::PixelFormatDescription description_;
    std::unique_ptr<GLDrawable> window_;
    std::unique_ptr<GLContext> context_;
};

}  // namespace

TEST_F(OpenGLOnMesa, ProbeFindsWhatTheSoftwareRendererOffers) {
    std::set<int> flags;
    for (int i = 0; i < kExtensionCount; ++i)
        if (HasGLExtension(i)) flags.insert(i);
    EXPECT_EQ(flags, (std::set<int>{0, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14}))
        << "no register combiners, multisampling or imaging subset";
    EXPECT_EQ(theOpenGL.nvVertexProgram, 0);
    EXPECT_EQ(ComputeShadingLevel(), 200);
    EXPECT_EQ(theOpenGL.tempWindow, nullptr);
    EXPECT_EQ(theOpenGL.hardwareAccelerated, 0) << "software rendering is not accelerated";
    EXPECT_EQ(theOpenGL.depthBits, 24);
    EXPECT_EQ(theOpenGL.stencilBits, 8);
    EXPECT_FALSE(description_.needsPalette);
    EXPECT_TRUE(IsExtensionSupported("gl_arb_multitexture", ExtensionSource::GL));
    EXPECT_TRUE(IsExtensionSupported("wgl_arb_pbuffer", ExtensionSource::WindowSystem));
    EXPECT_FALSE(IsExtensionSupported("WGL_ARB_multisample", ExtensionSource::WindowSystem));
}

TEST_F(OpenGLOnMesa, ProbeLeavesNoContextCurrent) {
    GLContext::DetachCurrent();
    InitGLExtensions(nullptr);
    EXPECT_FALSE(GLContext::IsAnyCurrent());
    EXPECT_EQ(ComputeShadingLevel(), 200);
}

TEST_F(OpenGLOnMesa, LightingProgramPacksTheTangentSpaceLightIntoTheColour) {
    LoadVertexPrograms();
    ASSERT_NE(theOpenGL.vertexProgram, 0u);
    GLint errorPosition = 0;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorPosition);
    ASSERT_EQ(errorPosition, -1) << glGetString(GL_PROGRAM_ERROR_STRING_ARB);

    struct Case {
        const char* what;
        double light[4];
        double cosSin[4];
        int r, g, b;
    } cases[] = {
        {"light along the normal", {0, 0, 1000, 1}, {1, 0, 0, 0}, 128, 128, 255},
        {"light along the tangent, turned a quarter", {1000, 0, 0, 1}, {0, 1, 0, 0}, 128, 255, 128},
        {"light along the binormal, which is negated", {0, 1000, 0, 1}, {1, 0, 0, 0}, 128, 0, 128},
    };
    const GLEntryPoints& e = theGLEntryPoints;
    const double tangent[4] = {1, 0, 0, 0}, binormal[4] = {0, 1, 0, 0}, normal[4] = {0, 0, 1, 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        glClear(GL_COLOR_BUFFER_BIT);
        BindLightingProgram();
        EXPECT_TRUE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
        e.ProgramEnvParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 0, c.light);
        e.ProgramEnvParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 2, tangent);
        e.ProgramEnvParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 3, binormal);
        e.ProgramEnvParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 4, normal);
        e.ProgramLocalParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 0, c.cosSin);
        glBegin(GL_QUADS);
        glVertex3d(-1, -1, 0);
        glVertex3d(1, -1, 0);
        glVertex3d(1, 1, 0);
        glVertex3d(-1, 1, 0);
        glEnd();
        ReleaseLightingProgram();
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
        unsigned char rgba[4];
        Pixel(kSize / 2, kSize / 2, rgba);
        EXPECT_NEAR(rgba[0], c.r, 2);
        EXPECT_NEAR(rgba[1], c.g, 2);
        EXPECT_NEAR(rgba[2], c.b, 2);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OpenGLOnMesa, Dot3CombineSetsBothUnits) {
    SetupDot3Combine();
    const GLEntryPoints& e = theGLEntryPoints;
    auto env = [](GLenum name) {
        GLint value = 0;
        glGetTexEnviv(GL_TEXTURE_ENV, name, &value);
        return value;
    };
    e.ActiveTextureARB(GL_TEXTURE0_ARB);
    EXPECT_EQ(env(GL_TEXTURE_ENV_MODE), GL_COMBINE_ARB);
    EXPECT_EQ(env(GL_COMBINE_RGB_ARB), GL_REPLACE);
    EXPECT_EQ(env(GL_SOURCE0_RGB_ARB), GL_PRIMARY_COLOR_ARB);
    EXPECT_EQ(env(GL_SOURCE0_ALPHA_ARB), GL_TEXTURE);
    e.ActiveTextureARB(GL_TEXTURE1_ARB);
    EXPECT_EQ(env(GL_SOURCE0_RGB_ARB), GL_PREVIOUS_ARB);
    EXPECT_EQ(env(GL_COMBINE_ALPHA_ARB), GL_ADD_SIGNED_ARB);
    EXPECT_EQ(env(GL_OPERAND1_ALPHA_ARB), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OpenGLOnMesa, IdentityTextureIsARampOrAGrid) {
    CreateIdentityTexture();
    ASSERT_NE(theOpenGL.identityTexture, 0u);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 256);
    unsigned char ramp[256];
    glGetTexImage(GL_TEXTURE_1D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, ramp);
    EXPECT_EQ(ramp[0], 0);
    EXPECT_EQ(ramp[77], 77);
    EXPECT_EQ(ramp[255], 255);

    // With register combiners: luminance is the row, alpha the column.
    theOpenGL.extensions[kExtRegisterCombiners] = 1;
    CreateIdentityTexture();
    std::vector<unsigned char> grid(256 * 256 * 2);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, grid.data());
    EXPECT_EQ(grid[(3 * 256 + 5) * 2], 3);
    EXPECT_EQ(grid[(3 * 256 + 5) * 2 + 1], 5);
    GLint wrapT = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    EXPECT_EQ(wrapT, GL_REPEAT);
}

TEST_F(OpenGLOnMesa, JitteredFrustumMovesByPixelsAndEye) {
    struct Case {
        const char* what;
        int viewportWidth, viewportHeight;
        double pixelDx, pixelDy, eyeDx, eyeDy, focus;
        double shiftX, shiftY;  // of the frustum, in near-plane units
    } cases[] = {
        {"half a pixel", 100, 50, 0.5, 0.25, 0, 0, 1, -0.01, -0.01},
        {"eye offset kept at the focus", 100, 50, 0, 0, 0.1, -0.2, 5, -0.02, 0.04},
        {"both", 200, 200, 1, 1, 0.1, 0.1, 10, -0.02, -0.02},
        {"empty viewport: no pixel jitter", 0, 0, 0.5, 0.5, 0, 0, 1, 0, 0},
        {"zero focus: no eye term", 100, 100, 0, 0, 0.3, 0.3, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        glViewport(0, 0, c.viewportWidth, c.viewportHeight);
        JitteredFrustum(-1, 1, -1, 1, 1, 100, c.pixelDx, c.pixelDy, c.eyeDx, c.eyeDy, c.focus);
        double projection[16], modelview[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
        // For a frustum symmetric about the axis, (r + l) / (r - l) is the shift itself.
        EXPECT_NEAR(projection[8], c.shiftX, 1e-6);
        EXPECT_NEAR(projection[9], c.shiftY, 1e-6);
        EXPECT_TRUE(std::isfinite(projection[0]));
        EXPECT_NEAR(modelview[12], -c.eyeDx, 1e-6);
        EXPECT_NEAR(modelview[13], -c.eyeDy, 1e-6);
    }
    glViewport(0, 0, kSize, kSize);
    JitteredPerspective(90, 2, 1, 100, 0, 0, 0, 0, 1);
    double projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[0], 0.5, 1e-6) << "right = top x aspect";
    EXPECT_NEAR(projection[5], 1.0, 1e-6) << "top = near x tan(fov / 2)";
}

TEST_F(OpenGLOnMesa, FontsBuild128Lists) {
    GLuint bitmapBase = 0, outlineBase = 0;
    platform::GlyphMetrics metrics[128];
    ASSERT_TRUE(BuildBitmapFont("MS Shell Dlg 2", 10, &bitmapBase));
    ASSERT_TRUE(BuildOutlineFont("Arial", 10, &outlineBase, metrics));
    EXPECT_TRUE(glIsList(bitmapBase + 127));
    EXPECT_TRUE(glIsList(outlineBase + 'A'));
    EXPECT_GT(metrics['W'].cellIncX, metrics['i'].cellIncX);

    GLContext::DetachCurrent();
    GLuint base = 99;
    EXPECT_FALSE(BuildBitmapFont("Arial", 10, &base));
    EXPECT_EQ(base, 0u) << "no context, no lists";
}

TEST_F(OpenGLOnMesa, TexCoordFunctionsGoToUnitZero) {
    ASSERT_TRUE(HasGLExtension(kExtMultitexture));
    const GLEntryPoints& e = theGLEntryPoints;
    e.ActiveTextureARB(GL_TEXTURE1_ARB);
    TexCoord2d(0.25, 0.75);
    const double st[2] = {0.5, 0.125};
    e.ActiveTextureARB(GL_TEXTURE0_ARB);
    double coords[4];
    glGetDoublev(GL_CURRENT_TEXTURE_COORDS, coords);
    EXPECT_DOUBLE_EQ(coords[0], 0.25) << "unit 0 even with unit 1 active";
    EXPECT_DOUBLE_EQ(coords[1], 0.75);
    TexCoord2dv(st);
    glGetDoublev(GL_CURRENT_TEXTURE_COORDS, coords);
    EXPECT_DOUBLE_EQ(coords[1], 0.125);
}
