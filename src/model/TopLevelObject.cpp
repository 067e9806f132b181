#include "model/TopLevelObject.h"

#include "control/BaseControl.h"
#include "model/RenderableObject.h"
#include "model/SelectableObject.h"
#include "platform/Menu.h"

namespace {

void ForgetHidden(BaseControl& control, TopLevelObject* object) {
    while (control.RemoveHiddenObject(object)) {
    }
}

}  // namespace

TopLevelObject::~TopLevelObject() {
    if (BaseControl* control = theControl()) ForgetHidden(*control, this);
}

bool TopLevelObject::IsLocked() const {
    return locked != 0;
}

void TopLevelObject::AppendMenuItems(platform::Menu& menu) {
    menu.AppendItem(MenuCommand::kHide, "Hide", !visible);
    menu.AppendItem(MenuCommand::kLock, "Lock", IsLocked());
    menu.AppendSeparator();
}

bool TopLevelObject::OnCommand(uint32_t id) {
    if (id == MenuCommand::kLock) {
        locked = !locked;
        return true;
    }
    if (id != MenuCommand::kHide) return false;
    visible = !visible;
    BaseControl* control = theControl();
    if (control && dynamic_cast<RenderableObject*>(this)) {
        control->RebuildDisplayData();
        // One entry per hidden object, the newest first: showing takes it out.
        ForgetHidden(*control, this);
        if (!visible) control->QueueHiddenObject(this);
    }
    return true;
}
