#pragma once

#include <cstdint>

#include "foundation/SlabState.h"
#include "model/ObjectTypes.h"
#include "slabs/BaseSlab.h"

class Wall;

// A horizontal slab: the floor of a storey and the ceiling of the one below. Its inside
// surface (1000, the upper face) is the floor, its outside surface (1001, the lower face)
// the ceiling, its edge surface (1002) the floor's edge.
//
// The outline lies in the floor's mid-plane with its normal pointing up; the upper face
// is the outline raised by half the thickness. The floor's top (first corner's height
// plus half the thickness) is what every height rule uses: no floor's top goes below 1.0.
class Floor : public BaseSlab {
public:
    static constexpr int kSetAsGroundFloor = 604;
    static constexpr int kEditOnThisLevel = 605;
    static constexpr int kMoveVertically = 608;
    // Snapping reach of corners to wall corners, other corners and edge midpoints.
    static constexpr double kSnapReach = 25.0;
    // The lowest top a floor may have.
    static constexpr double kLowestTop = 1.0;

    // For the loader, copies and counters: no outline, no defaults.
    Floor();
    // Four corners at the (snapped) point, which the floor editor then stretches; with
    // `takeDefaults` the control's floor defaults.
    Floor(const Vector& point, bool takeDefaults);
    // The terrain keeps its node positions as they are now.
    ~Floor() override;

    uint64_t GetTypeMask() const override { return TypeMask::kFloor; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kFloor; }
    int GetKindCode() const override { return KindCode::kFloor; }

    // ---- menu ----
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;

    // ---- scene ----
    RenderableObject* Clone() override;
    // A copy of the floor (or of its selected child, answering the floor); with `raise`
    // moved up by twice the thickness, with `addToScene` appended to the scene.
    RenderableObject* Clone(bool raise, bool addToScene);
    void Render() override;
    // The upper face lies in the current storey band.
    bool IsInVisibleHeightRange() const override;
    // A four-corner floor smaller than 4 square units in plan is not drawn.
    bool IsShownInCurrentView() override;
    // Also false when the floor overlaps another floor.
    bool IsPositionValid() override;

    // ---- the element "Floor" ----
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;

    // ---- sizes ----
    int SetSizeX(double value) override;
    double GetSizeX() const override { return GetThickness(); }

    // ---- geometry ----
    // While drawing, the rectangle from corner 0 to the cursor; else the slab's drag and
    // the floor's snapping.
    void DragOutlinePoint(const ViewProjection& view, int x, int y, PickableObject* grabbed,
                          bool drawing, bool snap) override;
    // The slab's edge drag, taken back when the floor would overlap another.
    OutlinePoint* DragEdge(const ViewProjection& view, int x, int y, int previousX, int previousY,
                           OutlinePoint* node, bool free) override;
    // Keeps the top at 1.0 or above; a level move onto another floor is taken back.
    void MoveSlabBy(double dx, double dy, double dz, bool constrained) override;
    void BuildCullPolygons() override;
    // The top stays: the floor grows or shrinks downward.
    void SetThickness(double value) override;
    void UpdateFromPoints(OutlinePoint* grabbed) override;
    void StoreSurfacesToState() override;
    void ShowMeasurements() override;
    void BeginDragOf(PickableObject* grabbed) override;
    void RecomputeBounds() override;
    void ApplyState() override;

    // Whether another floor (not a counter) overlaps this one in plan within the mean of
    // both thicknesses vertically.
    virtual bool OverlapsFloor() const;
    // Snaps a corner of this floor to a wall corner at the floor's level, else (unless
    // `keepOwnAxes`) to the x or z of other corners and edge midpoints, else to whole
    // units.
    void SnapPoint(OutlinePoint* point, bool keepOwnAxes);
    // Rebuilds the outline from the loop of linked walls that `wall` closes. False, with
    // the outline unchanged, when the links do not close a loop.
    bool RebuildFromOutline(Wall* wall);
    // Whether a corner of A lies inside B (even-odd in the x-z plane).
    static bool CornerInside(const Outline& a, const Outline& b);

    // The height of the upper face (first corner plus half the thickness); 0 without
    // corners.
    double GetTop() const;
    FloorState& GetFloorState() { return floorState; }
    // The floor's own selection, not one of a child.
    bool IsSelectedItself() const { return selected != 0; }
    bool IsSwapped() const { return swapFlag != 0; }

protected:
    // A plain floor of this kind, and the name of its element.
    virtual Floor* NewOfSameKind() const;
    virtual const char* ElementName() const;

    FloorState floorState;

private:
    void InitialiseFields();
    // Status text of the two rectangle sizes.
    void ShowRectangleSizes() const;
    // Sets the two corners that follow corner 2 while a rectangle is drawn.
    void FollowCornerTwo();

    uint32_t swapFlag = 0;
};
