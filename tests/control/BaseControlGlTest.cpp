#include <GL/osmesa.h>
#include <gtest/gtest.h>

#include <thread>

#include "platform/GLContext.h"
#include "support/GlTestContext.h"
#include "support/TestControl.h"

TEST(BaseControlGlTest, LastReleaseOfTheRenderLockDetachesTheContext) {
    ScopedProgramFolder folder;
    TestControl control;
    GlTestContext gl(8, 8);
    ASSERT_TRUE(gl.IsValid()) << gl.Error();

    control.LockRender();
    control.LockRender();
    control.UnlockRender();
    EXPECT_NE(OSMesaGetCurrentContext(), nullptr);  // still held once
    control.UnlockRender();
    EXPECT_EQ(OSMesaGetCurrentContext(), nullptr);

    // A full release detaches too; with no context current it does nothing.
    ASSERT_TRUE(gl.MakeCurrent());
    control.LockRender();
    EXPECT_EQ(control.ReleaseRenderLockFully(), 1);
    EXPECT_EQ(OSMesaGetCurrentContext(), nullptr);
    control.LockRender();
    control.UnlockRender();
    EXPECT_EQ(OSMesaGetCurrentContext(), nullptr);
}

TEST(BaseControlGlTest, LastReleaseDetachesAContextOfThePlatformLayer) {
    ScopedProgramFolder folder;
    TestControl control;
    platform::PixelFormatRequest request;
    request.drawToWindow = false;
    request.drawToOffScreen = true;
    request.doubleBuffer = false;
    const int format = platform::ChoosePixelFormat(request);
    ASSERT_GT(format, 0);
    auto buffer = platform::GLDrawable::CreateOffScreen(format, 8, 8);
    auto context = platform::GLContext::Create(format);
    ASSERT_TRUE(buffer && context);
    ASSERT_TRUE(context->MakeCurrent(*buffer));

    control.LockRender();
    control.UnlockRender();
    EXPECT_EQ(platform::GLContext::Current(), nullptr);
    // Free for another thread to make it current there.
    bool madeCurrentElsewhere = false;
    std::thread([&] {
        madeCurrentElsewhere = context->MakeCurrent(*buffer);
        platform::GLContext::DetachCurrent();
    }).join();
    EXPECT_TRUE(madeCurrentElsewhere);
}
