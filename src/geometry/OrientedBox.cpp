#include "geometry/OrientedBox.h"

#include "foundation/Trace.h"
#include "geometry/BoundingBox.h"
#include "geometry/Outline.h"

OrientedBox::OrientedBox() {
    min.SetMax();
    max.SetMin();
}

void OrientedBox::SetAxes(const Vector& a, const Vector& b) {
    axisY = a;
    axisZ = b;
    axisX.Cross(a, b);
}

Vector OrientedBox::ToLocal(const Vector& q) const {
    Vector d(q.x - origin.x, q.y - origin.y, q.z - origin.z);
    return Vector(axisX.Dot(d), axisY.Dot(d), axisZ.Dot(d));
}

void OrientedBox::SetFromPoints(const Vector* points, int n) {
    if (n < 1 || !PRECONDITION(points != nullptr, "OrientedBox::SetFromPoints without points")) {
        min.SetMax();
        max.SetMin();
        return;
    }
    origin.Set(points[0]);
    min = ToLocal(points[0]);
    max = min;
    ExtendByPoints(points + 1, n - 1);
}

void OrientedBox::ExtendByPoints(const Vector* points, int n) {
    if (n < 1 || !PRECONDITION(points != nullptr, "OrientedBox::ExtendByPoints without points"))
        return;
    for (int i = 0; i < n; ++i) ExtendMinMax(min, max, ToLocal(points[i]));
}

Vector OrientedBox::Corner(bool fx, bool fy, bool fz) const {
    Vector corner = origin;
    Vector step = axisX;
    step.Scale(fx ? max.x : min.x);
    corner.Add(step);
    step = axisY;
    step.Scale(fy ? max.y : min.y);
    corner.Add(step);
    step = axisZ;
    step.Scale(fz ? max.z : min.z);
    corner.Add(step);
    corner.w = 1.0;
    return corner;
}

void OrientedBox::SetFromOutline(const Outline& outline) {
    const std::vector<Vector> positions = outline.GetPositions();
    SetFromPoints(positions.data(), static_cast<int>(positions.size()));
}
