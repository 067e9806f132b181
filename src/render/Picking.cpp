#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "building/Terrain.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "geometry/Outline.h"
#include "model/PickableObject.h"
#include "model/RenderableObject.h"
#include "platform/GLContext.h"
#include "render/OpenGL.h"
#include "render/Window.h"

static_assert(sizeof(GLuint) == sizeof(uint32_t), "the selection buffer is handed to OpenGL");

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

// Makes the window's context current and records who did, when the main window's
// context is the one made current.
void ActivateFor(Window& window, BaseControl* control, uint8_t code) {
    window.Activate();
    if (control && control->mainWindow &&
        control->mainWindow->renderingContext == window.renderingContext)
        control->currentContextCode = code;
}

// One record of the selection buffer: name count, depth range, names.
struct HitRecord {
    int offset = 0;
    uint32_t count = 0;
    uint32_t minDepth = 0;
};

// The records of the buffer, as many of `hits` as lie wholly inside it.
std::vector<HitRecord> ReadHitRecords(const uint32_t* buffer, int size, int hits) {
    std::vector<HitRecord> records;
    int offset = 0;
    for (int i = 0; i < hits && offset + 3 <= size; ++i) {
        const uint32_t count = buffer[offset];
        if (count > static_cast<uint32_t>(size - offset - 3)) break;
        records.push_back({offset, count, buffer[offset + 1]});
        offset += 3 + static_cast<int>(count);
    }
    return records;
}

// The record with the smallest minimum depth, the later one among equals; -1 when there
// is none but `excluded`.
int NearestRecord(const std::vector<HitRecord>& records, int excluded) {
    int nearest = -1;
    for (int i = 0; i < static_cast<int>(records.size()); ++i) {
        if (i == excluded) continue;
        if (nearest < 0 || records[i].minDepth <= records[nearest].minDepth) nearest = i;
    }
    return nearest;
}

bool NameHasType(uint32_t name, uint64_t mask) {
    const PickableObject* object = PickableObject::FromPickName(name);
    return object && object->HasType(mask);
}

// Winding of the triangle a, b, c in the window's x-y plane (positive counter-clockwise).
double Cross2D(const Vector& a, const Vector& b) {
    return a.x * b.y - a.y * b.x;
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

int Window::ChooseHit(int hits) {
    const std::vector<HitRecord> records =
        ReadHitRecords(selectionBuffer, kSelectionBufferSize, hits);
    int chosen = NearestRecord(records, -1);
    if (chosen < 0) {
        selectionBuffer[0] = 0;
        return 0;
    }
    const HitRecord covering = records[chosen];
    const uint32_t* names = selectionBuffer + covering.offset + 3;
    if (covering.count >= 2 && NameHasType(names[covering.count - 2], TypeBit::kCovering)) {
        // A covering lies on a surface: what it covers is what the user points at.
        const int other = NearestRecord(records, chosen);
        if (other < 0) {
            selectionBuffer[0] = 0;
            return 0;
        }
        const HitRecord& record = records[other];
        const uint32_t* otherNames = selectionBuffer + record.offset + 3;
        bool replace = true;
        if (record.count >= 2 && NameHasType(otherNames[record.count - 1], TypeBit::kModelPart)) {
            const uint32_t owner = otherNames[record.count - 2];
            const uint32_t coveringName = names[covering.count - 2];
            if (owner == coveringName ||
                (covering.count >= 3 && owner == names[covering.count - 3]))
                replace = false;
        }
        if (replace) chosen = other;
    }
    const HitRecord& record = records[chosen];
    std::memmove(selectionBuffer, selectionBuffer + record.offset,
                 (record.count + 3) * sizeof(selectionBuffer[0]));
    return static_cast<int>(record.count);
}

PickableObject* Window::GetPickedObject(int i) const {
    if (i < 0 || static_cast<uint32_t>(i) >= selectionBuffer[0] || i + 3 >= kSelectionBufferSize)
        return nullptr;
    return PickableObject::FromPickName(selectionBuffer[3 + i]);
}

int Window::ProcessSelectionBuffer(int x, int y) {
    BaseControl* control = theControl();
    RenderLockScope hold(control);
    if (!deviceContext) {
        theTrace().Write("No DC");
        return 0;
    }
    ActivateFor(*this, control, 11);
    Window* rendered = control ? control->currentWindow : nullptr;
    if (control) control->currentWindow = this;
    theTrace().Write("Start of ProcessSelectionBuffer...");

    viewFlags.SetBoolean(3, true);
    glSelectBuffer(kSelectionBufferSize, selectionBuffer);
    glRenderMode(GL_SELECT);
    SetupProjection(x, y);
    InitGLState();
    SetupModelView();
    glInitNames();
    glPushName(0);
    RenderScene(x, y);
    if (control && control->terrain) control->terrain->Render();

    // A negative count means the buffer overflowed: nothing is picked.
    const int hits = std::max(glRenderMode(GL_RENDER), 0);
    const int count = hits > 0 ? ChooseHit(hits) : 0;
    if (hits == 0) selectionBuffer[0] = 0;

    viewFlags.SetBoolean(3, false);
    if (control) control->currentWindow = rendered;
    theTrace().Write("End of ProcessSelectionBuffer...");

    if (count <= 0) return count;
    if (!PickableObject::FromPickName(selectionBuffer[3])) {
        theTrace().Write("PSB - non pickable object chosen");
        return 0;
    }
    return count;
}

void Window::GetUnderCursor(int x, int y, Vector& out) {
    out.Set(0.0, 0.0, 0.0, 1.0);
    if (!deviceContext) return;
    BaseControl* control = theControl();
    RenderLockScope hold(control);
    if (control) control->SetRenderEnabled(true);
    ActivateFor(*this, control, 3);
    if (!PRECONDITION(platform::GLContext::IsAnyCurrent(), "Activate failed")) return;

    const int* viewport = viewportCache.get();
    const int row = viewport[3] - y - 1;
    if (x < 0 || x >= viewport[2] || row < 0 || row >= viewport[3]) return;
    GLfloat depth = 1.0f;
    glReadPixels(x, row, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    theTrace().Write("After read pixels...");
    if (depth < 1.0f) {
        double wx = 0.0, wy = 0.0, wz = 0.0;
        gluUnProject(x, row, depth, modelViewCache.get(), projectionCache.get(), viewport, &wx, &wy,
                     &wz);
        out.Set(wx, wy, wz, depth);
    }
    theTrace().Write("End of GetUnderCursor");
}

bool Window::HitTestWithPolygon(RenderableObject* object, const Vector* points, int count) {
    if (!PRECONDITION(object != nullptr, "Polygon test of no object")) return false;
    BaseControl* control = theControl();
    RenderLockScope hold(control);
    // The object tests itself against the window being drawn: this one, for the call.
    Window* rendered = control ? control->currentWindow : nullptr;
    if (control) control->currentWindow = this;
    if (points && count >= 3) {
        const Vector* installed = pickPolygonSource;
        const int installedCount = pickPolygonCount;
        SetPickPolygon(points, count);
        object->UpdateWindowVisibility();
        SetPickPolygon(installed, installedCount);
    }
    const bool outside = !object->IsVisibleInCurrentWindow();
    if (control) control->currentWindow = rendered;
    return outside;
}

void Window::ApplyLayerMask() {
    BaseControl* control = theControl();
    if (!control) return;
    const int layer = std::clamp(layerCounter, 0, 31);
    const uint32_t mask = (1u << layer) - 1u;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        if (auto* object = dynamic_cast<RenderableObject*>(node)) object->AndFlags(mask);
    }
    it.UnlockList();
    if (control->terrain) control->terrain->AndFlags(mask);
}

Vector Window::ProcessTextureClick(int x, int y, RenderableObject* object) {
    Vector miss(0.0, 0.0, 0.0);
    miss.w = 0.0;
    if (!PRECONDITION(object != nullptr, "Process texture click on null object")) return miss;
    constexpr int kFeedbackSize = 131072;
    constexpr int kVertexSize = 11;  // x, y, z, red, green, blue, alpha, s, t, r, q
    constexpr int kKeptValues = 100;

    BaseControl* control = theControl();
    RenderLockScope hold(control);
    ActivateFor(*this, control, 2);
    viewFlags.SetBoolean(10, true);
    std::vector<GLfloat> feedback(kFeedbackSize);
    glFeedbackBuffer(kFeedbackSize, GL_3D_COLOR_TEXTURE, feedback.data());
    glRenderMode(GL_FEEDBACK);
    SetupProjection(x, y);
    InitGLState();
    SetupModelView();
    glInitNames();
    glPushName(0);
    CacheMatrices();
    object->AndFlags(0);
    object->Render();
    theTrace().Write("End of feedback render");
    const int n = std::max(glRenderMode(GL_RENDER), 0);
    viewFlags.SetBoolean(10, false);

    const Vector click(x, viewportCache[3] - y, 0.0);
    // The nearest polygon whose first triangle holds the point.
    GLfloat kept[kKeptValues] = {};
    bool found = false;
    double bestDepth = 1.0;
    int i = 0;
    while (i < n) {
        const int token = static_cast<int>(feedback[i++]);
        int vertices = 0;
        switch (token) {
            case GL_POLYGON_TOKEN:
                vertices = i < n ? static_cast<int>(feedback[i++]) : 0;
                break;
            case GL_POINT_TOKEN:
            case GL_BITMAP_TOKEN:
            case GL_DRAW_PIXEL_TOKEN:
            case GL_COPY_PIXEL_TOKEN:
                i += kVertexSize;
                continue;
            case GL_LINE_TOKEN:
            case GL_LINE_RESET_TOKEN:
                i += 2 * kVertexSize;
                continue;
            case GL_PASS_THROUGH_TOKEN:
                ++i;
                continue;
            default:
                continue;
        }
        if (vertices <= 0 || vertices > (n - i) / kVertexSize) break;
        const GLfloat* polygon = feedback.data() + i;
        i += vertices * kVertexSize;
        if (vertices < 3) continue;
        const Vector triangle[3] = {
            Vector(polygon[0], polygon[1], 0.0),
            Vector(polygon[kVertexSize], polygon[kVertexSize + 1], 0.0),
            Vector(polygon[2 * kVertexSize], polygon[2 * kVertexSize + 1], 0.0)};
        for (int v = 0; v < vertices; ++v) {
            const double depth = polygon[v * kVertexSize + 2];
            if (depth >= bestDepth || !PointInPolygon(click, triangle, 3, true)) continue;
            bestDepth = depth;
            std::copy(polygon, polygon + std::min(kKeptValues, vertices * kVertexSize), kept);
            found = true;
        }
    }
    if (!found) return miss;

    auto position = [&](int v) {
        return Vector(kept[v * kVertexSize], kept[v * kVertexSize + 1], 0.0);
    };
    auto texture = [&](int v) {
        const GLfloat* t = kept + v * kVertexSize + 7;
        return Vector(t[0], t[1], t[2]);
    };
    const Vector p0 = position(0);
    Vector e = position(1);
    e.Subtract(p0);
    Vector side = position(2);
    side.Subtract(p0);
    Vector c = click;
    c.Subtract(p0);
    const Vector t0 = texture(0);
    Vector f = texture(1);
    f.Subtract(t0);
    Vector g = texture(2);
    g.Subtract(t0);
    Vector result = t0;
    const double lengthE = e.Length();
    const double lengthC = c.Length();
    if (lengthE > 0.0 && lengthC > 0.0) {
        double angle = std::acos(std::clamp(e.Dot(c) / (lengthE * lengthC), -1.0, 1.0));
        // Measured from the first edge toward the triangle's third corner, whichever way
        // the triangle winds on the screen; the texture turns the same way about its own
        // normal (RotateAboutAxis turns the other way round, hence the sign).
        if (Cross2D(e, c) * Cross2D(e, side) < 0.0) angle = -angle;
        f.Scale(lengthC / lengthE);
        Vector axis;
        axis.Cross(f, g);
        if (axis.Length() > 0.0) {
            axis.Normalize();
            f.RotateAboutAxis(-angle, axis);
        }
        result.Add(f);
    }
    result.w = 1.0;
    return result;
}
