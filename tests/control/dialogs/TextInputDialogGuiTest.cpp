// A dialog built from its template on the X display, driven by its own procedure:
// what a person types and presses reaches the owner.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "control/dialogs/DialogOwner.h"
#include "control/dialogs/TextInputDialog.h"
#include "support/TestControl.h"
#include "support/XDisplayDriver.h"

namespace {

struct TextOwner : DialogOwner {
    int OnDialogNotify(Dialog* dialog, int code) override {
        texts.push_back(static_cast<TextInputDialog*>(dialog)->GetText());
        return 0;
    }
    std::vector<std::string> texts;
};

TEST(TextInputDialogGuiTest, TypedTextReachesTheOwnerOnOkAndNotOnCancel) {
    if (!xdriver::HaveDisplay()) GTEST_SKIP() << "no X display";
    ScopedProgramFolder programFolder;
    TestControl control;
    TextOwner owner;
    {
        TextInputDialog dialog(&owner);
        dialog.SetText("Kitchen");
        // The text field has the keyboard: its text is replaced, then Enter is OK.
        std::thread person(xdriver::KeysWhenShown, "Kivora Text", "ctrl+a D i n i n g Return",
                           xdriver::VisibleWindows("Kivora Text"));
        EXPECT_EQ(dialog.Show(), Dialog::kOk);
        person.join();
        EXPECT_EQ(dialog.GetText(), "Dining");
        EXPECT_EQ(owner.texts, std::vector<std::string>{"Dining"});
    }
    {
        TextInputDialog dialog(&owner);
        dialog.SetText("Kitchen");
        std::thread person(xdriver::KeysWhenShown, "Kivora Text", "ctrl+a H a l l Escape",
                           xdriver::VisibleWindows("Kivora Text"));
        EXPECT_EQ(dialog.Show(), Dialog::kCancel);
        person.join();
        EXPECT_EQ(dialog.GetText(), "Kitchen");
        EXPECT_EQ(owner.texts, std::vector<std::string>{"Dining"});
    }
}

}  // namespace
