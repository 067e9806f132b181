#pragma once

#include <cstdint>

#include "control/dialogs/LengthDialog.h"

// A molding: its profile shape and its horizontal and vertical radii. The fields show
// diameters where the shape is drawn full width (the vertical always, the horizontal for
// the oval and the flat-bottomed triangle) and radii otherwise.
class MoldingPropertyDialog : public LengthDialog {
public:
    static constexpr uint32_t kTemplate = 606;
    static constexpr uint32_t kHorizontal = 265;
    static constexpr uint32_t kVertical = 266;
    static constexpr int kOtherProfile = 7;

    explicit MoldingPropertyDialog(DialogOwner* owner);

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    int ValidateFields() override;
    int NotifyOwner() override;

    void SetProfile(int shape);
    void SetHorizontalRadius(double inches);
    void SetVerticalRadius(double inches);

    int profile = 1;
    double horizontalRadius = 0.0;
    double verticalRadius = 0.0;

private:
    // The profile of the checked shape button (Other when none).
    int CheckedProfile() const;
    // Whether the horizontal field of `shape` shows the diameter.
    static bool IsFullWidth(int shape);

    LengthField horizontalField;
    LengthField verticalField;
    // The profile the horizontal field is shown for.
    int shownProfile = 1;
};
