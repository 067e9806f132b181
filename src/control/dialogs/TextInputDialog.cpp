#include "control/dialogs/TextInputDialog.h"

#include "control/BaseControl.h"
#include "platform/MessageBox.h"

namespace {

// An empty text deletes the text object: the user confirms it.
bool ConfirmEmptyText() {
    platform::MessageBoxRequest box;
    box.text = "Entering no text will delete the text object, are you sure you want to continue?";
    box.caption = "Continue";
    box.buttons = platform::MessageButtons::YesNo;
    box.icon = platform::MessageIcon::Question;
    BaseControl* control = theControl();
    box.owner = control;
    const platform::MessageAnswer answer =
        control ? control->ShowMessageBox(box) : platform::ShowMessageBox(box);
    return answer != platform::MessageAnswer::No;
}

}  // namespace

void TextInputDialog::SetText(const std::string& newText) {
    text = newText.substr(0, kMaxText);
    if (window) SetItemText(kText, text);
}

int TextInputDialog::OnInitDialog() {
    SetItemText(kText, text);
    if (noProperties) EnableItem(kProperties, false);
    return 0;
}

int TextInputDialog::OnCommand(uint32_t message, uintptr_t wParam, intptr_t) {
    if (message == platform::WM_COMMAND && platform::LowWord(wParam) == kProperties &&
        platform::HighWord(wParam) == platform::BN_CLICKED)
        return NotifyOwnerWith(kNotifyProperties);
    return 0;
}

int TextInputDialog::NotifyOwner() {
    const std::string typed = GetItemText(kText).substr(0, kMaxText);
    if (!typed.empty() || ConfirmEmptyText()) text = typed;
    return Dialog::NotifyOwner();
}
