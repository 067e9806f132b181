#include <gtest/gtest.h>

#include "control/dialogs/NewDialog.h"

namespace {

TEST(NewDialogTest, PictureButtonsChooseAndCloseRadiosOnlyChoose) {
    struct Case {
        std::vector<uint32_t> clicks;
        int code;
        uint32_t choice;
    };
    const Case cases[] = {
        {{NewDialog::kBlankButton}, NewDialog::kBlankButton, NewDialog::kBlank},
        {{NewDialog::kRoomWizardButton}, NewDialog::kRoomWizardButton, NewDialog::kRoomWizard},
        {{NewDialog::kBuildingWizardButton},
         NewDialog::kBuildingWizardButton,
         NewDialog::kBuildingWizard},
        {{NewDialog::kRoomWizard, Dialog::kCancel}, Dialog::kCancel, NewDialog::kRoomWizard},
    };
    for (const Case& c : cases) {
        NewDialog dialog;
        Dialog::SetModalRunner([&](Dialog& d) {
            platform::DialogBox& box = *d.Window();
            EXPECT_TRUE(box.IsChecked(NewDialog::kBlank));
            EXPECT_EQ(box.Find(NewDialog::kBlankButton)->bitmap, 579u);
            EXPECT_EQ(box.Find(NewDialog::kRoomWizardButton)->bitmap, 582u);
            EXPECT_EQ(box.Find(NewDialog::kBuildingWizardButton)->bitmap, 581u);
            for (uint32_t id : c.clicks) box.Click(id);
            return 0;
        });
        EXPECT_EQ(dialog.Show(), c.code);
        EXPECT_EQ(dialog.GetChoice(), c.choice);
    }
    Dialog::SetModalRunner(nullptr);
}

}  // namespace
