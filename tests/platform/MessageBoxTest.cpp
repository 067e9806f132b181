#include <gtest/gtest.h>

#include "platform/MessageBox.h"

using namespace platform;

TEST(MessageBoxTest, DefaultAnswerIsTheFirstButtonAndResponderAnswersAreChecked) {
    MessageBoxRequest box;
    box.text = "Save file before loading new scene?";
    const struct {
        MessageButtons buttons;
        MessageAnswer byDefault;
        MessageAnswer foreign;  // an answer the box does not offer...
        MessageAnswer counted;  // ...counts as its cancelling button
    } cases[] = {
        {MessageButtons::Ok, MessageAnswer::Ok, MessageAnswer::Yes, MessageAnswer::Ok},
        {MessageButtons::OkCancel, MessageAnswer::Ok, MessageAnswer::No, MessageAnswer::Cancel},
        {MessageButtons::YesNo, MessageAnswer::Yes, MessageAnswer::Cancel, MessageAnswer::No},
        {MessageButtons::YesNoCancel, MessageAnswer::Yes, MessageAnswer::Ok, MessageAnswer::Cancel},
    };
    for (const auto& c : cases) {
        box.buttons = c.buttons;
        EXPECT_EQ(ShowMessageBox(box), c.byDefault);
        SetMessageBoxResponder([&](const MessageBoxRequest&) { return c.foreign; });
        EXPECT_EQ(ShowMessageBox(box), c.counted);
        SetMessageBoxResponder(nullptr);
    }

    std::string seen;
    SetMessageBoxResponder([&](const MessageBoxRequest& r) {
        seen = r.caption + ": " + r.text;
        return MessageAnswer::No;
    });
    box.caption = "Confirm";
    box.buttons = MessageButtons::YesNoCancel;
    EXPECT_EQ(ShowMessageBox(box), MessageAnswer::No);
    EXPECT_EQ(seen, "Confirm: Save file before loading new scene?");
    SetMessageBoxResponder(nullptr);
}
