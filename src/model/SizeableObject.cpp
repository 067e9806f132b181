#include "model/SizeableObject.h"

#include <cmath>

#include "control/BaseControl.h"
#include "control/dialogs/LengthDialog.h"
#include "platform/Menu.h"

void SizeableObject::BuildPropertyMenu(platform::Menu& menu) {
    menu.AppendItem(MenuCommand::kSetDimensions, menuLabel);
}

bool SizeableObject::ProcessPropertyMenu(uint32_t id) {
    if (id != MenuCommand::kSetDimensions) return UndoableObject::ProcessPropertyMenu(id);
    BeginUndoStep();
    LenWidHgtDialog dialog(this);
    dialog.SetValues(GetSizeZ(), GetSizeX(), GetSizeY());
    dialog.SetPrompt(dialogPrompt);
    if (!lengthLabel.empty()) dialog.SetFieldLabel(lengthLabel);
    if (!widthLabel.empty()) dialog.SetWidthLabel(widthLabel);
    if (!heightLabel.empty()) dialog.SetHeightLabel(heightLabel);
    dialog.Show();
    EndUndoStep();
    return true;
}

int SizeableObject::OnDialogNotify(Dialog* dialog, int code) {
    auto* sizes = dynamic_cast<LenWidHgtDialog*>(dialog);
    if (!sizes || code != Dialog::kNotifyApply) return 0;
    const int result = SetDimensions(sizes->GetWidth(), sizes->GetHeight(), sizes->GetLength());
    if (result != 0) ShowResizeError(result);
    sizes->SetValues(GetSizeZ(), GetSizeX(), GetSizeY());
    return 0;
}

void SizeableObject::ShowResizeError(int) {
    BaseControl* control = theControl();
    if (!control) return;
    platform::MessageBoxRequest box;
    box.owner = control;
    box.text = "Unable to resize to specified dimensions.";
    box.caption = "Invalid Dimensions";
    box.icon = platform::MessageIcon::Warning;
    control->ShowMessageBox(box);
}

int SizeableObject::SetSizeZ(double) {
    return 0;
}
int SizeableObject::SetSizeX(double) {
    return 0;
}
int SizeableObject::SetSizeY(double) {
    return 0;
}
double SizeableObject::GetSizeZ() const {
    return 0.0;
}
double SizeableObject::GetSizeX() const {
    return 0.0;
}
double SizeableObject::GetSizeY() const {
    return 0.0;
}

int SizeableObject::SetDimensions(double x, double y, double z) {
    if (GetSizeZ() != z && std::fabs(z) < kMaxLengthOrWidth) {
        const int code = SetSizeZ(z);
        if (code != 0) return code;
    }
    if (GetSizeX() != x && std::fabs(x) < kMaxLengthOrWidth) {
        const int code = SetSizeX(x);
        if (code != 0) return code;
    }
    if (GetSizeY() != y && std::fabs(y) < kMaxHeight) return SetSizeY(y);
    return 0;
}
