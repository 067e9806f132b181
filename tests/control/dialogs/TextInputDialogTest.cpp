#include <gtest/gtest.h>

#include <vector>

#include "control/dialogs/DialogOwner.h"
#include "control/dialogs/TextInputDialog.h"
#include "platform/MessageBox.h"
#include "support/TestControl.h"

namespace {

struct TextOwner : DialogOwner {
    int OnDialogNotify(Dialog* dialog, int code) override {
        codes.push_back(code);
        texts.push_back(static_cast<TextInputDialog*>(dialog)->GetText());
        return 0;
    }
    std::vector<int> codes;
    std::vector<std::string> texts;
};

class TextInputDialogTest : public ::testing::Test {
protected:
    void TearDown() override {
        Dialog::SetModalRunner(nullptr);
        platform::SetMessageBoxResponder(nullptr);
    }

    ScopedProgramFolder programFolder;
    TestControl control;
    TextOwner owner;
};

TEST_F(TextInputDialogTest, EmptiedTextIsConfirmedBeforeItIsTaken) {
    std::vector<std::string> questions;
    platform::MessageAnswer answer = platform::MessageAnswer::No;
    platform::SetMessageBoxResponder([&](const platform::MessageBoxRequest& box) {
        questions.push_back(box.caption + ": " + box.text);
        return answer;
    });
    TextInputDialog dialog(&owner);
    dialog.SetText("Kitchen");
    Dialog::SetModalRunner([&](Dialog& d) {
        platform::DialogBox& box = *d.Window();
        EXPECT_EQ(box.GetText(TextInputDialog::kText), "Kitchen");
        EXPECT_TRUE(box.IsEnabled(TextInputDialog::kProperties));
        box.Type(TextInputDialog::kText, "Dining");
        box.Click(Dialog::kApply);
        box.Type(TextInputDialog::kText, "");
        box.Click(Dialog::kApply);  // answered No: the text stays
        answer = platform::MessageAnswer::Yes;
        box.Click(Dialog::kOk);
        return 0;
    });
    EXPECT_EQ(dialog.Show(), Dialog::kOk);
    EXPECT_EQ(owner.codes, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(owner.texts, (std::vector<std::string>{"Dining", "Dining", ""}));
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0],
              "Continue: Entering no text will delete the text object, are you sure you want "
              "to continue?");
}

TEST_F(TextInputDialogTest, PropertiesAsksTheOwnerUnlessGreyed) {
    for (bool greyed : {false, true}) {
        TextOwner caseOwner;
        TextInputDialog dialog(&caseOwner);
        dialog.SetNoProperties(greyed);
        Dialog::SetModalRunner([](Dialog& d) {
            d.Window()->Click(TextInputDialog::kProperties);
            d.Window()->PressEscape();
            return 0;
        });
        EXPECT_EQ(dialog.Show(), Dialog::kCancel);
        EXPECT_EQ(caseOwner.codes, greyed ? std::vector<int>{} : std::vector<int>{10});
    }
}

}  // namespace
