#include "control/dialogs/Dialog.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <utility>

#include "control/BaseControl.h"
#include "control/dialogs/DialogOwner.h"
#include "control/dialogs/DialogTemplates.h"
#include "control/LengthFormat.h"
#include "foundation/Trace.h"

using platform::DialogBox;
using platform::HighWord;
using platform::LowWord;

namespace {

constexpr int kMetricSwitch = 7;

std::mutex runnerMutex;
Dialog::ModalRunner& Runner() {
    static Dialog::ModalRunner runner;
    return runner;
}
thread_local Dialog* currentDialog = nullptr;

}  // namespace

Dialog::~Dialog() {
    if (currentDialog == this) currentDialog = nullptr;
}

void Dialog::SetModalRunner(ModalRunner runner) {
    std::lock_guard<std::mutex> guard(runnerMutex);
    Runner() = std::move(runner);
}

Dialog* Dialog::Current() {
    return currentDialog;
}

void Dialog::SetCurrent(Dialog* dialog) {
    currentDialog = dialog;
}

bool Dialog::IsMetric() {
    BaseControl* control = theControl();
    return control && control->globalState.GetBoolean(kMetricSwitch);
}

int Dialog::RunModal(uint32_t id) {
    if (!PRECONDITION(id != 0, "Invalid dialog ID")) return 0;
    DialogBox box;
    if (!LoadDialogTemplate(id, box)) {
        theTrace().WriteFormat("No dialog template %u", id);
        return -1;
    }
    ModalRunner runner;
    {
        std::lock_guard<std::mutex> guard(runnerMutex);
        runner = Runner();
    }
    BaseControl* control = theControl();
    const int held = control ? control->ReleaseRenderLockFully() : 0;
    Dialog* previous = currentDialog;
    platform::DialogBox* outerWindow = window;
    platform::DialogBox* outerSaved = savedWindow;
    platform::DialogBox* outerBox = runBox;
    currentDialog = this;
    window = &box;
    runBox = &box;
    savedWindow = nullptr;
    box.SetProcedure([this](uint32_t message, platform::WParam wParam, platform::LParam lParam) {
        return Procedure(message, wParam, lParam);
    });

    box.Send(platform::WM_INITDIALOG);
    int code = 0;
    if (!box.IsEnded()) {
        if (runner) {
            code = runner(*this);
        } else if ((code = platform::RunDialogBox(box)) < 0) {
            // No one to answer the box: it is cancelled.
            box.PressEscape();
            code = kCancel;
        }
    }
    if (box.IsEnded()) code = box.GetEndCode();

    // A page pushed over the box and never popped goes with the run.
    window = outerWindow;
    savedWindow = outerSaved;
    runBox = outerBox;
    currentDialog = previous;
    if (control) control->ReacquireRenderLock(held);
    return code;
}

platform::LResult Dialog::Procedure(uint32_t message, platform::WParam wParam,
                                    platform::LParam lParam) {
    DialogBox* box = runBox;
    if (!box) return 0;
    auto end = [&](int code) {
        box->End(code);
        return 1;
    };
    if (message == platform::WM_INITDIALOG) {
        if (owner) owner->InitDialog(this);
        return OnInitDialog() == 1 ? end(0) : 0;
    }
    if (message != platform::WM_COMMAND) {
        return OnCommand(message, wParam, lParam) == 1 ? end(0) : 0;
    }
    const uint32_t id = LowWord(wParam);
    const unsigned notification = HighWord(wParam);
    if (notification == platform::EN_SETFOCUS) {
        if (platform::DialogControl* field = box->Find(id)) field->textSelected = true;
        return 0;
    }
    if (notification == platform::EN_KILLFOCUS && ValidateFields() == 1) return end(id);
    int result = 0;
    switch (id) {
        case kOk:
            if (ValidateFields() == 1) return end(id);
            result = Apply();
            break;
        case kCancel:
            result = OnCancel();
            break;
        case kApply:
            if (ValidateFields() == 1) return end(id);
            result = NotifyOwner();
            break;
        default:
            result = OnCommand(message, wParam, lParam);
            break;
    }
    return result == 1 ? end(id) : 0;
}

int Dialog::NotifyOwner() {
    return NotifyOwnerWith(kNotifyApply);
}

int Dialog::NotifyOwnerWith(int code) {
    if (!owner) return 0;
    BaseControl* control = theControl();
    if (control) control->LockRender();
    const int result = owner->OnDialogNotify(this, code);
    if (control) control->UnlockRender();
    return result;
}

int Dialog::Apply() {
    NotifyOwner();
    return 1;
}

void Dialog::EnableItem(uint32_t id, bool enable) {
    if (window) window->Enable(id, enable);
}

void Dialog::ShowItem(uint32_t id, bool show) {
    if (window) window->Show(id, show);
}

void Dialog::SetItemText(uint32_t id, const std::string& text) {
    if (window) window->SetText(id, text);
}

std::string Dialog::GetItemText(uint32_t id) const {
    if (!window) return {};
    std::string text = window->GetText(id);
    if (text.size() >= kTextSize) text.resize(kTextSize - 1);
    return text;
}

void Dialog::SetItemNumber(uint32_t id, double value) {
    SetItemText(id, FormatNumber(value));
}

double Dialog::GetItemNumber(uint32_t id) const {
    return ParseLength(GetItemText(id).c_str());
}

void Dialog::CheckItem(uint32_t id, bool checked) {
    if (window) window->Check(id, checked);
}

bool Dialog::IsItemChecked(uint32_t id) const {
    return window && window->IsChecked(id);
}

void Dialog::SetTitle(const std::string& text) {
    if (window) window->SetCaption(text);
}

void Dialog::SetButtonBitmap(uint32_t id, uint32_t bitmap) {
    if (!window) return;
    if (platform::DialogControl* button = window->Find(id)) button->bitmap = bitmap;
}

void Dialog::PaintBitmap(int x, int y, uint32_t bitmap, uint32_t mask) {
    if (!window) return;
    platform::DialogPaint paint;
    paint.x = x;
    paint.y = y;
    paint.bitmap = bitmap;
    paint.mask = mask;
    window->Paint(paint);
}

void Dialog::FillItemArea(const platform::Rect& rect, uint32_t colour) {
    if (!window) return;
    platform::DialogPaint paint;
    paint.rect = rect;
    paint.colour = colour;
    paint.fill = true;
    window->Paint(paint);
}

platform::Rect Dialog::GetItemRect(uint32_t id) const {
    if (!window) return {};
    const platform::DialogControl* control = window->Find(id);
    return control ? control->rect : platform::Rect{};
}

void Dialog::InvalidateItemArea(uint32_t id, int, int) {
    InvalidateItemArea(id);
}

void Dialog::InvalidateItemArea(uint32_t id) {
    if (!window || painting || !window->Find(id)) return;
    painting = true;
    window->Send(platform::WM_PAINT);
    painting = false;
}

bool Dialog::IsPointInItem(uint32_t id, int x, int y) const {
    if (!window || !window->Find(id)) return false;
    const platform::Rect r = GetItemRect(id);
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

int Dialog::HitTestRects(uint32_t id, int count, const platform::Rect* rects, int x, int y) const {
    if (!window || !window->Find(id) || !rects) return -1;
    const platform::Rect origin = GetItemRect(id);
    const int px = x - origin.left;
    const int py = y - origin.top;
    for (int i = 0; i < count; ++i) {
        const platform::Rect& r = rects[i];
        if (px >= r.left && px <= r.right && py >= r.top && py <= r.bottom) return i;
    }
    return -1;
}

bool Dialog::ClampField(uint32_t id, double min, double max) {
    const double value = GetItemNumber(id);
    const double clamped = std::isfinite(value) ? std::clamp(value, min, max) : min;
    SetItemNumber(id, clamped);
    return clamped == value;
}

double Dialog::GetSliderValue(uint32_t id) const {
    return window ? window->GetPosition(id) * 0.01 : 0.0;
}

void Dialog::PushWindow(platform::DialogBox* other) {
    if (!PRECONDITION(savedWindow == nullptr, "Push repeated without a pop")) return;
    savedWindow = window;
    window = other;
}

void Dialog::PopWindow() {
    if (!PRECONDITION(savedWindow != nullptr, "Pop called without a push")) return;
    window = savedWindow;
    savedWindow = nullptr;
}
