#pragma once

#include "model/ObjectTypes.h"
#include "model/SizeableObject.h"
#include "model/StateObject.h"

// A straight molding: a profile swept along a segment.
class BaseMolding : public SizeableObject, public StateObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kMolding; }
};
