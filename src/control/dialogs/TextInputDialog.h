#pragma once

#include <cstdint>
#include <string>

#include "control/dialogs/Dialog.h"

// The entry box of a text object. OK and Apply hand the text to the owner; an emptied
// box asks first, since an empty text deletes the object. "Properties" asks the owner
// to open the text's property dialog (code 10).
class TextInputDialog : public Dialog {
public:
    static constexpr uint32_t kTemplate = 608;
    static constexpr uint32_t kText = 277;
    static constexpr uint32_t kProperties = 236;
    static constexpr int kNotifyProperties = 10;
    static constexpr size_t kMaxText = 511;

    explicit TextInputDialog(DialogOwner* owner) : Dialog(owner, kTemplate) {}

    int OnInitDialog() override;
    int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    int NotifyOwner() override;

    // Copies the text (cut to 511 characters) and shows it while the dialog runs.
    void SetText(const std::string& text);
    const std::string& GetText() const { return text; }
    // Greys "Properties".
    void SetNoProperties(bool flag) { noProperties = flag; }

private:
    std::string text;
    bool noProperties = false;
};
