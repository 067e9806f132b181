#pragma once

#include <string>

#include "control/Dialog.h"

// Asks for one length in inches. The prompt and the field's caption may be replaced
// before the dialog is shown.
class LengthDialog : public Dialog {
public:
    static constexpr uint32_t kTemplate = 562;

    explicit LengthDialog(DialogOwner* owner, uint32_t templateId = kTemplate)
        : Dialog(owner, templateId) {}

    void SetLength(double inches) { value = inches; }
    double GetLength() const { return value; }
    // Caption of the length field; empty for none.
    void SetFieldLabel(const std::string& text) { lengthLabel = text; }
    const std::string& GetFieldLabel() const { return lengthLabel; }
    void SetPrompt(const std::string& text) { prompt = text; }
    const std::string& GetPrompt() const { return prompt; }

protected:
    double value = 0.0;
    std::string prompt = "Enter a length:";
    std::string lengthLabel;
};

// Asks for a length, a width and a height in inches ("Set Dimensions...").
class LenWidHgtDialog : public LengthDialog {
public:
    static constexpr uint32_t kTemplate = 566;

    explicit LenWidHgtDialog(DialogOwner* owner) : LengthDialog(owner, kTemplate) {
        lengthLabel = "Length";
    }

    void SetValues(double length, double width, double height) {
        SetLength(length);
        SetWidth(width);
        SetHeight(height);
    }
    void SetWidth(double inches) { width = inches; }
    void SetHeight(double inches) { height = inches; }
    double GetWidth() const { return width; }
    double GetHeight() const { return height; }
    void SetWidthLabel(const std::string& text) { widthLabel = text; }
    void SetHeightLabel(const std::string& text) { heightLabel = text; }
    const std::string& GetWidthLabel() const { return widthLabel; }
    const std::string& GetHeightLabel() const { return heightLabel; }

    // 0 all three fields; 1 width captioned "Thickness"; 2 only the width, as
    // "Thickness"; 3 height captioned "Thickness"; 4 only the height, as "Thickness".
    int layoutMode = 0;

private:
    double width = 0.0;
    double height = 0.0;
    std::string widthLabel = "Width";
    std::string heightLabel = "Height";
};
