#pragma once

#include <cstdint>

#include "model/ObjectTypes.h"

// What kind of object something under the cursor is: every pickable thing answers its
// 64-bit type mask (see ObjectTypes.h).
class PickableObject {
public:
    PickableObject() = default;
    virtual ~PickableObject() = default;

    virtual uint64_t GetTypeMask() const = 0;

    // Whether the object's mask shares a bit with `mask`.
    bool HasType(uint64_t mask) const { return (GetTypeMask() & mask) != 0; }
};
