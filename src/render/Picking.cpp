#include <GL/glu.h>

#include <algorithm>

#include "control/BaseControl.h"
#include "render/OpenGL.h"
#include "render/Window.h"

namespace {

// Window position of a world point through the window's cached matrices, y counted from
// the top and z the point's eye depth. `plain` projects without mirroring points that
// lie behind the eye.
Vector ProjectToWindow(const Window& window, const Vector& point, bool plain) {
    const int* viewport = window.viewportCache.get();
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    if (plain)
        gluProject(point.x, point.y, point.z, window.modelViewCache.get(),
                   window.projectionCache.get(), viewport, &x, &y, &z);
    else
        ProjectMirrored(point.x, point.y, point.z, window.modelViewCache.get(),
                        window.projectionCache.get(), viewport, &x, &y, &z);
    return Vector(x, viewport[3] - y, z);
}

// Crossing-number test: a ray from the point toward +x crosses an odd number of edges.
bool InsidePolygon(const Vector& point, const Vector* polygon, int count) {
    bool inside = false;
    for (int i = 0; i < count; ++i) {
        const Vector& from = polygon[i];
        const Vector& to = polygon[(i + 1) % count];
        const double ay = from.y - point.y;
        const double by = to.y - point.y;
        if ((ay > 0.0) == (by > 0.0)) continue;
        const double t = ay / (ay - by);
        const double ax = from.x - point.x;
        const double bx = to.x - point.x;
        if (ax + (bx - ax) * t > 0.0) inside = !inside;
    }
    return inside;
}

}  // namespace

void Window::SetPickPolygon(const Vector* points, int count) {
    pickPolygonSource = points;
    pickPolygonCount = points ? std::clamp(count, 0, kPickPolygonSize) : 0;
    if (!points || pickPolygonCount == 0 || !viewportCache) return;

    for (int i = 0; i < pickPolygonCount; ++i)
        pickPolygon[i] = ProjectToWindow(*this, points[i], false);
    Vector normal;
    normal.PolygonNormal(points, pickPolygonCount);
    Vector projected;
    projected.PolygonNormal(pickPolygon, pickPolygonCount);
    // The plane faces the viewer; every reflection layer turns it round.
    const bool evenLayer = layerCounter % 2 == 0;
    if ((projected.z >= 0.0) == evenLayer) normal.Negate();
    pickPlane.Set(normal.x, normal.y, normal.z, -normal.Dot(points[0]));
}

bool Window::HitTestPolygon(const Vector* points, int count, bool boxTest) {
    if (!pickPolygonSource || !viewportCache) return false;
    const int n = points ? std::clamp(count, 0, kPickPolygonSize) : 0;
    const BaseControl* control = theControl();
    const bool plain = control && control->globalState.GetBoolean(15);

    // The shape's window positions stay with the call: the render thread and the user
    // interface both test shapes.
    Vector projected[kPickPolygonSize];
    for (int i = 0; i < n; ++i) projected[i] = ProjectToWindow(*this, points[i], plain);

    bool reaches = false;
    for (int i = 0; i < n && !reaches; ++i)
        reaches = InsidePolygon(projected[i], pickPolygon, pickPolygonCount);
    if (!reaches) {
        if (!boxTest) return true;
        // The shape reaches round the polygon when, in each direction of both axes, one
        // of its points lies beyond one of the polygon's vertices.
        bool smallerY = false, largerY = false, smallerX = false, largerX = false;
        for (int v = 0; v < pickPolygonCount; ++v) {
            const Vector& vertex = pickPolygon[v];
            for (int i = 0; i < n; ++i) {
                const Vector& p = projected[i];
                smallerY = smallerY || p.y < vertex.y;
                largerY = largerY || p.y > vertex.y;
                smallerX = smallerX || p.x < vertex.x;
                largerX = largerX || p.x > vertex.x;
            }
        }
        if (!(smallerY && largerY && smallerX && largerX)) return true;
    }

    for (int i = 0; i < n; ++i)
        if (pickPlane.Dot(points[i]) < -pickPlane.w) return false;
    return true;
}
