#include "control/dialogs/NewDialog.h"

int NewDialog::OnInitDialog() {
    choice = kBlank;
    CheckItem(kBlank, true);
    SetButtonBitmap(kBlankButton, 579);
    SetButtonBitmap(kRoomWizardButton, 582);
    SetButtonBitmap(kBuildingWizardButton, 581);
    return 0;
}

int NewDialog::OnCommand(uint32_t message, uintptr_t wParam, intptr_t) {
    if (message != platform::WM_COMMAND) return 0;
    switch (platform::LowWord(wParam)) {
        case kBlankButton:
            choice = kBlank;
            return 1;
        case kRoomWizardButton:
            choice = kRoomWizard;
            return 1;
        case kBuildingWizardButton:
            choice = kBuildingWizard;
            return 1;
        case kBlank:
        case kRoomWizard:
        case kBuildingWizard:
            choice = platform::LowWord(wParam);
            return 0;
        default:
            return 0;
    }
}
