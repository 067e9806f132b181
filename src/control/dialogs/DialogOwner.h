#pragma once

#include "foundation/LinkedList.h"

class Dialog;

// What a dialog belongs to: it fills the dialog when it opens (InitDialog) and hears its
// notifications (code 1: take the dialog's values; further codes per dialog). It also
// keeps a list for its modeless dialogs.
class DialogOwner {
public:
    DialogOwner() = default;
    virtual ~DialogOwner() = default;
    DialogOwner(const DialogOwner&) = delete;
    DialogOwner& operator=(const DialogOwner&) = delete;

    virtual int OnDialogNotify(Dialog* dialog, int code) { return 0; }
    virtual void InitDialog(Dialog* dialog) {}

protected:
    LinkedList dialogs;
};
