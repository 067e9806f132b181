#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/dialogs/Dialog.h"
#include "control/dialogs/DialogOwner.h"
#include "control/dialogs/LengthDialog.h"
#include "support/TestControl.h"

using platform::DialogBox;

namespace {

struct RecordingOwner : DialogOwner {
    int OnDialogNotify(Dialog*, int code) override {
        codes.push_back(code);
        lockHeldInNotify = theControl()->RenderLock().IsHeldByCurrentThread();
        return answer;
    }
    void InitDialog(Dialog*) override { ++inits; }

    std::vector<int> codes;
    int inits = 0;
    int answer = 0;
    bool lockHeldInNotify = false;
};

// A dialog on the three-length template whose slots are scripted by the test.
struct ScriptedDialog : Dialog {
    explicit ScriptedDialog(DialogOwner* owner) : Dialog(owner, 566) {}
    int OnInitDialog() override { return initAnswer; }
    int ValidateFields() override {
        ++validations;
        return validateAnswer;
    }
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t) override {
        commands.push_back({message, wParam});
        return commandAnswer;
    }

    int initAnswer = 0;
    int validateAnswer = 0;
    int commandAnswer = 0;
    int validations = 0;
    std::vector<std::pair<uint32_t, uintptr_t>> commands;
};

class Dialogs : public ::testing::Test {
protected:
    void TearDown() override { Dialog::SetModalRunner(nullptr); }

    // Runs `dialog` with `play` as the user; answers the end code.
    int Run(Dialog& dialog, std::function<void(DialogBox&)> play) {
        Dialog::SetModalRunner([play](Dialog& d) {
            play(*d.Window());
            return -7;  // only used when the box was not ended
        });
        return dialog.Show();
    }

    ScopedProgramFolder programFolder;
    TestControl control;
    RecordingOwner owner;
};

TEST_F(Dialogs, RunGivesUpEveryHoldOnTheRenderLockAndTakesThemBack) {
    ScriptedDialog dialog(&owner);
    bool heldWhileOpen = true;
    Dialog* current = nullptr;
    control.LockRender();
    control.LockRender();
    const int code = Run(dialog, [&](DialogBox& box) {
        heldWhileOpen = control.RenderLock().IsHeldByCurrentThread();
        current = Dialog::Current();
        box.PressEnter();
    });
    EXPECT_EQ(code, Dialog::kOk);
    EXPECT_FALSE(heldWhileOpen);
    EXPECT_EQ(current, &dialog);
    EXPECT_EQ(Dialog::Current(), nullptr);
    EXPECT_TRUE(control.UnlockRender());
    EXPECT_TRUE(control.UnlockRender());
    EXPECT_FALSE(control.RenderLock().IsHeldByCurrentThread());
    // The owner filled the dialog and took its values once, under the render lock.
    EXPECT_EQ(owner.inits, 1);
    EXPECT_EQ(owner.codes, std::vector<int>{Dialog::kNotifyApply});
    EXPECT_TRUE(owner.lockHeldInNotify);
}

TEST_F(Dialogs, ButtonsApplyCancelAndApplyWithoutClosing) {
    struct Case {
        const char* name;
        int ownerAnswer;
        std::vector<uint32_t> buttons;
        int code;
        size_t notifications;
    };
    const Case cases[] = {
        {"cancel notifies nobody", 0, {2}, Dialog::kCancel, 0},
        {"apply stays open, then OK", 0, {235, 235, 1}, Dialog::kOk, 3},
        {"owner closes on apply", 1, {235, 1}, Dialog::kApply, 1},
    };
    for (const Case& c : cases) {
        RecordingOwner caseOwner;
        caseOwner.answer = c.ownerAnswer;
        ScriptedDialog dialog(&caseOwner);
        const int code = Run(dialog, [&](DialogBox& box) {
            for (uint32_t id : c.buttons) box.Click(id);
        });
        EXPECT_EQ(code, c.code) << c.name;
        EXPECT_EQ(caseOwner.codes.size(), c.notifications) << c.name;
    }
}

TEST_F(Dialogs, ProcedureRoutesFocusChangesAndOtherMessages) {
    ScriptedDialog dialog(&owner);
    bool selected = false;
    const int code = Run(dialog, [&](DialogBox& box) {
        box.Focus(213);
        selected = box.Find(213)->textSelected;
        EXPECT_EQ(dialog.validations, 0);
        box.Focus(212);  // 213 lost the focus
        EXPECT_EQ(dialog.validations, 1);
        box.Mouse(platform::WM_LBUTTONUP, 3, 4);
        dialog.validateAnswer = 1;
        box.Focus(213);  // 212 lost the focus; validation closes with its id
    });
    EXPECT_TRUE(selected);
    EXPECT_EQ(code, 212);
    ASSERT_GE(dialog.commands.size(), 2u);
    // The kill-focus of 213 went on to OnCommand; the mouse message too.
    EXPECT_EQ(dialog.commands[0].second, platform::MakeWParam(213, platform::EN_KILLFOCUS));
    EXPECT_EQ(dialog.commands[1].first, platform::WM_LBUTTONUP);
    EXPECT_TRUE(owner.codes.empty());
}

TEST_F(Dialogs, DialogThatClosesWhileOpeningIsNotPlayed) {
    ScriptedDialog dialog(&owner);
    dialog.initAnswer = 1;
    bool played = false;
    EXPECT_EQ(Run(dialog, [&](DialogBox&) { played = true; }), 0);
    EXPECT_FALSE(played);
}

TEST_F(Dialogs, WithoutRunnerTheDialogIsCancelled) {
    ScriptedDialog dialog(&owner);
    EXPECT_EQ(dialog.Show(), Dialog::kCancel);
    EXPECT_TRUE(owner.codes.empty());
}

TEST_F(Dialogs, InvalidOrUnknownTemplatesDoNotRunOrTouchTheLock) {
    ScriptedDialog dialog(&owner);
    bool played = false;
    Dialog::SetModalRunner([&](Dialog&) {
        played = true;
        return 1;
    });
    control.LockRender();
    EXPECT_EQ(dialog.RunModal(0), 0);
    EXPECT_EQ(dialog.RunModal(99999), -1);
    EXPECT_TRUE(control.RenderLock().IsHeldByCurrentThread());
    control.UnlockRender();
    EXPECT_FALSE(played);
    EXPECT_EQ(owner.inits, 0);
}

TEST_F(Dialogs, ItemHelpersHitTestClampAndSwapWindows) {
    ScriptedDialog dialog(nullptr);
    Run(dialog, [&](DialogBox& box) {
        box.Find(213)->rect = {100, 50, 200, 90};
        const platform::Rect areas[] = {{0, 0, 10, 10}, {10, 0, 20, 10}, {0, 0, 100, 40}};
        EXPECT_EQ(dialog.HitTestRects(213, 3, areas, 110, 60), 0);  // shared edge: first wins
        EXPECT_EQ(dialog.HitTestRects(213, 3, areas, 115, 55), 1);
        EXPECT_EQ(dialog.HitTestRects(213, 3, areas, 250, 95), -1);  // outside all
        EXPECT_EQ(dialog.HitTestRects(999, 3, areas, 110, 60), -1);  // no such control
        EXPECT_TRUE(dialog.IsPointInItem(213, 200, 90));
        EXPECT_FALSE(dialog.IsPointInItem(213, 201, 90));

        box.SetText(212, "5 1/2");
        EXPECT_TRUE(dialog.ClampField(212, 0, 10));
        EXPECT_EQ(box.GetText(212), "5.50");
        box.SetText(212, "-7");
        EXPECT_FALSE(dialog.ClampField(212, -6, 10));
        EXPECT_EQ(box.GetText(212), "-6");

        DialogBox page;
        page.Add(platform::ControlKind::Edit, 212);
        dialog.PushWindow(&page);
        dialog.PushWindow(&box);  // refused: a push is pending
        dialog.SetItemText(212, "page");
        dialog.PopWindow();
        dialog.PopWindow();  // refused: nothing pushed
        EXPECT_EQ(page.GetText(212), "page");
        EXPECT_EQ(box.GetText(212), "-6");
        box.PressEscape();
    });
    EXPECT_EQ(dialog.Window(), nullptr);
}

TEST_F(Dialogs, OkAfterTypingValidatesTheFieldBeforeApplying) {
    // Enter does not move the focus: the value typed last is still checked.
    LengthDialog dialog(&owner);
    dialog.SetLength(12.0);
    Run(dialog, [](DialogBox& box) {
        box.Type(213, "99999");
        box.PressEnter();
    });
    EXPECT_EQ(dialog.GetLength(), 3000.0);
    EXPECT_EQ(owner.codes.size(), 1u);
}

}  // namespace
