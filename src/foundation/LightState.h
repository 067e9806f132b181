#pragma once

#include "foundation/BaseParameterState.h"

class GlobalState;

// The settings of one light: shadows on (boolean 0), light bitmap size and falloff
// (integers 0, 1), depth-map width and height (integers 2, 3), spot angle in degrees
// (double 0) and colour (doubles 1-3). None of them may be negative.
class LightState : public BaseParameterState {
public:
    // The depth-map size and spot angle start from the given global settings (integers
    // 5 and 6, double 11) as they are now; without them, from a fresh `GlobalState`'s.
    explicit LightState(const GlobalState* global = nullptr);
    const char* GetRegistryPath() const override { return "defaults\\lights\\"; }
    bool SetInteger(int i, int32_t value) override;
    bool SetDouble(int i, double value) override;
};

// Fog: on (boolean 0), mode (integer 0: GL_EXP, GL_EXP2 or GL_LINEAR), colour (integers
// 1-3, 0..255), density x 100000 (double 0), start and end (doubles 1, 2).
class FogState : public BaseParameterState {
public:
    static constexpr int32_t kExp = 2048;     // GL_EXP
    static constexpr int32_t kExp2 = 2049;    // GL_EXP2
    static constexpr int32_t kLinear = 9729;  // GL_LINEAR

    FogState();
    const char* GetRegistryPath() const override { return ""; }
    const char* GetElementName() const override { return "FogState"; }
    bool SetInteger(int i, int32_t value) override;
    // Restores the values a new fog state starts with.
    void SetDefaults();
};
