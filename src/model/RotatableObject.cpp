#include "model/RotatableObject.h"

#include <string>

#include "model/SelectableObject.h"
#include "platform/Menu.h"

RotatableObject::RotatableObject() : activeHandle(&handles[1]) {
    for (RotationHandle& handle : handles) handle.owner = this;
}

RotatableObject::~RotatableObject() = default;

void RotatableObject::Rotate(const Vector& angles) {
    Matrix turn;
    if (angles.x != 0.0)
        turn.SetRotation(0, -angles.x);
    else if (angles.y != 0.0)
        turn.SetRotation(1, -angles.y);
    else if (angles.z != 0.0)
        turn.SetRotation(2, -angles.z);
    turn.Multiply(rotation, rotation);
}

const Matrix& RotatableObject::GetRotation() const {
    return rotation;
}

void RotatableObject::RotateAboutAxis(int axis, double degrees) {
    Matrix turn;
    turn.SetRotation(axis, degrees);
    rotation.Multiply(rotation, turn);
}

void RotatableObject::BuildRotateMenu(platform::Menu& menu) {
    using namespace MenuCommand;
    // The degree sign, in UTF-8.
    const std::string degrees = "\xC2\xB0";
    platform::Menu& rotate = menu.AppendSubmenu("Rotate");
    rotate.AppendItem(kRotateOnFloor, "Rotate On Floor", activeHandle == &handles[1]);
    rotate.AppendItem(kRotateFrontToBack, "Rotate Front To Back", activeHandle == &handles[0]);
    rotate.AppendItem(kRotateLeftToRight, "Rotate Left To Right", activeHandle == &handles[2]);
    rotate.AppendSeparator();
    rotate.AppendItem(kRotate90Clockwise, "Rotate 90" + degrees + " CW");
    rotate.AppendItem(kRotate90CounterClockwise, "Rotate 90" + degrees + " CCW");
    rotate.AppendSeparator();
    rotate.AppendItem(kResetRotation, "Reset Default Position");
}

bool RotatableObject::OnRotateCommand(uint32_t id) {
    using namespace MenuCommand;
    switch (id) {
        case kRotate90Clockwise:
            Rotate(Vector(0.0, 90.0, 0.0));
            return true;
        case kRotate90CounterClockwise:
            Rotate(Vector(0.0, -90.0, 0.0));
            return true;
        case kResetRotation:
            rotation.SetIdentity();
            return true;
        case kRotateFrontToBack:
            activeHandle = &handles[0];
            return true;
        case kRotateOnFloor:
            activeHandle = &handles[1];
            return true;
        case kRotateLeftToRight:
            activeHandle = &handles[2];
            return true;
        default:
            return false;
    }
}
