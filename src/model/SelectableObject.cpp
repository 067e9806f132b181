#include "model/SelectableObject.h"

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "platform/Menu.h"

SelectableObject::~SelectableObject() {
    POSTCONDITION(GetOwner() == nullptr, "A scene object was destroyed while still in a list");
}

void SelectableObject::BuildPropertyMenu(platform::Menu&) {}

bool SelectableObject::ProcessPropertyMenu(uint32_t id) {
    if (id != MenuCommand::kSelectObject) return false;
    if (BaseControl* control = theControl()) control->SelectAll(false);
    SetSelected(true);
    return true;
}

bool SelectableObject::RemoveFromList(LinkedList& list) {
    return list.Remove(this);
}

bool SelectableObject::IsSelected() const {
    return selected != 0;
}

bool SelectableObject::SetSelected(bool flag) {
    selected = flag ? 1 : 0;
    return flag;
}

void SelectableObject::ShowPropertyDialog() {}

platform::Menu& SelectableObject::CreateContextMenu() {
    static platform::Menu menu;
    menu.Clear();
    return menu;
}
