#pragma once

#include "control/BaseControl.h"

// Takes the control's render lock for a scope, when there is a control.
class RenderLockScope {
public:
    RenderLockScope() : control(theControl()) {
        if (control) control->LockRender();
    }
    ~RenderLockScope() {
        if (control) control->UnlockRender();
    }
    RenderLockScope(const RenderLockScope&) = delete;
    RenderLockScope& operator=(const RenderLockScope&) = delete;

private:
    BaseControl* control;
};
