#pragma once

#include "building/BaseMolding.h"
#include "model/ObjectTypes.h"
#include "slabs/SlabChild.h"

class BaseSlab;
class Part;
class OutlineEdge;

// A molding that belongs to a slab: it runs along an edge of the slab's outline or lies on
// one of its faces, keeps itself on a plane derived from its parent, follows the parent,
// and links its ends to neighbouring moldings within 25.0. The slab owns it through its
// molding list; its undo steps are the slab's.
class SlabMolding : public BaseMolding, public SlabChild {
public:
    static constexpr uint32_t kReattach = 1708;
    static constexpr double kLinkReach = 25.0;

    explicit SlabMolding(bool skipDefaultTexture = false);
    ~SlabMolding() override;

    uint64_t GetTypeMask() const override { return TypeMask::kMolding; }

    void BuildPropertyMenu(platform::Menu& menu) override;
    // Inside an undo step of the parent: Delete (104) takes the molding out of its parent
    // and hands it to the control's deleted objects (a locked parent keeps it);
    // "Reattach To Parent Slab" (1708); others go to the molding.
    bool ProcessPropertyMenu(uint32_t id) override;
    RenderableObject* Clone() override;
    void Render() override;
    void MoveBy(const Vector& offset) override;
    void BeginUndoStep() override;
    void EndUndoStep() override;
    void CancelUndoStep() override;
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    bool GetSizeText(PickableObject* handle) override;
    // Against the parent's molding list.
    void RelinkAll(LinkedList& list) override;
    void SetParent(BaseSlab* slab) override;

    // Which surface of the slab the part is, the edge's node, the plane; then registers
    // in the slab's molding list.
    void AttachToSlab(BaseSlab* slab, Part* face, OutlineEdge* edge);
    void RebuildPlane();
    // Moves end 1 or 2 to the scene point (already on the path plane); with `snap` the
    // angle snaps to 15-degree steps and the length to whole units.
    void MovePathPointTo(int which, const Vector& point, bool snap);
    // The screen point through the path plane, then MovePathPointTo.
    void MovePathPoint(int which, int x, int y, bool snap);
    void SnapAngle(int which);
    void MoveWithLinks(const Vector& offset);
    // Moves the molding and every molding linked to it, each once.
    void MoveChain(const Vector& offset);
    void LinkToNeighbours(LinkedList& list, bool startOnly);
    void SnapToNeighbours(bool startOnly);
    // Puts the molding back onto its parent's face.
    void Reattach();
    // Slides a molding on a wall along the wall and up (Ctrl held, parent unlocked).
    void OnCtrlDrag(double distance, double height);
    // The slab editor's drag of the molding or one of its handles from the old to the new
    // window point: `picked` is the pick entry pressed (an end, a width or depth handle,
    // the control's distance handle, or the molding itself); `selector` keeps a snapped
    // body move along the parent's u vector (1) or across it.
    void DragPoint(int x, int y, int oldX, int oldY, PickableObject* picked, bool snap,
                   int selector);
    // The window point through the plane of that normal and point; false when the plane
    // is seen within 15 degrees of edge-on or the point cannot be mapped.
    bool ScreenToPlane(int x, int y, const Vector& normal, const Vector& point, Vector& out) const;
    // Keeps the molding on the parent's edges.
    void ClampToSlabEdges(bool firstMove);

    int GetParentSurface() const { return parentSurface; }
    int GetEdgeIndex() const { return edgeIndex; }

private:
    int32_t parentSurface = -1;
    int32_t edgeIndex = -1;
};
