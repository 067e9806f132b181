#pragma once

#include "foundation/BaseParameterState.h"

// Defaults of new fences: the style (integer 0, 0..4) and the two models of each style
// (strings 2k and 2k + 1 for style k).
class FenceState : public BaseParameterState {
public:
    FenceState();
    const char* GetRegistryPath() const override { return "defaults\\fences\\"; }
    bool SetInteger(int i, int32_t value) override;
};
