#include <gtest/gtest.h>

#include <functional>

#include "control/dialogs/DomePropertyDialog.h"
#include "support/DialogPlayer.h"
#include "support/TestControl.h"

using platform::DialogBox;

namespace {

class AtmosphereDialogs : public ::testing::Test {
protected:
    ScopedProgramFolder programFolder;
    TestControl control;
};

TEST_F(AtmosphereDialogs, ColourEditsAndSlidersFollowEachOther) {
    control.globalState.SetVector(0, Vector(0.2, 0.4, 0.6));
    DomePropertyDialog dialog;
    PlayDialog(dialog, [](DialogBox& box) {
        EXPECT_EQ(box.GetText(364), "51");  // 0.2 x 255 rounded
        EXPECT_EQ(box.GetPosition(385), 20);
        box.Type(364, "300");
        EXPECT_EQ(box.GetText(364), "255");
        EXPECT_EQ(box.GetPosition(385), 100);
        box.Type(365, "-4");
        EXPECT_EQ(box.GetText(365), "0");
        box.Slide(384, 50);
        EXPECT_EQ(box.GetText(366), "127");
        // The swatch shows the sliders' colour above the stored one.
        ASSERT_GE(box.Paints().size(), 2u);
        const auto& upper = box.Paints()[box.Paints().size() - 2];
        const auto& lower = box.Paints().back();
        EXPECT_EQ(upper.colour, 0x7F00FFu);
        EXPECT_EQ(lower.colour, 0x996633u);
        EXPECT_EQ(upper.rect.left, 12);
        EXPECT_LT(upper.rect.bottom, lower.rect.bottom);
        box.PressEscape();
    });
    EXPECT_EQ(control.globalState.GetVector(0).x, 0.2);  // cancelled
}

TEST_F(AtmosphereDialogs, SkyRotationDirectionAndDefaultColours) {
    control.globalState.SetDouble(14, -3.0);
    DomePropertyDialog dialog;
    PlayDialog(dialog, [](DialogBox& box) {
        EXPECT_EQ(box.GetText(DomePropertyDialog::kRotation), "3");
        EXPECT_TRUE(box.IsChecked(DomePropertyDialog::kClockwise));
        EXPECT_FALSE(box.IsChecked(DomePropertyDialog::kCounterClockwise));
        box.Click(DomePropertyDialog::kRestoreColours);
        EXPECT_EQ(box.GetText(367), "76");
        box.Type(DomePropertyDialog::kRotation, "5.7");
        box.Click(Dialog::kApply);
        box.Click(DomePropertyDialog::kCounterClockwise);
        box.PressEnter();
    });
    EXPECT_EQ(control.globalState.GetDouble(14), 5.0);
    const Vector top = control.globalState.GetVector(0);
    EXPECT_DOUBLE_EQ(top.x, 131 / 255.0);
    EXPECT_DOUBLE_EQ(control.globalState.GetVector(1).z, 1.0);
}

TEST_F(AtmosphereDialogs, FogPresetsTypeAndColour) {
    FogState& fog = control.fogState;
    fog.SetBoolean(0, true);
    fog.SetInteger(0, FogState::kLinear);
    for (int i = 1; i <= 3; ++i) fog.SetInteger(i, 80);
    fog.SetDouble(0, 100);
    FogPropertyDialog dialog;
    PlayDialog(dialog, [](DialogBox& box) {
        EXPECT_TRUE(box.IsChecked(263));                              // density 100
        EXPECT_TRUE(box.IsChecked(270));                              // grey 80
        EXPECT_TRUE(box.IsChecked(259));                              // distant fog
        box.Mouse(platform::WM_LBUTTONUP, 10 + 40 * 5 + 3, 100 + 3);  // densest picture
        EXPECT_TRUE(box.IsChecked(266));
        box.Click(267);  // white
        EXPECT_EQ(box.GetText(391), "255");
        box.Click(258);  // haze
        box.PressEnter();
    });
    EXPECT_EQ(fog.GetDouble(0), 400.0);
    EXPECT_EQ(fog.GetDouble(1), 50.0);
    EXPECT_EQ(fog.GetDouble(2), 900.0);
    EXPECT_EQ(fog.GetInteger(0), FogState::kExp2);
    EXPECT_EQ(fog.GetInteger(2), 255);
}

TEST_F(AtmosphereDialogs, FogWithoutPresetDensityKeepsItsRangeAndDisabledFogIgnoresPictures) {
    FogState& fog = control.fogState;
    fog.SetBoolean(0, false);
    fog.SetDouble(0, 30.7);
    fog.SetDouble(1, 111);
    fog.SetDouble(2, 222);
    FogPropertyDialog dialog;
    PlayDialog(dialog, [](DialogBox& box) {
        for (uint32_t radio : {260, 261, 262, 263, 264, 266}) EXPECT_FALSE(box.IsChecked(radio));
        EXPECT_FALSE(box.IsEnabled(260));
        EXPECT_FALSE(box.IsEnabled(391));
        box.Mouse(platform::WM_LBUTTONUP, 10 + 3, 100 + 3);
        EXPECT_FALSE(box.IsChecked(260));
        box.Click(FogPropertyDialog::kEnable);
        EXPECT_TRUE(box.IsEnabled(260));
        box.PressEnter();
    });
    EXPECT_TRUE(fog.GetBoolean(0));
    EXPECT_EQ(fog.GetDouble(0), 30.0);
    EXPECT_EQ(fog.GetDouble(1), 111.0);
    EXPECT_EQ(fog.GetDouble(2), 222.0);
    EXPECT_EQ(fog.GetInteger(0), FogState::kExp);  // the kind it had
}

}  // namespace
