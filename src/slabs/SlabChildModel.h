#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "geometry/BoundingBox.h"
#include "geometry/Vector.h"
#include "interaction/RotationHandle.h"
#include "model/BaseModel.h"
#include "model/ObjectTypes.h"
#include "slabs/SlabChild.h"

class BaseSlab;
class SlabChildModel;

// A child's rotation within its parent's face, in degrees. Never wrapped into a range:
// eight turns of 45 make 360.
class RotatableSlabObject {
public:
    RotatableSlabObject() = default;
    virtual ~RotatableSlabObject();
    RotatableSlabObject(const RotatableSlabObject&) = delete;
    RotatableSlabObject& operator=(const RotatableSlabObject&) = delete;

    virtual void SetRotation(double degrees) { rotation = degrees; }
    virtual void AddRotation(double degrees) { rotation += degrees; }
    double GetRotation() const { return rotation; }

protected:
    double rotation = 0.0;
};

// The handle that turns a model of a slab about the slab's normal.
class SlabChildRotationHandle : public BaseRotationHandle {
public:
    explicit SlabChildRotationHandle(SlabChildModel* model) : owner(model) {}

    // Turns the model by the angle within its face (added to its rotation, as the
    // rotater hands over the turn of each step) and re-tests the lights on it.
    void SetAngle(double degrees) override;
    // Upright on-slab models turn about (0, 1, 0); others about the parent's normal,
    // negated for a model whose own normal points along -z.
    void GetAxisVector(Vector& out) const override;
    // The cursor ray of the active window against the plane through the model's centre
    // normal to the axis, relative to that centre.
    bool ProjectCursor(Vector& out, int x, int y) override;

    SlabChildModel* GetOwner() const { return owner; }

private:
    SlabChildModel* owner;
};

// A catalogue model placed relative to one face of its parent slab: where on the face it
// stands (the start point, in the world), which of its own directions is turned onto the
// face normal (the normal), its turn about that normal and the pivot of the turn (the
// centre point, in its own frame). Its undo steps are its parent's. The concrete kinds
// are the objects set into a slab and those standing on one.
class SlabChildModel : public BaseModel, public SlabChild, public RotatableSlabObject {
public:
    // Menu commands of the "Rotate Object" sub-menu.
    static constexpr uint32_t kRotateClockwise = 400;
    static constexpr uint32_t kRotateCounterClockwise = 401;
    static constexpr uint32_t kResetRotation = 402;
    static constexpr uint32_t kDeleteCommand = 104;
    // What GetGrabPoint answers when the cursor ray misses the face.
    static constexpr double kNoGrab = 99999.0;

    SlabChildModel();
    // Deletes the compiled placement (with a context current).
    ~SlabChildModel() override;

    uint64_t GetTypeMask() const override { return TypeMask::kSlabChildModel; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kSlabChildModel; }

    // BaseModel's entries, then "Rotate Object" (400, 401, 402) and the size entries.
    void BuildPropertyMenu(platform::Menu& menu) override;
    // 104 takes the child out of its parent (refused while the parent is locked) and
    // frees it on the render thread; 400 / 401 turn by -45 / +45, 402 back to 0.
    bool ProcessPropertyMenu(uint32_t id) override;
    // Stores the flag; a change updates the highlight.
    bool SetSelected(bool flag) override;
    // Always for a child of a floor or roof; a child of a wall when its height band meets
    // the current storey.
    bool IsInVisibleHeightRange() const override;
    // Moves are measured at the pivot on the parent.
    Vector OffsetReference() const override { return worldCenter; }
    Vector* GetCorners() override { return worldCorners; }

    // A child's step is its parent's.
    void BeginUndoStep() override;
    void EndUndoStep() override;
    void CancelUndoStep() override;

    void WriteKeyData() override;
    // True when "dropComplete" was present.
    bool ReadKeyData(KeyDataList& keys) override;

    // The offset between the start point and the face point under window point (x, y);
    // along the wall alone for a wall seen in the blueprint view. (99999, 99999, 99999)
    // when the ray misses.
    Vector GetGrabPoint(int x, int y) override;

    // Sets the start point (snapped to the parent's grid with `snap`).
    virtual void PlaceAtPoint(const Vector& point, bool snap) = 0;
    // Places the child at the face point under the cursor.
    virtual void DragToScreenPoint(int x, int y) = 0;
    // Snaps to a neighbouring child within the distance; true when it moved.
    virtual bool SnapToNeighbours(double distance) = 0;
    // With Ctrl down, a move along the wall by dx and up by dy, taken back when the place
    // is not valid.
    virtual void OnCtrlDrag(double dx, double dy);
    // The highlight colour of the model's parts.
    virtual void UpdateHighlight() = 0;
    // Draws the model (with its selection box and corner handles when selected) once the
    // kind has set up its placement.
    virtual void RenderOnParent(double handleScale);

    // The pivot placed on the parent: the centre point turned from the model's frame onto
    // the face, plus the start point.
    Vector ComputeCenterOnParent() const;

    SlabChildRotationHandle& GetRotationHandle() { return rotationHandle; }
    const Vector& GetStartPoint() const { return startPoint; }
    const Vector& GetNormal() const { return normal; }
    const Vector& GetCenterPoint() const { return centerPoint; }
    const Vector& GetWorldCenter() const { return worldCenter; }
    const BoundingBox& GetSelectionBox() const { return selectionBox; }
    bool IsPlacementValid() const { return placementValid != 0; }
    void SetPlacementValid(bool flag) { placementValid = flag ? 1 : 0; }
    bool IsDropComplete() const { return dropComplete != 0; }
    void SetDropComplete(bool flag) { dropComplete = flag ? 1 : 0; }
    bool IsParentLocked() const;
    // The copy made by the kind, for the slab editor's 'Q' copy: (offset, attach).
    virtual RenderableObject* CloneChild(bool offset, bool attach) = 0;
    // Whether the model stands upright to the ground rather than on its face's normal.
    virtual bool StandsUpright() const { return false; }
    // The ray through window point (x, y) of the active window against the plane through
    // `point` with `normalVector`; false when it misses or there is no window.
    static bool CursorOnPlaneOf(int x, int y, const Vector& point, const Vector& normalVector,
                                Vector& out);

protected:
    // The ray through window point (x, y) of the active window against the plane through
    // `point` with `normalVector`; false when it misses or there is no window.
    static bool CursorOnPlane(int x, int y, const Vector& point, const Vector& normalVector,
                              Vector& out);
    // Whether the current view shows the blueprint.
    static bool InBlueprintView();
    // The parent's horizontal direction along its face (a wall's run), unit length.
    Vector WallDirection() const;

    Vector normal{0.0, 0.0, 1.0};
    Vector startPoint;
    Vector centerPoint;
    Vector worldCenter;
    uint8_t placementValid = 1;
    SlabChildRotationHandle rotationHandle{this};
    uint8_t dropComplete = 0;
    BoundingBox selectionBox;
    GLint displayList = -1;
    // The eight corners of the model's box in the world, filled by the kind's Refresh.
    Vector worldCorners[8];
};
