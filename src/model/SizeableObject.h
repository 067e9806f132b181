#pragma once

#include <string>

#include "control/dialogs/DialogOwner.h"
#include "foundation/UndoableObject.h"

// An object whose length, width and height can be set through "Set Dimensions...".
// Length is the Z size, width the X size and height the Y size.
class SizeableObject : public UndoableObject, public DialogOwner {
public:
    // Sizes at or beyond these are not passed on (no message).
    static constexpr double kMaxLengthOrWidth = 3000.0;
    static constexpr double kMaxHeight = 1000.0;

    SizeableObject() = default;

    // Appends the dimensions command (2100) with menuLabel.
    void BuildPropertyMenu(platform::Menu& menu) override;
    // 2100 opens the dimensions dialog inside an undo step; other ids go to the base.
    bool ProcessPropertyMenu(uint32_t id) override;
    // The dialog's apply notification: the values become the object's size.
    int OnDialogNotify(Dialog* dialog, int code) override;

    // Tells the user that a size was refused, whatever the code.
    virtual void ShowResizeError(int code);
    // Each resizes the object; a non-zero code means refused. The base changes nothing.
    virtual int SetSizeZ(double value);
    virtual int SetSizeX(double value);
    virtual int SetSizeY(double value);
    virtual double GetSizeZ() const;
    virtual double GetSizeX() const;
    virtual double GetSizeY() const;
    // Sets Z, then X, then Y where they differ from the present size and lie within the
    // limits; the first non-zero code stops it and is answered.
    virtual int SetDimensions(double x, double y, double z);

protected:
    std::string menuLabel = "Set Dimensions...";
    std::string dialogPrompt = "Enter Dimensions:";
    // Field captions of the dialog; empty keeps "Length", "Width", "Height".
    std::string lengthLabel;
    std::string widthLabel;
    std::string heightLabel;
};
