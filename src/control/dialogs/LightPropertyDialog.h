#pragma once

#include <cstdint>

#include "control/dialogs/Dialog.h"

// The settings of one light: size, focus, colour and the size of its shadow map, typed or
// picked from preset pictures. The light reads the values back as the owner.
class LightPropertyDialog : public Dialog {
public:
    static constexpr uint32_t kTemplate = 664;
    static constexpr uint32_t kSize = 364;
    static constexpr uint32_t kFocus = 365;
    static constexpr uint32_t kRed = 366;
    static constexpr uint32_t kGreen = 367;
    static constexpr uint32_t kBlue = 368;
    static constexpr uint32_t kShadowSize = 369;
    static constexpr uint32_t kSizePresets = 371;
    static constexpr uint32_t kFocusPresets = 373;
    static constexpr uint32_t kPalette = 374;
    static constexpr uint32_t kQualityPresets = 375;

    explicit LightPropertyDialog(DialogOwner* owner) : Dialog(owner, kTemplate) {}

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    int NotifyOwner() override;

    // Greys the size, focus and shadow controls (lights that cast no shadow).
    void DisableShadowControls() { noShadowControls = true; }

    int size = 0;
    int focus = 0;
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    int shadowSize = 0;

private:
    void PickPreset(int x, int y);
    void SelectShadowSize(int value);

    bool noShadowControls = false;
};
