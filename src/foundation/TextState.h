#pragma once

#include "foundation/BaseParameterState.h"

// Settings of a text label: the initial text (string 0) and depth (integer 0).
class TextState : public BaseParameterState {
public:
    TextState();
    const char* GetRegistryPath() const override { return ""; }
};
