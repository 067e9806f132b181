#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/GLContext.h"

using platform::GLContext;
using platform::GLDrawable;
using platform::PixelFormatDescription;
using platform::PixelFormatRequest;

namespace {

// The window format the editor asks for: double-buffered, 24 colour, 24 accumulation,
// 24 depth and 8 stencil bits.
PixelFormatRequest EditorWindowRequest() {
    PixelFormatRequest r;
    r.accumBits = 24;
    r.depthBits = 24;
    r.stencilBits = 8;
    return r;
}

int GetInt(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

}  // namespace

TEST(PixelFormat, ChoosesTheLeastFormatMeetingTheRequest) {
    struct Case {
        const char* what;
        PixelFormatRequest request;
        int depth, stencil, accum;
        bool doubleBuffer;
    };
    PixelFormatRequest plain;
    PixelFormatRequest depthOnly;
    depthOnly.depthBits = 16;
    PixelFormatRequest offScreen;
    offScreen.drawToWindow = false;
    offScreen.drawToOffScreen = true;
    offScreen.doubleBuffer = false;
    offScreen.depthBits = 24;
    offScreen.stencilBits = 8;
    const Case cases[] = {
        {"editor window", EditorWindowRequest(), 24, 8, 64, true},
        {"nothing extra", plain, 0, 0, 0, true},
        {"16-bit depth", depthOnly, 16, 0, 0, true},
        {"off-screen buffer", offScreen, 24, 8, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int index = platform::ChoosePixelFormat(c.request);
        ASSERT_GT(index, 0);
        PixelFormatDescription d;
        ASSERT_TRUE(platform::DescribePixelFormat(index, &d));
        EXPECT_EQ(d.index, index);
        EXPECT_EQ(d.depthBits, c.depth);
        EXPECT_EQ(d.stencilBits, c.stencil);
        EXPECT_EQ(d.accumBits, c.accum);
        EXPECT_EQ(d.doubleBuffer, c.doubleBuffer);
        EXPECT_EQ(d.colorBits, 24);
        EXPECT_TRUE(d.supportOpenGL);
        EXPECT_FALSE(d.needsPalette);
        EXPECT_TRUE(d.generic) << "the software renderer";
        EXPECT_FALSE(d.accelerated);
    }
}

TEST(PixelFormat, RefusesWhatItCannotOffer) {
    PixelFormatRequest multisample = EditorWindowRequest();
    multisample.sampleBuffers = 1;
    multisample.samples = 4;
    EXPECT_EQ(platform::ChoosePixelFormat(multisample), 0);
    PixelFormatRequest deep;
    deep.depthBits = 32;
    EXPECT_EQ(platform::ChoosePixelFormat(deep), 0);
    PixelFormatDescription d;
    EXPECT_FALSE(platform::DescribePixelFormat(0, &d));
    EXPECT_FALSE(platform::DescribePixelFormat(platform::PixelFormatCount() + 1, &d));
}

TEST(GLContext, RealContextHasTheBitsItsFormatDescribes) {
    const int format = platform::ChoosePixelFormat(EditorWindowRequest());
    PixelFormatDescription d;
    ASSERT_TRUE(platform::DescribePixelFormat(format, &d));
    auto window = GLDrawable::CreateForWindow(8, 4);
    ASSERT_TRUE(window->SetPixelFormat(format));
    EXPECT_TRUE(window->SetPixelFormat(format)) << "setting the same format again is fine";
    EXPECT_FALSE(window->SetPixelFormat(format == 1 ? 2 : 1)) << "a format is set once";
    auto context = GLContext::Create(format);
    ASSERT_TRUE(context);
    ASSERT_TRUE(context->MakeCurrent(*window));
    EXPECT_EQ(GLContext::Current(), context.get());
    EXPECT_EQ(GLContext::CurrentDrawable(), window.get());
    EXPECT_EQ(GetInt(GL_DEPTH_BITS), d.depthBits);
    EXPECT_EQ(GetInt(GL_STENCIL_BITS), d.stencilBits);
    EXPECT_EQ(GetInt(GL_ACCUM_RED_BITS), d.accumRedBits);
    EXPECT_EQ(GetInt(GL_RED_BITS), d.redBits);
    EXPECT_EQ(GetInt(GL_ALPHA_BITS), d.alphaBits);

    // Drawing lands in the rendered image; the window shows it only after the swap.
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(window->PresentedPixels().empty());
    EXPECT_TRUE(window->SwapBuffers());
    const std::vector<uint8_t> shown = window->PresentedPixels();
    ASSERT_EQ(shown.size(), 8u * 4u * 4u);
    EXPECT_EQ(shown[0], 255);
    EXPECT_EQ(shown[1], 0);
    GLContext::DetachCurrent();
    EXPECT_EQ(GLContext::Current(), nullptr);
}

TEST(GLContext, WindowBufferTakesItsNewSizeAtTheNextMakeCurrent) {
    const int format = platform::ChoosePixelFormat(PixelFormatRequest{});
    auto window = GLDrawable::CreateForWindow(4, 4);
    ASSERT_TRUE(window->SetPixelFormat(format));
    auto context = GLContext::Create(format);
    ASSERT_TRUE(context->MakeCurrent(*window));
    window->Resize(6, 0);
    EXPECT_EQ(window->Width(), 6);
    EXPECT_EQ(window->Height(), 1) << "a side below 1 counts as 1";
    EXPECT_EQ(window->RenderedPixels().size(), 4u * 4u * 4u);
    ASSERT_TRUE(context->MakeCurrent(*window));
    EXPECT_EQ(window->RenderedPixels().size(), 6u * 1u * 4u);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    GLContext::DetachCurrent();
    EXPECT_EQ(window->RenderedPixels()[4 * 5 + 1], 255) << "detaching finishes the drawing";
}

TEST(GLContext, CurrentOnOneThreadAtATime) {
    const int format = platform::ChoosePixelFormat(PixelFormatRequest{});
    auto window = GLDrawable::CreateForWindow(4, 4);
    ASSERT_TRUE(window->SetPixelFormat(format));
    auto context = GLContext::Create(format);
    ASSERT_TRUE(context->MakeCurrent(*window));

    bool madeCurrentWhileHeld = true;
    std::thread([&] { madeCurrentWhileHeld = context->MakeCurrent(*window); }).join();
    EXPECT_FALSE(madeCurrentWhileHeld);

    GLContext::DetachCurrent();
    bool madeCurrentAfterDetach = false;
    GLContext* seenOnOtherThread = nullptr;
    std::thread([&] {
        madeCurrentAfterDetach = context->MakeCurrent(*window);
        seenOnOtherThread = GLContext::Current();
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        GLContext::DetachCurrent();
    }).join();
    EXPECT_TRUE(madeCurrentAfterDetach);
    EXPECT_EQ(seenOnOtherThread, context.get());
    EXPECT_EQ(GLContext::Current(), nullptr) << "current contexts are per thread";
    EXPECT_EQ(window->RenderedPixels()[2], 255);
    EXPECT_TRUE(context->MakeCurrent(*window)) << "free again after the other thread detached";
    GLContext::DetachCurrent();
}

TEST(GLContext, SharedContextSeesDisplayListsOfTheFirst) {
    const int windowFormat = platform::ChoosePixelFormat(EditorWindowRequest());
    PixelFormatRequest offRequest;
    offRequest.drawToWindow = false;
    offRequest.drawToOffScreen = true;
    offRequest.doubleBuffer = false;
    offRequest.depthBits = 24;
    offRequest.stencilBits = 8;
    const int offFormat = platform::ChoosePixelFormat(offRequest);

    auto window = GLDrawable::CreateForWindow(4, 4);
    ASSERT_TRUE(window->SetPixelFormat(windowFormat));
    auto main = GLContext::Create(windowFormat);
    ASSERT_TRUE(main->MakeCurrent(*window));
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glEndList();

    auto buffer = GLDrawable::CreateOffScreen(offFormat, 16, 8);
    ASSERT_TRUE(buffer);
    EXPECT_FALSE(main->MakeCurrent(*buffer)) << "formats must match";
    auto shared = GLContext::Create(offFormat, main.get());
    auto alone = GLContext::Create(offFormat);
    ASSERT_TRUE(shared && alone);
    ASSERT_TRUE(shared->MakeCurrent(*buffer));
    EXPECT_TRUE(glIsList(list));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 16);
    EXPECT_EQ(viewport[3], 8);
    ASSERT_TRUE(alone->MakeCurrent(*buffer));
    EXPECT_FALSE(glIsList(list));
    GLContext::DetachCurrent();
}

TEST(GLContext, OffScreenBufferLimits) {
    PixelFormatRequest r;
    r.drawToWindow = false;
    r.drawToOffScreen = true;
    r.doubleBuffer = false;
    const int format = platform::ChoosePixelFormat(r);
    PixelFormatDescription d;
    ASSERT_TRUE(platform::DescribePixelFormat(format, &d));
    EXPECT_FALSE(GLDrawable::CreateOffScreen(format, 0, 8));
    EXPECT_FALSE(GLDrawable::CreateOffScreen(format, d.maxOffScreenWidth + 1, 1));
    EXPECT_FALSE(GLDrawable::CreateOffScreen(0, 8, 8));
    auto buffer = GLDrawable::CreateOffScreen(format, 3, 2);
    ASSERT_TRUE(buffer);
    buffer->Resize(10, 10);
    EXPECT_EQ(buffer->Width(), 3) << "an off-screen buffer keeps its size";
    EXPECT_FALSE(buffer->SwapBuffers());
}

TEST(GLContext, ProcAddressesAndWindowSystemExtensions) {
    EXPECT_NE(platform::GetGLProcAddress("glBindProgramARB"), nullptr);
    EXPECT_EQ(platform::GetGLProcAddress(nullptr), nullptr);
    const char* ext = platform::WindowSystemExtensions();
    EXPECT_NE(std::strstr(ext, "WGL_ARB_pbuffer"), nullptr);
    EXPECT_NE(std::strstr(ext, "WGL_ARB_pixel_format"), nullptr);
    EXPECT_EQ(std::strstr(ext, "multisample"), nullptr) << "only what the layer honours";
}
