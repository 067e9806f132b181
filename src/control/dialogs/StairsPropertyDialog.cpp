#include "control/dialogs/StairsPropertyDialog.h"

#include <cmath>

#include "control/LengthFormat.h"

namespace {

// The on and off pictures of each support check.
constexpr uint32_t kSupportPictures[5][2] = {
    {358, 350}, {364, 360}, {365, 361}, {366, 362}, {367, 363}};

LengthField WithUnitCaptions(uint32_t edit, uint32_t inches, uint32_t metric) {
    LengthField field = LengthField::Single(edit);
    field.inchesLabel = inches;
    field.metricLabel = metric;
    return field;
}

}  // namespace

StairsPropertyDialog::StairsPropertyDialog(DialogOwner* owner)
    : LengthDialog(owner, kTemplate),
      heightField(WithUnitCaptions(kStairHeight, 346, 347)),
      depthField(LengthField::Single(kStepDepth)),
      supportField(WithUnitCaptions(kSupportThickness, 356, 357)) {}

void StairsPropertyDialog::SetStepDepth(double inches) {
    stepDepth = static_cast<float>(inches);
    if (window) depthField.Show(*this, inches);
}

void StairsPropertyDialog::SetStepOverhang(double inches) {
    stepOverhang = static_cast<float>(inches);
    if (window) SetItemNumber(kOverhang, inches);
}

void StairsPropertyDialog::SetStepThickness(double inches) {
    stepThickness = static_cast<float>(inches);
    if (window) SetItemNumber(kThickness, inches);
}

void StairsPropertyDialog::SetStairHeight(double inches) {
    stairHeight = static_cast<float>(inches);
    if (window) heightField.Show(*this, inches);
}

void StairsPropertyDialog::SetStringerThickness(double inches) {
    supportThickness = static_cast<float>(inches);
    if (window) supportField.Show(*this, inches);
}

void StairsPropertyDialog::SetRounded(bool flag) {
    rounded = flag;
    CheckItem(flag ? kRound : kSquare, true);
}

void StairsPropertyDialog::SetShowRiser(bool flag) {
    showRisers = flag;
    CheckItem(kShowRisers, flag);
    ShowItem(kStepHeight, flag);
    InvalidateItemArea(kPicture);
}

void StairsPropertyDialog::SetPreserveStepDepth(bool flag) {
    preserveStepDepth = flag;
    CheckItem(kLock, flag);
    EnableItem(kStepDepth, !flag);
    InvalidateItemArea(kLockPicture);
}

void StairsPropertyDialog::SetShowStringers(bool flag) {
    showSupports = flag;
    CheckItem(kShowSupports, flag);
    for (int i = 0; i < 5; ++i) EnableItem(kFirstSupport + i, flag);
    for (uint32_t id : {kSupportThickness, 356u, 357u}) EnableItem(id, flag);
}

void StairsPropertyDialog::SetSupport(int index, bool flag) {
    supports[index] = flag;
    CheckItem(kFirstSupport + index, flag);
    ShowSupportPicture(index);
}

void StairsPropertyDialog::ShowSupportPicture(int index) {
    const bool on = IsItemChecked(kFirstSupport + index);
    ShowItem(kSupportPictures[index][0], on);
    ShowItem(kSupportPictures[index][1], !on);
}

void StairsPropertyDialog::ShowStepHeight(double inches) {
    stepHeight = static_cast<float>(inches);
    const std::string text = IsMetric() ? "(" + FormatNumber(inches * 2.54) + " centimeters)"
                                        : "(" + FormatNumber(inches) + " inches)";
    SetItemText(kStepHeight, text);
}

int StairsPropertyDialog::OnInitDialog() {
    SetStairHeight(stairHeight);
    SetStepDepth(stepDepth);
    SetStepOverhang(stepOverhang);
    SetStepThickness(stepThickness);
    SetStringerThickness(supportThickness);
    SetRounded(rounded);
    SetShowRiser(showRisers);
    SetPreserveStepDepth(preserveStepDepth);
    SetShowStringers(showSupports);
    for (int i = 0; i < 5; ++i) SetSupport(i, supports[i]);
    ShowStepHeight(stepHeight);
    return 0;
}

int StairsPropertyDialog::OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == platform::WM_PAINT) {
        PaintPictures();
        return 0;
    }
    if (message == platform::WM_MOUSEMOVE) {
        const bool over = IsPointInItem(kShowRisers, platform::XFromLParam(lParam),
                                        platform::YFromLParam(lParam));
        if (over != hoverRisers) {
            hoverRisers = over;
            InvalidateItemArea(kPicture);
        }
        return 0;
    }
    if (message != platform::WM_COMMAND) return 0;
    const uint32_t id = platform::LowWord(wParam);
    const unsigned notification = platform::HighWord(wParam);
    if (notification == platform::BN_CLICKED) {
        if (id == kShowRisers) {
            ShowItem(kStepHeight, IsItemChecked(kShowRisers));
        } else if (id == kLock) {
            EnableItem(kStepDepth, !IsItemChecked(kLock));
            InvalidateItemArea(kLockPicture);
        } else if (id == kShowSupports) {
            const bool on = IsItemChecked(kShowSupports);
            SetShowStringers(on);
            for (int i = 0; i < 5; ++i) SetSupport(i, on);
        } else if (id >= kFirstSupport && id < kFirstSupport + 5) {
            ShowSupportPicture(static_cast<int>(id - kFirstSupport));
        }
    }
    // The picture follows every change and the field being edited.
    InvalidateItemArea(kPicture);
    return 0;
}

void StairsPropertyDialog::PaintPictures() {
    const platform::Rect picture = GetItemRect(kPicture);
    if (hoverRisers) {
        PaintBitmap(picture.left, picture.top, 632, 0);
    } else {
        PaintBitmap(picture.left, picture.top, IsItemChecked(kShowRisers) ? 626 : 629, 0);
        const uint32_t focus = window ? window->GetFocus() : 0;
        if (focus == kStepDepth) PaintBitmap(picture.left, picture.top, 627, 628);
        if (focus == kOverhang) PaintBitmap(picture.left, picture.top, 634, 635);
        if (focus == kThickness) PaintBitmap(picture.left, picture.top, 636, 633);
    }
    const platform::Rect lock = GetItemRect(kLockPicture);
    if (IsItemChecked(kLock))
        PaintBitmap(lock.left, lock.top, 640, 637);
    else
        PaintBitmap(lock.left, lock.top, 638, 639);
}

int StairsPropertyDialog::ValidateFields() {
    heightField.Validate(*this, 1.0, 3000.0);
    depthField.Validate(*this, 1.0, 1200.0);
    ClampField(kOverhang, 0.0, 24.0);
    ClampField(kThickness, 0.0, 60.0);
    supportField.Validate(*this, 1.0, 3000.0);
    return 0;
}

int StairsPropertyDialog::NotifyOwner() {
    if (window) {
        stairHeight = static_cast<float>(heightField.Read(*this));
        stepDepth = static_cast<float>(depthField.Read(*this));
        stepOverhang = static_cast<float>(GetItemNumber(kOverhang));
        stepThickness = static_cast<float>(GetItemNumber(kThickness));
        supportThickness = static_cast<float>(supportField.Read(*this));
        rounded = IsItemChecked(kRound);
        showRisers = IsItemChecked(kShowRisers);
        preserveStepDepth = IsItemChecked(kLock);
        showSupports = IsItemChecked(kShowSupports);
        for (int i = 0; i < 5; ++i) supports[i] = IsItemChecked(kFirstSupport + i);
    }
    return Dialog::NotifyOwner();
}
