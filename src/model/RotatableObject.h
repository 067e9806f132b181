#pragma once

#include <cstdint>

#include "geometry/Matrix.h"
#include "geometry/Vector.h"
#include "interaction/RotationHandle.h"

namespace platform {
class Menu;
}

// An object with a rotation of its own, three handles to turn it by and the "Rotate"
// sub-menu.
class RotatableObject {
public:
    RotatableObject();
    virtual ~RotatableObject();
    RotatableObject(const RotatableObject&) = delete;
    RotatableObject& operator=(const RotatableObject&) = delete;

    // Turns by the first non-zero of the angles (degrees): x about axis 0, else y about
    // axis 1, else z about axis 2. The turn is applied before the present rotation.
    virtual void Rotate(const Vector& angles);
    virtual const Matrix& GetRotation() const;
    // Turns by the angle about the axis (0, 1, 2), applied after the present rotation.
    virtual void RotateAboutAxis(int axis, double degrees);
    // Appends the "Rotate" sub-menu.
    virtual void BuildRotateMenu(platform::Menu& menu);
    // Runs a command of the "Rotate" sub-menu; true when it was one.
    virtual bool OnRotateCommand(uint32_t id);

    RotationHandle& GetHandle(int axis) { return handles[axis]; }
    RotationHandle* GetActiveHandle() const { return activeHandle; }

protected:
    Matrix rotation;
    uint8_t rotationFlag = 0;
    RotationHandle handles[3] = {RotationHandle(0), RotationHandle(1), RotationHandle(2)};
    RotationHandle* activeHandle;
};
