#pragma once

#include "foundation/UndoableObject.h"
#include "model/ObjectTypes.h"
#include "model/TopLevelObject.h"

// The ground: a grid of height nodes.
class Terrain : public UndoableObject, public TopLevelObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kTerrain; }
    int GetKindCode() const override { return KindCode::kTerrain; }
};
