#pragma once

#include <cstdint>
#include <functional>

class DialogOwner;

// A dialog of the control: one template run modally. Its owner fills it when it opens
// and takes its values back when the user applies them (code 1).
//
// While a dialog runs, the calling thread's holds on the render lock are given up so that
// the views keep drawing, and taken back afterwards. Without a display the run is
// answered by the runner set with SetModalRunner, which plays the user's part on the
// dialog object (sets values, calls Apply or OnCancel) and answers the end code; the
// default runner cancels.
class Dialog {
public:
    // End codes of the standard buttons.
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;
    static constexpr int kApply = 235;
    // Owner notification code: take the dialog's values.
    static constexpr int kNotifyApply = 1;

    using ModalRunner = std::function<int(Dialog& dialog)>;

    Dialog(DialogOwner* owner, uint32_t templateId) : owner(owner), templateId(templateId) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the template modally and answers the end code (0 for an invalid id).
    virtual int RunModal(uint32_t id);
    virtual int Show() { return RunModal(templateId); }
    virtual int OnCancel() { return 1; }
    virtual int OnInitDialog() { return 0; }
    // Hands the values to the owner (code 1) under the render lock; 0 without an owner.
    virtual int NotifyOwner();
    // Notifies the owner and closes.
    virtual int Apply();
    virtual int OnCommand(uint32_t message, uintptr_t wParam, intptr_t lParam) { return 0; }
    virtual int ValidateFields() { return 0; }

    DialogOwner* GetOwner() const { return owner; }
    uint32_t GetTemplateId() const { return templateId; }

    // Sets the runner for every later dialog; null restores the default (cancel).
    static void SetModalRunner(ModalRunner runner);
    // The dialog that runs now, or null.
    static Dialog* Current();

protected:
    DialogOwner* owner;
    uint32_t templateId;
};
