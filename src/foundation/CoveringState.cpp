#include "foundation/CoveringState.h"

CoveringState::CoveringState() : BaseParameterState({1, 3, 1, 1, 1, 0}) {
    SetBoolean(0, false);
    StoreDouble(0, 1.0);
}

bool CoveringState::SetDouble(int i, double value) {
    if (i == 0 && !(value >= 0.0 && value <= 1.0)) return false;
    return BaseParameterState::SetDouble(i, value);
}

bool CoveringState::SetVector(int i, const Vector& value) {
    if (i == 0 && !(value.x > 0.0 && value.y > 0.0)) return false;
    return BaseParameterState::SetVector(i, value);
}
