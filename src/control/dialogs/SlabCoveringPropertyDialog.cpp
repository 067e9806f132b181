#include "control/dialogs/SlabCoveringPropertyDialog.h"

#include <cmath>

namespace {

constexpr const char* kDefaultMaterial = "textures/plastics/whiteplasticmat.jpg";
constexpr size_t kTextSize = 511;

}  // namespace

void SlabCoveringPropertyDialog::SetScale(const Vector& xy) {
    scale = xy;
    if (!window) return;
    SetItemNumber(kScaleX, std::trunc(scale.x));
    SetItemNumber(kScaleY, std::trunc(scale.y));
}

void SlabCoveringPropertyDialog::SetReflectivity(double percent) {
    reflectivity = percent;
    if (window) SetItemNumber(kReflectivity, reflectivity);
}

void SlabCoveringPropertyDialog::SetMaterialName(const std::string& text) {
    materialName = text.substr(0, kTextSize);
    if (!window) return;
    const bool plain = materialName.find(kDefaultMaterial) != std::string::npos;
    SetItemText(kMaterial, plain ? "(drag material onto it from directory)" : materialName);
}

void SlabCoveringPropertyDialog::SetConstrainProportions(bool constrain) {
    constrainProportions = constrain;
    if (!window) return;
    CheckItem(kConstrain, constrain);
    EnableItem(kScaleY, !constrain);
    EnableItem(kScaleYLabel, !constrain);
    if (constrain) {
        const double x = GetItemNumber(kScaleX);
        aspect = x != 0.0 ? GetItemNumber(kScaleY) / x : 1.0;
    }
    InvalidateItemArea(kChain);
}

void SlabCoveringPropertyDialog::PaintChain() {
    const platform::Rect chain = GetItemRect(kChain);
    if (constrainProportions)
        PaintBitmap(chain.left, chain.top, 603, 622);
    else
        PaintBitmap(chain.left, chain.top, 600, 620);
}

int SlabCoveringPropertyDialog::OnInitDialog() {
    SetScale(scale);
    SetReflectivity(reflectivity);
    SetMaterialName(materialName);
    SetConstrainProportions(std::trunc(scale.x) == std::trunc(scale.y));
    return 0;
}

int SlabCoveringPropertyDialog::OnCommand(uint32_t message, uintptr_t wParam, intptr_t) {
    if (message == platform::WM_PAINT) {
        PaintChain();
        return 0;
    }
    if (message != platform::WM_COMMAND) return 0;
    const uint32_t id = platform::LowWord(wParam);
    const unsigned notification = platform::HighWord(wParam);
    if (id == kConstrain && notification == platform::BN_CLICKED) {
        SetConstrainProportions(IsItemChecked(kConstrain));
    } else if (id == kScaleX && notification == platform::EN_CHANGE && constrainProportions) {
        SetItemNumber(kScaleY, std::trunc(GetItemNumber(kScaleX) * aspect));
    }
    return 0;
}

int SlabCoveringPropertyDialog::ValidateFields() {
    ClampField(kScaleX, 1.0, 1000.0);
    ClampField(kScaleY, 1.0, 1000.0);
    ClampField(kReflectivity, 0.0, 100.0);
    return 0;
}

int SlabCoveringPropertyDialog::NotifyOwner() {
    if (window) {
        scale.x = GetItemNumber(kScaleX);
        scale.y = GetItemNumber(kScaleY);
        reflectivity = GetItemNumber(kReflectivity);
    }
    return Dialog::NotifyOwner();
}

BaseSlabPropertyDialog::BaseSlabPropertyDialog(DialogOwner* owner, uint32_t templateId)
    : SlabCoveringPropertyDialog(owner, templateId),
      heightField(LengthField::Single(270, 295, "Height")),
      thicknessField(LengthField::Single(285, 296, "Thickness")) {}

void BaseSlabPropertyDialog::SetHeight(double inches) {
    height = inches;
    if (window) heightField.Show(*this, inches);
}

void BaseSlabPropertyDialog::SetThickness(double inches) {
    thickness = inches;
    if (window) thicknessField.Show(*this, inches);
}

void BaseSlabPropertyDialog::SetHeightLabel(const std::string& text) {
    heightField.caption = text.substr(0, LengthField::kCaptionSize - 1);
    if (window) heightField.SetCaption(*this, heightField.caption);
}

void BaseSlabPropertyDialog::SetDataPairs(
    const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string text;
    for (const auto& [key, value] : pairs) {
        if (!text.empty()) text += "\r\n";
        text += key + "\t" + value;
    }
    SetDataText(text);
}

void BaseSlabPropertyDialog::SetDataText(const std::string& text) {
    dataText = text;
    if (window) SetItemText(kData, dataText);
}

int BaseSlabPropertyDialog::OnInitDialog() {
    SlabCoveringPropertyDialog::OnInitDialog();
    heightField.SetCaption(*this, heightField.caption);
    heightField.Show(*this, height);
    thicknessField.SetCaption(*this, thicknessField.caption);
    thicknessField.Show(*this, thickness);
    SetItemText(kData, dataText);
    EnableItem(kAddData, false);
    return 0;
}

int BaseSlabPropertyDialog::OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == platform::WM_COMMAND) {
        const uint32_t id = platform::LowWord(wParam);
        const unsigned notification = platform::HighWord(wParam);
        if ((id == kLabel || id == kName) && notification == platform::EN_CHANGE) {
            label = GetItemText(kLabel);
            name = GetItemText(kName);
            EnableItem(kAddData, !label.empty() && !name.empty());
            return 0;
        }
        if (id == kAddData && notification == platform::BN_CLICKED)
            return NotifyOwnerWith(kNotifyAddData);
    }
    return SlabCoveringPropertyDialog::OnCommand(message, wParam, lParam);
}

int BaseSlabPropertyDialog::ValidateFields() {
    heightField.Validate(*this, 1.0, 3000.0);
    thicknessField.Validate(*this, 1.0, 3000.0);
    return SlabCoveringPropertyDialog::ValidateFields();
}

int BaseSlabPropertyDialog::NotifyOwner() {
    if (window) {
        height = heightField.Read(*this);
        thickness = thicknessField.Read(*this);
    }
    return SlabCoveringPropertyDialog::NotifyOwner();
}

CounterPropertyDialog::CounterPropertyDialog(DialogOwner* owner)
    : BaseSlabPropertyDialog(owner, kTemplate),
      backsplashField(LengthField::Single(271, 297, "Backsplash Height")) {
    heightField.caption = "&Height Above Ground";
}

void CounterPropertyDialog::SetBacksplashHeight(double inches) {
    backsplashHeight = inches;
    if (window) backsplashField.Show(*this, inches);
}

void CounterPropertyDialog::SetBacksplashLabel(const std::string& text) {
    backsplashField.caption = text.substr(0, LengthField::kCaptionSize - 1);
    if (window) backsplashField.SetCaption(*this, backsplashField.caption);
}

int CounterPropertyDialog::OnInitDialog() {
    BaseSlabPropertyDialog::OnInitDialog();
    backsplashField.SetCaption(*this, backsplashField.caption);
    backsplashField.Show(*this, backsplashHeight);
    return 0;
}

int CounterPropertyDialog::ValidateFields() {
    backsplashField.Validate(*this, 1.0, 120.0);
    return BaseSlabPropertyDialog::ValidateFields();
}

int CounterPropertyDialog::NotifyOwner() {
    if (window) backsplashHeight = backsplashField.Read(*this);
    return BaseSlabPropertyDialog::NotifyOwner();
}
