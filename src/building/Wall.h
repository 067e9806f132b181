#pragma once

#include <cstdint>
#include <vector>

#include "building/LinkedWallPoint.h"
#include "foundation/SlabState.h"
#include "geometry/Vector.h"
#include "interaction/Dimension.h"
#include "model/ObjectTypes.h"
#include "slabs/BaseSlab.h"

// A wall: a vertical slab whose outline lies in the plane through its centre line, with
// its thickness laid out on both sides of that plane.
//
// The outline's nodes: node 0 is the bottom of the wall's begin; nodes 0 .. wallEndIndex
// run along the bottom edge to the bottom of the end; node wallEndIndex + 1 is the top of
// the end, and the nodes after it run along the top edge back to the last node, the top
// of the begin. A new wall has four nodes and wallEndIndex 1.
//
// Ends are numbered 1 (the begin) and 2 (the end). Two linked ends share one joint point:
// the end nodes of both walls follow it, and the faces are mitred there. Linked walls
// form chains, open or closed, which share one head wall.
class Window;

class Wall : public BaseSlab {
public:
    // What the crossing tests answer when two base lines do not cross.
    static constexpr double kNoCrossing = -30031.0;
    // Ends and heights below this are too small.
    static constexpr double kMinimumHeight = 1.0;
    // A wall just started is not drawn until it is this long.
    static constexpr double kShortestDrawn = 3.0;
    // Offsets of the three dimensions from what they measure.
    static constexpr double kDimensionOffset = 20.0;
    static constexpr double kChildDimensionOffset = 35.0;

    // For the loader and copies: no outline, no defaults; the keys come next.
    Wall();
    // A wall starting at `base`, with the control's current wall defaults; both ends at
    // the base point, as the wall editor starts it.
    explicit Wall(const Vector& base);
    // Drops a pending step and unlinks both ends, deleting the joints.
    ~Wall() override;

    uint64_t GetTypeMask() const override { return TypeMask::kWall; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kWall; }
    int GetKindCode() const override { return KindCode::kWall; }

    // ---- the element "Wall" ----
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;

    // ---- scene ----
    // The slab's removal, then both ends unlinked.
    bool RemoveFromList(LinkedList& list) override;
    // Deselecting marks the wall placed.
    bool SetSelected(bool flag) override;
    void MarkDirty() override;
    // Whether the wall is drawn in the view being drawn.
    bool IsShownInCurrentView() override;
    // The step covers the linked neighbours too.
    void BeginUndoStep() override;
    void EndUndoStep() override;
    void CancelUndoStep() override;
    // Both ends at least an inch high, on or above the ground, and every node within the
    // upright band over the base line.
    bool IsPositionValid() override;

    // ---- sizes ----
    double GetSizeZ() const override { return length; }
    double GetSizeX() const override { return thickness; }
    double GetSizeY() const override { return box.max.y - box.min.y; }
    // 0 done, -1 below 0.01, -2 both ends linked, -3 refused and restored.
    int SetSizeZ(double value) override;
    int SetSizeX(double value) override;
    int SetSizeY(double value) override;
    // The chain keeps one thickness: linked neighbours take it too.
    void SetThickness(double value) override;
    void Translate(const Vector& offset) override;

    // ---- defaults ----
    // From the control's defaults: the exterior or interior wall settings.
    void CopyStateFrom(const BaseParameterState& from) override;
    void ApplyState() override;
    void StoreSurfacesToState() override;
    void CommitState() override;

    // ---- geometry ----
    // Faces from the outline and thickness, mitres at linked ends, bevels at free ends,
    // bounds, area and length.
    void RecomputeBounds() override;
    void JoinLinkedEnds();
    void JoinLinkedEnd(Wall* neighbour);
    // The T-junction corners of both free ends.
    void ComputeBevels();
    void ComputeEndBevel(bool end, Vector& first, Vector& second);
    // Where this wall's base line crosses the other's, as a parameter along the other;
    // kNoCrossing when they do not cross.
    double CrossingParameter(const Wall& other) const;
    // Whether this wall's base segment reaches the other's base line within the other's
    // length; t along the other.
    bool CrossesWithin(const Wall& other, double& t) const;
    // 0 when no other wall crosses the base line, 1 when the first crossing found lies at
    // 0.99 or less along it, 2 beyond; with `interior` only crossings strictly inside.
    int FindCrossingWall(bool interior) const;
    // The wall whose line this wall's end (or begin) runs into.
    bool FindAbuttingWall(Wall*& found, double& value, bool end) const;
    // End node minus node 0, level.
    Vector GetDirection() const;

    // ---- menu, copies, readouts (WallCommands.cpp) ----
    // The slab's entries, Hide and Lock, then the wall's own: 603 "Disable Linking",
    // 1000 "Hide Dimension (Blueprint Only)", 607 "Measure Other Side" (while its
    // dimensions show), 601 "Hide Wall Grid", and "Set Dimensions..." for the wall the
    // menu was opened on.
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    // A copy (of the selected child instead, when there is one, which answers null).
    RenderableObject* Clone() override;
    // The copy moves by three thicknesses along the normal with `offset`; with
    // `addToScene` it joins the scene and then takes over the wall's links.
    Wall* Clone(bool offset, bool addToScene);
    // A linked wall takes only children that lie clear of its mitred ends.
    bool AcceptsChild(RenderableObject* child) override;
    // A face of a linked wall ends where its neighbour's face begins.
    bool ContainsPoint(const Vector& point, int surface) override;
    void BeginDragOf(PickableObject* grabbed) override;
    void ShowMeasurements() override;
    int OnDialogNotify(Dialog* dialog, int code) override;
    void WriteObjectInformation(std::string& buffer) override;
    // The wall's own undo step; with the flag also its neighbours'.
    void BeginUndoStepChain(bool includeNeighbours);
    void EndUndoStepChain(bool includeNeighbours);
    bool IsShortSideMeasured() const { return shortSideDimension; }

    // ---- drawing (WallDraw.cpp) ----
    // The slab drawing in the colours of the view mode, with the dimensions, and in the
    // blueprint view the openings of the children.
    void Render() override;
    // Dimensions are drawn in the window: in the blueprint view, and in elevation views
    // for a selected wall, while dimensions are shown and the wall is on the storey.
    bool ShouldDrawDimensions(const Window* window) const;
    // The length, the chain at the children and (elevation) the height.
    void RenderDimensions(Window* window);
    // Every dimension rebuilds its label; every dimension takes the current font.
    void RefreshDimensions();
    void SetDimensionFonts();

    // ---- selection ----
    // Also while the view shows every node as a handle.
    bool ShowsSelection() const override;
    // In the blueprint view, handles above the free ends; with every node shown, the top
    // nodes; else the slab's handles.
    void RenderSelection() override;
    // A linked end's node has no handle of its own; with every node shown, a red one.
    void RenderHandles(int i) override;

    // ---- outline edits ----
    bool DeleteOutlinePoint(OutlinePoint* node) override;
    void DragOutlinePoint(const ViewProjection& view, int x, int y, PickableObject* grabbed,
                          bool drawing, bool snap) override;
    OutlinePoint* DragEdge(const ViewProjection& view, int x, int y, int previousX, int previousY,
                           OutlinePoint* node, bool free) override;

    // ---- links, chains and moves ----
    bool LinkWith(Wall* other, int end, int otherEnd);
    // LinkWith inside an undo step of this wall alone (unless one is open already).
    bool LinkWithUndo(Wall* other, int end, int otherEnd);
    // Breaks the link with `other`; with `deleteJoint` the shared joint is deleted.
    void Unlink(Wall* other, bool deleteJoint);
    // The wall with a free end found walking away from `previous`; `stop` ends a closed
    // loop. Null when the links do not hold together.
    Wall* FindChainHead(Wall* stop, Wall* previous);
    void SetChainHead(Wall* head, Wall* from);
    // End nodes from the joints, from this wall outwards; faces rebuilt back inwards.
    void PropagateChain(Wall* from);
    // The joints take this wall's end nodes and the chain follows.
    void UpdateLinkedPoints();
    // A free wall moves anywhere level; a linked (or constrained) one only across itself,
    // in whole units unless constrained, its neighbours stretching to follow.
    void MoveSlabBy(double dx, double dy, double dz, bool constrained) override;
    // Drags the end whose upright edge is grabbed (the begin's, or the end's).
    void DragEnd(const ViewProjection& view, int x, int y, PickableObject* grabbed, bool notMoved,
                 bool wallDrag);
    // Draws the end of a wall whose begin is linked: whole lengths, 15-degree turns.
    void DragFreeEnd(const ViewProjection& view, int x, int y);
    // Turns the wall about its other end and puts the end (node 0 or node wallEndIndex)
    // at the point.
    void MoveEndTo(const Vector& point, int endNode);
    // How far the joint with the neighbour reaches into this wall's length.
    double JoinInset(const Wall* neighbour) const;
    bool ChildrenFitBevels();
    bool TestAgainstBevels(RenderableObject* child) const;

    // ---- snapping of moved nodes ----
    // Snaps a moved node; a bottom corner whose opposite end is linked only along the
    // wall's own line.
    void UpdateFromPoints(OutlinePoint* node) override;
    // Moves the node to the nearest snap target within 25.0: a bottom corner to a top
    // corner of a wall below, a floor corner, or else (unless restricted) whole units; an
    // upper node to a node of a parallel wall.
    void SnapWallPoint(OutlinePoint* node, bool restricted);
    bool SnapToParallelWall(OutlinePoint* node);
    // Whether the point lies on the wall's direction from node 0.
    bool IsAlongWall(const Vector& point) const;
    // Both ends linked to different walls, and walking the links from the begin comes
    // back to this wall.
    bool IsInClosedLoop() const;
    // With "Add floor when walls linked" on, a closed loop gets its floor; true when one
    // was added.
    bool AddFloorIfClosed();

    // ---- state ----
    int GetWallEndIndex() const { return wallEndIndex; }
    Wall* GetLinkedBegin() const { return linkedBegin; }
    Wall* GetLinkedEnd() const { return linkedEnd; }
    LinkedWallPoint* GetBeginPoint() const { return beginPoint; }
    LinkedWallPoint* GetEndPoint() const { return endPoint; }
    Wall* GetChainHead() const { return chainHead; }
    bool IsLinkable() const { return linkable; }
    void SetLinkable(bool flag) { linkable = flag; }
    bool IsPlaced() const { return placed; }
    double GetLength() const { return length; }
    double GetDrawingHeight() const { return drawingHeight; }
    void SetDrawingHeight(double height) { drawingHeight = height; }
    // Heights of the begin and the end over their bottom nodes.
    double BeginHeight() const;
    double EndHeight() const;
    // The nodes the wall numbers exist (four or more, wallEndIndex in its range).
    bool HasWallShape() const;
    const Vector& GetInsideBeginBevel() const { return insideBeginBevel; }
    const Vector& GetOutsideBeginBevel() const { return outsideBeginBevel; }
    const Vector& GetInsideEndBevel() const { return insideEndBevel; }
    const Vector& GetOutsideEndBevel() const { return outsideEndBevel; }
    Dimension& GetHorizontalDimension() { return horizDimension; }
    Dimension& GetVerticalDimension() { return verticalDimension; }
    Dimension& GetChildDimension() { return childDim; }
    const WallState& GetWallState() const { return wallState; }

    // Whether a point lies on the side of the centre plane that the normal points to.
    bool IsOnNormalSide(const Vector& point) const;

protected:
    void OnOutlineTranslated(const Vector& offset) override;
    void OnNodeInserted(int index) override;
    void OnNodeRemoved(int index) override;

private:
    // Steps shared by both constructors.
    void InitialiseFields();
    // Sets this wall's link fields for an end.
    void SetEndLink(int end, Wall* other, LinkedWallPoint* joint);
    // The end nodes of this wall from its joints.
    void ApplyJoints();
    // The node of `other` at the end that is not linked to this wall.
    Vector FarEndOf(const Wall& other) const;
    // The unit direction from the joint into this wall at the end linked to `neighbour`.
    Vector DirectionAwayFrom(const Wall* neighbour) const;
    // Whether this wall and its linked neighbours are valid.
    bool ChainIsValid();
    // The link of a "linkedBeginId"/"linkedEndId" key pair read from a plan.
    void ReadLink(KeyDataList& keys, int end, const char* idKey, const char* sideKey);
    // Writes "Length : " and the length into the active window's status bar.
    void ShowLength() const;
    // Rebuild after the wall's own nodes changed.
    void Rebuild();
    void RenderChildDimension(int mode);
    void RenderVerticalDimension(Window* window);

    // A point of the chain dimension and its distance along the wall.
    struct ChildPoint {
        Vector point;
        double distance;
    };
    std::vector<ChildPoint> childPoints;
    // The level the chain was built for.
    double childDimensionLevel = -1.0e300;

    WallState wallState;
    double drawingHeight = 0.0;
    int32_t wallEndIndex = 0;
    Wall* linkedBegin = nullptr;
    Wall* linkedEnd = nullptr;
    Wall* chainHead = this;
    LinkedWallPoint* beginPoint = nullptr;
    LinkedWallPoint* endPoint = nullptr;
    bool dimensionsDirty = true;
    bool shortSideDimension = false;
    bool placed = false;
    Dimension horizDimension{false};
    Dimension verticalDimension{false};
    Dimension childDim{false};
    Vector insideBeginBevel;
    Vector insideEndBevel;
    Vector outsideBeginBevel;
    Vector outsideEndBevel;
    // The last T-junction crossing found for the end and for the begin.
    Vector endCrossing;
    Vector beginCrossing;
    double length = 0.0;
    bool linkable = false;
    // Neighbours whose undo steps this wall's step opened, by transaction id.
    TransactionId undoNeighbours[2] = {kNoTransactionId, kNoTransactionId};
};
