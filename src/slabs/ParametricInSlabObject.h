#pragma once

#include "foundation/SerializableObject.h"
#include "model/ObjectTypes.h"
#include "model/RenderableObject.h"

// A door or window opening built from parameters rather than from a catalogue model.
class ParametricInSlabObject : public RenderableObject, public SerializableObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kParametricInSlabObject; }
};
