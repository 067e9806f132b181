#include "interaction/RotationHandle.h"

#include "control/BaseControl.h"
#include "geometry/Matrix.h"
#include "model/MoveableObject.h"
#include "model/RenderableObject.h"
#include "model/RotatableObject.h"
#include "render/Window.h"

void RotationHandle::SetAngle(double degrees) {
    if (owner) owner->RotateAboutAxis(axis, degrees);
}

void RotationHandle::PlaceOnOwner() {
    auto* renderable = dynamic_cast<RenderableObject*>(owner);
    if (!renderable) return;
    const BoundingBox& box = renderable->GetBoundingBox();
    const double midY = (box.min.y + box.max.y) * 0.5;
    switch (axis) {
        case 0:
            localCentre = Vector(box.max.x, midY, 0.0);
            localAxis = Vector(1.0, 0.0, 0.0);
            break;
        case 1:
            localCentre = Vector(0.0, box.max.y, 0.0);
            localAxis = Vector(0.0, 1.0, 0.0);
            break;
        default:
            localCentre = Vector(0.0, midY, box.max.z);
            localAxis = Vector(0.0, 0.0, 1.0);
            break;
    }
}

void RotationHandle::UpdateWorldFrame() {
    auto* renderable = dynamic_cast<RenderableObject*>(owner);
    auto* moveable = dynamic_cast<MoveableObject*>(owner);
    if (!owner || !renderable) {
        worldCentre = localCentre;
        worldAxis = localAxis;
        return;
    }
    const BoundingBox& box = renderable->GetBoundingBox();
    const double m = (box.min.y + box.max.y) * 0.5;
    Vector at = moveable ? moveable->GetPosition() : Vector();
    at.y += m;
    Matrix place;
    place.SetTranslation(at);
    place.Multiply(place, owner->GetRotation());
    Matrix lower;
    lower.SetTranslation(Vector(0.0, -m, 0.0));
    place.Multiply(place, lower);
    place.TransformVector4(worldCentre, localCentre);
    // The axis is a direction: turned, not moved, and used as a unit vector.
    owner->GetRotation().RotateVector(worldAxis, localAxis);
    worldAxis.Normalize();
}

bool RotationHandle::ProjectCursor(Vector& out, int x, int y) {
    UpdateWorldFrame();
    BaseControl* control = theControl();
    Window* window = control ? control->mainWindow : nullptr;
    if (!window) return false;
    const Vector hit = window->ScreenToPlane(x, y, worldCentre, worldAxis);
    if (Window::IsNoIntersection(hit)) return false;
    out = Vector(hit.x - worldCentre.x, hit.y - worldCentre.y, hit.z - worldCentre.z);
    return true;
}
