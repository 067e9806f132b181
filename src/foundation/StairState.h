#pragma once

#include "foundation/BaseParameterState.h"

// Settings of a staircase: integer 0 is 0 or 1; doubles 0, 1 and 3-6 above 0, double 2
// not negative.
class StairState : public BaseParameterState {
public:
    StairState();
    const char* GetRegistryPath() const override { return "defaults\\stairs\\"; }
    bool SetInteger(int i, int32_t value) override;
    bool SetDouble(int i, double value) override;
};
