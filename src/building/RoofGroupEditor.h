#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "slabs/SlabEditor.h"

class RoofGroup;

// The mouse mode that draws a roof group by dragging out its footprint and afterwards
// moves, raises, turns and reshapes it by its handles.
//
// Drawing (the edit lock set): the first drag of a press starts a group at the point
// under the cursor and drags its far corner; the release ends drawing and makes the
// planes. A footprint without area makes no planes and leaves no group. Editing: a press
// on a handle of a selected group grabs it; the release closes the edit. Every press
// opens one undo group, which its release (or leaving the mode) closes.
class RoofGroupEditor : public SlabEditor {
public:
    static constexpr int kMode = 21;
    static constexpr int kDrawCursor = 520;

    RoofGroupEditor() = default;
    ~RoofGroupEditor() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnLButtonDblClk(intptr_t packedPoint) override;
    void OnRButtonDown(intptr_t packedPoint) override;
    void Activate() override;
    void Deactivate() override;
    // The drawing mode; a roof is drawn in perspective views only.
    void SetEditLock(bool locked) override;
    void ReleaseTarget() override;
    // Roof groups only.
    bool HandlesObject(PickableObject* object) override;
    // Groups are not slabs: BeginDrawing makes the group.
    void StartNewSlab() override {}
    // The cursor point follows the pointer.
    void TrackDrawingPoint(intptr_t packedPoint) override;

    // The first drag of a press in drawing mode: a new group at the cursor point.
    void BeginDrawing();
    // The point under the cursor raised by half the roof thickness and a little more.
    Vector TrackCursor(intptr_t packedPoint);
    // While set, any drag raises or lowers the whole roof.
    void SetVerticalMove(bool flag) { verticalMove = flag; }

    // The group being edited while it exists.
    RoofGroup* GetGroup() const;
    double GetRotation() const { return rotation; }

private:
    // Makes the planes of a group just drawn and closes its step; a group without area
    // is taken away unrecorded (null then).
    RoofGroup* FinishDrawing(RoofGroup* group);
    // Closes the group's step and the undo group the press opened, when open.
    void CloseUndo();

    uint32_t groupName = 0;
    PickableObject* grabbedHandle = nullptr;
    uint32_t handleName = 0;
    Vector rotationCentre;
    double rotation = 0.0;
    Vector cursorPoint;
    bool deferredBefore = false;
    bool verticalMove = false;
    bool undoOpen = false;
    bool stepOpen = false;
};
