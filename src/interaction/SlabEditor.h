#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "geometry/ViewProjection.h"
#include "interaction/BaseEditor.h"

class BaseSlab;
class PickableObject;
class Window;

// The editor of slabs, and the base of the editors that draw them (walls, floors,
// counters, roofs). A left press on a slab grabs what lies under the cursor (its surface,
// an outline point or edge, its grid); dragging moves it; the release closes the one
// undo group that the press opened. A plain click toggles the slab's selection; a
// Ctrl-click on an outline point deletes the point.
//
// In drawing mode (the edit lock set) the derived editor tracks the drawing point while
// no button is down, and the first drag move starts a new slab, which the drag then
// shapes through its grabbed outline point.
class SlabEditor : public BaseEditor {
public:
    // Cursor shown outside drawing mode while Ctrl is held.
    static constexpr int kCtrlCursor = 477;

    SlabEditor() = default;
    ~SlabEditor() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    // Clears the edit and enters drawing mode.
    void Activate() override;
    // Ends the edit (cancelling what a press left open) and hides the drawing point.
    void Deactivate() override;
    void OnMouseLeave(intptr_t packedPoint) override;
    // Also forgets the edited slab and the grabbed entry.
    void ReleaseTarget() override;

    // Drawing mode: creates the slab being drawn, appends it to the scene, and makes it
    // the edited slab with its grabbed outline point. Leaves the edited slab null when it
    // makes none.
    virtual void StartNewSlab() = 0;
    // Drawing mode: updates the drawing point from the pointer.
    virtual void TrackDrawingPoint(intptr_t packedPoint) = 0;

    BaseSlab* GetEditedSlab() const { return editedSlab; }
    PickableObject* GetGrabbed() const { return grabbed; }
    const Vector& GetDrawingPoint() const { return drawingPoint; }

    // The view as the outline's screen conversions take it, from the window's caches.
    static ViewProjection ProjectionOf(const Window& window);

protected:
    // The types that a drag makes visible again when the active window hides them.
    uint64_t GetShowTypes() const;
    void SetShowTypes(uint64_t mask);

    Vector grabOffset;
    // -1 undecided, 0 free, 1 along the slab's u direction, 2 across it.
    int32_t directionLock = -1;
    // The point the derived editor's TrackDrawingPoint leaves, and its value (1.0 while
    // it is shown).
    Vector drawingPoint;
    double drawingValue = 0.0;
    int32_t gripAxis = 0;
    BaseSlab* editedSlab = nullptr;
    PickableObject* grabbed = nullptr;
};
