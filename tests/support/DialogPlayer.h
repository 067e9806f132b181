#pragma once

#include <functional>
#include <vector>

#include "control/dialogs/Dialog.h"
#include "control/dialogs/DialogOwner.h"
#include "platform/DialogBox.h"

// Shows `dialog` with `play` in the user's place; answers the end code. The runner is
// cleared again afterwards.
inline int PlayDialog(Dialog& dialog, const std::function<void(platform::DialogBox&)>& play) {
    Dialog::SetModalRunner([&play](Dialog& d) {
        play(*d.Window());
        return 0;
    });
    const int code = dialog.Show();
    Dialog::SetModalRunner(nullptr);
    return code;
}

// An owner that records the codes it hears.
struct RecordingDialogOwner : DialogOwner {
    int OnDialogNotify(Dialog*, int code) override {
        codes.push_back(code);
        return 0;
    }
    std::vector<int> codes;
};
