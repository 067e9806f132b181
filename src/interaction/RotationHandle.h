#pragma once

#include "geometry/Vector.h"
#include "model/PickableObject.h"

class RotatableObject;

// A handle that turns its owner about one axis when dragged. Picks recognise a handle by
// its exact type mask.
class BaseRotationHandle : public PickableObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kRotationHandleObject; }

    // Turns the owner by the angle about the handle's axis.
    virtual void SetAngle(double degrees) = 0;
    // The handle's axis in world coordinates.
    virtual void GetAxisVector(Vector& out) const = 0;
    // Where the cursor ray through window point (x, y) (y from the top) meets the
    // handle's rotation plane, relative to the handle's centre. False, with out
    // untouched, when the ray misses the plane or there is no view to project through.
    virtual bool ProjectCursor(Vector& out, int x, int y) = 0;
    // Recomputes the handle's centre and axis from its owner; the base does nothing.
    virtual void PlaceOnOwner() {}
};

// The handle of one axis (0 x, 1 y, 2 z) of a rotatable object. Its centre and axis are
// kept in the owner's own frame (local) and placed in the scene (world) by the owner's
// position and rotation about its box's mid-height.
class RotationHandle : public BaseRotationHandle {
public:
    explicit RotationHandle(int axisIndex) : axis(axisIndex) {}

    void SetAngle(double degrees) override;
    void GetAxisVector(Vector& out) const override { out = worldAxis; }
    // Refreshes the world centre and axis, then intersects the cursor ray of the main
    // window with the plane through the world centre normal to the world axis.
    bool ProjectCursor(Vector& out, int x, int y) override;
    // From the owner's box: axis 0 sits on the box's +x side at mid-height, axis 1 on
    // top, axis 2 on the +z side at mid-height.
    void PlaceOnOwner() override;

    int GetAxis() const { return axis; }
    // World centre and unit world axis from the local ones and the owner's placement.
    void UpdateWorldFrame();

    RotatableObject* owner = nullptr;
    int axis;
    Vector localCentre;
    Vector worldCentre;
    Vector localAxis;
    Vector worldAxis;
};
