#include <gtest/gtest.h>

#include "render/ViewTransaction.h"
#include "render/Window.h"
#include "support/TestControl.h"
#include "support/TraceLogTail.h"

namespace {

class ViewUndoTest : public ::testing::Test {
protected:
    // One bracketed camera change: the eye moves to x = `x`, the field of view becomes
    // `fov` and the view mode `mode`.
    void Change(double x, double fov, int mode = 0) {
        window.BeginViewTransaction();
        Vector offset = window.camera.GetVector(0);
        offset.x = x;
        window.camera.SetVector(0, offset);
        window.fieldOfView = fov;
        window.viewFlags.SetInteger(0, mode);
        window.EndViewTransaction();
    }
    double EyeX() const { return window.camera.GetVector(0).x; }

    ScopedProgramFolder programFolder;
    TestControl control;
    Window window;
};

TEST_F(ViewUndoTest, UndoAndRedoRoundTrip) {
    Change(10.0, 40.0, 1);
    Change(20.0, 30.0, 4);

    ASSERT_TRUE(window.UndoViewChange());
    EXPECT_EQ(EyeX(), 10.0);
    EXPECT_EQ(window.fieldOfView, 40.0);
    EXPECT_EQ(window.viewFlags.GetInteger(0), 1);
    ASSERT_TRUE(window.UndoViewChange());
    EXPECT_EQ(EyeX(), 0.0);
    EXPECT_EQ(window.fieldOfView, 50.0);
    EXPECT_EQ(window.viewFlags.GetInteger(0), 0);
    EXPECT_FALSE(window.UndoViewChange());
    EXPECT_FALSE(control.RenderLock().IsHeld());

    ASSERT_TRUE(window.RedoViewChange());
    ASSERT_TRUE(window.RedoViewChange());
    EXPECT_EQ(EyeX(), 20.0);
    EXPECT_EQ(window.fieldOfView, 30.0);
    EXPECT_EQ(window.viewFlags.GetInteger(0), 4);
    EXPECT_FALSE(window.RedoViewChange());

    // A new change after an undo ends the redo history.
    ASSERT_TRUE(window.UndoViewChange());
    Change(99.0, 60.0);
    EXPECT_TRUE(window.viewRedoStack.IsEmpty());
    EXPECT_FALSE(window.RedoViewChange());
    ASSERT_TRUE(window.UndoViewChange());
    EXPECT_EQ(EyeX(), 10.0);
}

TEST_F(ViewUndoTest, SecondBeginKeepsTheFirstSnapshotAndEndWithoutBeginDoesNothing) {
    window.EndViewTransaction();
    EXPECT_TRUE(window.viewUndoStack.IsEmpty());

    window.BeginViewTransaction();
    window.fieldOfView = 35.0;
    window.BeginViewTransaction();
    window.fieldOfView = 20.0;
    window.EndViewTransaction();
    EXPECT_EQ(window.viewUndoStack.GetCount(), 1u);
    EXPECT_EQ(window.pendingViewTransaction, nullptr);
    ASSERT_TRUE(window.UndoViewChange());
    EXPECT_EQ(window.fieldOfView, 50.0);
}

TEST_F(ViewUndoTest, DisabledViewUndoDoesNothing) {
    Change(10.0, 40.0);
    window.viewUndoEnabled = 0;
    Change(20.0, 30.0);
    EXPECT_EQ(window.pendingViewTransaction, nullptr);
    EXPECT_EQ(window.viewUndoStack.GetCount(), 1u);
    EXPECT_FALSE(window.UndoViewChange());
    EXPECT_EQ(EyeX(), 20.0);
}

TEST_F(ViewUndoTest, StacksKeepTheNewest256Changes) {
    for (int i = 1; i <= 300; ++i) Change(i, 50.0);
    EXPECT_EQ(window.viewUndoStack.GetCount(), 256u);
    int undone = 0;
    while (window.UndoViewChange()) ++undone;
    EXPECT_EQ(undone, 256);
    // Back to the state before the oldest change kept (change 45).
    EXPECT_EQ(EyeX(), 44.0);
    EXPECT_EQ(window.viewRedoStack.GetCount(), 256u);
    int redone = 0;
    while (window.RedoViewChange()) ++redone;
    EXPECT_EQ(redone, 256);
    EXPECT_EQ(EyeX(), 300.0);
}

TEST_F(ViewUndoTest, WrongStacksAreRefusedWithoutLosingTheRecord) {
    Change(10.0, 40.0);
    SizableLinkedList foreign(256);
    TraceLogTail trace;
    EXPECT_FALSE(window.popAndProcessViewStack(nullptr, &window.viewRedoStack));
    EXPECT_FALSE(window.popAndProcessViewStack(&window.viewUndoStack, nullptr));
    EXPECT_TRUE(trace.Contains("Invalid stacks passed to pop and process"));
    EXPECT_FALSE(window.popAndProcessViewStack(&foreign, &window.viewRedoStack));
    EXPECT_TRUE(trace.Contains("Invalid stack passed into popAndProcessViewStack"));

    EXPECT_EQ(window.viewUndoStack.GetCount(), 1u);
    EXPECT_EQ(EyeX(), 10.0);
    EXPECT_TRUE(window.UndoViewChange());
    EXPECT_EQ(EyeX(), 0.0);
}

}  // namespace
