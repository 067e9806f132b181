#include "foundation/FenceState.h"

FenceState::FenceState() : BaseParameterState({0, 1, 0, 10, 0, 0}) {
    StoreInteger(0, 2);
}

bool FenceState::SetInteger(int i, int32_t value) {
    if (i == 0 && (value < 0 || value > 4)) return false;
    return BaseParameterState::SetInteger(i, value);
}
