#pragma once

#include <cstdint>

class PickableObject;

// OpenGL pick names of drawn objects: 32-bit numbers that the selection buffer gives
// back, mapped to their objects through one process-wide table (never addresses). An
// object registers its name while it can be drawn and takes it out before it goes.
void RegisterPickName(uint32_t name, PickableObject* object);
void UnregisterPickName(uint32_t name);
// The object drawn under `name`, or null.
PickableObject* FindPickedObject(uint32_t name);

// A pick name of its own for something drawn that is not a list node (a handle): a fresh
// 32-bit number from the node counter, mapped to `object` for the name's lifetime.
class PickName {
public:
    explicit PickName(PickableObject* object);
    ~PickName();
    PickName(const PickName&) = delete;
    PickName& operator=(const PickName&) = delete;

    uint32_t Get() const { return name; }

private:
    uint32_t name;
};
