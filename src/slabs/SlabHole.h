#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "render/Material.h"
#include "slabs/EditableSlabChild.h"

class ParametricInSlabObject;

// A hole through a slab: an outline on the slab's middle plane, cut through the whole
// thickness at draw time. The slab's outline is never changed: the hole writes its front
// and back polygons into the stencil bit of value 4 before the slab draws a face, and
// clears it afterwards. The sides of the opening (the reveal) are drawn with the hole's
// side surface.
//
// A hole may carry a door leaf or a window frame that fills it. An embedded hole (the
// opening of a door or window set into the slab) has no menu, no handles, no pick name of
// its own and refuses Delete.
class SlabHole : public EditableSlabChild {
public:
    static constexpr int kWindowFrame = 1;
    static constexpr int kDoorLeaf = 2;

    explicit SlabHole(bool embedded = false);
    ~SlabHole() override;

    uint64_t GetTypeMask() const override { return TypeMask::kSlabHole; }

    // ---- menu ----
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;

    // ---- drawing ----
    // A copy in the same slab (the hole's own class); with `offset` moved beside this
    // hole, or, when it fits on neither side, discarded and the slab answered.
    RenderableObject* Clone() override;
    RenderableObject* Clone(bool offset);
    // Writes the opening into the stencil (and draws the reveal, the handles and the door
    // or window) before the slab draws a face.
    void Render() override;
    void MarkDirty() override;
    void Translate(const Vector& offset) override;
    void MoveBy(const Vector& offset) override;
    bool IsPositionValid() override;
    bool IsOnParentSurface() override;
    // Texture coordinates of a point on a reveal face (the edge record of its node); the
    // current reveal face without one. (0, 0, -1) for no face.
    Vector GetSurfaceCoordinate(const Vector& point, const OutlineEdge* face) const;

    // ---- key data ----
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    // The hole's bill-of-materials fragment (or its door's or window's).
    void WriteObjectInformation(std::string& buffer) override;

    // ---- editing ----
    void ComputeNormal() override;
    void DrawOutlineHandles() override;
    void TurnWithParent(const Vector& axis, double angle, const Vector& centre) override;
    // A picked door knob (perspective views) moves the knob; else the child's drag.
    void DragPointIn(Window& window, int x, int y, int px, int py, int pickDepth,
                     const Vector& grabOffset, bool constrain, int axis) override;
    void MovePoint(const ViewProjection& view, int x, int y, OutlinePoint* node,
                   bool snap) override;

    // Adds the front (flag clear) or back contour to the face the slab is tessellating.
    virtual void AddContourToFace(bool back);
    virtual void RenderReveal();
    // Front and back polygons, box and area from the outline; the door or window and the
    // hole are marked dirty.
    virtual void RebuildGeometry();
    virtual void RenderFaceMarkers();

    // The hole on a slab face: `count` corners, turned to run against `faceNormal`, at
    // `holeDepth` from the middle plane. False for a degenerate outline (fewer than three
    // corners, or no area).
    bool Define(const Vector* points, int count, const Vector& faceNormal, double holeDepth,
                BaseSlab* slab);
    void SetDepth(double value) override;
    double GetDepth() const { return depth; }
    // Erases the hole's stencil bit after the slab face is drawn.
    void ClearStencilBit();
    // Shows the window frame (`window`) or the door leaf, made on first use; the other
    // stays as a candidate.
    void ShowDoorOrWindow(bool window);
    void MakeOval();
    void RefreshDoorOrWindow();
    bool OverlapsSibling();
    bool OverlapsHole(SlabHole& other);
    // How high the hole's bottom lies above the floor under it.
    double GetHeightAboveFloor() const;
    // The reveal area: edge lengths times the slab's thickness.
    double GetRevealArea() const;
    void SetRevealColor(double r, double g, double b, double a) override;
    // Edges whose reveal faces are not drawn, ascending; an index is kept only below the
    // node count.
    void SetExcludedEdges(const std::vector<int>& edges);
    const std::vector<int>& GetExcludedEdges() const { return excludedEdges; }

    bool IsEmbedded() const { return embedded; }
    ParametricInSlabObject* GetDoorOrWindow() const { return active; }
    const Vector& GetWorkingNormal() const { return workingNormal; }
    const std::vector<Vector>& GetFrontPolygon() const { return front; }
    const std::vector<Vector>& GetBackPolygon() const { return back; }
    Part& GetSideSurface() { return sideSurface; }
    Material& GetSideMaterial() { return sideMaterial; }
    UndoableObject* GetLinkedObject() const override { return shaftLink; }
    void SetLinkedObject(UndoableObject* object) override { shaftLink = object; }

protected:
    // The stencil reference of the pass being drawn.
    static int StencilReference();
    // Draws the polygon (nodes forward or back) with the control's tessellator.
    void DrawPolygon(const std::vector<Vector>& points, const Vector& n, bool reversed);
    void FreeLists();
    // The frame of a door or window command: the slab's step around `change`, closed in
    // an undo group.
    template <typename Change>
    void InSlabStep(Change change);
    // Whether the hole or its slab is see-through in the window being drawn.
    bool SeeThrough() const;

    Vector workingNormal{0.0, 0.0, 0.0};
    UndoableObject* shaftLink = nullptr;
    // One point per outline node; always rebuilt together.
    std::vector<Vector> front;
    std::vector<Vector> back;
    GLuint frontList = Part::kNoList;
    GLuint backList = Part::kNoList;
    GLuint frontContourList = Part::kNoList;
    GLuint backContourList = Part::kNoList;
    double depth = 0.0;
    std::vector<int> excludedEdges;
    Material sideMaterial;
    Part sideSurface{this};
    uint8_t geometryDirty = 1;
    uint8_t frontContourDirty = 1;
    uint8_t backContourDirty = 1;
    bool embedded = false;
    const OutlineEdge* currentRevealFace = nullptr;
    ParametricInSlabObject* active = nullptr;
    std::unique_ptr<ParametricInSlabObject> windowCandidate;
    std::unique_ptr<ParametricInSlabObject> doorCandidate;
};
