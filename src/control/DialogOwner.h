#pragma once

#include "foundation/LinkedList.h"

class Dialog;

// Owner of modeless dialogs: keeps them in a list and hears their notifications.
class DialogOwner {
public:
    DialogOwner() = default;
    virtual ~DialogOwner() = default;
    DialogOwner(const DialogOwner&) = delete;
    DialogOwner& operator=(const DialogOwner&) = delete;

    virtual int OnDialogNotify(Dialog* dialog, int code) { return 0; }
    virtual void InitDialog() {}

protected:
    LinkedList dialogs;
};
