#include "foundation/ColumnState.h"

ColumnState::ColumnState() : BaseParameterState({3, 0, 3, 0, 0, 0}) {
    InitBooleans(0, 2, true);
    StoreDouble(0, 6.0);
    StoreDouble(1, 12.0);
    StoreDouble(2, 6.0);
}

bool ColumnState::SetDouble(int i, double value) {
    if ((i == 0 || i == 1) && !(value > 0.0)) return false;
    if (i == 2 && !(value >= 0.0)) return false;
    return BaseParameterState::SetDouble(i, value);
}
