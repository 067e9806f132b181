#pragma once

#include "foundation/BaseParameterState.h"

// Defaults of new columns: doubles 0 and 1 above 0, double 2 not negative.
class ColumnState : public BaseParameterState {
public:
    ColumnState();
    const char* GetRegistryPath() const override { return "defaults\\column\\"; }
    bool SetDouble(int i, double value) override;
};
