#pragma once

#include <GL/glu.h>

#include "geometry/Vector.h"

class BaseSlab;
class RenderableObject;
class SlabHole;
class UndoableObject;

// The base of every child of a slab: holes, coverings, moldings and the objects set into
// or standing on a slab. The slab owns its children through its child lists; a child
// knows its slab. The slab reaches each kind of child through these operations, which
// the kinds answer for themselves.
class SlabChild {
public:
    SlabChild() = default;
    virtual ~SlabChild() = default;
    SlabChild(const SlabChild&) = delete;
    SlabChild& operator=(const SlabChild&) = delete;

    BaseSlab* GetParent() const { return parent; }
    virtual void SetParent(BaseSlab* slab) { parent = slab; }

    // Whether the child still lies on its slab's surface; the slab is valid only while
    // every child answers true.
    virtual bool IsOnParentSurface() { return true; }
    // How deep a hole (or the opening of an object set into the slab) reaches from the
    // slab's mid-plane.
    virtual void SetDepth(double) {}
    // How far a covering lies from the slab's mid-plane.
    virtual void SetOffset(double) {}
    // The surface a child standing on the slab stands on: 1000 inside, 1001 outside.
    virtual int GetSide() const { return 1000; }
    // The opening a door or window set into the slab cuts; null for other children.
    virtual SlabHole* GetOpening() { return nullptr; }
    // The slab turned by `angle` radians about the unit `axis` through `centre`; the child
    // takes its place on the turned slab.
    virtual void TurnWithParent(const Vector& axis, double angle, const Vector& centre) {
        (void)axis, (void)angle, (void)centre;
    }
    // The object in another slab that this child belongs with (a skylight and the shaft
    // hole it cuts into the slab below); null when none.
    virtual UndoableObject* GetLinkedObject() const { return nullptr; }
    virtual void SetLinkedObject(UndoableObject* object) { (void)object; }
    // The offset between the child's anchor and the face point under window point
    // (x, y); the drag keeps it so that the child keeps its place under the cursor.
    // (99999, 99999, 99999) when the child has no such point.
    virtual Vector GetGrabPoint(int x, int y) {
        (void)x, (void)y;
        return Vector(99999.0, 99999.0, 99999.0);
    }
    // Drags the child to the face point under (x, y) less the grab offset; with
    // `constrain`, axis mode 1 keeps it along the slab's u direction and 2 across it.
    virtual void DragPoint(int x, int y, int previousX, int previousY, int hits,
                           const Vector& grabOffset, bool constrain, int axisMode) {
        (void)x, (void)y, (void)previousX, (void)previousY, (void)hits, (void)grabOffset,
            (void)constrain, (void)axisMode;
    }
    // The colour of the reveal (the sides of the opening).
    virtual void SetRevealColor(double r, double g, double b, double a) {
        (void)r, (void)g, (void)b, (void)a;
    }

    // Drawing of the slab: the sides of the child's opening (`embedded` for the hole of
    // an object set into the slab); the contour of the opening added to the face being
    // tessellated (the inside face, or the outside face with `outside`).
    virtual void RenderReveal(bool embedded) { (void)embedded; }
    // The opening alone, as a wall draws it in the blueprint view.
    virtual void RenderOpening() {}
    // Whether the child's opening has an outline (a hole without nodes has none).
    virtual bool HasOpeningOutline() const { return true; }
    virtual void AddOpeningContour(GLUtesselator* tess, bool outside) { (void)tess, (void)outside; }
    // Culling against the slab: whether `object`, culled behind the slab, is seen through
    // the child's opening; the child then clears the object's cull bit itself.
    virtual bool SeesThrough(RenderableObject* object) {
        (void)object;
        return false;
    }

protected:
    // Not owned.
    BaseSlab* parent = nullptr;
};
