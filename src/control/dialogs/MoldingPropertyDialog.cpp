#include "control/dialogs/MoldingPropertyDialog.h"

#include <iterator>

namespace {

struct ShapeButton {
    uint32_t id;
    int profile;
};
constexpr ShapeButton kShapes[] = {
    {257, 1}, {259, 2}, {260, 3}, {261, 4}, {262, 5}, {263, 6}, {267, 7}, {264, 8},
};

}  // namespace

MoldingPropertyDialog::MoldingPropertyDialog(DialogOwner* owner)
    : LengthDialog(owner, kTemplate),
      horizontalField(LengthField::Single(kHorizontal, 297, "Horizontal Radius")),
      verticalField(LengthField::Single(kVertical, 298, "Vertical Radius")) {}

bool MoldingPropertyDialog::IsFullWidth(int shape) {
    return shape == 4 || shape == 6;
}

int MoldingPropertyDialog::CheckedProfile() const {
    for (const ShapeButton& shape : kShapes)
        if (shape.id != 267 && IsItemChecked(shape.id)) return shape.profile;
    return kOtherProfile;
}

void MoldingPropertyDialog::SetProfile(int shape) {
    profile = shape;
    if (!window) return;
    for (const ShapeButton& button : kShapes)
        if (button.profile == shape) CheckItem(button.id, true);
}

void MoldingPropertyDialog::SetHorizontalRadius(double inches) {
    horizontalRadius = inches;
    if (!window) return;
    shownProfile = profile;
    horizontalField.Show(*this, IsFullWidth(profile) ? inches * 2.0 : inches);
}

void MoldingPropertyDialog::SetVerticalRadius(double inches) {
    verticalRadius = inches;
    if (window) verticalField.Show(*this, inches * 2.0);
}

int MoldingPropertyDialog::OnInitDialog() {
    horizontalField.SetCaption(*this, horizontalField.caption);
    verticalField.SetCaption(*this, verticalField.caption);
    SetProfile(profile);
    SetHorizontalRadius(horizontalRadius);
    SetVerticalRadius(verticalRadius);
    return 0;
}

int MoldingPropertyDialog::OnCommand(uint32_t message, uintptr_t wParam, intptr_t) {
    if (message != platform::WM_COMMAND || platform::HighWord(wParam) != platform::BN_CLICKED)
        return 0;
    const uint32_t id = platform::LowWord(wParam);
    for (const ShapeButton& shape : kShapes) {
        if (shape.id != id) continue;
        // The horizontal field keeps its length through the change of rule.
        const double shown = horizontalField.Read(*this);
        const double radius = IsFullWidth(shownProfile) ? shown * 0.5 : shown;
        shownProfile = CheckedProfile();
        horizontalField.Show(*this, IsFullWidth(shownProfile) ? radius * 2.0 : radius);
    }
    return 0;
}

int MoldingPropertyDialog::ValidateFields() {
    horizontalField.Validate(*this, 1.0, 1200.0);
    verticalField.Validate(*this, 1.0, 1200.0);
    return 0;
}

int MoldingPropertyDialog::NotifyOwner() {
    if (window) {
        profile = CheckedProfile();
        const double horizontal = horizontalField.Read(*this);
        horizontalRadius = IsFullWidth(profile) ? horizontal * 0.5 : horizontal;
        verticalRadius = verticalField.Read(*this) * 0.5;
    }
    return Dialog::NotifyOwner();
}
