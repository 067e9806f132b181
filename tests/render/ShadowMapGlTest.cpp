#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>

#include "platform/GLContext.h"
#include "render/LightSource.h"
#include "render/OffScreenWindow.h"
#include "support/GlTestContext.h"
#include "support/TestControl.h"

namespace {

// A real buffer of 64 x 64 pixels, whatever is asked.
class SmallBufferAllocator : public OffScreenAllocator {
public:
    bool QueryMaximum(int, int& maxWidth, int& maxHeight, int& maxPixels) override {
        maxWidth = maxHeight = 64;
        maxPixels = 64 * 64;
        return true;
    }
    std::unique_ptr<platform::GLDrawable> CreateBuffer(int format, int, int) override {
        return platform::GLDrawable::CreateOffScreen(format, 64, 64);
    }
};

class ShadowMapGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.IsValid()) << gl.Error();
        control.LockRender();
        buffer = std::make_unique<OffScreenWindow>(64, 64, nullptr, allocator);
        ASSERT_TRUE(buffer->HasBuffer());
        SetOffScreenWindow(buffer.get());
        spot.position4[3] = 1.0f;
        spot.state.SetDouble(0, 30.0);
        spot.state.SetBoolean(0, true);
        spot.SetPosition(Vector(0.0, 200.0, 0.0));
    }
    void TearDown() override {
        SetOffScreenWindow(nullptr);
        control.UnlockRender();
    }

    GlTestContext gl;
    TestControl control;
    SmallBufferAllocator allocator;
    std::unique_ptr<OffScreenWindow> buffer;
    LightSource spot;
};

TEST_F(ShadowMapGlTest, DepthMapIsMadeAtTheBufferSizeAndSavedClamped) {
    control.shadingLevel = 50;
    spot.state.SetInteger(2, 2048);
    spot.state.SetInteger(3, 2048);
    spot.CreateDepthMap();
    EXPECT_TRUE(spot.HasDepthMap());
    EXPECT_EQ(spot.state.GetInteger(2), 64);
    EXPECT_EQ(spot.state.GetInteger(3), 64);
    EXPECT_EQ(spot.depthMapWidthUsed, 64u);
    EXPECT_EQ(spot.depthBuffer.size(), 64u * 64u * 2u);
    EXPECT_FALSE(control.globalState.GetBoolean(15));
    EXPECT_TRUE(spot.IsVisible());
    EXPECT_GE(spot.nearPlane, 2.0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The same size is replaced in place; another size makes a new texture.
    const GLuint first = spot.depthTexture;
    spot.CreateDepthMap();
    EXPECT_EQ(spot.depthTexture, first);
    spot.state.SetInteger(2, 32);
    spot.CreateDepthMap();
    EXPECT_EQ(spot.depthMapWidthUsed, 32u);
    EXPECT_TRUE(spot.HasDepthMap());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShadowMapGlTest, NoDepthMapWithoutShadingOrForDirectionalLights) {
    control.shadingLevel = 0;
    spot.CreateDepthMap();
    EXPECT_FALSE(spot.HasDepthMap());

    control.shadingLevel = 200;
    LightSource sun;
    sun.CreateDepthMap();
    EXPECT_FALSE(sun.HasDepthMap());
}

TEST_F(ShadowMapGlTest, HardwareLevelCopiesTheDepthIntoATexture) {
    control.shadingLevel = 200;
    spot.state.SetInteger(2, 64);
    spot.state.SetInteger(3, 64);
    spot.CreateDepthMap();
    EXPECT_TRUE(spot.HasDepthMap());
    EXPECT_TRUE(spot.depthBuffer.empty());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
