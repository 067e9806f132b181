#include "foundation/LightState.h"

#include <optional>

#include "foundation/GlobalState.h"

LightState::LightState(const GlobalState* global) : BaseParameterState({1, 4, 4, 0, 0, 0}) {
    std::optional<GlobalState> fallback;
    if (!global) fallback.emplace();
    const GlobalState& settings = global ? *global : *fallback;
    SetBoolean(0, true);
    StoreInteger(0, 256);
    StoreInteger(1, 10);
    StoreInteger(2, settings.GetInteger(5));
    StoreInteger(3, settings.GetInteger(6));
    StoreDouble(0, settings.GetDouble(11));
    InitDoubles(1, 3, 0.8);
}

bool LightState::SetInteger(int i, int32_t value) {
    if (i >= 0 && i <= 3 && value < 0) return false;
    return BaseParameterState::SetInteger(i, value);
}

bool LightState::SetDouble(int i, double value) {
    if (i == 0 && !(value >= 0.0)) return false;
    return BaseParameterState::SetDouble(i, value);
}

FogState::FogState() : BaseParameterState({1, 4, 3, 0, 0, 0}) {
    SetDefaults();
}

void FogState::SetDefaults() {
    SetBoolean(0, false);
    StoreInteger(0, kExp);
    InitIntegers(1, 3, 255);
    StoreDouble(0, 25.0);
    StoreDouble(1, 0.0);
    StoreDouble(2, 5000.0);
}

bool FogState::SetInteger(int i, int32_t value) {
    if (i == 0 && value != kExp && value != kExp2 && value != kLinear) return false;
    return BaseParameterState::SetInteger(i, value);
}
