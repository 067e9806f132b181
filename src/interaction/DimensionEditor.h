#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "interaction/BaseEditor.h"

class Dimension;
class OutlinePoint;

// The mouse mode of user-defined dimensions: a drag from the tool bar's mode draws a new
// dimension (in orthographic views), a drag of a handle of an existing one moves that end,
// its offset or, by the label, the whole dimension.
class DimensionEditor : public BaseEditor {
public:
    void Activate() override;
    void SetEditLock(bool locked) override;
    bool HandlesObject(PickableObject* object) override;
    void ReleaseTarget() override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnSingleClick(intptr_t packedPoint) override;

    Dimension* GetDimension() const { return dimension; }
    bool IsCreating() const { return creating != 0; }

private:
    Dimension* dimension = nullptr;
    OutlinePoint* handle = nullptr;
    Vector cursorPoint;
    uint8_t creating = 0;
};
