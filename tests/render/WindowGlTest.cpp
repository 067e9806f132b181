#include <GL/gl.h>
#include <gtest/gtest.h>

#include <thread>

#include "platform/GLContext.h"
#include "render/Window.h"
#include "support/TestControl.h"
#include "support/TraceLogTail.h"

using platform::GLContext;
using platform::GLDrawable;

namespace {

int GetInt(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

// A window with a context of its own over a 64 x 48 buffer, as the control's window
// gets one.
class WindowGlTest : public ::testing::Test {
protected:
    WindowGlTest() {
        platform::PixelFormatRequest request;
        request.depthBits = 24;
        request.stencilBits = 8;
        const int format = platform::ChoosePixelFormat(request);
        drawable = GLDrawable::CreateForWindow(64, 48);
        if (format > 0 && drawable->SetPixelFormat(format)) context = GLContext::Create(format);
        window.renderingContext = context.get();
        window.deviceContext = drawable.get();
        window.OnSize({0, 0, 64, 48});
        control.mainWindow = &window;
    }
    ~WindowGlTest() override {
        control.mainWindow = nullptr;
        GLContext::DetachCurrent();
    }

    ScopedProgramFolder programFolder;
    TestControl control;
    std::unique_ptr<GLDrawable> drawable;
    std::unique_ptr<GLContext> context;
    Window window;
};

TEST_F(WindowGlTest, ActivateMakesTheContextCurrentAndReleaseDetachesIt) {
    ASSERT_TRUE(context);
    window.Activate();
    EXPECT_EQ(GLContext::Current(), context.get());
    EXPECT_EQ(control.currentContextCode, 1);

    window.ReleaseCurrentContext();
    EXPECT_EQ(GLContext::Current(), nullptr);
    EXPECT_EQ(control.currentContextCode, 0);

    TraceLogTail trace;
    window.Activate("Step test");
    EXPECT_EQ(GLContext::Current(), context.get());
    EXPECT_TRUE(trace.Contains("Step test"));
    EXPECT_TRUE(trace.Contains("Activation successful"));
}

TEST_F(WindowGlTest, ContextInUseOnAnotherThreadIsTracedNotTaken) {
    ASSERT_TRUE(context);
    TraceLogTail trace;
    std::thread([&] {
        ASSERT_TRUE(context->MakeCurrent(*drawable));
        window.Activate();  // this thread already has it: fine
        std::thread([&] { window.Activate(); }).join();
        GLContext::DetachCurrent();
    }).join();
    EXPECT_TRUE(trace.Contains("The requested resource is in use"));
    EXPECT_EQ(GLContext::Current(), nullptr);
}

TEST_F(WindowGlTest, Overlay2DIsBalancedAndRefusesNesting) {
    ASSERT_TRUE(context);
    window.Activate();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glTranslated(7.0, 0.0, 0.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0.0, 5.0, 0.0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);

    ASSERT_TRUE(window.Begin2DRender());
    EXPECT_EQ(window.depth2D, 1);
    EXPECT_EQ(GetInt(GL_ATTRIB_STACK_DEPTH), 1);
    EXPECT_EQ(GetInt(GL_PROJECTION_STACK_DEPTH), 2);
    EXPECT_EQ(GetInt(GL_MODELVIEW_STACK_DEPTH), 2);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    // A pixel-space quad at (10..20, 10..20) lands on those pixels.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3ub(255, 0, 0);
    glRectd(10, 10, 20, 20);
    glFinish();
    GLubyte pixel[4] = {};
    glReadPixels(15, 15, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    glReadPixels(25, 15, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0);

    {
        TraceLogTail trace;
        EXPECT_FALSE(window.Begin2DRender());
        EXPECT_TRUE(trace.Contains("Unbalanced 2D Render"));
        EXPECT_EQ(GetInt(GL_ATTRIB_STACK_DEPTH), 1);
        EXPECT_EQ(GetInt(GL_PROJECTION_STACK_DEPTH), 2);
    }

    ASSERT_TRUE(window.End2DRender());
    EXPECT_EQ(window.depth2D, 0);
    EXPECT_EQ(GetInt(GL_ATTRIB_STACK_DEPTH), 0);
    EXPECT_EQ(GetInt(GL_PROJECTION_STACK_DEPTH), 1);
    EXPECT_EQ(GetInt(GL_MODELVIEW_STACK_DEPTH), 1);
    EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    GLdouble projection[16], modelView[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    EXPECT_EQ(projection[12], 7.0);
    EXPECT_EQ(modelView[13], 5.0);

    // Ends without a begin never pop what others pushed.
    glPushAttrib(GL_ENABLE_BIT);
    TraceLogTail trace;
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(window.End2DRender());
    EXPECT_TRUE(trace.Contains("Postcondition Failed"));
    EXPECT_EQ(window.depth2D, 0);
    EXPECT_EQ(GetInt(GL_ATTRIB_STACK_DEPTH), 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glPopAttrib();
}

TEST_F(WindowGlTest, ToggleFrontFaceSwapsWinding) {
    ASSERT_TRUE(context);
    window.Activate();
    EXPECT_EQ(GetInt(GL_FRONT_FACE), GL_CCW);
    window.ToggleFrontFace();
    EXPECT_EQ(GetInt(GL_FRONT_FACE), GL_CW);
    window.ToggleFrontFace();
    EXPECT_EQ(GetInt(GL_FRONT_FACE), GL_CCW);
}

}  // namespace
