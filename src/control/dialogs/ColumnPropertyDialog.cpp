#include "control/dialogs/ColumnPropertyDialog.h"

ColumnPropertyDialog::ColumnPropertyDialog(DialogOwner* owner)
    : LengthDialog(owner, kTemplate),
      heightField(LengthField::Single(270, 273, "Height Above Ground")),
      widthField(LengthField::Single(271, 274, "Width")),
      overhangField(LengthField::Single(272, 275, "Overhang")) {}

void ColumnPropertyDialog::SetCapitalVisible(bool visible) {
    capitalVisible = visible;
    CheckItem(kCapital, visible);
}

void ColumnPropertyDialog::SetBaseBeamVisible(bool visible) {
    baseBeamVisible = visible;
    CheckItem(kBaseBeam, visible);
}

void ColumnPropertyDialog::SetSupportBeamVisible(bool visible) {
    supportBeamVisible = visible;
    CheckItem(kSupportBeam, visible);
    EnableBeamFields(visible);
}

void ColumnPropertyDialog::SetBeamHeight(double inches) {
    beamHeight = inches;
    if (window) heightField.Show(*this, inches);
}

void ColumnPropertyDialog::SetBeamWidth(double inches) {
    beamWidth = inches;
    if (window) widthField.Show(*this, inches);
}

void ColumnPropertyDialog::SetBeamOverhang(double inches) {
    beamOverhang = inches;
    if (window) overhangField.Show(*this, inches);
}

void ColumnPropertyDialog::EnableBeamFields(bool enable) {
    for (uint32_t id = 270; id <= 275; ++id) EnableItem(id, enable);
}

int ColumnPropertyDialog::OnInitDialog() {
    for (LengthField* field : {&heightField, &widthField, &overhangField})
        field->SetCaption(*this, field->caption);
    SetCapitalVisible(capitalVisible);
    SetBaseBeamVisible(baseBeamVisible);
    SetSupportBeamVisible(supportBeamVisible);
    SetBeamHeight(beamHeight);
    SetBeamWidth(beamWidth);
    SetBeamOverhang(beamOverhang);
    return 0;
}

int ColumnPropertyDialog::OnCommand(uint32_t message, uintptr_t wParam, intptr_t) {
    if (message == platform::WM_COMMAND && platform::LowWord(wParam) == kSupportBeam &&
        platform::HighWord(wParam) == platform::BN_CLICKED)
        EnableBeamFields(IsItemChecked(kSupportBeam));
    return 0;
}

int ColumnPropertyDialog::ValidateFields() {
    heightField.Validate(*this, 1.0, 3000.0);
    widthField.Validate(*this, 1.0, 1200.0);
    overhangField.Validate(*this, -6.0, 1200.0);
    return 0;
}

int ColumnPropertyDialog::NotifyOwner() {
    if (window) {
        capitalVisible = IsItemChecked(kCapital);
        baseBeamVisible = IsItemChecked(kBaseBeam);
        supportBeamVisible = IsItemChecked(kSupportBeam);
        beamHeight = heightField.Read(*this);
        beamWidth = widthField.Read(*this);
        beamOverhang = overhangField.Read(*this);
    }
    return Dialog::NotifyOwner();
}
