#include "geometry/BoundingBox.h"

#include <GL/gl.h>

#include <initializer_list>

#include "foundation/Trace.h"
#include "geometry/Outline.h"

void ExtendMinMax(Vector& min, Vector& max, const Vector& p) {
    if (p.x < min.x) min.x = p.x;
    if (p.y < min.y) min.y = p.y;
    if (p.z < min.z) min.z = p.z;
    if (p.x > max.x) max.x = p.x;
    if (p.y > max.y) max.y = p.y;
    if (p.z > max.z) max.z = p.z;
}

BoundingBox::BoundingBox() {
    SetEmpty();
}

BoundingBox::~BoundingBox() = default;

void BoundingBox::SetEmpty() {
    min.SetMax();
    max.SetMin();
}

bool BoundingBox::IsEmpty() const {
    return min.x > max.x || min.y > max.y || min.z > max.z;
}

void BoundingBox::SetFromPoints(const Vector* source, int n) {
    if (n < 1 || !PRECONDITION(source != nullptr, "BoundingBox::SetFromPoints without points")) {
        SetEmpty();
        return;
    }
    min.Set(source[0]);
    max.Set(source[0]);
    ExtendByPoints(source + 1, n - 1);
}

void BoundingBox::ExtendByPoints(const Vector* source, int n) {
    if (n < 1 || !PRECONDITION(source != nullptr, "BoundingBox::ExtendByPoints without points"))
        return;
    for (int i = 0; i < n; ++i) ExtendMinMax(min, max, source[i]);
}

void BoundingBox::Translate(double dx, double dy, double dz) {
    min.Offset(dx, dy, dz);
    max.Offset(dx, dy, dz);
}

Vector* BoundingBox::ComputeCorners() {
    corners[0] = Vector(min.x, min.y, min.z);
    corners[1] = Vector(max.x, max.y, max.z);
    corners[2] = Vector(min.x, min.y, max.z);
    corners[3] = Vector(min.x, max.y, min.z);
    corners[4] = Vector(min.x, max.y, max.z);
    corners[5] = Vector(max.x, min.y, min.z);
    corners[6] = Vector(max.x, min.y, max.z);
    corners[7] = Vector(max.x, max.y, min.z);
    return corners;
}

void BoundingBox::Draw() const {
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4d(1.0, 0.0, 0.0, 0.5);
    const double rectangle[4][2] = {{min.x, min.y}, {max.x, min.y}, {max.x, max.y}, {min.x, max.y}};
    for (double z : {min.z, max.z}) {
        glBegin(GL_LINE_LOOP);
        for (const auto& corner : rectangle) glVertex3d(corner[0], corner[1], z);
        glEnd();
    }
    glBegin(GL_LINES);
    for (const auto& corner : rectangle) {
        glVertex3d(corner[0], corner[1], min.z);
        glVertex3d(corner[0], corner[1], max.z);
    }
    glEnd();
    glPopAttrib();
}

void BoundingBox::SetFromOutline(const Outline& outline) {
    const std::vector<Vector> positions = outline.GetPositions();
    SetFromPoints(positions.data(), static_cast<int>(positions.size()));
}
