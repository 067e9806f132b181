#include <GL/osmesa.h>
#include <gtest/gtest.h>

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
