#include "control/dialogs/LengthDialog.h"

#include <algorithm>
#include <cmath>

#include "control/LengthFormat.h"

namespace {

// Lengths that are shown, rounded, and read back unchanged keep their stored value.
constexpr double kUnchanged = 0.005;
// Keeps 29.997 showing as 2 ft. 6.00 in. rather than 2 ft. 5.997.
constexpr double kFeetBias = 0.004;
constexpr double kCentimetresPerInch = 2.54;

double ClampLength(double value, double min, double max) {
    return std::isfinite(value) ? std::clamp(value, min, max) : min;
}

}  // namespace

LengthField LengthField::Single(uint32_t edit, uint32_t captionControl,
                                const std::string& captionText) {
    LengthField field(0, edit, edit);
    // The unit is told by the caption or a note of the dialog, not by unit labels.
    field.feetLabel = field.inchesLabel = field.metricLabel = 0;
    field.captionId = captionControl;
    field.caption = captionText.substr(0, kCaptionSize - 1);
    return field;
}

void LengthField::Show(Dialog& dialog, double inches) {
    if (Dialog::IsMetric()) {
        if (feetEdit != metricEdit) dialog.ShowItem(feetEdit, false);
        if (inchesEdit != metricEdit) dialog.ShowItem(inchesEdit, false);
        dialog.ShowItem(feetLabel, false);
        dialog.ShowItem(inchesLabel, false);
        dialog.ShowItem(metricEdit, true);
        dialog.ShowItem(metricLabel, true);
        dialog.SetItemNumber(metricEdit, inches * kCentimetresPerInch);
    } else {
        if (metricEdit != feetEdit && metricEdit != inchesEdit) dialog.ShowItem(metricEdit, false);
        dialog.ShowItem(metricLabel, false);
        dialog.ShowItem(inchesEdit, true);
        dialog.ShowItem(inchesLabel, true);
        if (feetEdit != 0) {
            dialog.ShowItem(feetEdit, true);
            dialog.ShowItem(feetLabel, true);
            const double biased = inches + kFeetBias;
            const double feet = std::trunc(biased / 12.0);
            dialog.SetItemNumber(feetEdit, feet);
            dialog.SetItemNumber(inchesEdit, biased - 12.0 * feet);
        } else {
            dialog.SetItemNumber(inchesEdit, inches);
        }
    }
    value = inches;
}

double LengthField::Read(const Dialog& dialog) const {
    double typed;
    if (Dialog::IsMetric()) {
        typed = dialog.GetItemNumber(metricEdit) * kInchesPerCentimetre;
    } else if (feetEdit != 0) {
        typed = dialog.GetItemNumber(feetEdit) * 12.0 + dialog.GetItemNumber(inchesEdit);
    } else {
        typed = dialog.GetItemNumber(inchesEdit);
    }
    if (std::fabs(typed - value) < kUnchanged) return value;
    return typed;
}

bool LengthField::Validate(Dialog& dialog, double min, double max) {
    const double typed = Read(dialog);
    const double clamped = ClampLength(typed, min, max);
    const platform::DialogBox* box = dialog.Window();
    if (box && box->IsEnabled(inchesEdit)) Show(dialog, clamped);
    return clamped == typed;
}

void LengthField::SetCaption(Dialog& dialog, const std::string& text) {
    caption = text.substr(0, kCaptionSize - 1);
    if (captionId != 0) dialog.SetItemText(captionId, caption);
}

void LengthField::Enable(Dialog& dialog, bool enable) const {
    for (uint32_t id :
         {captionId, feetEdit, feetLabel, inchesEdit, inchesLabel, metricEdit, metricLabel})
        if (id != 0) dialog.EnableItem(id, enable);
}

LengthDialog::LengthDialog(DialogOwner* owner, uint32_t templateId) : Dialog(owner, templateId) {}

void LengthDialog::SetLength(double inches) {
    value = inches;
    if (window) lengthField.Show(*this, inches);
}

void LengthDialog::SetFieldLabel(const std::string& text) {
    lengthField.caption = text.substr(0, LengthField::kCaptionSize - 1);
    lengthField.captionId = text.empty() ? 0 : kLengthCaption;
}

int LengthDialog::OnInitDialog() {
    lengthField.Show(*this, value);
    if (lengthField.captionId != 0) SetItemText(lengthField.captionId, lengthField.caption);
    if (!caption.empty()) SetTitle(caption);
    SetItemText(kPrompt, prompt);
    return 0;
}

int LengthDialog::ValidateFields() {
    lengthField.Validate(*this, kMinLength, kMaxLength);
    return 0;
}

int LengthDialog::NotifyOwner() {
    value = lengthField.Read(*this);
    return Dialog::NotifyOwner();
}

LenWidHgtDialog::LenWidHgtDialog(DialogOwner* owner) : LengthDialog(owner, kTemplate) {
    SetFieldLabel("Length");
    widthField.feetLabel = 230;
    widthField.inchesLabel = 232;
    widthField.metricLabel = 236;
    widthField.captionId = 227;
    widthField.caption = "Width";
    heightField.feetLabel = 223;
    heightField.inchesLabel = 224;
    heightField.metricLabel = 233;
    heightField.captionId = 228;
    heightField.caption = "Height";
}

void LenWidHgtDialog::SetWidth(double inches) {
    width = inches;
    if (window) widthField.Show(*this, inches);
}

void LenWidHgtDialog::SetHeight(double inches) {
    height = inches;
    if (window) heightField.Show(*this, inches);
}

int LenWidHgtDialog::OnInitDialog() {
    heightField.Show(*this, height);
    SetItemText(heightField.captionId, heightField.caption);
    widthField.Show(*this, width);
    SetItemText(widthField.captionId, widthField.caption);
    static constexpr uint32_t kLengthControls[] = {226, 212, 218, 214, 213, 216};
    static constexpr uint32_t kWidthControls[] = {227, 229, 230, 234, 231, 232};
    static constexpr uint32_t kHeightControls[] = {228, 221, 223, 225, 222, 224};
    const auto disable = [this](const uint32_t(&ids)[6]) {
        for (uint32_t id : ids) EnableItem(id, false);
    };
    switch (layoutMode) {
        case 1:
            SetItemText(widthField.captionId, "Thickness");
            break;
        case 2:
            disable(kLengthControls);
            disable(kHeightControls);
            SetItemText(widthField.captionId, "Thickness");
            break;
        case 3:
            SetItemText(heightField.captionId, "Thickness");
            break;
        case 4:
            disable(kLengthControls);
            disable(kWidthControls);
            SetItemText(heightField.captionId, "Thickness");
            break;
        default:
            break;
    }
    return LengthDialog::OnInitDialog();
}

int LenWidHgtDialog::ValidateFields() {
    heightField.Validate(*this, kMinLength, kMaxLength);
    widthField.Validate(*this, kMinLength, kMaxLength);
    return LengthDialog::ValidateFields();
}

int LenWidHgtDialog::NotifyOwner() {
    width = widthField.Read(*this);
    height = heightField.Read(*this);
    return LengthDialog::NotifyOwner();
}
