#pragma once

#include "geometry/Vector.h"

// An object with a position of its own.
class MoveableObject {
public:
    MoveableObject() = default;
    virtual ~MoveableObject();

    // Takes x, y and z of the vector; w becomes 1.
    virtual void SetPosition(const Vector& newPosition);
    virtual void OffsetPosition(const Vector& offset);

    const Vector& GetPosition() const { return position; }

protected:
    Vector position;
};
