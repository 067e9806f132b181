#include <gtest/gtest.h>

#include <functional>

#include "control/dialogs/DialogOwner.h"
#include "control/dialogs/LightPropertyDialog.h"
#include "support/TestControl.h"

using platform::DialogBox;

namespace {

struct LightOwner : DialogOwner {
    int OnDialogNotify(Dialog*, int) override {
        ++notifications;
        return 0;
    }
    int notifications = 0;
};

class LightPropertyDialogTest : public ::testing::Test {
protected:
    void TearDown() override { Dialog::SetModalRunner(nullptr); }

    void Run(std::function<void(DialogBox&)> play) {
        Dialog::SetModalRunner([play](Dialog& d) {
            play(*d.Window());
            return 0;
        });
        dialog.Show();
    }

    ScopedProgramFolder programFolder;
    TestControl control;
    LightOwner owner;
    LightPropertyDialog dialog{&owner};
};

TEST_F(LightPropertyDialogTest, ShadowSizeEntryIsSelectedByTextAndKeptWhenNoneMatches) {
    for (int size : {1024, 100}) {
        LightPropertyDialog light(&owner);
        light.shadowSize = size;
        Dialog::SetModalRunner([&](Dialog& d) {
            DialogBox& box = *d.Window();
            const auto& items = box.Find(LightPropertyDialog::kShadowSize)->items;
            EXPECT_EQ(items.front(), "1024");  // sorted as text
            EXPECT_EQ(items.back(), "64");
            EXPECT_EQ(box.GetSelectedText(LightPropertyDialog::kShadowSize),
                      size == 1024 ? "1024" : "");
            box.PressEnter();
            return 0;
        });
        light.Show();
        EXPECT_EQ(light.shadowSize, size);
    }
}

TEST_F(LightPropertyDialogTest, PresetPicturesFillTheFields) {
    dialog.size = 5;
    dialog.focus = 7;
    dialog.red = dialog.green = dialog.blue = 0.5f;
    Run([](DialogBox& box) {
        EXPECT_EQ(box.GetText(LightPropertyDialog::kRed), "0.50");
        // Palette at (10, 170): the bottom row's third column is red; 117 is the shared
        // edge of columns two and three, where the first wins.
        box.Mouse(platform::WM_LBUTTONUP, 10 + 120, 170 + 40);
        EXPECT_EQ(box.GetText(LightPropertyDialog::kRed), "1");
        EXPECT_EQ(box.GetText(LightPropertyDialog::kGreen), "0");
        box.Mouse(platform::WM_LBUTTONUP, 10 + 117, 170 + 10);
        EXPECT_EQ(box.GetText(LightPropertyDialog::kRed), "0.45");
        box.Mouse(platform::WM_LBUTTONUP, 10 + 300, 10 + 50);   // sizes: 64
        box.Mouse(platform::WM_LBUTTONUP, 10 + 60, 110 + 20);   // focus: 16
        box.Mouse(platform::WM_LBUTTONUP, 10 + 100, 230 + 60);  // quality: 512
        box.Type(LightPropertyDialog::kGreen, "0.25");
        box.PressEnter();
    });
    EXPECT_EQ(dialog.size, 64);
    EXPECT_EQ(dialog.focus, 16);
    EXPECT_EQ(dialog.shadowSize, 512);
    EXPECT_FLOAT_EQ(dialog.red, 0.45f);
    EXPECT_FLOAT_EQ(dialog.green, 0.25f);
    EXPECT_EQ(owner.notifications, 1);
}

TEST_F(LightPropertyDialogTest, WithoutShadowControlsOnlyThePaletteAnswers) {
    dialog.DisableShadowControls();
    dialog.size = 5;
    dialog.shadowSize = 256;
    Run([](DialogBox& box) {
        for (uint32_t id : {416u, 417u, 418u, 364u, 365u, 369u})
            EXPECT_FALSE(box.IsEnabled(id)) << id;
        box.Mouse(platform::WM_LBUTTONUP, 10 + 300, 10 + 50);   // sizes
        box.Mouse(platform::WM_LBUTTONUP, 10 + 300, 230 + 60);  // quality
        box.Mouse(platform::WM_LBUTTONUP, 10 + 300, 170 + 40);  // palette: white
        box.PressEnter();
    });
    EXPECT_EQ(dialog.size, 5);
    EXPECT_EQ(dialog.shadowSize, 256);
    EXPECT_FLOAT_EQ(dialog.blue, 1.0f);
}

}  // namespace
