#include "interaction/RotationHandle.h"

#include "model/RotatableObject.h"

void RotationHandle::SetAngle(double degrees) {
    if (owner) owner->RotateAboutAxis(axis, degrees);
}
