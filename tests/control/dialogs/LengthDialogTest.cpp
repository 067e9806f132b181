#include <gtest/gtest.h>

#include <functional>

#include "control/dialogs/DialogOwner.h"
#include "control/dialogs/LengthDialog.h"
#include "support/DialogPlayer.h"
#include "support/TestControl.h"

using platform::DialogBox;

namespace {

struct Owner : DialogOwner {
    int OnDialogNotify(Dialog*, int) override {
        ++notifications;
        return 0;
    }
    int notifications = 0;
};

class LengthDialogs : public ::testing::Test {
protected:
    void SetMetric(bool metric) { control.globalState.SetBoolean(7, metric); }

    ScopedProgramFolder programFolder;
    TestControl control;
    Owner owner;
};

TEST_F(LengthDialogs, FeetAndInchesShowWithABiasAndReadBackUnchanged) {
    for (double inches : {30.0, 29.997}) {
        LengthDialog dialog(&owner);
        dialog.SetLength(inches);
        PlayDialog(dialog, [&](DialogBox& box) {
            EXPECT_EQ(box.GetText(212), "2") << inches;
            EXPECT_EQ(box.GetText(213), "6.00") << inches;
            EXPECT_FALSE(box.IsVisible(214));
            EXPECT_FALSE(box.IsVisible(219));
            EXPECT_TRUE(box.IsVisible(218));
            EXPECT_EQ(box.GetText(211), "Enter a length:");
            box.PressEnter();
        });
        EXPECT_EQ(dialog.GetLength(), inches);
        EXPECT_EQ(owner.notifications, inches == 30.0 ? 1 : 2);
    }
}

TEST_F(LengthDialogs, MetricShowsCentimetresAndReadsInches) {
    SetMetric(true);
    LengthDialog dialog(&owner);
    dialog.SetLength(10.0);
    dialog.SetPrompt("Set work grid height");
    PlayDialog(dialog, [](DialogBox& box) {
        EXPECT_EQ(box.GetText(214), "25.40");
        EXPECT_TRUE(box.IsVisible(214));
        EXPECT_FALSE(box.IsVisible(212));
        EXPECT_FALSE(box.IsVisible(213));
        EXPECT_FALSE(box.IsVisible(216));
        EXPECT_EQ(box.GetText(211), "Set work grid height");
        box.Type(214, "100");
        box.PressEnter();
    });
    EXPECT_DOUBLE_EQ(dialog.GetLength(), 39.37007874);
}

TEST_F(LengthDialogs, FieldsThatLoseTheFocusAreClamped) {
    struct Case {
        const char* feet;
        const char* inches;
        const char* shownFeet;
        const char* shownInches;
        double read;
    };
    const Case cases[] = {
        {"", "", "0", "1.00", 1.0},            // empty: one inch
        {"0", "5000", "250", "0.00", 3000.0},  // above the maximum
        {"x", "abc", "0", "1.00", 1.0},        // not a number
        {"3", "5 1/2", "3", "5.50", 41.5},     // inside, fraction kept
    };
    for (const Case& c : cases) {
        LengthDialog dialog(&owner);
        dialog.SetLength(24.0);
        PlayDialog(dialog, [&](DialogBox& box) {
            box.Type(212, c.feet);
            box.Type(213, c.inches);
            box.Focus(1);
            EXPECT_EQ(box.GetText(212), c.shownFeet) << c.inches;
            EXPECT_EQ(box.GetText(213), c.shownInches) << c.inches;
            box.PressEnter();
        });
        EXPECT_DOUBLE_EQ(dialog.GetLength(), c.read) << c.inches;
    }
}

TEST_F(LengthDialogs, ThreeLengthsWithLayoutModes) {
    struct Case {
        int mode;
        bool lengthEnabled, widthEnabled, heightEnabled;
        const char* widthCaption;
        const char* heightCaption;
    };
    const Case cases[] = {
        {0, true, true, true, "Width", "Height"},
        {1, true, true, true, "Thickness", "Height"},
        {2, false, true, false, "Thickness", "Height"},
        {3, true, true, true, "Width", "Thickness"},
        {4, false, false, true, "Width", "Thickness"},
    };
    for (const Case& c : cases) {
        LenWidHgtDialog dialog(&owner);
        dialog.layoutMode = c.mode;
        dialog.SetValues(36.0, 48.0, 60.0);
        PlayDialog(dialog, [&](DialogBox& box) {
            EXPECT_EQ(box.IsEnabled(213), c.lengthEnabled) << c.mode;
            EXPECT_EQ(box.IsEnabled(226), c.lengthEnabled) << c.mode;
            EXPECT_EQ(box.IsEnabled(231), c.widthEnabled) << c.mode;
            EXPECT_EQ(box.IsEnabled(222), c.heightEnabled) << c.mode;
            EXPECT_EQ(box.GetText(226), "Length") << c.mode;
            EXPECT_EQ(box.GetText(227), c.widthCaption) << c.mode;
            EXPECT_EQ(box.GetText(228), c.heightCaption) << c.mode;
            EXPECT_EQ(box.GetText(229), "4") << c.mode;
            EXPECT_EQ(box.GetText(221), "5") << c.mode;
            box.Type(231, "6");  // width 4 ft. 6 in.
            box.Type(222, "0");  // height 5 ft.
            box.Click(235);
            box.Click(2);
        });
        // A greyed field cannot be typed into.
        EXPECT_DOUBLE_EQ(dialog.GetWidth(), c.widthEnabled ? 54.0 : 48.0) << c.mode;
        EXPECT_DOUBLE_EQ(dialog.GetHeight(), 60.0) << c.mode;
        EXPECT_DOUBLE_EQ(dialog.GetLength(), 36.0) << c.mode;
    }
}

TEST_F(LengthDialogs, SettersShowWhileTheDialogRuns) {
    LenWidHgtDialog dialog(&owner);
    dialog.SetWidthLabel("Depth");
    PlayDialog(dialog, [&](DialogBox& box) {
        EXPECT_EQ(box.GetText(227), "Depth");
        dialog.SetValues(12.0, 25.0, 0.5);
        EXPECT_EQ(box.GetText(212), "1");
        EXPECT_EQ(box.GetText(229), "2");
        EXPECT_EQ(box.GetText(231), "1.00");
        EXPECT_EQ(box.GetText(222), "0.50");
        box.PressEscape();
    });
}

}  // namespace
