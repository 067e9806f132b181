#pragma once

#include <cstdint>

#include "control/dialogs/Dialog.h"
#include "geometry/Vector.h"

// One colour in a dialog: three sliders (0..100), three number edits (0..255) and a swatch
// that shows the new colour above the stored one.
struct ColourControls {
    uint32_t swatch = 0;
    uint32_t sliders[3] = {};
    uint32_t edits[3] = {};
    int stored[3] = {};

    // Shows (r, g, b) in 0..255 on the sliders and edits.
    void SetColour(Dialog& dialog, int r, int g, int b) const;
    // The edits' colour, each component in 0..1.
    Vector Read(const Dialog& dialog) const;
    // The read colour becomes the stored one (rounded to 0..255).
    void StoreRead(const Dialog& dialog);
    void Paint(Dialog& dialog) const;
    void Enable(Dialog& dialog, bool enable) const;
    // Slider and edit messages of these controls; false for other messages.
    bool HandleScroll(Dialog& dialog, uintptr_t wParam, intptr_t lParam) const;
    bool HandleEdit(Dialog& dialog, uint32_t id, unsigned notification) const;
};

// The sky's two colours (top and bottom) and its rotation, written straight into the
// control's global settings on OK or Apply.
class DomePropertyDialog : public Dialog {
public:
    static constexpr uint32_t kTemplate = 678;
    static constexpr uint32_t kRotation = 370;
    static constexpr uint32_t kCounterClockwise = 257;
    static constexpr uint32_t kClockwise = 259;
    static constexpr uint32_t kRestoreColours = 5;

    DomePropertyDialog() : DomePropertyDialog(kTemplate) {}

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    int NotifyOwner() override;

protected:
    explicit DomePropertyDialog(uint32_t templateId);
    // Scroll, edit and paint messages of the colour controls.
    bool HandleColourMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

    ColourControls colours[2];
    int colourCount = 2;
    int rotationSpeed = 0;
    bool clockwise = false;
};

// The fog: on or off, its kind, a density preset, a grey or any colour, written straight
// into the control's fog state on OK or Apply.
class FogPropertyDialog : public DomePropertyDialog {
public:
    static constexpr uint32_t kTemplate = 692;
    static constexpr uint32_t kEnable = 351;

    FogPropertyDialog();

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    int NotifyOwner() override;

private:
    void EnableControls(bool enable);

    int density = 0;
    int start = 0;
    int end = 0;
};
