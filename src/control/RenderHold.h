#pragma once

#include "control/BaseControl.h"

// Holds the control's render lock for a scope.
class RenderHold {
public:
    explicit RenderHold(BaseControl& control) : control_(control) { control_.LockRender(); }
    ~RenderHold() { control_.UnlockRender(); }
    RenderHold(const RenderHold&) = delete;
    RenderHold& operator=(const RenderHold&) = delete;

private:
    BaseControl& control_;
};
