#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/DialogBox.h"

class DialogOwner;

// A dialog of the control: one template of the control's resources run modally. Its
// owner fills it when it opens and takes its values back when the user applies them
// (code 1).
//
// One procedure turns the box's messages into the virtual calls below: the first
// operation from OnCancel to ValidateFields that answers 1 closes the dialog. OK applies
// and closes, Cancel closes, Apply (235) notifies the owner and stays open. A field that
// loses the focus is validated at once; OK and Apply validate the fields first as well,
// so that a value typed just before Enter is checked like any other.
//
// While a dialog runs, the calling thread's holds on the render lock are given up so that
// the views keep drawing, and taken back afterwards. Without a display the run is
// answered by the runner set with SetModalRunner, which plays the user's part on the
// dialog's box (Window()) or on the dialog object and answers the end code; the box's
// end code wins when the box was ended. The default runner presses Cancel.
class Dialog {
public:
    // End codes of the standard buttons.
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;
    static constexpr int kApply = 235;
    // Owner notification code: take the dialog's values.
    static constexpr int kNotifyApply = 1;
    // Longest item text read back, in characters (the rest is cut).
    static constexpr size_t kTextSize = 512;

    using ModalRunner = std::function<int(Dialog& dialog)>;

    Dialog(DialogOwner* owner, uint32_t templateId) : owner(owner), templateId(templateId) {}
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the template modally and answers the end code: 0 for an invalid id or when
    // the dialog closed itself while opening, -1 when the template does not exist.
    virtual int RunModal(uint32_t id);
    virtual int Show() { return RunModal(templateId); }
    virtual int OnCancel() { return 1; }
    virtual int OnInitDialog() { return 0; }
    // Hands the values to the owner (code 1) under the render lock; 0 without an owner.
    virtual int NotifyOwner();
    // Notifies the owner and closes.
    virtual int Apply();
    // Every other command, and the messages the procedure does not know.
    virtual int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) { return 0; }
    // A field lost the focus.
    virtual int ValidateFields() { return 0; }

    // The procedure of the running dialog: answers 1 when the message ended it.
    platform::LResult Procedure(uint32_t message, platform::WParam wParam, platform::LParam lParam);

    DialogOwner* GetOwner() const { return owner; }
    uint32_t GetTemplateId() const { return templateId; }
    // The box of the running dialog (or the window pushed over it); null when not running.
    platform::DialogBox* Window() const { return window; }

    // --- item helpers: they act on the current window and do nothing without one -------
    void EnableItem(uint32_t id, bool enable);
    void ShowItem(uint32_t id, bool show);
    void SetItemText(uint32_t id, const std::string& text);
    // At most kTextSize - 1 characters.
    std::string GetItemText(uint32_t id) const;
    // A number as dialogs show it (FormatNumber) and read it (ParseLength).
    void SetItemNumber(uint32_t id, double value);
    double GetItemNumber(uint32_t id) const;
    void CheckItem(uint32_t id, bool checked);
    bool IsItemChecked(uint32_t id) const;
    void SetTitle(const std::string& text);
    void SetButtonBitmap(uint32_t id, uint32_t bitmap);
    // Draws a bitmap (through its mask, 0 for none) at a client point.
    void PaintBitmap(int x, int y, uint32_t bitmap, uint32_t mask);
    // Fills a client rectangle with a colour (0x00BBGGRR).
    void FillItemArea(const platform::Rect& rect, uint32_t colour);
    platform::Rect GetItemRect(uint32_t id) const;
    // Redraws the control's area (the dialog repaints at once without a display).
    void InvalidateItemArea(uint32_t id, int width, int height);
    void InvalidateItemArea(uint32_t id);
    // Edges included.
    bool IsPointInItem(uint32_t id, int x, int y) const;
    // The first of `count` rectangles, relative to the control's top-left, that holds the
    // point (edges included), or -1.
    int HitTestRects(uint32_t id, int count, const platform::Rect* rects, int x, int y) const;
    // Reads the field's number, clamps it into min..max and writes it back; true when it
    // was inside already.
    bool ClampField(uint32_t id, double min, double max);
    // The slider's position / 100.
    double GetSliderValue(uint32_t id) const;
    // Makes another window (a page inside the dialog) current for the helpers until
    // PopWindow; pushes do not nest.
    void PushWindow(platform::DialogBox* other);
    void PopWindow();

    // Sets the runner for every later dialog; null restores the default (cancel).
    static void SetModalRunner(ModalRunner runner);
    // The dialog that runs now on this thread, or null.
    static Dialog* Current();
    static void SetCurrent(Dialog* dialog);

    // Whether lengths show in centimetres (the control's unit setting).
    static bool IsMetric();

protected:
    // Hands `code` to the owner under the render lock; 0 without an owner.
    int NotifyOwnerWith(int code);

    DialogOwner* owner;
    platform::DialogBox* window = nullptr;
    platform::DialogBox* savedWindow = nullptr;
    uint32_t templateId;

private:
    // The box of the running dialog, whatever window is pushed over it.
    platform::DialogBox* runBox = nullptr;
    bool painting = false;
};
