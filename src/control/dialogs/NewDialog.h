#pragma once

#include <cstdint>

#include "control/dialogs/Dialog.h"

// The choice shown for a new plan: a blank plan, the room wizard or the building wizard.
// The caller reads the choice after the dialog ended with one of the picture buttons.
class NewDialog : public Dialog {
public:
    static constexpr uint32_t kTemplate = 580;
    // Choices.
    static constexpr uint32_t kBlank = 238;
    static constexpr uint32_t kRoomWizard = 239;
    static constexpr uint32_t kBuildingWizard = 240;
    // Picture buttons, left to right.
    static constexpr uint32_t kBlankButton = 243;
    static constexpr uint32_t kRoomWizardButton = 245;
    static constexpr uint32_t kBuildingWizardButton = 244;

    NewDialog() : Dialog(nullptr, kTemplate) {}

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    uint32_t GetChoice() const { return choice; }

private:
    uint32_t choice = kBlank;
};
