#include "geometry/Vector.h"

#include <cfloat>
#include <cmath>

#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"

namespace {

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Unit direction from b to a, or zero when they coincide.
Vector UnitDifference(const Vector& a, const Vector& b) {
    Vector d(a.x - b.x, a.y - b.y, a.z - b.z);
    d.Normalize();
    return d;
}

}  // namespace

void Vector::Set(double newX, double newY, double newZ, double newW) {
    x = newX;
    y = newY;
    z = newZ;
    w = newW;
}

void Vector::Set(const Vector& other) {
    x = other.x;
    y = other.y;
    z = other.z;
    w = 1.0;
}

void Vector::SetMax() {
    Set(DBL_MAX, DBL_MAX, DBL_MAX, DBL_MAX);
}

void Vector::SetMin() {
    Set(-DBL_MAX, -DBL_MAX, -DBL_MAX, -DBL_MAX);
}

bool Vector::Equals(const Vector& other) const {
    return x == other.x && y == other.y && z == other.z;
}

void Vector::Offset(double dx, double dy, double dz) {
    x += dx;
    y += dy;
    z += dz;
}

void Vector::SubtractOffset(double dx, double dy, double dz) {
    x -= dx;
    y -= dy;
    z -= dz;
}

void Vector::Add(const Vector& other) {
    Offset(other.x, other.y, other.z);
}

void Vector::Subtract(const Vector& other) {
    SubtractOffset(other.x, other.y, other.z);
}

void Vector::Scale(double s) {
    ScaleComponents(s, s, s);
}

void Vector::ScaleComponents(double sx, double sy, double sz) {
    x *= sx;
    y *= sy;
    z *= sz;
}

void Vector::Negate() {
    Set(-x, -y, -z, -w);
}

double Vector::Length() const {
    return std::sqrt(x * x + y * y + z * z);
}

double Vector::Distance(const Vector& other) const {
    return Vector(x - other.x, y - other.y, z - other.z).Length();
}

double Vector::HorizontalDistance(const Vector& other) const {
    double dx = x - other.x;
    double dz = z - other.z;
    return std::sqrt(dx * dx + dz * dz);
}

double Vector::Dot(const Vector& other) const {
    return x * other.x + y * other.y + z * other.z;
}

void Vector::Cross(const Vector& a, const Vector& b) {
    double cx = a.y * b.z - a.z * b.y;
    double cy = a.z * b.x - a.x * b.z;
    double cz = a.x * b.y - a.y * b.x;
    x = cx;
    y = cy;
    z = cz;
}

Vector Vector::Midpoint(const Vector& other) const {
    return Vector((x + other.x) / 2.0, (y + other.y) / 2.0, (z + other.z) / 2.0);
}

void Vector::Normalize() {
    double length = Length();
    // A zero vector has no direction; an overflowing one would turn into NaN.
    if (length == 0.0 || !std::isfinite(length)) return;
    double inverse = 1.0 / length;
    x *= inverse;
    y *= inverse;
    z *= inverse;
    if (std::fabs(x) == 1.0) {
        y = 0.0;
        z = 0.0;
    } else if (std::fabs(y) == 1.0) {
        x = 0.0;
        z = 0.0;
    } else if (std::fabs(z) == 1.0) {
        x = 0.0;
        y = 0.0;
    }
}

void Vector::PlaneNormalFromPoints(const Vector* points) {
    if (!PRECONDITION(points != nullptr, "PlaneNormalFromPoints needs three points")) return;
    Vector u(points[0].x - points[1].x, points[0].y - points[1].y, points[0].z - points[1].z);
    Vector v(points[1].x - points[2].x, points[1].y - points[2].y, points[1].z - points[2].z);
    Vector n;
    n.Cross(u, v);
    constexpr double kResidue = 0.001;
    if (std::fabs(n.x) < kResidue) n.x = 0.0;
    if (std::fabs(n.y) < kResidue) n.y = 0.0;
    if (std::fabs(n.z) < kResidue) n.z = 0.0;
    n.Normalize();
    x = n.x;
    y = n.y;
    z = n.z;
}

void Vector::PolygonNormal(const Vector* points, int n) {
    if (n < 3 || points == nullptr) {
        x = y = z = 0.0;
        return;
    }
    if (n == 3) {
        PlaneNormalFromPoints(points);
        return;
    }
    Vector sum(0.0, 0.0, 0.0);
    Vector previous = UnitDifference(points[0], points[1]);
    for (int k = 1; k <= n; ++k) {
        Vector edge = UnitDifference(points[k % n], points[(k + 1) % n]);
        Vector corner;
        corner.Cross(previous, edge);
        sum.Add(corner);
        previous = edge;
    }
    if (sum.x == 0.0 && sum.y == 0.0 && sum.z == 0.0) {
        PlaneNormalFromPoints(points);
        return;
    }
    sum.Normalize();
    x = sum.x;
    y = sum.y;
    z = sum.z;
}

void Vector::RotateAboutAxisIndex(double angle, int axis) {
    double c = std::cos(angle);
    double s = std::sin(angle);
    double nx = x, ny = y, nz = z;
    switch (axis) {
        case 0:
            ny = c * y - s * z;
            nz = s * y + c * z;
            break;
        case 1:
            nx = c * x + s * z;
            nz = c * z - s * x;
            break;
        case 2:
            nx = c * x - s * y;
            ny = s * x + c * y;
            break;
        default:
            return;
    }
    Set(nx, ny, nz, 1.0);
}

void Vector::RotateAboutAxis(double angle, Vector k) {
    double c = std::cos(angle);
    double s = std::sin(angle);
    double t = 1.0 - c;
    double nx =
        (k.x * k.x * t + c) * x + (k.x * k.y * t + k.z * s) * y + (k.x * k.z * t - k.y * s) * z;
    double ny =
        (k.x * k.y * t - k.z * s) * x + (k.y * k.y * t + c) * y + (k.y * k.z * t + k.x * s) * z;
    double nz =
        (k.x * k.z * t + k.y * s) * x + (k.y * k.z * t - k.x * s) * y + (k.z * k.z * t + c) * z;
    Set(nx, ny, nz, 1.0);
}

bool Vector::IntersectLinePlane(const Vector& p1, const Vector& p2, const Vector& planePoint,
                                const Vector& planeNormal) {
    Vector d(p1.x - p2.x, p1.y - p2.y, p1.z - p2.z);
    double denominator = planeNormal.Dot(d);
    if (denominator == 0.0) return false;
    Vector toPlane(planePoint.x - p2.x, planePoint.y - p2.y, planePoint.z - p2.z);
    double t = planeNormal.Dot(toPlane) / denominator;
    Vector hit(p2.x + t * d.x, p2.y + t * d.y, p2.z + t * d.z);
    // A line all but parallel to the plane meets it beyond any representable point.
    if (!IsFinite(hit)) return false;
    Set(hit.x, hit.y, hit.z, 1.0);
    return true;
}

double Vector::ProjectOntoLine(const Vector& a, const Vector& b, Vector& out) const {
    Vector ab(b.x - a.x, b.y - a.y, b.z - a.z);
    Vector ap(x - a.x, y - a.y, z - a.z);
    double lengthSquared = ab.Dot(ab);
    double t = lengthSquared == 0.0 ? 0.0 : ap.Dot(ab) / lengthSquared;
    if (!std::isfinite(t)) t = 0.0;
    out.Set(a.x + t * ab.x, a.y + t * ab.y, a.z + t * ab.z, 1.0);
    return t;
}

double Vector::IntersectPlaneAlongDirection(const Vector& plane, const Vector& direction,
                                            bool* intersected) {
    if (intersected != nullptr) *intersected = false;
    double denominator = direction.Dot(plane);
    if (denominator == 0.0) return 0.0;
    double t = (Dot(plane) + plane.w) / denominator;
    Vector moved(x - t * direction.x, y - t * direction.y, z - t * direction.z);
    if (!std::isfinite(t) || !IsFinite(moved)) return 0.0;
    x = moved.x;
    y = moved.y;
    z = moved.z;
    if (intersected != nullptr) *intersected = true;
    return t;
}

void Vector::TriangleGradient(const Vector* positions, const Vector* coords) {
    if (!PRECONDITION(positions != nullptr && coords != nullptr,
                      "TriangleGradient needs three positions and coordinates"))
        return;
    double du1 = coords[1].x - coords[0].x;
    double dv1 = coords[1].y - coords[0].y;
    double du2 = coords[2].x - coords[0].x;
    double dv2 = coords[2].y - coords[0].y;
    double det = dv2 * du1 - du2 * dv1;
    constexpr float kSmallestDeterminant = 1e-5f;
    if (!(std::fabs(det) >= kSmallestDeterminant)) return;
    auto gradient = [&](double p0, double p1, double p2) {
        return ((p1 - p0) * dv2 - (p2 - p0) * dv1) / det;
    };
    double gx = gradient(positions[0].x, positions[1].x, positions[2].x);
    double gy = gradient(positions[0].y, positions[1].y, positions[2].y);
    double gz = gradient(positions[0].z, positions[1].z, positions[2].z);
    if (!std::isfinite(gx) || !std::isfinite(gy) || !std::isfinite(gz)) return;
    x = gx;
    y = gy;
    z = gz;
}

bool ReadFiniteDouble(const KeyDataList& list, const char* key, double& out) {
    double value;
    if (!list.GetDouble(key, value)) return false;
    if (!std::isfinite(value)) {
        TraceWrite("Geometry: a stored number beyond the double range is ignored");
        return false;
    }
    out = value;
    return true;
}

void Vector::WriteChild(KeyDataList& list, const char* name) const {
    KeyDataList* child = list.AddSublist(name);
    child->AddDouble("X", x);
    child->AddDouble("Y", y);
    child->AddDouble("Z", z);
}

void Vector::ReadChild(const KeyDataList& list, const char* name) {
    const KeyDataList* child = list.GetSublist(name);
    if (child->IsEmpty()) return;
    Read(*child);
}

void Vector::Read(const KeyDataList& list) {
    ReadFiniteDouble(list, "X", x);
    ReadFiniteDouble(list, "Y", y);
    ReadFiniteDouble(list, "Z", z);
}
