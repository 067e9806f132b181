#include "control/dialogs/TextPropertyDialog.h"

TextPropertyDialog::TextPropertyDialog(DialogOwner* owner)
    : LengthDialog(owner, kTemplate),
      thicknessField(LengthField::Single(kThickness, 332, "Text thickness")) {}

void TextPropertyDialog::SetThickness(double inches) {
    thickness = inches;
    if (window) thicknessField.Show(*this, inches);
}

int TextPropertyDialog::OnInitDialog() {
    thicknessField.SetCaption(*this, thicknessField.caption);
    thicknessField.Show(*this, thickness);
    if (noTextEditing) EnableItem(kEditText, false);
    return 0;
}

int TextPropertyDialog::OnCommand(uint32_t message, uintptr_t wParam, intptr_t) {
    if (message != platform::WM_COMMAND || platform::HighWord(wParam) != platform::BN_CLICKED)
        return 0;
    switch (platform::LowWord(wParam)) {
        case kFontSettings:
            return NotifyOwnerWith(kNotifyFont);
        case kEditText:
            return NotifyOwnerWith(kNotifyEditText);
        default:
            return 0;
    }
}

int TextPropertyDialog::ValidateFields() {
    thicknessField.Validate(*this, 1.0, 3000.0);
    return 0;
}

int TextPropertyDialog::NotifyOwner() {
    if (window) thickness = thicknessField.Read(*this);
    return Dialog::NotifyOwner();
}
