#pragma once

#include "control/BaseControl.h"

// Holds the control's render lock for a scope: the process's control by default, or
// the one given; nothing when there is no control.
class RenderLockScope {
public:
    RenderLockScope() : RenderLockScope(theControl()) {}
    explicit RenderLockScope(BaseControl& control) : RenderLockScope(&control) {}
    explicit RenderLockScope(BaseControl* control) : control_(control) {
        if (control_) control_->LockRender();
    }
    ~RenderLockScope() {
        if (control_) control_->UnlockRender();
    }
    RenderLockScope(const RenderLockScope&) = delete;
    RenderLockScope& operator=(const RenderLockScope&) = delete;

private:
    BaseControl* control_;
};
