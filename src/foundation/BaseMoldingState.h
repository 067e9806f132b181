#pragma once

#include "foundation/BaseParameterState.h"

// Defaults of new moldings: profile shape (integer 0, 1..8), the profile's two radii
// (doubles 0 and 1, above 0) and the molding model's address (string 0, never empty).
class BaseMoldingState : public BaseParameterState {
public:
    BaseMoldingState();
    const char* GetRegistryPath() const override { return "defaults\\baseMolding\\"; }
    bool SetInteger(int i, int32_t value) override;
    bool SetDouble(int i, double value) override;
    bool SetString(int i, const char* text) override;
};
