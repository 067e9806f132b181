// A wall's faces, the mitres at its linked ends, the bevels where a free end runs into
// another wall, the crossing tests they rest on, and the wall's own outline edits.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "building/Wall.h"
#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "model/SceneView.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Mitres and bevels of walls meeting at a very small angle reach at most this many
// thicknesses from the joint.
constexpr double kLongestJoint = 50.0;
constexpr double kSnapReach = 25.0;

double Level(const Vector& a, const Vector& b) {
    return a.HorizontalDistance(b);
}

Vector LevelUnit(Vector v) {
    v.y = 0.0;
    v.Normalize();
    return v;
}

bool IsZero(const Vector& v) {
    return v.x == 0.0 && v.y == 0.0 && v.z == 0.0;
}

double SafeAcos(double cosine) {
    return std::acos(std::clamp(cosine, -1.0, 1.0));
}

// Runs `f` on every wall of the scene but `self`, under the render lock and the list's
// lock; `f` answers false to stop.
template <typename F>
void ForEachOtherWall(const Wall* self, F&& f) {
    BaseControl* control = theControl();
    if (!control) return;
    control->LockRender();
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* wall = dynamic_cast<Wall*>(node);
        if (!wall || wall == self || !wall->HasType(TypeBit::kWall)) continue;
        if (!f(*wall)) break;
    }
    it.UnlockList();
    control->UnlockRender();
}

}  // namespace

Vector Wall::GetDirection() const {
    if (!HasWallShape()) return Vector(0.0, 0.0, 0.0);
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    Vector d = nodes[wallEndIndex].position;
    d.Subtract(nodes[0].position);
    d.y = 0.0;
    d.w = 1.0;
    return d;
}

// ---- Faces --------------------------------------------------------------------------

void Wall::RecomputeBounds() {
    const int count = outline.GetPrimaryCount();
    if (count < 3) return;
    if (facePointCount != count || !facePointsA || !facePointsB) ReallocatePointArrays();
    if (!facePointsA || !facePointsB) return;
    const double h = thickness * 0.5;
    const Vector n = outline.normal;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < count; ++i) {
        const Vector& p = nodes[i].position;
        facePointsA[i] = Vector(p.x + h * n.x, p.y, p.z + h * n.z);
        facePointsB[i] = Vector(p.x - h * n.x, p.y, p.z - h * n.z);
    }
    if (HasWallShape()) {
        JoinLinkedEnds();
        auto applyBevels = [&](const Vector& inside, const Vector& outside, int bottom, int top) {
            if (inside.y == -1.0 || outside.y == -1.0) return;
            for (int i : {bottom, top}) {
                facePointsA[i].x = inside.x;
                facePointsA[i].z = inside.z;
                facePointsB[i].x = outside.x;
                facePointsB[i].z = outside.z;
            }
        };
        applyBevels(insideBeginBevel, outsideBeginBevel, wallEndIndex, wallEndIndex + 1);
        applyBevels(insideEndBevel, outsideEndBevel, 0, count - 1);
    }
    ComputeBounds();
    area = GetArea();
    BuildCullPolygons();
    FlagOverlappingLights();
    MarkDirty();
    if (!HasWallShape()) {
        length = 0.0;
    } else if (linkedBegin || linkedEnd) {
        length = std::max(Level(facePointsA[0], facePointsA[wallEndIndex]),
                          Level(facePointsB[0], facePointsB[wallEndIndex]));
    } else {
        length = Level(facePointsA[0], facePointsA[wallEndIndex]);
    }
}

void Wall::JoinLinkedEnds() {
    JoinLinkedEnd(linkedBegin);
    JoinLinkedEnd(linkedEnd);
}

void Wall::JoinLinkedEnd(Wall* neighbour) {
    if (!neighbour || !HasWallShape() || !neighbour->HasWallShape()) return;
    const bool atBegin = neighbour == linkedBegin;
    const int count = outline.GetPrimaryCount();
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector& j = nodes[atBegin ? 0 : wallEndIndex].position;
    Vector u = LevelUnit(GetDirection());
    if (!atBegin) u.Negate();
    Vector v = LevelUnit(neighbour->GetDirection());
    if (neighbour->linkedBegin != this) v.Negate();
    if (IsZero(u) || IsZero(v)) return;
    const double theta = SafeAcos(u.Dot(v));
    const double h = theta / 2.0;
    Vector b(u.x + v.x, 0.0, u.z + v.z);
    if (b.Length() >= 0.001)
        b.Normalize();
    else
        b = Vector(u.z, 0.0, -u.x);
    if (h == 0.0 || std::fabs(std::fabs(h) - kPi / 2.0) < 0.001) return;
    double d = std::fabs(h) >= kPi / 2.0 ? thickness / 2.0 : thickness / (2.0 * std::sin(h));
    const double longest = kLongestJoint * std::fabs(thickness);
    d = std::clamp(d, -longest, longest);
    const Vector p(j.x + d * b.x, 0.0, j.z + d * b.z);
    const Vector q(j.x - d * b.x, 0.0, j.z - d * b.z);
    const Vector n = outline.normal;
    const bool pOnA = std::fabs(p.Dot(n) - facePointsA[0].Dot(n)) <= 0.01;
    Vector* faceP = pOnA ? facePointsA.get() : facePointsB.get();
    Vector* faceQ = pOnA ? facePointsB.get() : facePointsA.get();
    const int i0 = atBegin ? 0 : wallEndIndex;
    const int i1 = atBegin ? count - 1 : wallEndIndex + 1;
    const int bottomNeighbour = atBegin ? 1 : wallEndIndex - 1;
    const int topNeighbour = atBegin ? count - 2 : wallEndIndex + 2;
    // The face that takes p keeps the slope of its bottom and top edges.
    auto slopedY = [&](int adjacent, int corner) {
        const double ya = nodes[adjacent].position.y;
        const double yc = nodes[corner].position.y;
        const double dp = Level(faceP[adjacent], p);
        const double dq = Level(faceQ[adjacent], q);
        if (dq == 0.0) return yc;
        const double y = ya - (ya - yc) * dp / dq;
        return std::isfinite(y) ? y : yc;
    };
    const double bottomY = slopedY(bottomNeighbour, i0);
    const double topY = slopedY(topNeighbour % count, i1);
    for (int i : {i0, i1}) {
        faceP[i].x = p.x;
        faceP[i].z = p.z;
        faceQ[i].x = q.x;
        faceQ[i].z = q.z;
    }
    faceP[i0].y = bottomY;
    faceP[i1].y = topY;
}

// ---- Crossings ----------------------------------------------------------------------

double Wall::CrossingParameter(const Wall& other) const {
    if (!HasWallShape() || !other.HasWallShape()) return kNoCrossing;
    const OutlinePoint* a = outline.GetPrimaryPoints();
    const OutlinePoint* b = other.outline.GetPrimaryPoints();
    const Vector p0(a[0].position.x, 0.0, a[0].position.z);
    const Vector p1(a[wallEndIndex].position.x, 0.0, a[wallEndIndex].position.z);
    const Vector q0(b[0].position.x, 0.0, b[0].position.z);
    const Vector q1(b[other.wallEndIndex].position.x, 0.0, b[other.wallEndIndex].position.z);
    if (p0.Distance(p1) == 0.0 || q0.Distance(q1) == 0.0) return kNoCrossing;
    const BoundingBox& mine = box;
    const BoundingBox& theirs = other.box;
    if (!(theirs.min.y < mine.max.y && mine.min.y < theirs.max.y)) return kNoCrossing;
    const double dPx = p1.x - p0.x, dPz = p1.z - p0.z;
    const double dQx = q1.x - q0.x, dQz = q1.z - q0.z;
    const double wx = q0.x - p0.x, wz = q0.z - p0.z;
    const double c = dPx * dQz - dPz * dQx;
    if (c == 0.0) return kNoCrossing;
    const double t = (wx * dPz - wz * dPx) / c;
    return std::isfinite(t) ? t : kNoCrossing;
}

bool Wall::CrossesWithin(const Wall& other, double& t) const {
    t = CrossingParameter(other);
    const double s = other.CrossingParameter(*this);
    return s >= 0.0 && s <= 1.0 && t > -0.01 && t < 1.01;
}

int Wall::FindCrossingWall(bool interior) const {
    int answer = 0;
    ForEachOtherWall(this, [&](const Wall& wall) {
        if (&wall == linkedBegin || &wall == linkedEnd) return true;
        double t = 0.0;
        if (!wall.CrossesWithin(*this, t)) return true;
        if (!interior) {
            answer = t <= 0.99 ? 1 : 2;
            return false;
        }
        if (t > 0.01 && t < 0.99) {
            answer = 1;
            return false;
        }
        return true;
    });
    return answer;
}

bool Wall::FindAbuttingWall(Wall*& found, double& value, bool end) const {
    found = nullptr;
    value = end ? 1.01 : -0.01;
    ForEachOtherWall(this, [&](Wall& wall) {
        double t = 0.0;
        if (!wall.CrossesWithin(*this, t)) return true;
        if (end && t < value && t > 0.49) {
            found = &wall;
            value = t;
        } else if (!end && 1.0 - t > value && t < 0.51) {
            found = &wall;
            value = 1.0 - t;
        }
        return true;
    });
    return found != nullptr;
}

// ---- Bevels -------------------------------------------------------------------------

void Wall::ComputeBevels() {
    if (linkedBegin) {
        insideEndBevel = outsideEndBevel = Vector(0.0, -1.0, 0.0);
    } else {
        ComputeEndBevel(false, outsideEndBevel, insideEndBevel);
    }
    if (linkedEnd) {
        insideBeginBevel = outsideBeginBevel = Vector(0.0, -1.0, 0.0);
    } else {
        ComputeEndBevel(true, insideBeginBevel, outsideBeginBevel);
    }
}

void Wall::ComputeEndBevel(bool end, Vector& first, Vector& second) {
    first = second = Vector(0.0, -1.0, 0.0);
    if (!HasWallShape()) return;
    Wall* other = nullptr;
    double value = 0.0;
    if (!FindAbuttingWall(other, value, end)) return;
    const double s = CrossingParameter(*other);
    if (s == kNoCrossing || std::fabs(s) < 0.001 || std::fabs(std::fabs(s) - 1.0) < 0.001) return;
    Vector dW = GetDirection();
    Vector dX = other->GetDirection();
    if (IsZero(dW) || IsZero(dX)) return;
    const double k = dX.x * dW.z - dX.z * dW.x;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    Vector c;
    if (end) {
        if (k > 0.0) dX.Negate();
        c = nodes[0].position;
    } else {
        if (k < 0.0) dX.Negate();
        dW.Negate();
        c = nodes[wallEndIndex].position;
    }
    c.Offset(dW.x * value, 0.0, dW.z * value);
    // The free end goes onto the other wall's centre line.
    const int bottom = end ? wallEndIndex : 0;
    const int top = end ? wallEndIndex + 1 : outline.GetPrimaryCount() - 1;
    for (int i : {bottom, top}) {
        nodes[i].position.x = c.x;
        nodes[i].position.z = c.z;
    }
    outline.Refresh();
    (end ? endCrossing : beginCrossing) = c;
    dW = LevelUnit(dW);
    dX = LevelUnit(dX);
    const double sine = std::sin(SafeAcos(dW.Dot(dX)));
    if (std::fabs(sine) < 1.0 / kLongestJoint) return;
    const double reach = 1.0 / (2.0 * sine);
    const Vector a(dX.x * thickness * reach, 0.0, dX.z * thickness * reach);
    const Vector b(dW.x * other->thickness * reach, 0.0, dW.z * other->thickness * reach);
    first = Vector(c.x - b.x + a.x, c.y, c.z - b.z + a.z);
    second = Vector(c.x - b.x - a.x, c.y, c.z - b.z - a.z);
}

// ---- Selection ----------------------------------------------------------------------

namespace {

constexpr double kHandleSize = 5.0;
// Above the base, where the end handles stand in the blueprint view.
constexpr double kEndHandleLift = 108.0;

bool EveryNodeShown() {
    BaseControl* control = theControl();
    SceneView* active = control ? control->GetActiveView() : nullptr;
    return active && active->GetRenderState().GetBoolean(4);
}

void HandleAt(BaseControl& control, const Vector& at) {
    glPushMatrix();
    glTranslated(at.x, at.y, at.z);
    control.DrawSelectionSphere(kHandleSize);
    glPopMatrix();
}

}  // namespace

bool Wall::ShowsSelection() const {
    return selected != 0 || EveryNodeShown();
}

void Wall::RenderSelection() {
    BaseControl* control = theControl();
    if (!control || !HasWallShape() || !facePointsA || !facePointsB) return;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    if (EveryNodeShown()) {
        glPushAttrib(GL_CURRENT_BIT);
        glColor4d(1.0, 0.0, 0.0, 0.5);
        for (int i = wallEndIndex + 1; i < outline.GetPrimaryCount(); ++i) {
            glPushName(nodes[i].GetPickName());
            HandleAt(*control, nodes[i].position);
            glPopName();
        }
        glPopAttrib();
        return;
    }
    SceneView* view = control->GetCurrentView();
    if (!IsLocked() && view && view->GetRenderState().GetInteger(0) == 1) {
        glPushAttrib(GL_CURRENT_BIT);
        glColor4d(0.0, 0.0, 1.0, 0.5);
        for (int end : {0, wallEndIndex}) {
            if ((end == 0 && linkedBegin) || (end != 0 && linkedEnd)) continue;
            glPushName(nodes[end].GetPickName());
            for (const Vector* face : {facePointsA.get(), facePointsB.get()})
                HandleAt(*control, Vector(face[end].x, face[end].y + kEndHandleLift, face[end].z));
            glPopName();
        }
        glPopAttrib();
        return;
    }
    BaseSlab::RenderSelection();
}

void Wall::RenderHandles(int i) {
    BaseControl* control = theControl();
    if (!control || !HasWallShape() || i < 0 || i >= outline.GetPrimaryCount()) return;
    OutlinePoint& node = outline.GetPrimaryPoints()[i];
    if (EveryNodeShown()) {
        glColor4d(1.0, 0.0, 0.0, 0.5);
        glPushName(node.GetPickName());
        HandleAt(*control, node.position);
        glPopName();
        return;
    }
    if ((i == outline.GetPrimaryCount() - 1 && linkedBegin) || (i == wallEndIndex && linkedEnd))
        return;
    BaseSlab::RenderHandles(i);
}

// ---- Outline edits ------------------------------------------------------------------

void Wall::OnNodeInserted(int index) {
    if (index > 0 && index <= wallEndIndex) ++wallEndIndex;
}

void Wall::OnNodeRemoved(int index) {
    if (index < wallEndIndex) --wallEndIndex;
}

bool Wall::DeleteOutlinePoint(OutlinePoint* node) {
    const int index = outline.IndexOfPrimary(node);
    if (index == 0 || index == wallEndIndex) return false;
    return BaseSlab::DeleteOutlinePoint(node);
}

void Wall::DragOutlinePoint(const ViewProjection& view, int x, int y, PickableObject* grabbed,
                            bool drawing, bool snap) {
    if (!HasWallShape() || IsLocked()) return;
    const int count = outline.GetPrimaryCount();
    auto* node = dynamic_cast<OutlinePoint*>(grabbed);
    const int index = outline.IndexOfPrimary(node);
    if ((index == 0 || index == count - 1) && linkedBegin && linkedBegin->IsLocked()) return;
    if ((index == wallEndIndex || index == wallEndIndex + 1) && linkedEnd && linkedEnd->IsLocked())
        return;
    std::vector<Vector> saved;
    for (int i = 0; i < count; ++i) saved.push_back(outline.GetPrimaryPoints()[i].position);
    if (!drawing) {
        BaseSlab::DragOutlinePoint(view, x, y, grabbed, drawing, snap);
        OutlinePoint* nodes = outline.GetPrimaryPoints();
        const bool endNode =
            index == 0 || index == count - 1 || index == wallEndIndex || index == wallEndIndex + 1;
        if (snap && count > 4 && index >= 0 && !endNode) {
            // Onto the middle of the wall, at the node's height.
            Vector middle = nodes[0].position.Midpoint(nodes[wallEndIndex].position);
            middle.y = nodes[index].position.y;
            if (nodes[index].position.Distance(middle) < kSnapReach) {
                nodes[index].position.Set(middle);
                outline.Refresh();
            }
        }
        if (grabbed && grabbed->HasType(TypeBit::kOutlineNode) && index >= 0)
            UpdateFromPoints(&outline.GetPrimaryPoints()[index]);
        BeginDragOf(grabbed);
    } else {
        OutlinePoint* nodes = outline.GetPrimaryPoints();
        const Vector& start = nodes[0].position;
        Vector point;
        if (!outline.ScreenToPlaneThrough(view, x, y, Vector(0.0, drawingHeight, 0.0),
                                          Vector(0.0, 1.0, 0.0), point))
            return;
        point.y = start.y;
        if (snap) {
            const double dx = point.x - start.x, dz = point.z - start.z;
            const double step = kPi / 12.0;
            const double angle = std::floor(std::atan2(dz, dx) / step + 0.5) * step;
            const double distance = std::floor(std::hypot(dx, dz));
            point.x = start.x + std::cos(angle) * distance;
            point.z = start.z + std::sin(angle) * distance;
        }
        nodes[wallEndIndex].position = Vector(point.x, start.y, point.z);
        nodes[wallEndIndex + 1].position.x = point.x;
        nodes[wallEndIndex + 1].position.z = point.z;
        outline.Refresh();
        outline.ComputeNormal();
        ComputeBevels();
        RecomputeBounds();
        ShowLength();
    }
    UpdateLinkedPoints();
    if (!ChainIsValid()) {
        OutlinePoint* nodes = outline.GetPrimaryPoints();
        for (int i = 0; i < count && i < outline.GetPrimaryCount(); ++i)
            nodes[i].position = saved[i];
        outline.Refresh();
        outline.ComputeNormal();
        UpdateLinkedPoints();
    }
}

OutlinePoint* Wall::DragEdge(const ViewProjection& view, int x, int y, int previousX, int previousY,
                             OutlinePoint* node, bool free) {
    if (!HasWallShape()) return node;
    const int index = outline.IndexOfPrimary(node);
    if (index == 0 && linkedBegin && linkedBegin->IsLocked()) return node;
    if (index == wallEndIndex + 1 && linkedEnd && linkedEnd->IsLocked()) return node;
    OutlinePoint* result = BaseSlab::DragEdge(view, x, y, previousX, previousY, node, free);
    const int resultIndex = outline.IndexOfPrimary(result);
    UpdateLinkedPoints();
    if (outline.GetPrimaryCount() == 4 && HasWallShape() &&
        (BeginHeight() < kMinimumHeight || EndHeight() < kMinimumHeight)) {
        // The wall is held an inch high at both ends.
        OutlinePoint* nodes = outline.GetPrimaryPoints();
        if (index == 0 || index == 1) {
            nodes[0].position.y = nodes[3].position.y - kMinimumHeight;
            nodes[1].position.y = nodes[2].position.y - kMinimumHeight;
        } else {
            nodes[3].position.y = nodes[0].position.y + kMinimumHeight;
            nodes[2].position.y = nodes[1].position.y + kMinimumHeight;
        }
        outline.Refresh();
        UpdateLinkedPoints();
    } else if (!ChainIsValid()) {
        OutlinePoint* nodes = outline.GetPrimaryPoints();
        if (index >= 0 && index < outline.GetPrimaryCount()) {
            BaseSlab::DragEdge(view, previousX, previousY, x, y, &nodes[index], free);
            UpdateLinkedPoints();
        }
    }
    return resultIndex >= 0 ? &outline.GetPrimaryPoints()[resultIndex] : node;
}
