#pragma once

#include "foundation/BaseParameterState.h"

// Defaults of new slab coverings: double 0 within 0..1; vector 0 with positive x and y.
class CoveringState : public BaseParameterState {
public:
    CoveringState();
    const char* GetRegistryPath() const override { return "defaults\\covering\\"; }
    bool SetDouble(int i, double value) override;
    bool SetVector(int i, const Vector& value) override;
};
