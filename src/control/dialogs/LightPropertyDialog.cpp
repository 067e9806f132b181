#include "control/dialogs/LightPropertyDialog.h"

#include <cmath>
#include <iterator>
#include <string>

#include "control/LengthFormat.h"
#include "foundation/BaseParameterState.h"
#include "platform/DialogBox.h"

using platform::Rect;

namespace {

constexpr const char* kShadowSizes[] = {"2048", "1024", "512", "256", "128", "64", "32", "16"};

// Palette columns; the top row holds greys, the bottom row colours.
constexpr Rect kPaletteAreas[] = {
    {0, 0, 64, 30},     {65, 0, 117, 30},   {117, 0, 168, 30},  {168, 0, 219, 30},
    {219, 0, 271, 30},  {271, 0, 337, 30},  {0, 31, 64, 48},    {65, 31, 117, 48},
    {117, 31, 168, 48}, {168, 31, 219, 48}, {219, 31, 271, 48}, {271, 31, 337, 48},
};
constexpr float kPaletteColours[][3] = {
    {0.3f, 0.3f, 0.3f}, {0.45f, 0.45f, 0.45f},
    {0.6f, 0.6f, 0.6f}, {0.75f, 0.75f, 0.75f},
    {0.9f, 0.9f, 0.9f}, {1, 1, 1},
    {0, 0, 1},          {1, 0, 1},
    {1, 0, 0},          {1, 1, 0},
    {0, 1, 0},          {1, 1, 1},
};
constexpr Rect kSizeAreas[] = {{0, 0, 55, 93},    {55, 0, 100, 93},  {100, 0, 148, 93},
                               {148, 0, 202, 93}, {202, 0, 266, 93}, {266, 0, 337, 93}};
constexpr int kSizeValues[] = {8, 16, 24, 36, 48, 64};
constexpr Rect kFocusAreas[] = {{0, 0, 57, 49},    {57, 0, 109, 49},  {109, 0, 161, 49},
                                {161, 0, 216, 49}, {216, 0, 273, 49}, {273, 0, 337, 49}};
constexpr int kFocusValues[] = {1, 16, 32, 34, 90, 123};
constexpr Rect kQualityAreas[] = {
    {0, 0, 82, 118}, {82, 0, 166, 118}, {166, 0, 253, 118}, {253, 0, 337, 118}};
constexpr int kQualityValues[] = {256, 512, 1024, 2048};

// A whole number typed into a field; `current` when it is not one that fits.
int TypedInteger(double typed, int current) {
    const auto value = IntegerFromNumber(std::trunc(typed));
    return value ? *value : current;
}

}  // namespace

int LightPropertyDialog::OnInitDialog() {
    if (!window) return 0;
    for (const char* entry : kShadowSizes) window->AddItem(kShadowSize, entry);
    SetItemNumber(kSize, size);
    SetItemNumber(kFocus, focus);
    SetItemNumber(kRed, red);
    SetItemNumber(kGreen, green);
    SetItemNumber(kBlue, blue);
    SelectShadowSize(shadowSize);
    if (noShadowControls)
        for (uint32_t id : {418u, 416u, kSize, 417u, kFocus, kShadowSize}) EnableItem(id, false);
    return 0;
}

void LightPropertyDialog::SelectShadowSize(int value) {
    const platform::DialogControl* list = window->Find(kShadowSize);
    if (!list) return;
    const std::string text = std::to_string(value);
    for (size_t i = 0; i < list->items.size(); ++i) {
        if (list->items[i] == text) {
            window->Select(kShadowSize, static_cast<int>(i));
            return;
        }
    }
    window->Select(kShadowSize, -1);
}

int LightPropertyDialog::OnCommand(uint32_t message, uintptr_t, intptr_t lParam) {
    if (message == platform::WM_LBUTTONUP)
        PickPreset(platform::XFromLParam(lParam), platform::YFromLParam(lParam));
    return 0;
}

void LightPropertyDialog::PickPreset(int x, int y) {
    const int colour =
        HitTestRects(kPalette, static_cast<int>(std::size(kPaletteAreas)), kPaletteAreas, x, y);
    if (IsPointInItem(kPalette, x, y) && colour >= 0) {
        SetItemNumber(kRed, kPaletteColours[colour][0]);
        SetItemNumber(kGreen, kPaletteColours[colour][1]);
        SetItemNumber(kBlue, kPaletteColours[colour][2]);
        return;
    }
    if (noShadowControls) return;
    int hit = -1;
    if (IsPointInItem(kSizePresets, x, y) &&
        (hit = HitTestRects(kSizePresets, 6, kSizeAreas, x, y)) >= 0) {
        SetItemNumber(kSize, kSizeValues[hit]);
    } else if (IsPointInItem(kFocusPresets, x, y) &&
               (hit = HitTestRects(kFocusPresets, 6, kFocusAreas, x, y)) >= 0) {
        SetItemNumber(kFocus, kFocusValues[hit]);
    } else if (IsPointInItem(kQualityPresets, x, y) &&
               (hit = HitTestRects(kQualityPresets, 4, kQualityAreas, x, y)) >= 0) {
        SelectShadowSize(kQualityValues[hit]);
    }
}

int LightPropertyDialog::NotifyOwner() {
    if (!window) return Dialog::NotifyOwner();
    size = TypedInteger(GetItemNumber(kSize), size);
    focus = TypedInteger(GetItemNumber(kFocus), focus);
    red = static_cast<float>(GetItemNumber(kRed));
    green = static_cast<float>(GetItemNumber(kGreen));
    blue = static_cast<float>(GetItemNumber(kBlue));
    const std::string selected = window->GetSelectedText(kShadowSize);
    if (!selected.empty()) shadowSize = TypedInteger(ParseLength(selected.c_str()), shadowSize);
    return Dialog::NotifyOwner();
}
