#pragma once

#include <cstdint>

#include "geometry/Matrix.h"
#include "geometry/Vector.h"
#include "model/GroupableObject.h"
#include "model/ObjectTypes.h"
#include "model/PickableObject.h"
#include "model/RotatableObject.h"
#include "model/Snapping.h"
#include "model/TopLevelObject.h"

class KeyDataList;
class SceneView;

// What a free-standing catalogue model and a group have in common: a top-level object
// (hide, lock) that a group may hold, with a position, a rotation about its box's
// mid-height, snapping, and the eight corners of its box in world space, which every
// change of place recomputes. `Base` is the undoable object underneath (BaseModel for
// models, UndoableObject for groups); a model's box is also scaled by the model's scale.
template <class Base>
class PlacedObject : public Base,
                     public TopLevelObject,
                     public RotatableObject,
                     public GroupableObject,
                     public SnappableObject {
public:
    int GetKindCode() const override { return KindCode::kNone; }
    bool IsLocked() const override { return TopLevelObject::IsLocked(); }
    bool OnRotateCommand(uint32_t id) override { return this->ProcessPropertyMenu(id); }

    // The world corners of the box (BoundingBox corner order): each corner is lowered by
    // half the box height, turned, raised again, scaled and moved to the position. An
    // empty box puts all eight at the position.
    void Refresh();
    Vector* GetCorners() override { return worldCorners; }
    Vector* GetCenter() { return worldCorners; }
    const Vector* GetWorldCorners() const { return worldCorners; }

    // Always inside a group; otherwise the storey band test on the box raised by the
    // position.
    bool IsInVisibleHeightRange() const override;

    // Moves are measured at the position. Each move refreshes the corners and re-tests
    // which lights reach the object (a model only once loaded); Translate does not
    // re-test.
    Vector OffsetReference() const override { return this->position; }
    void SetPosition(const Vector& newPosition) override;
    void OffsetPosition(const Vector& offset) override;
    void MoveBy(const Vector& offset) override { OffsetPosition(offset); }
    void Translate(const Vector& offset) override;
    void RotateAboutAxis(int axis, double degrees) override;
    void SetRotationMatrix(const Matrix& m) { rotation = Matrix(m.m); }

    // The magenta selection sphere above the box, unless the active view is a blueprint.
    virtual void DrawSelectionMarker(double size);
    uint32_t GetMarkerName() { return markerName.Get(); }

protected:
    // The control's marker cube of `size` at each corner of the box, under the pick name.
    void DrawCornerMarkers(double size, uint32_t pickName);
    PlacedObject();

    // "Position", "RotationMatrix" and "Locked".
    void WritePlacement(KeyDataList& keys) const;
    // The snapping keys, "Locked", "Position" and a non-empty "RotationMatrix"; then
    // Refresh.
    void ReadPlacement(KeyDataList& keys);
    // The Delete command: handles released, the object out of the scene with its undo
    // step closed, and handed to the render thread, which frees it. Never freed here:
    // the caller's menu handling still runs on it.
    void DeleteFromScene();

    // A view's boolean and mode; false and 0 without a view.
    static bool ViewBoolean(SceneView* view, int i);
    static int ViewMode(SceneView* view);

    Vector worldCorners[8];

private:
    PickAlias markerName{this};
};
