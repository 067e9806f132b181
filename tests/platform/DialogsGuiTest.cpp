// Menus, message boxes and file dialogs on the X display, answered through the X
// server as a person would.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/FileDialog.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "support/XDisplayDriver.h"

using namespace platform;

namespace {

// Presses keys once a window titled `title` shows that was not showing when the object
// was made (empty title: after a pause, for a menu, which has no title and grabs the
// keyboard), from a thread of its own while the test waits in the modal call.
class LaterKeys {
public:
    LaterKeys(std::string title, std::string keys) {
        std::string before = title.empty() ? std::string() : xdriver::VisibleWindows(title);
        thread_ = std::thread([title = std::move(title), keys = std::move(keys),
                               before = std::move(before)] {
            if (!title.empty()) return xdriver::KeysWhenShown(title, keys, before);
            std::this_thread::sleep_for(std::chrono::milliseconds(3000));
            xdriver::Run("xdotool key --delay 60 " + keys);
        });
    }
    ~LaterKeys() { thread_.join(); }

private:
    std::thread thread_;
};

class DialogsGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xdriver::HaveDisplay()) GTEST_SKIP() << "no X display";
    }
};

TEST_F(DialogsGuiTest, TrackedMenuAnswersTheItemChosenOrNothing) {
    Menu menu;
    menu.AppendItem(11, "&Alpha");
    menu.AppendSeparator();
    menu.AppendItem(12, "Beta", false, true);  // greyed: the keys pass over it
    menu.AppendItem(13, "Gamma", true);
    Menu& more = menu.AppendSubmenu("More");
    more.AppendItem(21, "Delta");
    {
        LaterKeys keys("", "Down Down Return");
        EXPECT_EQ(menu.Track(100, 100), 13u);
    }
    {
        LaterKeys keys("", "Down Down Down Right Return");
        EXPECT_EQ(menu.Track(100, 100), 21u);
    }
    {
        LaterKeys keys("", "Escape");
        EXPECT_EQ(menu.Track(100, 100), 0u);
    }
}

TEST_F(DialogsGuiTest, MessageBoxesAnswerTheButtonPressed) {
    struct Case {
        MessageButtons buttons;
        const char* keys;
        MessageAnswer answer;
    };
    const Case cases[] = {
        {MessageButtons::YesNo, "Return", MessageAnswer::Yes},  // the first is the default
        {MessageButtons::YesNo, "Escape", MessageAnswer::No},
        {MessageButtons::OkCancel, "Escape", MessageAnswer::Cancel},
        {MessageButtons::YesNoCancel, "Tab Return", MessageAnswer::No},
        {MessageButtons::Ok, "Return", MessageAnswer::Ok},
    };
    for (const Case& c : cases) {
        MessageBoxRequest box;
        box.caption = "Kivora question";
        box.text = "Save the changes?";
        box.buttons = c.buttons;
        box.icon = MessageIcon::Question;
        LaterKeys keys("Kivora question", c.keys);
        EXPECT_EQ(ShowMessageBox(box), c.answer) << c.keys;
    }
}

TEST_F(DialogsGuiTest, SaveDialogAnswersThePathTyped) {
    const std::string folder = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.initialPath = folder + "/Untitled";
    request.filterName = "Kivora files";
    request.filterPattern = "*.kvp";
    request.defaultExtension = "kvp";
    request.flags = kOverwritePrompt;
    std::string chosen;
    {
        LaterKeys keys("Save As", "ctrl+a h o u s e Return");
        ASSERT_TRUE(ShowFileDialog(request, &chosen));
    }
    EXPECT_EQ(chosen, folder + "/house.kvp");
    {
        LaterKeys keys("Save As", "Escape");
        EXPECT_FALSE(ShowFileDialog(request, &chosen));
    }
}

}  // namespace
