#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/LinkedList.h"
#include "geometry/BoundingBox.h"
#include "geometry/Vector.h"
#include "model/SelectableObject.h"

class SceneView;

// An object that is drawn: its bounding box, which views show it, its display-data state
// and its drawing hooks.
//
// The view flags hold one bit per view window, bit (view id & 31): whether the object
// lay in that view's pick polygon when it was last tested.
class RenderableObject : public SelectableObject {
public:
    RenderableObject() = default;
    // Destroys the children and the attached object.
    ~RenderableObject() override;

    // A new object of the same class with the same state; null for classes that cannot
    // be copied.
    virtual RenderableObject* Clone();
    virtual void PrepareRender();
    virtual void Render() = 0;
    // Where the segment meets the object; the base answers the zero point.
    virtual Vector IntersectSegment(const Vector& from, const Vector& to);
    virtual bool IsLocked() const;
    virtual const BoundingBox& GetBoundingBox() const;
    // The display data must be rebuilt.
    virtual void MarkDirty();
    virtual void AndFlags(uint32_t mask);
    virtual uint32_t GetFlags() const;
    // The current view's bit of the view flags (false without a current view). A set bit
    // marks the object culled in that view: it is not drawn there.
    virtual bool IsVisibleInCurrentWindow() const;
    virtual void SetFlags(uint32_t word);
    // Sets the current view's bit (culled) when IsInWindowView answers true, else clears it.
    virtual void UpdateWindowVisibility();
    // The view's pick-polygon test of the box corners (SceneView::HitTestPolygon): true
    // when the box lies outside the view's polygon, so the object is culled there.
    virtual bool IsInWindowView(SceneView& view);
    // The eight corners of the box.
    virtual Vector* GetCorners();
    // Whether the box overlaps the storey band of the current floor level.
    virtual bool IsInVisibleHeightRange() const;
    // Whether the current view shows the object: not when the view hides its type;
    // otherwise when every storey is shown or the object lies in the current storey.
    // The answer is also kept in shownInView.
    virtual bool IsShownInCurrentView();
    virtual void Translate(const Vector& offset) = 0;
    // Moves the object and whatever is attached to it; the base moves the object.
    virtual void TranslateWithAttached(const Vector& offset);
    virtual void SaveFlags();
    virtual void RestoreFlags();
    // After ApplyOffset: offsetBase becomes the displacement of the offset reference
    // since then.
    virtual void RemoveOffset();
    // Records the offset reference as the start of a move.
    virtual void ApplyOffset();
    // The point whose movement ApplyOffset/RemoveOffset measure: the box's top corner,
    // or the position of objects that keep one.
    virtual Vector OffsetReference() const { return box.max; }
    virtual void MoveBy(const Vector& offset);
    virtual bool IsPositionValid();
    // Whether part of the object is see-through; such objects draw again, back to front,
    // after the opaque ones. The base has none.
    virtual bool HasTransparentPart() const;
    // Polygons the object draws, for the statistics line. The base draws none.
    virtual int GetPolygonCount() const;

    // Whether the current view's section plane cuts through the box.
    bool StraddlesSectionPlane();
    // In the selection pass of the current view, the stencil test for this object.
    void SetStencilForSelection() const;
    // Asks every shadow-casting light whose volume overlaps the object to rebuild its
    // shadow data. Lights stand at the head of the scene list.
    void FlagOverlappingLights();

    bool WasShownInView() const { return shownInView != 0; }
    bool NeedsRebuild() const { return rebuild != 0; }
    // Set once the object's geometry is in.
    bool IsGeometryLoaded() const { return geometryLoaded != 0; }
    const Vector& GetOffset() const { return offsetBase; }
    LinkedList& GetChildren() { return children; }
    void SetBoundingBox(const BoundingBox& newBox);

protected:
    // Whether a box spanning minY..maxY meets the current storey (from the floor level to
    // the wall height above it); true without a control.
    static bool InCurrentStorey(double minY, double maxY);

    // Bit i selects the object for stencil pass i.
    uint32_t passMask = 0;
    uint8_t drawn = 0;
    // Where a move started, then the displacement since (see ApplyOffset, RemoveOffset).
    Vector offsetBase;
    uint8_t offsetApplied = 0;
    BoundingBox box;
    uint8_t geometryLoaded = 0;
    // The last answer of IsShownInCurrentView.
    uint8_t shownInView = 1;
    uint32_t viewFlags = 0;
    uint32_t savedViewFlags = 0;
    // The display lists must be rebuilt. Set by loading threads too (a model's parts
    // arriving), read by the render pass.
    std::atomic<uint8_t> rebuild{1};
    LinkedList children;
    uint32_t extraWords[2] = {0, 0};
    // Owned; destroyed with the object.
    RenderableObject* attached = nullptr;
};
