#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "geometry/ViewProjection.h"
#include "interaction/BaseEditor.h"

class BaseSlab;
class PickableObject;
class Window;

// The editor of slabs, the base of the floor, counter, wall and roof editors. A left
// press on a slab grabs what lies under the cursor (the surface, an outline point or
// edge, a child, the grid); dragging moves it; the release ends the edit and closes the
// one undo group the press opened. A plain click toggles the selection between a child
// and its slab; Ctrl-clicks work on outline points. In drawing mode (the edit lock set)
// the derived editor tracks its drawing point and starts a new slab on the first drag.
class SlabEditor : public BaseEditor {
public:
    static constexpr int kRotaterMode = 6;
    static constexpr int kCtrlCursor = 477;
    static constexpr uint32_t kInvalidMoveDialog = 701;
    static constexpr int kDeleteAnswer = 1;
    static constexpr int kUndoAnswer = 2;
    // A slab dragged by its surface stays this close to the origin (outside the
    // blueprint view).
    static constexpr double kMaxSlabDistance = 2000.0;

    SlabEditor();
    ~SlabEditor() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    // The edit a right press cuts short is closed.
    void OnRButtonDown(intptr_t packedPoint) override;
    void Activate() override;
    // An edit still open is closed.
    void Deactivate() override;
    void OnMouseLeave(intptr_t packedPoint) override;
    // The grabbed entry and the edited object are forgotten (the object may be going);
    // the edit stays open for the release to close.
    void ReleaseTarget() override;

    // In drawing mode: makes the slab being drawn and the edited slab.
    virtual void StartNewSlab() = 0;
    // In drawing mode: the drawing point follows the pointer.
    virtual void TrackDrawingPoint(intptr_t packedPoint) = 0;

    BaseSlab* GetEditedSlab() const { return editedSlab; }
    PickableObject* GetGrabbed() const { return grabbed; }
    int GetDirectionLock() const { return directionLock; }
    const Vector& GetGrabOffset() const { return grabOffset; }

protected:
    // The window's cached viewport and matrices.
    static ViewProjection ProjectionOf(const Window& window);
    // The types the editor hid while it draws, shown again once the drag ends.
    uint64_t GetShowTypes() const;
    void SetShowTypes(uint64_t mask);
    // Closes the steps and the group the press opened (the grabbed skylight's or shaft
    // hole's second slab too). Nothing when none is open.
    void CloseEdit();
    // Takes the slab this press created out of the scene and drops its creation inside
    // the group that began it, so neither undo nor redo brings it back.
    void DropNewSlab();
    // The lift step of a vertical drag of d pixels (d > 0 upward).
    static double LiftStep(int d, bool shift);
    // The axis mode of a child drag from the face move (unit d) against the slab's u
    // direction: 1 along, 2 across, 0 free.
    static int DirectionFromMove(const Vector& d, const Vector& u);

    Vector grabOffset;
    int32_t directionLock = -1;
    Vector drawingPoint;
    double drawingValue = 0.0;
    int32_t gripAxis = 0;
    BaseSlab* editedSlab = nullptr;
    PickableObject* grabbed = nullptr;

private:
    void MoveSurface(const ViewProjection& view, int x, int y, int px, int py, bool shift);
    void DragChild(const ViewProjection& view, PickableObject* child);
    // The undo steps of the other slab a skylight or shaft hole reaches into.
    BaseSlab* SecondSlabOf(PickableObject* child) const;

    // The edited slab while it still exists.
    BaseSlab* LiveSlab() const;

    // By pick name: the slab whose step the press opened, and the second slab's.
    uint32_t stepSlab = 0;
    uint32_t secondStepSlab = 0;
    bool groupOpen = false;
};
