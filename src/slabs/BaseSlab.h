#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/LinkedList.h"
#include "geometry/Outline.h"
#include "geometry/Vector.h"
#include "interaction/Grid.h"
#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "model/SizeableObject.h"
#include "model/StateObject.h"
#include "model/TopLevelObject.h"
#include "render/Material.h"

class BaseParameterState;
class Part;
class SlabChild;
class SceneView;
class SlabCovering;
class SlabHole;
class Window;
struct ViewProjection;

// A slab: a flat solid given by a closed planar outline and a thickness, with three
// surfaces (inside, outside, edge) and five lists of children cut into it or standing on
// it. Walls, floors, counters, roof planes and shaft sides are slabs; each kind fills the
// two face point arrays from the outline in its RecomputeBounds.
//
// Children are walked in one fixed order: holes, coverings, moldings, objects set into
// the slab, objects standing on it, each list from head to tail.
//
// A locked slab refuses edits from the user (moves, outline edits, children attached or
// taken out); reading key data (plans, undo, copies) is not refused.
class BaseSlab : public SizeableObject,
                 public TopLevelObject,
                 public StateObject,
                 public GridOwner {
public:
    static constexpr int kInsideSurface = 1000;
    static constexpr int kOutsideSurface = 1001;
    static constexpr int kEdgeSurface = 1002;
    // Cull polygons and reflex-corner triangles keep at most this many entries.
    static constexpr int kMaxCullPoints = 255;
    static constexpr int kMaxReflexTriangles = 128;
    // Reach of the straightening of a point inserted near an edge.
    static constexpr double kInsertSnapDistance = 25.0;

    BaseSlab();
    // Frees the point arrays and every child, holes first.
    ~BaseSlab() override;

    uint64_t GetTypeMask() const override { return TypeMask::kBaseSlab; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kBaseSlab; }
    bool IsLocked() const override { return locked != 0; }

    // ---- selection and lists ----
    // A locked slab stays (false). With a child selected, the child is taken out and
    // deleted instead, and the answer is false. Otherwise the slab leaves the list.
    bool RemoveFromList(LinkedList& list) override;
    // The slab's own flag or any child's.
    bool IsSelected() const override;
    // Stores the flag (deselection also hides the grid) and deselects every child.
    bool SetSelected(bool flag) override;
    // A copy of the first selected child (an editable child, a model or a molding); null
    // without one.
    RenderableObject* Clone() override;
    // With a selected child: a copy of it stays and the child moves by its offset.
    UndoableObject* DuplicateAndOffset() override;

    // ---- drawing state ----
    void Render() override;
    void MarkDirty() override;
    void AndFlags(uint32_t mask) override;
    // Drawn only once both point arrays exist and the slab is visible.
    bool IsShownInCurrentView() override;
    // Whether the selection feedback is drawn: while the slab is selected.
    virtual bool ShowsSelection() const;
    // Handles of every node (selected, unlocked slabs only).
    virtual void RenderSelection();
    // The handles of node i: a red sphere on each face at the node, named by the node, and
    // a blue one on each face midway along the node's edge, named by the edge.
    virtual void RenderHandles(int i);

    // ---- pop-up commands, dialog, bill of materials (BaseSlabCommands.cpp) ----
    // Records the surface the pick hit (GlobalState integer 4: 1000, 1001, 1002 or 0).
    void BuildPropertyMenu(platform::Menu& menu) override;
    // Hide, Lock, Set Dimensions, Properties (102), Make Default (103), Delete (104),
    // the grid (601) and the edge flags (900-906); false for any other id.
    bool ProcessPropertyMenu(uint32_t id) override;
    void ShowPropertyDialog() override;
    // Fills the slab property dialog for the picked surface.
    void InitDialog(Dialog* dialog) override;
    // Code 1 takes the thickness and the picked surface's material; code 10 adds a label.
    int OnDialogNotify(Dialog* dialog, int code) override;
    // The attributes from " area=" on, the surfaces, the child lists and the nodes.
    void WriteSlabXml(std::string& buffer);
    void WriteObjectInformation(std::string& buffer) override;
    // Each child of the list (none whose type meets `filter`, when it is not 0) inside
    // "<name>" ... "</name>" (no element for an empty name).
    void WriteChildListXml(LinkedList& list, const char* name, std::string& buffer,
                           uint64_t filter);
    // The surface the last pop-up menu was built for.
    int PickedSurface() const;
    // The property dialog's title and the word its group captions begin with.
    virtual std::string PropertyDialogTitle() const { return "Wall Properties"; }
    virtual std::string PropertyDialogKind() const { return "Wall"; }

    // ---- surface drawing (BaseSlabDraw.cpp) ----
    // The texture coordinate (s, t, 0, 1) of a point of the current surface; on the edge
    // surface along `edge`, or the edge being drawn when null.
    virtual Vector GetTextureCoordinate(const Vector& point, const OutlineEdge* edge);
    // Culled (true) unless the outline lies in the view's pick polygon; a slab thicker
    // than 10.0 also needs one of its faces in it.
    bool IsInWindowView(SceneView& view) override;
    // The cull bit of the view being drawn; the children follow (only those standing on
    // the slab when it is culled).
    void UpdateWindowVisibility() override;
    virtual void RenderEdgeSurface();
    // Culls the scene objects hidden behind this slab: with `slabsOnly` the other slabs
    // and their children, else every object that is not a slab.
    virtual void CullAgainstSlab(bool slabsOnly);
    // The two spheres that move the slab along its normal.
    virtual void RenderMoveHandle();
    // Compiles (when a rebuild is pending) and draws the current surface.
    void RenderSurface();
    // The faces with the children's openings tessellated in, instead of stencils.
    void RenderCutOut();
    void RenderHoleReveals();
    void CullObjectAgainstSlab(RenderableObject* object);
    Part* GetCurrentSurface() const { return currentSurface; }
    // The cut-away of a slab that blocks the view: with true the slab is left out of the
    // frame of the view being drawn (its cull bit is set) when the line of sight passes
    // through its outline; with false the objects standing on it stay.
    virtual void CullChildren(bool cut);
    void SetCutAway(bool flag) { cutAway = flag ? 1 : 0; }
    // Where the line of sight meets the slab's plane, for the cut-away.
    void SetCutAwayPoint(const Vector& point) { cutAwayPoint = point; }
    bool IsCutAway() const { return cutAway != 0; }
    // ---- the mirror pass (BaseSlabMirror.cpp) ----
    // A reflective face shows the rest of the scene mirrored in it, confined to the face
    // by the stencil buffer. Runs in the view's reflection pass.
    virtual void RenderMirror();
    // Whether the surface (0 inside, 1 outside) is a mirror.
    bool IsMirrorSurface(int face) const;
    // Multiplies in the reflection about face 0 (inside) or 1 (outside), from its list.
    void ApplyMirrorTransform(int face);
    bool IsInMirrorPass() const { return mirrorPass != 0; }

    // ---- geometry ----
    // Moves the outline, the children and the grid.
    void Translate(const Vector& offset) override;
    // The outline is simple and every child lies on the slab.
    bool IsPositionValid() override;
    // The outline's area.
    virtual double GetArea() const;
    virtual double GetThickness() const { return thickness; }
    // Stores the thickness; holes reach half of it, coverings lie 0.25 beyond that.
    virtual void SetThickness(double value);
    // Whether the outline holds the point; the base ignores the surface.
    virtual bool ContainsPoint(const Vector& point, int surface);
    virtual bool AcceptsChild(RenderableObject* child);
    // Moves the slab and its children by the offset (refused while locked), detaching
    // children tied to other slabs.
    virtual void MoveSlabBy(double dx, double dy, double dz, bool constrained);
    // Fills the face points from the outline and the thickness, then the bounds.
    virtual void RecomputeBounds() = 0;
    virtual void UpdateFromPoints(OutlinePoint* grabbed);
    virtual void ShowMeasurements();
    virtual void BeginDragOf(PickableObject* grabbed);
    // Fresh point arrays for the outline's node count, then RecomputeBounds.
    void AllocateOutlineArrays();
    // The box over both faces, grown by what the children add above and below.
    void ComputeBounds();
    // The convex corners of the outline on the mid-plane and moved to both faces, and
    // the triangles of its reflex corners.
    virtual void BuildCullPolygons();

    // ---- outline editing (the slab editors call these) ----
    // Inserts the point on the edge that grows the perimeter least; null when the slab
    // is locked or would not be valid.
    virtual OutlinePoint* InsertPointAt(const Vector& point);
    // Inserts the screen point on the nearest edge, straightened onto the edge when it
    // lies within 25.0 of it; null when refused.
    virtual OutlinePoint* InsertScreenPoint(const ViewProjection& view, int x, int y);
    // The outline's own insertion of a screen point, without the validity test.
    virtual OutlinePoint* InsertOutlineScreenPoint(const ViewProjection& view, int x, int y);
    // Removes a node; false when the slab is locked, the node or its successor is
    // constrained, the outline would keep fewer than three nodes, or the node is not one
    // of the outline's.
    virtual bool DeleteOutlinePoint(OutlinePoint* node);
    // Moves a grabbed node to the screen point (snapped to the grid with `snap`); an
    // invalid result is taken back.
    virtual void DragOutlinePoint(const ViewProjection& view, int x, int y, PickableObject* grabbed,
                                  bool drawing, bool snap);
    // Moves the edge from `node` to its successor by the cursor movement; keeps a
    // four-node rectangle square with whole-unit sides unless `free`. Answers the node
    // that begins the edge.
    virtual OutlinePoint* DragEdge(const ViewProjection& view, int x, int y, int previousX,
                                   int previousY, OutlinePoint* node, bool free);
    // Turns the outline and the children about `centre`, from `from` to `to`.
    void RotateSlab(const Vector& from, const Vector& to, const Vector& centre);
    // Children tied to objects in other slabs (skylights and their shaft holes) lose that
    // object; with `undoable` inside an undo step of the other slab.
    void DetachLinkedChildren(bool undoable);

    // ---- children ----
    // Adds an object set into the slab (type bit 0x10) or standing on it; ignored while
    // locked. `force` is for the loader, which is not refused.
    virtual void AttachChild(RenderableObject* child, bool force = false);
    // Takes the child out of the list of its kind; refused without `force` while locked.
    // True when the child left a list; the caller owns it then.
    bool RemoveChild(RenderableObject* child, bool force);
    // Finds the child with that transaction id in any list, takes it out and deletes it.
    // False, deleting nothing, when none has it or it cannot be taken out.
    bool RemoveChildById(TransactionId id, bool force);
    RenderableObject* FirstChild();
    RenderableObject* NextChild();
    RenderableObject* FirstSelectedChild() const;
    void SetChildrenSelected(bool flag);
    void AddMolding(RenderableObject* molding);
    // A hole through the slab from `count` corners on its middle plane, half the
    // thickness deep, selected in place of the slab; with the draw-window or draw-door
    // setting (GlobalState booleans 31, 32) it shows a window frame or a door leaf. Null
    // when the slab is locked or the corners have no area.
    SlabHole* CreateHole(const Vector* points, int count);
    // A covering on the face of `surface` (the inside face unless it is the outside
    // surface), selected in place of the slab; null when locked or without area.
    SlabCovering* CreateCovering(const Vector* points, int count, Part* surface, bool fromPlan);
    // TranslateWithAttached on every child, then the grid follows.
    void TranslateChildren(const Vector& offset);
    int CountChildren() const;

    // ---- surfaces ----
    // The surface part of that id (1000, 1001, 1002); null for any other.
    Part* GetSurface(int id);
    // Alpha 0.5 on the three surface materials, or 1.0.
    void SetSurfacesTranslucent(bool flag);
    void SetSurfaceColor(double r, double g, double b, double a);
    // The part colour of the surfaces and of the reveals of the children's openings.
    void SetColor(double r, double g, double b, double a);

    // ---- defaults ----
    BaseParameterState* GetState() override { return state; }
    // The surfaces from the edited state, then its thickness.
    void ApplyState() override;
    // Copies the state into the edited state and applies it.
    virtual void CopyStateFrom(const BaseParameterState& from);
    // The surfaces, thickness and height into the edited state.
    virtual void StoreSurfacesToState();
    // StoreSurfacesToState, then the edited state becomes the saved one.
    virtual void CommitState();

    // ---- key data ----
    // The slab's keys into `keys` (the element the kind opened).
    void WriteSlabKeys(KeyDataList& keys);
    // Applies the keys present in `keys`; missing keys leave their fields.
    bool ReadKeyData(KeyDataList& keys) override;

    Outline& GetOutline() { return outline; }
    const Outline& GetOutline() const { return outline; }
    const Vector* GetFacePointsA() const { return facePointsA.get(); }
    const Vector* GetFacePointsB() const { return facePointsB.get(); }
    int GetFacePointCount() const { return facePointCount; }
    Grid& GetGrid() { return grid; }
    // What the work grid reads: the outline's plane, the bounds and, for the size of its
    // origin handle, the thickness.
    const Outline& GetGridOutline() const override { return outline; }
    const BoundingBox& GetGridBounds() const override { return GetBoundingBox(); }
    double GetGridHandleSize() const override { return thickness; }
    int GetGridKindCode() const override { return GetKindCode(); }
    const Vector& GetUVector() const { return uVector; }
    bool IsGridShown() const { return gridShown != 0; }
    int GetSlabKind() const { return slabKind; }
    double GetVerticalPosition() const { return verticalPosition; }
    LinkedList& GetHoleList() { return holeList; }
    LinkedList& GetCoveringList() { return coveringList; }
    LinkedList& GetInSlabList() { return inSlabList; }
    LinkedList& GetOnSlabList() { return onSlabList; }
    LinkedList& GetMoldingList() { return moldingList; }
    int GetCullPointCount() const { return static_cast<int>(cullHull.size()); }
    int GetReflexTriangleCount() const { return static_cast<int>(reflexTriangles.size()); }

protected:
    struct CullPoint {
        Vector middle;
        Vector above;
        Vector below;
    };
    struct ReflexTriangle {
        int previous;
        int current;
        int next;
    };

    // The five lists in child order.
    LinkedList* ChildList(int index);
    // The list a child of that type mask belongs to; null when none.
    LinkedList* ListForChild(uint64_t mask);
    // Frees both point arrays and makes new ones for the outline's node count.
    void ReallocatePointArrays();
    // The kind's own steps after the outline moved; the base has none.
    virtual void OnOutlineTranslated(const Vector& offset) { (void)offset; }
    // A node was inserted at, or removed from, that index of the outline; kinds that
    // number particular nodes keep their numbers right.
    virtual void OnNodeInserted(int index) { (void)index; }
    virtual void OnNodeRemoved(int index) { (void)index; }
    // Removes the node at the index with the kind told; false when it is not a node.
    bool RemoveNodeAt(int index);
    // Makes and attaches the child of one "childList" entry.
    void ReadChildEntry(KeyDataList& entry);
    // A "removedTransactionId" record: the child with that id goes.
    void RemoveRecordedChild(const BaseKeyDataElement& record);
    // A point of the grid nearest `point` (unchanged when the grid cannot snap).
    Vector SnapToGrid(const Vector& point);
    // The face's polygon (0 inside, 1 outside), moved by `shift` along the outline normal.
    void DrawFacePolygon(int face, double shift);
    // Draws the scene mirrored into the stencil region of `pass` (bit = 1 << pass).
    void DrawMirroredScene(Window& window, int pass, uint32_t bit);

    Material surfaceMaterials[3];
    LinkedList holeList;
    LinkedList coveringList;
    LinkedList inSlabList;
    LinkedList onSlabList;
    LinkedList moldingList;
    // Face points A (drawn as the inside surface) and B (the outside surface), one per
    // outline node.
    std::unique_ptr<Vector[]> facePointsA;
    std::unique_ptr<Vector[]> facePointsB;
    int facePointCount = 0;
    double thickness = 0.0;
    double verticalPosition = 0.0;
    Part insideSurface{this};
    Part outsideSurface{this};
    Part edgeSurface{this};
    // The edge whose quad of the edge surface is being drawn.
    OutlineEdge* currentEdge = nullptr;
    // The surface being drawn; null outside drawing.
    Part* currentSurface = nullptr;
    // The display lists are compiled on the next pass.
    uint8_t rebuildPending = 1;
    uint8_t cutAway = 0;
    Vector cutAwayPoint;
    uint8_t mirrorPass = 0;
    uint8_t gridShown = 0;
    // Texture direction of the faces.
    Vector uVector;
    Outline outline;
    uint8_t cutOutRebuild = 1;
    Grid grid{this};
    std::vector<ReflexTriangle> reflexTriangles;
    std::vector<CullPoint> cullHull;
    GLuint mirrorLists[2] = {Part::kNoList, Part::kNoList};
    uint8_t cutOutDrawn = 0;
    // 1500 walls, 1501 floors, 1502 roofs, 1503 counters.
    int slabKind = 0;
    double area = 0.0;
    // The edited state (the kind's own) and the saved state (the control's default).
    BaseParameterState* state = nullptr;
    BaseParameterState* savedState = nullptr;

private:
    // Child iterator.
    int iteratorList = 0;
    LinkedListObject* iteratorNode = nullptr;
};
