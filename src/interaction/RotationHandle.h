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
    // Recomputes the handle's centre and axis from its owner; the base does nothing.
    virtual void PlaceOnOwner() {}
};

// The handle of one axis (0 x, 1 y, 2 z) of a rotatable object.
class RotationHandle : public BaseRotationHandle {
public:
    explicit RotationHandle(int axisIndex) : axis(axisIndex) {}

    void SetAngle(double degrees) override;
    void GetAxisVector(Vector& out) const override { out = worldAxis; }

    int GetAxis() const { return axis; }

    RotatableObject* owner = nullptr;
    int axis;
    Vector localCentre;
    Vector worldCentre;
    Vector localAxis;
    Vector worldAxis;
};
