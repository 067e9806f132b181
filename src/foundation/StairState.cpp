#include "foundation/StairState.h"

StairState::StairState() : BaseParameterState({8, 1, 7, 4, 0, 0}) {
    SetBoolean(7, false);
    StoreInteger(0, 0);
}

bool StairState::SetInteger(int i, int32_t value) {
    if (i == 0 && value != 0 && value != 1) return false;
    return BaseParameterState::SetInteger(i, value);
}

bool StairState::SetDouble(int i, double value) {
    if (i == 2) {
        if (!(value >= 0.0)) return false;
    } else if (i >= 0 && i <= 6 && !(value > 0.0)) {
        return false;
    }
    return BaseParameterState::SetDouble(i, value);
}
