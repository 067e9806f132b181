#include "foundation/ViewState.h"

ViewState::ViewState() : BaseParameterState({0, 0, 1, 0, 3, 0}) {
    StoreDouble(0, 50.0);
    Vector zoom;
    zoom.x = 200.0;
    StoreVector(2, zoom);
}

RenderState::RenderState() : BaseParameterState({14, 1, 0, 0, 0, 2}) {
    InitBooleans(0, 4, false);
    SetBoolean(7, false);
    InitBooleans(9, 13, false);
    StoreInteger(0, 0);
    StoreInt64(0, 0);
    StoreInt64(1, 0);
}

bool RenderState::SetInteger(int i, int32_t value) {
    if (i == 0 && value != 0 && value != 1 && value != 2 && value != 4) return false;
    return BaseParameterState::SetInteger(i, value);
}
