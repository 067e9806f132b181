#pragma once

#include <cstdint>

#include "foundation/UndoableObject.h"
#include "geometry/Outline.h"
#include "model/ObjectTypes.h"
#include "slabs/SlabChild.h"

class KeyDataList;
class Window;
struct ViewProjection;

// A child of a slab with an outline of its own, drawn on one face of the slab and edited
// corner by corner: holes and coverings. The outline lies in the plane of the slab's
// face.
//
// Every edit is applied first and taken back when the kind's IsPositionValid refuses the
// new shape; a child never keeps fewer than three corners. A locked slab turns every edit
// into a no-op (Translate alone is not refused: it follows the slab). The child's undo
// steps are its slab's.
class EditableSlabChild : public UndoableObject, public SlabChild {
public:
    // A corner inserted this close to the edge it was put on lands on the edge.
    static constexpr double kInsertSnapDistance = 25.0;
    // The fewest corners a child keeps.
    static constexpr int kMinimumCorners = 3;

    EditableSlabChild();
    ~EditableSlabChild() override;

    uint64_t GetTypeMask() const override { return TypeMask::kEditableSlabChild; }

    // 104 "Delete": the slab takes the child out (refused while the slab is locked), the
    // slab's step ends and the child goes to the control's deleted list. Other commands
    // go to the base.
    bool ProcessPropertyMenu(uint32_t id) override;
    void MarkDirty() override;
    // Moves every corner; not refused on a locked slab.
    void Translate(const Vector& offset) override;
    // As Translate, refused on a locked slab.
    void MoveBy(const Vector& offset) override;
    virtual void MoveOnParent(const Vector& offset);
    // The slab turned: every corner and the normal turn with it.
    void TurnWithParent(const Vector& axis, double angle, const Vector& centre) override;
    // The slab's undo step (the child's own without a slab).
    void BeginUndoStep() override;
    void EndUndoStep() override;
    // The keys of every editable child, written into `keys`: "normal", "outline",
    // "objectId", "transactionObjectId".
    void WriteChildKeys(KeyDataList& keys);
    // Deselects, then reads "normal", "outline" and "transactionObjectId".
    bool ReadKeyData(KeyDataList& keys) override;

    // ---- corner editing ----
    // The screen point as a new corner on the nearest edge; null when refused.
    virtual OutlinePoint* InsertPoint(const ViewProjection& view, int x, int y);
    // False when refused (locked slab, fewer than four corners, or an invalid result).
    virtual bool RemovePoint(OutlinePoint* node);
    // Moves the corner to the screen point (snapped to the slab's grid with `snap`, never
    // on a counter); an invalid result is taken back.
    virtual void MovePoint(const ViewProjection& view, int x, int y, OutlinePoint* node,
                           bool snap);
    // Moves the edge a-b by the drag from (px, py) to (x, y); answers the node that now
    // begins the edge.
    virtual OutlinePoint* DragEdge(const ViewProjection& view, int x, int y, int px, int py,
                                   OutlinePoint* a, OutlinePoint* b);
    // The box over the corners.
    virtual void UpdateBounds();
    // The kind's normal, turned against the slab.
    virtual void ComputeNormal() = 0;
    // Area and corner count in the status bar, or the lock notice in the drawn window.
    virtual void ShowMeasurements();
    virtual void DrawOutlineHandles() = 0;

    // One step of a drag by the slab editor, in the active window. `pickDepth` indexes
    // the window's last pick: the child's own body there moves the whole child in the
    // slab's plane (along the slab's u vector only with axis 1, across it only with axis
    // 2, when `constrain`); an edge one name above it drags that edge; a corner there
    // moves that corner.
    virtual void DragPoint(int x, int y, int px, int py, int pickDepth, const Vector& grabOffset,
                           bool constrain, int axis);
    // The same in a given window.
    virtual void DragPointIn(Window& window, int x, int y, int px, int py, int pickDepth,
                             const Vector& grabOffset, bool constrain, int axis);
    // The active window's point (x, y) on the outline's plane, less the first corner.
    virtual Vector GetGrabPoint(int x, int y);
    Vector GetGrabPointIn(const ViewProjection& view, int x, int y);

    Outline& GetOutline() { return outline; }
    const Outline& GetOutline() const { return outline; }
    const Vector& GetNormal() const { return normal; }
    double GetArea() const { return area; }
    bool NeedsGeometry() const { return needsGeometry != 0; }

protected:
    // Whether the slab refuses edits.
    bool ParentLocked() const;
    // The corners' outline is usable: three corners or more that do not all lie on a
    // line.
    static bool HasArea(const Vector* points, int count);

    Vector normal{0.0, 0.0, 0.0};
    // Set by MarkDirty; the kind rebuilds its geometry when it finds it set.
    uint8_t needsGeometry = 1;
    double area = 0.0;
    Outline outline;
};

// The view of a window as screen conversions take it.
ViewProjection ViewOf(const Window& window);
