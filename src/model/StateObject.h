#pragma once

#include <cstdint>

class BaseParameterState;

// The link of an object to the default settings of its type.
class StateObject {
public:
    StateObject() = default;
    // Clears the control's current state object when it is this one.
    virtual ~StateObject();

    // Takes the settings of the object's state.
    virtual void ApplyState() = 0;
    virtual BaseParameterState* GetState() = 0;
    virtual uint64_t GetStateTypeMask() const = 0;
};
