#include "foundation/SlabState.h"

#include "foundation/KeyDataList.h"

SlabState::SlabState(const ParameterSlotCounts& counts, int lastZeroDouble)
    : BaseParameterState(counts) {
    InitBooleans(0, 1, false);
    InitBooleans(2, 7, true);
    InitDoubles(1, lastZeroDouble, 0.0);
}

bool SlabState::SetDouble(int i, double value) {
    if ((i == 0 || i == 4 || i == 5) && !(value > 0.0)) return false;
    if (i >= 1 && i <= 3 && !(value >= 0.0)) return false;
    return BaseParameterState::SetDouble(i, value);
}

bool SlabState::SetVector(int i, const Vector& value) {
    if (i >= 0 && i <= 2 && !(value.x > 0.0)) return false;
    return BaseParameterState::SetVector(i, value);
}

WallState::WallState() : SlabState({10, 18, 11, 18, 6, 0}, 8) {}

bool WallState::SetDouble(int i, double value) {
    if ((i == 9 || i == 10) && !(value > 0.0)) return false;
    return SlabState::SetDouble(i, value);
}

FloorState::FloorState() : SlabState({8, 9, 10, 6, 6, 0}, 9) {}

void FloorState::WriteKeyData() {
    auto* built = new KeyDataSublist(GetElementName());
    built->GetChildren()->AddDouble("doubles9", GetDouble(9));
    ReplaceElement(built);
}

void FloorState::ReadKeyData(KeyDataList& list) {
    PendingValues values = MakePendingValues();
    values.doubles[9] = list.GetNumber("doubles9");
    ApplyPendingValues(values);
}

bool FloorState::SetDouble(int i, double value) {
    if (i == 9 && !(value >= 0.0)) return false;
    return SlabState::SetDouble(i, value);
}

RoofState::RoofState() : SlabState({8, 9, 9, 6, 6, 0}, 8) {}

CounterState::CounterState() : SlabState({8, 9, 10, 6, 6, 0}, 8) {
    StoreDouble(9, 6.0);
}

bool CounterState::SetDouble(int i, double value) {
    if (i == 9 && !(value > 0.0)) return false;
    return SlabState::SetDouble(i, value);
}
