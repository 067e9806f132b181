#pragma once

#include <cstdint>

#include "foundation/SlabState.h"
#include "model/ObjectTypes.h"
#include "slabs/BaseSlab.h"

class Dormer;
class RoofGroup;
class SelectableObject;

// An editor of the main or the active view that edits the object forgets it (before the
// object is destroyed).
void ReleaseEditorsOf(const SelectableObject* object);

// One plane of a roof: a slab whose outline is a tilted planar polygon, its thickness
// laid out across the plane. A group (RoofGroup) makes its planes, refits them when its
// footprint or peaks change and writes them in its own element; a plane without a group
// stands alone and writes its own "Roof" element.
//
// Boolean 0 of each outline edge is the cut option: off cuts the edge plumb, on cuts it
// perpendicular to the plane.
class Roof : public BaseSlab {
public:
    static constexpr int kResetRoofEdges = 606;
    static constexpr const char* kEdgeCaption = "Perpendicular To Roof";

    // `loading` (plans, undo records): no defaults, no name.
    explicit Roof(bool loading = true);
    // Leaves its group and any editor that edits it.
    ~Roof() override;

    uint64_t GetTypeMask() const override { return TypeMask::kRoof; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kRoof; }
    int GetKindCode() const override { return KindCode::kRoof; }

    // ---- menu and scene ----
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    bool RemoveFromList(LinkedList& list) override;
    bool SetSelected(bool flag) override;
    RenderableObject* Clone() override;
    // A copy of a free plane (never of a grouped one); with `offset` moved by twice the
    // thickness in x and z, with `addToScene` appended to the scene.
    RenderableObject* Clone(bool offset, bool addToScene);
    void Render() override;
    bool IsShownInCurrentView() override;
    bool IsLocked() const override;

    // ---- undo: a grouped plane's steps are its group's ----
    void BeginUndoStep() override;
    void EndUndoStep() override;
    void CancelUndoStep() override;

    // ---- the element "Roof" ----
    // Nothing for a grouped plane: its group writes it.
    void WriteKeyData() override;
    bool AttachObjectInformation(FILE* stream) override;
    // The plane's element, with "subroof" = "yes" when grouped.
    void WriteRoofElement();
    bool ReadKeyData(KeyDataList& keys) override;

    // ---- sizes: a grouped plane forwards to its group ----
    int SetSizeZ(double value) override;
    int SetSizeX(double value) override;
    int SetSizeY(double value) override;
    double GetSizeZ() const override;
    double GetSizeX() const override;
    double GetSizeY() const override { return thickness; }
    double GetThickness() const override { return projectedThickness; }

    // ---- geometry ----
    void MoveSlabBy(double dx, double dy, double dz, bool constrained) override;
    // The slab's arrays, then the texture direction.
    void AllocateRoofArrays();
    void RecomputeBounds() override;
    void ShowMeasurements() override;
    void BeginDragOf(PickableObject* grabbed) override;
    OutlinePoint* InsertOutlineScreenPoint(const ViewProjection& view, int x, int y) override;
    OutlinePoint* InsertPointAt(const Vector& point) override;
    OutlinePoint* DragEdge(const ViewProjection& view, int x, int y, int previousX, int previousY,
                           OutlinePoint* node, bool free) override;
    bool DeleteOutlinePoint(OutlinePoint* node) override;
    void DragOutlinePoint(const ViewProjection& view, int x, int y, PickableObject* grabbed,
                          bool drawing, bool snap) override;

    // ---- defaults ----
    void ApplyState() override;
    void StoreSurfacesToState() override;

    // Every node projected vertically onto a·x + b·y + c·z + d = 0 (b not 0), the
    // children following. False, changing nothing, for a plane that is vertical or not a
    // number.
    bool FitToPlane(double a, double b, double c, double d);
    // A dormer cut into the plane from four corners on it, selected in place of the
    // plane; null while the plane is locked or when the corners have no area.
    Dormer* AddDormer(const Vector points[4]);
    void ComputeUVector();
    void UpdateProjectedThickness();
    // Moves the node onto the nearest wall corner lying in the plane within 25.0.
    void SnapNodeToWalls(OutlinePoint* node);
    // Whether edge i is cut perpendicular to the plane.
    bool CutPerpendicular(int i) const;

    RoofGroup* GetGroup() const { return group; }
    void SetGroup(RoofGroup* owner, int index) {
        group = owner;
        planeIndex = index;
    }
    int GetPlaneIndex() const { return planeIndex; }
    bool IsRemoved() const { return removed != 0; }
    RoofState& GetRoofState() { return roofState; }
    // The walls of the plane's dormers leave the scene with the plane.
    void DropDormerWalls();
    // The nodes rotate left (the first goes to the end) or right by one.
    void RotateNodes(bool left);

private:
    // Removal records of a dormer's walls inside the dormer's entry of the child list
    // are carried out by the dormer and taken out of the entry.
    void HandOverDormerWallRemovals(KeyDataList& keys);
    // Labels every edge's cut option.
    void LabelEdges();

    RoofState roofState;
    double projectedThickness = 6.0;
    RoofGroup* group = nullptr;
    int planeIndex = 0;
    uint8_t removed = 0;
};
