#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "interaction/MouseHandler.h"

class BaseSlab;
class EditableSlabChild;
class Part;

// The mouse mode in which a new editable slab child (a hole, a covering) is drawn as a
// rectangle on a face of a slab: press on the face, drag to the opposite corner, release.
// The rectangle's sides run along the slab's u vector and across it, so on a wall it
// stands upright and on a roof it follows the slope. The kinds make the child and bring
// it up to date; on release the mode hands over to the edit mode of the slab's kind with
// the slab selected. The whole drawing is one undo group.
class EditableSlabChildCreator : public MouseHandler {
public:
    EditableSlabChildCreator();
    ~EditableSlabChildCreator() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void Activate() override;
    void Deactivate() override;
    void ReleaseTarget() override;

    // The new child on the pressed slab from the rectangle's corners, in order; null when
    // the slab refuses it.
    virtual EditableSlabChild* CreateChild(const Vector* corners) = 0;
    // After an accepted resize: the child's geometry follows its outline.
    virtual void RefreshChild() = 0;

    EditableSlabChild* GetChild() const { return child; }
    BaseSlab* GetParent() const { return parent; }
    int GetReturnMode() const { return returnMode; }

protected:
    EditableSlabChild* child = nullptr;
    BaseSlab* parent = nullptr;
    Part* surfacePart = nullptr;
    int32_t returnMode = -1;
    // Set once this drag opened the undo group and the slab's step.
    bool undoOpen = false;
    // The corner under the press, on the slab's plane.
    Vector pressCorner;
};

// The creator of mouse mode `mode` (4 coverings, 5 holes); null for other modes.
MouseHandler* MakeSlabChildCreator(int mode);
