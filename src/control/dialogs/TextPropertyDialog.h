#pragma once

#include <cstdint>

#include "control/dialogs/LengthDialog.h"

// A text object's thickness, with buttons that ask the owner for the font choice (code 10)
// and for the text entry (code 11).
class TextPropertyDialog : public LengthDialog {
public:
    static constexpr uint32_t kTemplate = 596;
    static constexpr uint32_t kThickness = 247;
    static constexpr uint32_t kFontSettings = 248;
    static constexpr uint32_t kEditText = 249;
    static constexpr int kNotifyFont = 10;
    static constexpr int kNotifyEditText = 11;

    explicit TextPropertyDialog(DialogOwner* owner);

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    int ValidateFields() override;
    int NotifyOwner() override;

    void SetThickness(double inches);
    // Greys "Edit Text".
    void SetNoTextEditing(bool flag) { noTextEditing = flag; }

    double thickness = 0.0;

private:
    LengthField thicknessField;
    bool noTextEditing = false;
};
