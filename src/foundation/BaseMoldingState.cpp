#include "foundation/BaseMoldingState.h"

BaseMoldingState::BaseMoldingState() : BaseParameterState({1, 1, 2, 1, 0, 0}) {
    StoreInteger(0, 1);
    InitDoubles(0, 1, 1.0);
}

bool BaseMoldingState::SetInteger(int i, int32_t value) {
    if (i == 0 && (value < 1 || value > 8)) return false;
    return BaseParameterState::SetInteger(i, value);
}

bool BaseMoldingState::SetDouble(int i, double value) {
    if ((i == 0 || i == 1) && !(value > 0.0)) return false;
    return BaseParameterState::SetDouble(i, value);
}

bool BaseMoldingState::SetString(int i, const char* text) {
    if (i == 0 && (!text || text[0] == '\0')) return false;
    return BaseParameterState::SetString(i, text);
}
