#include <GL/gl.h>
#include <gtest/gtest.h>

#include "render/LightSource.h"
#include "support/GlTestContext.h"
#include "support/TestControl.h"

namespace {

float LightFloat(GLenum light, GLenum name, int index = 0) {
    GLfloat values[4] = {};
    glGetLightfv(light, name, values);
    return values[index];
}

TEST(LightSourceGlTest, SpotAndMainLightsSetUpTheirOpenGLLight) {
    GlTestContext gl;
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    TestControl control;
    control.globalState.SetBoolean(12, false);
    // As on the render thread: the context stays current while objects come and go.
    control.LockRender();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    struct Case {
        bool positional;
        double angle;
        float quadratic;
        float cutoff;
    };
    const Case cases[] = {{true, 45.0, 0.000009f, 45.0f}, {true, 180.0, 0.0f, 180.0f}};
    uint32_t next = GL_LIGHT0;
    for (const Case& c : cases) {
        LightSource light;
        light.position4[3] = 1.0f;
        light.state.SetDouble(0, c.angle);
        light.SetupGLLight(next);
        const GLenum id = light.glLight;
        ASSERT_NE(id, 0u) << next;
        EXPECT_TRUE(glIsEnabled(id));
        EXPECT_FLOAT_EQ(LightFloat(id, GL_QUADRATIC_ATTENUATION), c.quadratic);
        EXPECT_FLOAT_EQ(LightFloat(id, GL_SPOT_CUTOFF), c.cutoff);
        EXPECT_FLOAT_EQ(LightFloat(id, GL_SPOT_EXPONENT), 10.0f);
        EXPECT_FLOAT_EQ(LightFloat(id, GL_POSITION, 3), 1.0f);
        EXPECT_FLOAT_EQ(LightFloat(id, GL_DIFFUSE), 0.8f);
        light.DisableGLLight();
        EXPECT_FALSE(glIsEnabled(id));
    }
    EXPECT_EQ(next, GL_LIGHT0 + 2u);

    // The main light is lit by its colour also as ambient; a spot light goes grey while
    // lights are turned off.
    control.globalState.SetBoolean(12, true);
    LightSource sun;
    sun.state.SetDouble(1, 0.3);
    sun.SetupGLLight(next);
    EXPECT_FLOAT_EQ(LightFloat(sun.glLight, GL_AMBIENT), 0.3f);
    EXPECT_FLOAT_EQ(LightFloat(sun.glLight, GL_POSITION, 3), 0.0f);
    EXPECT_FLOAT_EQ(LightFloat(sun.glLight, GL_SPOT_CUTOFF), 180.0f);
    LightSource spot;
    spot.position4[3] = 1.0f;
    spot.SetupGLLight(next);
    EXPECT_FLOAT_EQ(LightFloat(spot.glLight, GL_DIFFUSE), 0.7f);

    // Past the lights OpenGL has, a light stays off.
    next = GL_LIGHT0 + 8;
    LightSource extra;
    extra.SetupGLLight(next);
    EXPECT_EQ(extra.glLight, 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    control.UnlockRender();
}

}  // namespace
