#pragma once

#include <cstdint>

#include "model/ObjectTypes.h"

// What kind of object something under the cursor is: every pickable thing answers its
// 64-bit type mask (see ObjectTypes.h).
//
// While it draws in a pick, an object loads or pushes its pick name on the OpenGL name
// stack (glLoadName(object->GetPickName())). Names are 32-bit numbers handed out from a
// process-wide table; FromPickName turns a name from the selection buffer back into the
// object. An object keeps its name for its life and leaves the table when it goes, so a
// name read after its object was destroyed finds nothing. Name 0 is never handed out: it
// stands for "no object".
class PickableObject {
public:
    PickableObject() = default;
    // A copy is another object: it gets a name of its own when it first draws.
    PickableObject(const PickableObject&) {}
    PickableObject& operator=(const PickableObject&) { return *this; }
    virtual ~PickableObject();

    virtual uint64_t GetTypeMask() const = 0;

    // Whether the object's mask shares a bit with `mask`.
    bool HasType(uint64_t mask) const { return (GetTypeMask() & mask) != 0; }

    // The object's name for the OpenGL name stack, given on the first call.
    uint32_t GetPickName();
    // The live object with that name; null for 0, for a name never given, and for a
    // name whose object is gone.
    static PickableObject* FromPickName(uint32_t name);

private:
    uint32_t pickName = 0;
};

// A further pick name for an object, for a piece of it drawn under a name of its own (a
// handle of a model): taken from the same table on the first Get and standing for
// `object` until the alias goes. An alias lives inside its object, so it always goes
// first.
class PickAlias {
public:
    explicit PickAlias(PickableObject* object) : object(object) {}
    ~PickAlias();
    PickAlias(const PickAlias&) = delete;
    PickAlias& operator=(const PickAlias&) = delete;

    uint32_t Get();

private:
    PickableObject* object;
    uint32_t name = 0;
};
