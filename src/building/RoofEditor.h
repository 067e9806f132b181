#pragma once

#include <cstdint>

#include "slabs/SlabEditor.h"

class Roof;

// The mouse mode that edits roof planes like any slab and draws free-standing planes.
//
// Drawing (the edit lock set): each click on a corner of a wall, a roof or a column adds
// that corner to the plane being drawn; the third corner makes the plane and puts it in
// the scene, and later clicks add corners to it. A plane left with fewer than three
// corners when drawing ends is discarded. Editing: the slab editor's drags; Q held at a
// press leaves a copy of the plane in place; a double click toggles a dormer's walls or
// a grouped plane's outline drawing. Every edit is one undo group, closed by its release
// or by leaving the mode.
class RoofEditor : public SlabEditor {
public:
    static constexpr int kMode = 2;
    static constexpr int kDrawCursor = 521;

    RoofEditor() = default;
    ~RoofEditor() override;

    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnLButtonDblClk(intptr_t packedPoint) override;
    void OnSingleClick(intptr_t packedPoint) override;
    void Activate() override;
    void Deactivate() override;
    // The drawing mode; every roof node shows as a handle while it is on.
    void SetEditLock(bool locked) override;
    void ReleaseTarget() override;
    // Nothing while drawing; otherwise roof planes and shaft sides (and no object).
    bool HandlesObject(PickableObject* object) override;
    // Planes are drawn by clicks, not by drags.
    void StartNewSlab() override {}
    void TrackDrawingPoint(intptr_t) override {}

    // The plane being drawn: owned by the editor before its third corner, then the
    // scene's (found by its pick name while it exists).
    Roof* GetTarget() const;
    void ClearEditedObject() { editedObject = nullptr; }
    void ResetAccumulated() { accumulated = 0.0; }

private:
    // The plane being drawn goes when it has fewer than three corners.
    void DropUnfinishedTarget();

    Roof* target = nullptr;
    uint32_t drawnName = 0;
    double accumulated = 0.0;
};
