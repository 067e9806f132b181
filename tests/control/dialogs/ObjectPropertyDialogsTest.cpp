#include <gtest/gtest.h>

#include "control/dialogs/ColumnPropertyDialog.h"
#include "control/dialogs/MoldingPropertyDialog.h"
#include "control/dialogs/StairsPropertyDialog.h"
#include "control/dialogs/TextPropertyDialog.h"
#include "support/DialogPlayer.h"
#include "support/TestControl.h"

using platform::DialogBox;

namespace {

class ObjectDialogs : public ::testing::Test {
protected:
    ScopedProgramFolder programFolder;
    TestControl control;
    RecordingDialogOwner owner;
};

TEST_F(ObjectDialogs, ColumnBeamFieldsFollowTheSupportBeamAndOverhangMayBeNegative) {
    struct Case {
        const char* overhang;
        double read;
    };
    for (const Case& c : {Case{"-6", -6.0}, Case{"-7", -6.0}, Case{"2000", 1200.0}}) {
        ColumnPropertyDialog dialog(&owner);
        dialog.SetCapitalVisible(true);
        dialog.SetBeamHeight(100);
        dialog.SetBeamWidth(8);
        PlayDialog(dialog, [&](DialogBox& box) {
            EXPECT_TRUE(box.IsChecked(266));
            EXPECT_FALSE(box.IsEnabled(272));
            EXPECT_EQ(box.GetText(273), "Height Above Ground");
            box.Click(268);
            EXPECT_TRUE(box.IsEnabled(272));
            EXPECT_TRUE(box.IsEnabled(275));
            box.Type(272, c.overhang);
            box.PressEnter();
        });
        EXPECT_TRUE(dialog.supportBeamVisible);
        EXPECT_EQ(dialog.beamOverhang, c.read) << c.overhang;
        EXPECT_EQ(dialog.beamHeight, 100.0);
    }
}

TEST_F(ObjectDialogs, MoldingProfilesAndTheirRadii) {
    struct Case {
        int profile;
        uint32_t button;
        const char* horizontal;
    };
    const Case cases[] = {{5, 262, "3"}, {7, 267, "3"}, {4, 261, "6"}, {1, 257, "3"}};
    for (const Case& c : cases) {
        MoldingPropertyDialog dialog(&owner);
        dialog.SetProfile(c.profile);
        dialog.SetHorizontalRadius(3);
        dialog.SetVerticalRadius(2);
        PlayDialog(dialog, [&](DialogBox& box) {
            EXPECT_TRUE(box.IsChecked(c.button)) << c.profile;
            EXPECT_EQ(box.GetText(265), c.horizontal) << c.profile;
            EXPECT_EQ(box.GetText(266), "4") << c.profile;
            box.PressEnter();
        });
        EXPECT_EQ(dialog.profile, c.profile);
        EXPECT_EQ(dialog.horizontalRadius, 3.0) << c.profile;
        EXPECT_EQ(dialog.verticalRadius, 2.0) << c.profile;
    }
    // Changing the shape keeps the length the field stands for.
    MoldingPropertyDialog dialog(&owner);
    dialog.SetProfile(1);
    dialog.SetHorizontalRadius(3);
    PlayDialog(dialog, [](DialogBox& box) {
        box.Click(261);  // oval: diameter
        EXPECT_EQ(box.GetText(265), "6");
        box.Click(257);  // rectangle: radius
        EXPECT_EQ(box.GetText(265), "3");
        box.Click(263);
        box.PressEnter();
    });
    EXPECT_EQ(dialog.profile, 6);
    EXPECT_EQ(dialog.horizontalRadius, 3.0);
}

TEST_F(ObjectDialogs, StairsFieldsChecksAndPictures) {
    StairsPropertyDialog dialog(&owner);
    dialog.SetStairHeight(108);
    dialog.SetStepDepth(10);
    dialog.SetStepOverhang(1);
    dialog.SetStepThickness(2);
    dialog.SetStringerThickness(3);
    dialog.SetShowRiser(false);
    dialog.SetPreserveStepDepth(true);
    dialog.SetShowMiddleStringer(true);
    dialog.ShowStepHeight(7.5);
    PlayDialog(dialog, [](DialogBox& box) {
        EXPECT_EQ(box.GetText(348), "(7.50 inches)");
        EXPECT_FALSE(box.IsVisible(348));
        EXPECT_FALSE(box.IsEnabled(340));  // locked step depth
        EXPECT_FALSE(box.IsEnabled(353));  // supports off
        EXPECT_TRUE(box.IsVisible(365));   // middle support on
        EXPECT_FALSE(box.IsVisible(361));
        box.Click(344);
        EXPECT_TRUE(box.IsVisible(348));
        box.Click(345);
        EXPECT_TRUE(box.IsEnabled(340));
        EXPECT_EQ(box.Paints().back().bitmap, 638u);  // the open lock
        box.Focus(272);
        box.Focus(340);
        // The staircase with risers, then the step-depth overlay.
        const auto& paints = box.Paints();
        ASSERT_GE(paints.size(), 3u);
        EXPECT_EQ(paints[paints.size() - 3].bitmap, 626u);
        EXPECT_EQ(paints[paints.size() - 2].bitmap, 627u);
        box.Click(359);  // every support on
        EXPECT_TRUE(box.IsEnabled(286));
        EXPECT_TRUE(box.IsChecked(351));
        box.Type(272, "30");
        box.Type(285, "-1");
        box.PressEnter();
    });
    EXPECT_EQ(dialog.stepOverhang, 24.0f);
    EXPECT_EQ(dialog.stepThickness, 0.0f);
    EXPECT_EQ(dialog.stairHeight, 108.0f);
    EXPECT_TRUE(dialog.showRisers);
    EXPECT_FALSE(dialog.preserveStepDepth);
    EXPECT_TRUE(dialog.showSupports);
    for (bool support : dialog.supports) EXPECT_TRUE(support);
}

TEST_F(ObjectDialogs, StepHeightInCentimetres) {
    control.globalState.SetBoolean(7, true);
    StairsPropertyDialog dialog(&owner);
    dialog.SetShowRiser(true);
    dialog.ShowStepHeight(7.5);
    PlayDialog(dialog, [](DialogBox& box) {
        EXPECT_EQ(box.GetText(348), "(19.05 centimeters)");
        EXPECT_TRUE(box.IsVisible(347));
        EXPECT_FALSE(box.IsVisible(346));
        box.PressEscape();
    });
}

TEST_F(ObjectDialogs, TextPropertiesAskTheOwnerForFontAndText) {
    TextPropertyDialog dialog(&owner);
    dialog.SetThickness(2);
    PlayDialog(dialog, [](DialogBox& box) {
        EXPECT_EQ(box.GetText(332), "Text thickness");
        box.Click(248);
        box.Click(249);
        box.Type(247, "0");
        box.PressEnter();
    });
    EXPECT_EQ(owner.codes, (std::vector<int>{10, 11, 1}));
    EXPECT_EQ(dialog.thickness, 1.0);

    TextPropertyDialog locked(&owner);
    locked.SetNoTextEditing(true);
    PlayDialog(locked, [](DialogBox& box) {
        EXPECT_FALSE(box.IsEnabled(249));
        box.PressEscape();
    });
}

}  // namespace
