#pragma once

#include "foundation/BaseParameterState.h"

// A view's camera: vector 0 the camera offset (the negated eye position), vector 1 the
// rotation (x pitch, y yaw, in degrees), vector 2 the orthographic zoom (x half width,
// y half height), double 0 the field of view.
class ViewState : public BaseParameterState {
public:
    ViewState();
    const char* GetRegistryPath() const override { return ""; }
    const char* GetElementName() const override { return "ViewState"; }
};

// A view's display settings: integer 0 the view mode (0 perspective, 1 blueprint,
// 2 elevation, 4 overhead), the pass flags, and the hidden-type (int64 0) and
// deferred-type (int64 1) masks.
class RenderState : public BaseParameterState {
public:
    RenderState();
    const char* GetRegistryPath() const override { return "defaults\\render\\"; }
    const char* GetElementName() const override { return "RenderState"; }
    // Integer 0 takes only 0, 1, 2 or 4.
    bool SetInteger(int i, int32_t value) override;
};
