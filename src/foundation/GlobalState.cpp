#include "foundation/GlobalState.h"

#include <algorithm>

#include "foundation/KeyDataList.h"

GlobalState::GlobalState() : BaseParameterState({38, 12, 21, 5, 2, 0}) {
    for (int i : {10, 12, 13, 14, 22, 23, 34, 35, 36}) SetBoolean(i, true);
    StoreInteger(0, 29);
    for (int i : {5, 6, 8, 9}) StoreInteger(i, 1024);
    StoreInteger(10, 0);
    StoreDouble(0, 36.0);
    StoreDouble(1, 72.0);
    StoreDouble(2, 6.0);
    InitDoubles(4, 7, -789.54);
    InitDoubles(8, 9, 0.5);
    StoreDouble(10, 1.0);
    StoreDouble(11, 24.0);
    StoreDouble(12, -1.0);
    StoreDouble(16, 0.0);
    StoreDouble(17, 3.0);
    StoreDouble(18, 10.0);
    StoreDouble(19, 0.0);
    StoreDouble(20, -3.0);
}

void GlobalState::ReadKeyData(KeyDataList& list) {
    PendingValues values = MakePendingValues();
    for (std::size_t i = 0; i < values.vectors.size(); ++i)
        values.vectors[i] = ReadVectorSlot(list, int(i), GetVector(int(i)));
    double north = 0.0;
    if (list.GetDouble("doubles15", north)) values.doubles[15] = north;
    ApplyPendingValues(values);
}

bool GlobalState::SetInteger(int i, int32_t value) {
    if (i == 4) {
        // The surface picked last on a slab; 0 when the pick hit none of them.
        if (value != 0 && value != 1000 && value != 1001 && value != 1002) return false;
        return BaseParameterState::SetInteger(i, value);
    }
    if (i != 10 && i != 11 && value < 1) return false;
    return BaseParameterState::SetInteger(i, value);
}

bool GlobalState::SetDouble(int i, double value) {
    const bool positive = (i >= 0 && i <= 3) || i == 12 || i == 13;
    if (positive && !(value > 0.0)) return false;
    return BaseParameterState::SetDouble(i, value);
}

int GlobalState::AutoSaveMinutes() const {
    return std::clamp(GetInteger(7), 1, 120);
}
