#include <gtest/gtest.h>

#include <functional>

#include "control/Defaults.h"
#include "control/dialogs/Preferences.h"
#include "foundation/Registry.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

using platform::DialogBox;

namespace {

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override { SetFactoryDefaults(control); }
    void TearDown() override { Dialog::SetModalRunner(nullptr); }

    // Runs the dialog with `play` given the dialog box and the dialog.
    int Run(Preferences& prefs, std::function<void(DialogBox&, Preferences&)> play) {
        Dialog::SetModalRunner([&prefs, play](Dialog&) {
            play(*prefs.Window(), prefs);
            return 0;
        });
        return prefs.Show();
    }

    ScopedRegistry registry;
    ScopedProgramFolder folder;
    TestControl control;
};

TEST_F(PreferencesTest, OpensOnTheRequestedPageWithElevenTabs) {
    Preferences prefs(control);
    prefs.SetPage(Preferences::kAbout);
    Run(prefs, [](DialogBox& box, Preferences& p) {
        const platform::DialogControl* tabs = box.Find(Preferences::kTabs);
        ASSERT_NE(tabs, nullptr);
        ASSERT_EQ(tabs->items.size(), 11u);
        EXPECT_EQ(tabs->items[4], "Blueprint Mode");
        EXPECT_EQ(tabs->items[10], "About");
        EXPECT_EQ(tabs->selection, Preferences::kAbout);
        EXPECT_EQ(box.GetText(377), "*All values are in inches unless otherwise indicated.");
        ASSERT_NE(p.PageWindow()->Find(376), nullptr);
        p.PageWindow()->Send(platform::WM_PAINT);
        ASSERT_EQ(p.PageWindow()->Paints().size(), 1u);
        EXPECT_EQ(p.PageWindow()->Paints()[0].bitmap, 673u);
        EXPECT_EQ(p.PageWindow()->Paints()[0].mask, 675u);
        box.ChooseTab(Preferences::kTabs, Preferences::kWalls);
        EXPECT_EQ(p.GetPage(), Preferences::kWalls);
        EXPECT_EQ(p.PageWindow()->GetText(270), "108");
        EXPECT_EQ(p.PageWindow()->GetText(331), "Exterior Wall Thickness");
        box.PressEscape();
    });
}

TEST_F(PreferencesTest, OkWritesEveryPageAndCancelDropsTheCopies) {
    for (bool ok : {false, true}) {
        SetFactoryDefaults(control);
        Preferences prefs(control);
        const int code = Run(prefs, [ok](DialogBox& box, Preferences& p) {
            p.PageWindow()->Click(302);  // snap off
            box.ChooseTab(Preferences::kTabs, Preferences::kWalls);
            p.PageWindow()->Type(270, "96");
            box.ChooseTab(Preferences::kTabs, Preferences::kCountertops);
            p.PageWindow()->Type(247, "2.5");
            box.ChooseTab(Preferences::kTabs, Preferences::kGeneral);
            EXPECT_FALSE(p.PageWindow()->IsChecked(302));  // the copy survives the page
            ok ? box.PressEnter() : box.PressEscape();
        });
        EXPECT_EQ(code, ok ? Dialog::kOk : Dialog::kCancel);
        EXPECT_EQ(control.globalState.GetBoolean(3), !ok);
        EXPECT_EQ(control.wallState.GetDouble(5), ok ? 96.0 : 108.0);
        EXPECT_EQ(control.counterState.GetDouble(0), ok ? 2.5 : 1.5);
        EXPECT_EQ(control.roofState.GetDouble(0), 6.0);
    }
}

TEST_F(PreferencesTest, FieldsAreClampedWhenTheyLoseTheFocus) {
    struct Case {
        int page;
        uint32_t edit;
        const char* typed;
        const char* shown;
    };
    const Case cases[] = {
        {Preferences::kAdvanced, 326, "1000", "1024"},
        {Preferences::kAdvanced, 326, "700", "512"},
        {Preferences::kAdvanced, 327, "3000", "2048"},
        {Preferences::kAdvanced, 327, "-5", "0"},
        {Preferences::kAdvanced, 328, "200", "180"},
        {Preferences::kAdvanced, 322, "-9", "-9"},  // no limits
        {Preferences::kAutoSave, 309, "0", "1"},
        {Preferences::kAutoSave, 309, "500", "120"},
        {Preferences::kMeasurements, 313, "900", "600"},
        {Preferences::kWalls, 329, "5000", "1200"},
    };
    for (const Case& c : cases) {
        Preferences prefs(control);
        prefs.SetPage(c.page);
        Run(prefs, [&](DialogBox& box, Preferences& p) {
            p.PageWindow()->Type(c.edit, c.typed);
            p.PageWindow()->Focus(0);  // the focus leaves the page
            EXPECT_EQ(p.PageWindow()->GetText(c.edit), c.shown) << c.edit << " " << c.typed;
            box.PressEscape();
        });
    }
    // Applied values pass the clamps too.
    Preferences prefs(control);
    prefs.SetPage(Preferences::kAdvanced);
    Run(prefs, [](DialogBox& box, Preferences& p) {
        p.PageWindow()->Type(326, "1000");
        box.PressEnter();  // the field still has the focus
    });
    EXPECT_EQ(control.globalState.GetInteger(8), 1024);
}

TEST_F(PreferencesTest, GridSpacingMarkerShowsAsTwelveInches) {
    ASSERT_EQ(control.globalState.GetDouble(12), -1.0);
    Preferences prefs(control);
    prefs.SetPage(Preferences::kMeasurements);
    Run(prefs, [](DialogBox& box, Preferences& p) {
        EXPECT_EQ(p.PageWindow()->GetText(313), "12");
        EXPECT_EQ(p.PageWindow()->GetText(317), "Grid Spacing");
        box.PressEnter();
    });
    EXPECT_EQ(control.globalState.GetDouble(12), 12.0);
}

TEST_F(PreferencesTest, TipsAtStartupAreKeptInTheRegistry) {
    ASSERT_TRUE(RegistrySetDouble("webKeys\\", "TipStartup", 1.0));
    Preferences prefs(control);
    Run(prefs, [](DialogBox& box, Preferences& p) {
        EXPECT_FALSE(p.PageWindow()->IsChecked(304));
        p.PageWindow()->Click(304);
        box.PressEnter();
    });
    double stored = -1;
    ASSERT_TRUE(RegistryGetDouble("webKeys\\", "TipStartup", &stored));
    EXPECT_EQ(stored, 0.0);
}

TEST_F(PreferencesTest, ChangingUnitsStoresEverythingAtOnceAndShowsCentimetres) {
    Preferences prefs(control);
    prefs.SetPage(Preferences::kMeasurements);
    Run(prefs, [&](DialogBox& box, Preferences& p) {
        box.ChooseTab(Preferences::kTabs, Preferences::kWalls);
        p.PageWindow()->Type(328, "6");
        box.ChooseTab(Preferences::kTabs, Preferences::kMeasurements);
        EXPECT_EQ(p.PageWindow()->GetText(312), "0.10");  // the nudge in inches
        p.PageWindow()->Click(314);
        EXPECT_TRUE(control.globalState.GetBoolean(7));
        EXPECT_EQ(control.wallState.GetDouble(10), 6.0);
        EXPECT_TRUE(p.PageWindow()->IsChecked(314));
        EXPECT_FALSE(p.PageWindow()->IsChecked(311));
        EXPECT_EQ(p.PageWindow()->GetText(312), "0.25");  // 0.1 in. in centimetres
        EXPECT_EQ(box.GetText(377), "*All values are in centimeters unless otherwise indicated.");
        box.ChooseTab(Preferences::kTabs, Preferences::kWalls);
        EXPECT_EQ(p.PageWindow()->GetText(328), "15.24");
        box.PressEscape();  // what the unit change stored stays
    });
    EXPECT_TRUE(control.globalState.GetBoolean(7));
    EXPECT_EQ(control.wallState.GetDouble(10), 6.0);
}

TEST_F(PreferencesTest, RestoreDefaultsReloadsTheFactoryValues) {
    control.wallState.SetDouble(5, 90.0);
    Preferences prefs(control);
    prefs.SetPage(Preferences::kWalls);
    Run(prefs, [](DialogBox& box, Preferences& p) {
        EXPECT_EQ(p.PageWindow()->GetText(270), "90");
        box.Click(Preferences::kRestoreDefaults);
        EXPECT_EQ(p.PageWindow()->GetText(270), "108");
        box.PressEscape();
    });
}

}  // namespace
