#include <gtest/gtest.h>

#include "control/dialogs/SlabCoveringPropertyDialog.h"
#include "support/DialogPlayer.h"
#include "support/TestControl.h"

using platform::DialogBox;

namespace {

class SlabDialogs : public ::testing::Test {
protected:
    ScopedProgramFolder programFolder;
    TestControl control;
    RecordingDialogOwner owner;
};

TEST_F(SlabDialogs, ConstrainedScaleKeepsTheAspect) {
    SlabCoveringPropertyDialog dialog(&owner);
    dialog.SetScale(Vector(50, 100, 0));
    dialog.SetMaterialName("http://x/textures/plastics/whiteplasticmat.jpg");
    PlayDialog(dialog, [&](DialogBox& box) {
        EXPECT_EQ(box.GetText(255), "(drag material onto it from directory)");
        EXPECT_FALSE(box.IsChecked(254));
        EXPECT_EQ(box.Paints().back().bitmap, 600u);
        box.Click(254);
        EXPECT_FALSE(box.IsEnabled(252));
        EXPECT_EQ(box.Paints().back().bitmap, 603u);
        EXPECT_EQ(box.Paints().back().mask, 622u);
        box.Type(251, "30");
        EXPECT_EQ(box.GetText(252), "60");
        box.Type(250, "150");  // reflectivity above 100
        box.PressEnter();
    });
    EXPECT_EQ(dialog.scale.x, 30.0);
    EXPECT_EQ(dialog.scale.y, 60.0);
    EXPECT_EQ(dialog.reflectivity, 100.0);
    EXPECT_DOUBLE_EQ(dialog.aspect, 2.0);
}

TEST_F(SlabDialogs, EqualScalesOpenConstrained) {
    SlabCoveringPropertyDialog dialog(&owner);
    dialog.SetScale(Vector(80, 80, 0));
    dialog.SetMaterialName("textures/wood/oak.jpg");
    PlayDialog(dialog, [](DialogBox& box) {
        EXPECT_TRUE(box.IsChecked(254));
        EXPECT_EQ(box.GetText(255), "textures/wood/oak.jpg");
        box.Type(251, "0");
        box.Focus(0);
        EXPECT_EQ(box.GetText(251), "1");
        box.PressEscape();
    });
    EXPECT_TRUE(owner.codes.empty());
}

TEST_F(SlabDialogs, SlabLengthsDataAndAddData) {
    BaseSlabPropertyDialog dialog(&owner);
    dialog.SetHeight(96);
    dialog.SetThickness(6);
    dialog.SetHeightLabel("Wall Height");
    dialog.SetDataPairs({{"Colour", "Red"}, {"Maker", "Acme"}});
    PlayDialog(dialog, [](DialogBox& box) {
        EXPECT_EQ(box.GetText(295), "Wall Height");
        EXPECT_EQ(box.GetText(296), "Thickness");
        EXPECT_EQ(box.GetText(270), "96");
        EXPECT_EQ(box.GetText(290), "Colour\tRed\r\nMaker\tAcme");
        EXPECT_FALSE(box.IsEnabled(3));
        box.Type(281, "Finish");
        EXPECT_FALSE(box.IsEnabled(3));
        box.Type(282, "Matt");
        EXPECT_TRUE(box.IsEnabled(3));
        box.Click(3);
        box.Type(285, "5000");
        box.PressEnter();
    });
    EXPECT_EQ(owner.codes, (std::vector<int>{10, 1}));
    EXPECT_EQ(dialog.label, "Finish");
    EXPECT_EQ(dialog.name, "Matt");
    EXPECT_EQ(dialog.height, 96.0);
    EXPECT_EQ(dialog.thickness, 3000.0);
}

TEST_F(SlabDialogs, CounterBacksplashIsKeptWithinTenFeet) {
    CounterPropertyDialog dialog(&owner);
    dialog.SetBacksplashHeight(4);
    dialog.SetHeight(36);
    PlayDialog(dialog, [](DialogBox& box) {
        EXPECT_EQ(box.GetText(295), "&Height Above Ground");
        EXPECT_EQ(box.GetText(297), "Backsplash Height");
        EXPECT_EQ(box.GetText(271), "4");
        box.Type(271, "200");
        box.PressEnter();
    });
    EXPECT_EQ(dialog.backsplashHeight, 120.0);
    EXPECT_EQ(dialog.height, 36.0);
}

}  // namespace
