#include "platform/DialogBox.h"

#include "Display.h"

#include <algorithm>
#include <utility>

namespace platform {

DialogControl& DialogBox::Add(ControlKind kind, uint32_t id, std::string text, Rect rect) {
    DialogControl control;
    control.id = id;
    control.kind = kind;
    control.text = std::move(text);
    control.rect = rect;
    controls_.push_back(std::move(control));
    return controls_.back();
}

DialogControl* DialogBox::Find(uint32_t id) {
    for (DialogControl& control : controls_)
        if (control.id == id) return &control;
    return nullptr;
}

const DialogControl* DialogBox::Find(uint32_t id) const {
    for (const DialogControl& control : controls_)
        if (control.id == id) return &control;
    return nullptr;
}

bool DialogBox::SetText(uint32_t id, const std::string& text) {
    DialogControl* control = Find(id);
    if (!control) return false;
    control->text = text;
    control->textSelected = false;
    return true;
}

std::string DialogBox::GetText(uint32_t id) const {
    const DialogControl* control = Find(id);
    return control ? control->text : std::string();
}

bool DialogBox::Enable(uint32_t id, bool enable) {
    DialogControl* control = Find(id);
    if (!control) return false;
    control->enabled = enable;
    return true;
}

bool DialogBox::IsEnabled(uint32_t id) const {
    const DialogControl* control = Find(id);
    return control && control->enabled;
}

bool DialogBox::Show(uint32_t id, bool show) {
    DialogControl* control = Find(id);
    if (!control) return false;
    control->visible = show;
    return true;
}

bool DialogBox::IsVisible(uint32_t id) const {
    const DialogControl* control = Find(id);
    return control && control->visible;
}

bool DialogBox::Check(uint32_t id, bool checked) {
    DialogControl* control = Find(id);
    if (!control) return false;
    if (checked && control->kind == ControlKind::RadioButton && control->group != 0) {
        for (DialogControl& other : controls_)
            if (other.kind == ControlKind::RadioButton && other.group == control->group)
                other.checked = false;
    }
    control->checked = checked;
    return true;
}

bool DialogBox::IsChecked(uint32_t id) const {
    const DialogControl* control = Find(id);
    return control && control->checked;
}

int DialogBox::AddItem(uint32_t id, const std::string& text) {
    DialogControl* control = Find(id);
    if (!control) return -1;
    auto& items = control->items;
    auto at = items.end();
    if (control->sorted) at = std::upper_bound(items.begin(), items.end(), text);
    const int index = static_cast<int>(at - items.begin());
    items.insert(at, text);
    if (control->selection >= index) ++control->selection;
    return index;
}

bool DialogBox::Select(uint32_t id, int index) {
    DialogControl* control = Find(id);
    if (!control || index < -1 || index >= static_cast<int>(control->items.size())) return false;
    control->selection = index;
    return true;
}

int DialogBox::GetSelection(uint32_t id) const {
    const DialogControl* control = Find(id);
    return control ? control->selection : -1;
}

std::string DialogBox::GetSelectedText(uint32_t id) const {
    const DialogControl* control = Find(id);
    if (!control || control->selection < 0 ||
        control->selection >= static_cast<int>(control->items.size()))
        return {};
    return control->items[static_cast<size_t>(control->selection)];
}

bool DialogBox::SetPosition(uint32_t id, int position) {
    DialogControl* control = Find(id);
    if (!control) return false;
    control->position =
        std::clamp(position, control->rangeMin, std::max(control->rangeMin, control->rangeMax));
    return true;
}

int DialogBox::GetPosition(uint32_t id) const {
    const DialogControl* control = Find(id);
    return control ? control->position : 0;
}

LResult DialogBox::Send(uint32_t message, WParam wParam, LParam lParam) {
    if (!procedure_) return 0;
    // A copy: the procedure may replace itself.
    Procedure procedure = procedure_;
    return procedure(message, wParam, lParam);
}

void DialogBox::End(int code) {
    if (ended_) return;
    ended_ = true;
    endCode_ = code;
}

DialogControl* DialogBox::Usable(uint32_t id) {
    DialogControl* control = Find(id);
    if (!control || !control->visible || !control->enabled || ended_) return nullptr;
    return control;
}

bool DialogBox::Focus(uint32_t id) {
    if (id == 0 && !ended_) {
        const uint32_t previous = focus_;
        const DialogControl* old = Find(previous);
        focus_ = 0;
        if (old && old->kind == ControlKind::Edit) Command(previous, EN_KILLFOCUS);
        return true;
    }
    DialogControl* control = Usable(id);
    if (!control) return false;
    if (focus_ == id) return true;
    const uint32_t previous = focus_;
    const DialogControl* old = Find(previous);
    focus_ = id;
    if (old && old->kind == ControlKind::Edit) Command(previous, EN_KILLFOCUS);
    // The notification may have ended the dialog or moved the focus on.
    control = Find(id);
    if (ended_ || focus_ != id || !control) return !ended_;
    if (control->kind == ControlKind::Edit) Command(id, EN_SETFOCUS);
    return true;
}

bool DialogBox::Click(uint32_t id) {
    DialogControl* control = Usable(id);
    if (!control) return false;
    if (control->kind == ControlKind::CheckBox) {
        control->checked = !control->checked;
    } else if (control->kind == ControlKind::RadioButton) {
        Check(id, true);
    }
    Command(id, BN_CLICKED);
    return true;
}

bool DialogBox::Type(uint32_t id, const std::string& text) {
    if (!Usable(id) || !Focus(id)) return false;
    DialogControl* control = Find(id);
    if (!control || control->kind != ControlKind::Edit || ended_) return false;
    control->text = text;
    control->textSelected = false;
    Command(id, EN_CHANGE);
    return true;
}

bool DialogBox::Choose(uint32_t id, int index) {
    DialogControl* control = Usable(id);
    if (!control || index < 0 || index >= static_cast<int>(control->items.size())) return false;
    control->selection = index;
    Command(id, CBN_SELCHANGE);
    return true;
}

bool DialogBox::Slide(uint32_t id, int position) {
    DialogControl* control = Usable(id);
    if (!control || control->kind != ControlKind::Slider) return false;
    SetPosition(id, position);
    const int at = GetPosition(id);
    for (unsigned code : {SB_THUMBTRACK, SB_THUMBPOSITION}) {
        if (ended_) break;
        Send(WM_HSCROLL, MakeWParam(code, static_cast<unsigned>(at)), static_cast<LParam>(id));
    }
    return true;
}

bool DialogBox::ChooseTab(uint32_t id, int index) {
    DialogControl* control = Usable(id);
    if (!control || index < 0 || index >= static_cast<int>(control->items.size())) return false;
    control->selection = index;
    NotifyHeader header{id, TCN_SELCHANGE};
    Send(WM_NOTIFY, id, reinterpret_cast<LParam>(&header));
    return true;
}

LResult DialogBox::Mouse(uint32_t message, int x, int y) {
    if (ended_) return 0;
    return Send(message, 0, MakeLParam(x, y));
}

int RunDialogBox(DialogBox& box) {
    if (!display::Active()) return -1;
    return display::RunDialog(box);
}

}  // namespace platform
