#include "control/Dialog.h"

#include <mutex>
#include <utility>

#include "control/BaseControl.h"
#include "control/DialogOwner.h"
#include "foundation/Trace.h"

namespace {

std::mutex runnerMutex;
Dialog::ModalRunner& Runner() {
    static Dialog::ModalRunner runner;
    return runner;
}
thread_local Dialog* currentDialog = nullptr;

}  // namespace

void Dialog::SetModalRunner(ModalRunner runner) {
    std::lock_guard<std::mutex> guard(runnerMutex);
    Runner() = std::move(runner);
}

Dialog* Dialog::Current() {
    return currentDialog;
}

int Dialog::RunModal(uint32_t id) {
    if (!PRECONDITION(id != 0, "Invalid dialog ID")) return 0;
    ModalRunner runner;
    {
        std::lock_guard<std::mutex> guard(runnerMutex);
        runner = Runner();
    }
    BaseControl* control = theControl();
    const int held = control ? control->ReleaseRenderLockFully() : 0;
    Dialog* previous = currentDialog;
    currentDialog = this;
    if (owner) owner->InitDialog();
    int code = kCancel;
    if (OnInitDialog() == 1)
        code = 0;
    else if (runner)
        code = runner(*this);
    currentDialog = previous;
    if (control) control->ReacquireRenderLock(held);
    return code;
}

int Dialog::NotifyOwner() {
    if (!owner) return 0;
    BaseControl* control = theControl();
    if (control) control->LockRender();
    const int result = owner->OnDialogNotify(this, kNotifyApply);
    if (control) control->UnlockRender();
    return result;
}

int Dialog::Apply() {
    NotifyOwner();
    return 1;
}
