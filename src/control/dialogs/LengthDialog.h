#pragma once

#include <cstdint>
#include <string>

#include "control/dialogs/Dialog.h"

// One length of a dialog (inches), shown in feet and inches or in centimetres by the
// unit setting. Without a feet edit the inches edit shows whole inches; a single-edit
// field uses the same control as its inches and metric edit.
struct LengthField {
    static constexpr double kInchesPerCentimetre = 0.3937007874;
    static constexpr size_t kCaptionSize = 260;

    LengthField() = default;
    LengthField(uint32_t feet, uint32_t inches, uint32_t metric)
        : feetEdit(feet), inchesEdit(inches), metricEdit(metric) {}

    // A field of one edit (inches, or centimetres in metric mode) with its caption and
    // no unit labels.
    static LengthField Single(uint32_t edit, uint32_t captionControl = 0,
                              const std::string& captionText = {});

    // Shows `inches` in the dialog's current window; it becomes the field's value.
    void Show(Dialog& dialog, double inches);
    // The length typed: the stored value when the fields read within 0.005 of it.
    double Read(const Dialog& dialog) const;
    // Reads, clamps into min..max and, while the inches edit is enabled, shows the
    // clamped value again. True when no clamping was needed.
    bool Validate(Dialog& dialog, double min, double max);
    // Sets the caption text (cut to fit) and shows it when the field has a caption.
    void SetCaption(Dialog& dialog, const std::string& text);
    // Enables or disables the edits, unit labels and caption.
    void Enable(Dialog& dialog, bool enable) const;

    uint32_t feetEdit = 0;
    uint32_t inchesEdit = 0;
    uint32_t metricEdit = 0;
    uint32_t feetLabel = 218;
    uint32_t inchesLabel = 216;
    uint32_t metricLabel = 219;
    uint32_t captionId = 0;
    std::string caption;
    double value = 0.0;
};

// Asks for one length in inches. The prompt and the field's caption may be replaced
// before the dialog is shown. A field that loses the focus is kept within 1..3000.
class LengthDialog : public Dialog {
public:
    static constexpr uint32_t kTemplate = 562;
    static constexpr uint32_t kPrompt = 211;
    static constexpr uint32_t kLengthCaption = 226;
    static constexpr double kMinLength = 1.0;
    static constexpr double kMaxLength = 3000.0;

    explicit LengthDialog(DialogOwner* owner, uint32_t templateId = kTemplate);

    int OnInitDialog() override;
    int ValidateFields() override;
    int NotifyOwner() override;

    // Stores the value and shows it while the dialog runs.
    void SetLength(double inches);
    double GetLength() const { return value; }
    // Caption of the length field (control 226); empty for none.
    void SetFieldLabel(const std::string& text);
    const std::string& GetFieldLabel() const { return lengthField.caption; }
    void SetPrompt(const std::string& text) { prompt = text; }
    const std::string& GetPrompt() const { return prompt; }
    // Caption of the dialog; empty keeps the template's.
    void SetCaption(const std::string& text) { caption = text; }

protected:
    LengthField lengthField{212, 213, 214};
    double value = 0.0;
    std::string prompt = "Enter a length:";
    std::string caption;
};

// Asks for a length, a width and a height in inches ("Set Dimensions...").
class LenWidHgtDialog : public LengthDialog {
public:
    static constexpr uint32_t kTemplate = 566;

    explicit LenWidHgtDialog(DialogOwner* owner);

    int OnInitDialog() override;
    int ValidateFields() override;
    int NotifyOwner() override;

    void SetValues(double length, double width, double height) {
        SetLength(length);
        SetWidth(width);
        SetHeight(height);
    }
    void SetWidth(double inches);
    void SetHeight(double inches);
    double GetWidth() const { return width; }
    double GetHeight() const { return height; }
    void SetWidthLabel(const std::string& text) { widthField.caption = text; }
    void SetHeightLabel(const std::string& text) { heightField.caption = text; }
    const std::string& GetWidthLabel() const { return widthField.caption; }
    const std::string& GetHeightLabel() const { return heightField.caption; }

    // 0 all three fields; 1 width captioned "Thickness"; 2 only the width, as
    // "Thickness"; 3 height captioned "Thickness"; 4 only the height, as "Thickness".
    // Fields left out are greyed, not hidden.
    int layoutMode = 0;

private:
    LengthField widthField{229, 231, 234};
    LengthField heightField{221, 222, 225};
    double width = 0.0;
    double height = 0.0;
};
