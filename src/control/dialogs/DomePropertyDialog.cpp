#include "control/dialogs/DomePropertyDialog.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "control/BaseControl.h"
#include "foundation/BaseParameterState.h"
#include "foundation/LightState.h"

namespace {

constexpr int kTopColour = 0;
constexpr int kBottomColour = 1;
constexpr int kRotationSlot = 14;

int ToByte(double component) {
    const double v = std::floor(component * 255.0 + 0.5);
    return std::isfinite(v) ? static_cast<int>(std::clamp(v, 0.0, 255.0)) : 0;
}

uint32_t Rgb(int r, int g, int b) {
    return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(b) << 16;
}

// Fog presets: density radio with its density, start and end; brightness radio with its grey.
struct DensityPreset {
    uint32_t radio;
    uint32_t picture;
    int density;
    int start;
    int end;
};
constexpr DensityPreset kDensities[] = {
    {260, 404, 12, 2000, 5000}, {261, 405, 25, 1500, 5000}, {262, 406, 50, 1200, 4000},
    {263, 407, 100, 900, 3000}, {264, 408, 150, 700, 2000}, {266, 409, 400, 50, 900},
};
struct GreyPreset {
    uint32_t radio;
    uint32_t picture;
    int grey;
};
constexpr GreyPreset kGreys[] = {
    {272, 403, 12},  {271, 402, 30},  {270, 401, 80},
    {269, 400, 130}, {268, 399, 160}, {267, 398, 255},
};
struct FogMode {
    uint32_t radio;
    int32_t mode;
};
constexpr FogMode kModes[] = {
    {257, FogState::kExp}, {258, FogState::kExp2}, {259, FogState::kLinear}};
constexpr uint32_t kFogGroups[] = {411, 412, 413, 414};

// A whole number typed into a field, or `current` when it is not one that fits.
int TypedInteger(double typed, int current) {
    const auto value = IntegerFromNumber(std::trunc(typed));
    return value ? *value : current;
}

}  // namespace

void ColourControls::SetColour(Dialog& dialog, int r, int g, int b) const {
    const int colour[3] = {r, g, b};
    for (int i = 0; i < 3; ++i) {
        const int c = std::clamp(colour[i], 0, 255);
        if (platform::DialogBox* box = dialog.Window())
            box->SetPosition(sliders[i], static_cast<int>(c / 255.0 * 100.0));
        dialog.SetItemNumber(edits[i], c);
    }
    Paint(dialog);
}

Vector ColourControls::Read(const Dialog& dialog) const {
    double c[3];
    for (int i = 0; i < 3; ++i) {
        const double typed = std::trunc(dialog.GetItemNumber(edits[i]));
        c[i] = (std::isfinite(typed) ? std::clamp(typed, 0.0, 255.0) : 0.0) / 255.0;
    }
    return Vector(c[0], c[1], c[2]);
}

void ColourControls::StoreRead(const Dialog& dialog) {
    const Vector colour = Read(dialog);
    stored[0] = ToByte(colour.x);
    stored[1] = ToByte(colour.y);
    stored[2] = ToByte(colour.z);
}

void ColourControls::Paint(Dialog& dialog) const {
    platform::DialogBox* box = dialog.Window();
    if (!box || !box->Find(swatch)) return;
    if (!box->IsEnabled(swatch)) {
        dialog.InvalidateItemArea(swatch);
        return;
    }
    platform::Rect area = dialog.GetItemRect(swatch);
    area.left += 2;
    area.top += 2;
    area.right -= 1;
    area.bottom -= 1;
    const int middle = area.top + (area.bottom - area.top) / 2;
    int shown[3];
    for (int i = 0; i < 3; ++i)
        shown[i] = static_cast<int>(dialog.GetSliderValue(sliders[i]) * 255.0);
    dialog.FillItemArea({area.left, area.top, area.right, middle},
                        Rgb(shown[0], shown[1], shown[2]));
    dialog.FillItemArea({area.left, middle, area.right, area.bottom},
                        Rgb(stored[0], stored[1], stored[2]));
}

void ColourControls::Enable(Dialog& dialog, bool enable) const {
    dialog.EnableItem(swatch, enable);
    for (int i = 0; i < 3; ++i) {
        dialog.EnableItem(sliders[i], enable);
        dialog.EnableItem(edits[i], enable);
    }
}

bool ColourControls::HandleScroll(Dialog& dialog, uintptr_t wParam, intptr_t lParam) const {
    const auto slider = static_cast<uint32_t>(lParam);
    const auto* at = std::find(std::begin(sliders), std::end(sliders), slider);
    if (at == std::end(sliders)) return false;
    const unsigned code = platform::LowWord(wParam);
    int position;
    if (code == platform::SB_THUMBPOSITION || code == platform::SB_THUMBTRACK) {
        position = static_cast<int>(platform::HighWord(wParam));
    } else if (code <= platform::SB_ENDSCROLL) {
        position = dialog.Window() ? dialog.Window()->GetPosition(slider) : 0;
    } else {
        return true;
    }
    const double v = std::clamp(position, 0, 100) * 0.01;
    dialog.SetItemNumber(edits[at - std::begin(sliders)], std::trunc(v * 255.0));
    Paint(dialog);
    return true;
}

bool ColourControls::HandleEdit(Dialog& dialog, uint32_t id, unsigned notification) const {
    const auto* at = std::find(std::begin(edits), std::end(edits), id);
    if (at == std::end(edits)) return false;
    if (notification != platform::EN_CHANGE) return true;
    const int i = static_cast<int>(at - std::begin(edits));
    const double typed = std::trunc(dialog.GetItemNumber(id));
    const double value = std::isfinite(typed) ? std::clamp(typed, 0.0, 255.0) : 0.0;
    if (value != typed) dialog.SetItemNumber(id, value);
    if (platform::DialogBox* box = dialog.Window())
        box->SetPosition(sliders[i], static_cast<int>(value / 255.0 * 100.0));
    Paint(dialog);
    return true;
}

DomePropertyDialog::DomePropertyDialog(uint32_t templateId) : Dialog(nullptr, templateId) {
    colours[0] = ColourControls{382, {385, 383, 384}, {364, 365, 366}, {}};
    colours[1] = ColourControls{387, {386, 388, 389}, {367, 368, 369}, {}};
}

bool DomePropertyDialog::HandleColourMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    for (int i = 0; i < colourCount; ++i) {
        ColourControls& controls = colours[i];
        if (message == platform::WM_HSCROLL && controls.HandleScroll(*this, wParam, lParam))
            return true;
        if (message == platform::WM_COMMAND &&
            controls.HandleEdit(*this, platform::LowWord(wParam), platform::HighWord(wParam)))
            return true;
    }
    if (message == platform::WM_PAINT) {
        for (int i = 0; i < colourCount; ++i) colours[i].Paint(*this);
        return true;
    }
    return false;
}

int DomePropertyDialog::OnInitDialog() {
    BaseControl* control = theControl();
    if (!control) return 0;
    const GlobalState& global = control->globalState;
    for (int i : {kTopColour, kBottomColour}) {
        const Vector colour = global.GetVector(i);
        colours[i].stored[0] = ToByte(colour.x);
        colours[i].stored[1] = ToByte(colour.y);
        colours[i].stored[2] = ToByte(colour.z);
    }
    rotationSpeed = TypedInteger(global.GetDouble(kRotationSlot), 0);
    clockwise = rotationSpeed < 0;
    SetItemNumber(kRotation, std::abs(static_cast<double>(rotationSpeed)));
    CheckItem(clockwise ? kClockwise : kCounterClockwise, true);
    for (ColourControls& controls : colours)
        controls.SetColour(*this, controls.stored[0], controls.stored[1], controls.stored[2]);
    return 0;
}

int DomePropertyDialog::OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (HandleColourMessage(message, wParam, lParam)) return 0;
    if (message == platform::WM_COMMAND && platform::LowWord(wParam) == kRestoreColours) {
        colours[0].SetColour(*this, 131, 198, 255);
        colours[1].SetColour(*this, 76, 148, 255);
    }
    return 0;
}

int DomePropertyDialog::NotifyOwner() {
    BaseControl* control = theControl();
    if (!control || !window) return 0;
    GlobalState& global = control->globalState;
    for (int i : {kTopColour, kBottomColour}) {
        global.SetVector(i, colours[i].Read(*this));
        colours[i].StoreRead(*this);
        colours[i].Paint(*this);
    }
    clockwise = IsItemChecked(kClockwise);
    rotationSpeed = TypedInteger(GetItemNumber(kRotation), rotationSpeed);
    global.SetDouble(kRotationSlot,
                     clockwise ? -static_cast<double>(rotationSpeed) : rotationSpeed);
    return 0;
}

FogPropertyDialog::FogPropertyDialog() : DomePropertyDialog(kTemplate) {
    colours[0] = ColourControls{397, {394, 395, 396}, {391, 392, 393}, {}};
    colourCount = 1;
}

void FogPropertyDialog::EnableControls(bool enable) {
    for (uint32_t id : kFogGroups) EnableItem(id, enable);
    for (const FogMode& mode : kModes) EnableItem(mode.radio, enable);
    for (const DensityPreset& preset : kDensities) {
        EnableItem(preset.radio, enable);
        EnableItem(preset.picture, enable);
    }
    for (const GreyPreset& preset : kGreys) {
        EnableItem(preset.radio, enable);
        EnableItem(preset.picture, enable);
    }
    colours[0].Enable(*this, enable);
    colours[0].Paint(*this);
}

int FogPropertyDialog::OnInitDialog() {
    BaseControl* control = theControl();
    if (!control) return 0;
    const FogState& fog = control->fogState;
    const bool enabled = fog.GetBoolean(0);
    CheckItem(kEnable, enabled);
    for (int i = 0; i < 3; ++i) colours[0].stored[i] = std::clamp(fog.GetInteger(i + 1), 0, 255);
    colours[0].SetColour(*this, colours[0].stored[0], colours[0].stored[1], colours[0].stored[2]);
    density = TypedInteger(fog.GetDouble(0), 0);
    start = TypedInteger(fog.GetDouble(1), 0);
    end = TypedInteger(fog.GetDouble(2), 0);
    for (const DensityPreset& preset : kDensities)
        if (preset.density == density) CheckItem(preset.radio, true);
    const int* grey = colours[0].stored;
    if (grey[0] == grey[1] && grey[1] == grey[2])
        for (const GreyPreset& preset : kGreys)
            if (preset.grey == grey[0]) CheckItem(preset.radio, true);
    for (const FogMode& mode : kModes)
        if (mode.mode == fog.GetInteger(0)) CheckItem(mode.radio, true);
    EnableControls(enabled);
    return 0;
}

int FogPropertyDialog::OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (HandleColourMessage(message, wParam, lParam)) return 0;
    if (message == platform::WM_LBUTTONUP && IsItemChecked(kEnable)) {
        const int x = platform::XFromLParam(lParam);
        const int y = platform::YFromLParam(lParam);
        for (const DensityPreset& preset : kDensities)
            if (IsPointInItem(preset.picture, x, y)) window->Click(preset.radio);
        for (const GreyPreset& preset : kGreys)
            if (IsPointInItem(preset.picture, x, y)) window->Click(preset.radio);
        return 0;
    }
    if (message != platform::WM_COMMAND) return 0;
    const uint32_t id = platform::LowWord(wParam);
    if (id == kEnable) {
        EnableControls(IsItemChecked(kEnable));
        return 0;
    }
    for (const GreyPreset& preset : kGreys)
        if (preset.radio == id) colours[0].SetColour(*this, preset.grey, preset.grey, preset.grey);
    return 0;
}

int FogPropertyDialog::NotifyOwner() {
    BaseControl* control = theControl();
    if (!control || !window) return 0;
    FogState& fog = control->fogState;
    fog.SetBoolean(0, IsItemChecked(kEnable));
    const Vector colour = colours[0].Read(*this);
    fog.SetInteger(1, ToByte(colour.x));
    fog.SetInteger(2, ToByte(colour.y));
    fog.SetInteger(3, ToByte(colour.z));
    int32_t mode = FogState::kExp;
    for (const FogMode& entry : kModes)
        if (IsItemChecked(entry.radio)) mode = entry.mode;
    fog.SetInteger(0, mode);
    for (const DensityPreset& preset : kDensities) {
        if (!IsItemChecked(preset.radio)) continue;
        density = preset.density;
        start = preset.start;
        end = preset.end;
    }
    fog.SetDouble(1, start);
    fog.SetDouble(2, end);
    fog.SetDouble(0, density);
    colours[0].StoreRead(*this);
    colours[0].Paint(*this);
    return 0;
}
