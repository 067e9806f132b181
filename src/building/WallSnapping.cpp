// Snapping of a wall's moved nodes to what stands around it (the top corners of the
// walls below, the corners of floors, whole units, parallel walls), and the floor that
// a closed loop of linked walls gets.
#include <algorithm>
#include <cmath>
#include <vector>

#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "slabs/Floor.h"

namespace {

// The farthest a node moves to a snap target.
constexpr double kSnapRadius = 25.0;
// Heights that count as equal.
constexpr double kLevelMatch = 0.01;
// A floor's top lies this far above the bottom of the walls standing on it.
constexpr double kFloorOffset = 1.0;
// How far off the line of the opposite end a candidate may lie.
constexpr double kCollinearity = 0.01;
// Walls with 1 - |n1 . n2| up to this are parallel.
constexpr double kParallel = 0.01;
// Angle (radians) within which a point lies along the wall.
constexpr double kAlongWall = 0.001;

// The objects of the scene (under the list's lock) that `f` takes; `f` answers false to
// stop the walk.
template <typename F>
void ForEachSceneObject(F&& f) {
    BaseControl* control = theControl();
    if (!control) return;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next())
        if (!f(node)) break;
    it.UnlockList();
}

}  // namespace

bool Wall::IsAlongWall(const Vector& point) const {
    if (!HasWallShape()) return false;
    const Vector& start = outline.GetPrimaryPoints()[0].position;
    Vector v(point.x - start.x, point.y - start.y, point.z - start.z);
    Vector d = GetDirection();
    const double lengths = v.Length() * d.Length();
    if (lengths == 0.0) return false;
    const double cosine = std::clamp(v.Dot(d) / lengths, -1.0, 1.0);
    return std::acos(cosine) < kAlongWall;
}

void Wall::UpdateFromPoints(OutlinePoint* node) {
    const int index = outline.IndexOfPrimary(node);
    if (index < 0 || !HasWallShape()) return;
    const bool restricted = (index == 0 && linkedEnd) || (index == wallEndIndex && linkedBegin);
    SnapWallPoint(node, restricted);
}

void Wall::SnapWallPoint(OutlinePoint* node, bool restricted) {
    const int index = outline.IndexOfPrimary(node);
    if (index < 0 || !HasWallShape()) return;
    if (index != 0 && index != wallEndIndex) {
        // Upper nodes and top corners: the ridge of a roof group above, else a node of a
        // parallel wall.
        SnapToParallelWall(node);
        return;
    }

    const Vector p = node->position;
    double best = kSnapRadius;
    bool found = false;
    Vector candidate = p;

    // The top corners of the walls below.
    ForEachSceneObject([&](LinkedListObject* object) {
        auto* wall = dynamic_cast<Wall*>(object);
        if (!wall || wall == this || !wall->HasWallShape()) return true;
        const OutlinePoint* nodes = wall->outline.GetPrimaryPoints();
        for (int i = wall->wallEndIndex + 1; i < wall->outline.GetPrimaryCount(); ++i) {
            const Vector& q = nodes[i].position;
            if (std::fabs(q.y - p.y) > kLevelMatch) continue;
            const double d = q.Distance(p);
            if (d < best && (!restricted || IsAlongWall(q))) {
                candidate = q;
                best = d;
                found = true;
            }
        }
        return true;
    });

    // The corners of the floors whose top lies just above the node.
    if (!found) {
        ForEachSceneObject([&](LinkedListObject* object) {
            auto* floor = dynamic_cast<BaseSlab*>(object);
            if (!floor || !floor->HasType(TypeBit::kFloor)) return true;
            const double top = floor->GetBoundingBox().max.y;
            if (std::fabs(top - kFloorOffset - p.y) > kLevelMatch) return true;
            const Outline& shape = floor->GetOutline();
            const OutlinePoint* nodes = shape.GetPrimaryPoints();
            for (int i = 0; i < shape.GetPrimaryCount(); ++i) {
                const Vector q(nodes[i].position.x, top - kFloorOffset, nodes[i].position.z);
                const double d = q.Distance(p);
                if (d < best && (!restricted || IsAlongWall(q))) {
                    candidate = Vector(q.x, p.y, q.z);
                    best = d;
                    found = true;
                }
            }
            return true;
        });
    }

    // Whole units.
    if (!found && !restricted) {
        candidate = Vector(std::floor(p.x), p.y, std::floor(p.z));
        found = true;
    }

    // With the opposite end linked, the node stays on the wall's own line.
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const bool otherEndLinked = (index == 0 && linkedEnd) || (index == wallEndIndex && linkedBegin);
    if (found && otherEndLinked) {
        const Vector& a = nodes[index == 0 ? wallEndIndex : 0].position;
        const double cross =
            (candidate.z - a.z) * (p.x - a.x) - (candidate.x - a.x) * (p.z - a.z);
        if (std::fabs(cross) > kCollinearity) return;
    }
    if (!found) candidate = p;

    const int top = index == 0 ? outline.GetPrimaryCount() - 1 : wallEndIndex + 1;
    candidate.w = node->position.w;
    nodes[index].position = candidate;
    nodes[top].position.x = candidate.x;
    nodes[top].position.z = candidate.z;
    outline.Refresh();
    outline.ComputeNormal();
    RecomputeBounds();
}

bool Wall::SnapToParallelWall(OutlinePoint* node) {
    const int index = outline.IndexOfPrimary(node);
    if (index < 0 || !HasWallShape()) return false;
    const int count = outline.GetPrimaryCount();
    const bool beginTop = index == count - 1;
    const bool endTop = index == wallEndIndex + 1;
    const bool corner = beginTop || endTop;
    Vector n = outline.normal;
    n.Normalize();
    if (n.Length() == 0.0) return false;

    const Vector p = node->position;
    const Vector& base = outline.GetPrimaryPoints()[0].position;
    double best = kSnapRadius;
    Vector target = p;
    ForEachSceneObject([&](LinkedListObject* object) {
        auto* wall = dynamic_cast<Wall*>(object);
        if (!wall || wall == this || !wall->HasWallShape()) return true;
        const BoundingBox& box = wall->GetBoundingBox();
        if (box.min.y > p.y + kSnapRadius || box.max.y < p.y - kSnapRadius) return true;
        Vector m = wall->outline.normal;
        m.Normalize();
        if (1.0 - std::fabs(n.Dot(m)) > kParallel) return true;
        // The other wall's plane lies `offset` along this wall's normal.
        const Vector& theirs = wall->outline.GetPrimaryPoints()[0].position;
        const double offset = n.Dot(Vector(theirs.x - base.x, theirs.y - base.y, theirs.z - base.z));
        const Vector projected(p.x + n.x * offset, p.y + n.y * offset, p.z + n.z * offset);
        const OutlinePoint* nodes = wall->outline.GetPrimaryPoints();
        for (int i = 0; i < wall->outline.GetPrimaryCount(); ++i) {
            const Vector& q = nodes[i].position;
            const double rise = std::fabs(q.y - p.y);
            if (rise >= best) continue;
            if (!corner) {
                const double d = q.Distance(projected);
                if (d < best) {
                    target = Vector(q.x - n.x * offset, q.y - n.y * offset, q.z - n.z * offset);
                    best = d;
                }
            } else if (std::fabs(q.x - projected.x) <= kLevelMatch &&
                       std::fabs(q.z - projected.z) <= kLevelMatch) {
                target = Vector(q.x - n.x * offset, p.y, q.z - n.z * offset);
                best = rise;
            }
        }
        return true;
    });
    if (best >= kSnapRadius) return false;

    target.w = p.w;
    outline.GetPrimaryPoints()[index].position = target;
    outline.Refresh();
    outline.ComputeNormal();
    RecomputeBounds();
    if ((beginTop && linkedBegin) || (endTop && linkedEnd)) UpdateLinkedPoints();
    return true;
}

bool Wall::IsInClosedLoop() const {
    if (!linkedBegin || !linkedEnd || linkedBegin == linkedEnd) return false;
    // A loop holds no more walls than the scene; a walk longer than that goes round a
    // ring that does not come back here.
    BaseControl* control = theControl();
    const uint32_t limit = control ? control->scene.GetCount() : 0;
    const Wall* previous = this;
    const Wall* current = linkedBegin;
    for (uint32_t steps = 0; current && steps <= limit; ++steps) {
        if (current == this) return true;
        const Wall* next =
            current->linkedBegin != previous ? current->linkedBegin : current->linkedEnd;
        previous = current;
        current = next;
    }
    return false;
}

bool Wall::AddFloorIfClosed() {
    BaseControl* control = theControl();
    if (!control || !control->globalState.GetBoolean(5)) return false;
    if (!IsInClosedLoop()) return false;
    auto* floor = new Floor(GetOutline().GetPrimaryPoints()[0].position, true);
    if (!floor->RebuildFromOutline(this) || floor->OverlapsFloor()) {
        // A loop that already has its floor, or whose walls make no outline, gets none.
        TraceWrite("Closed loop of walls: no floor added");
        delete floor;
        return false;
    }
    RenderLockScope hold(*control);
    control->scene.Append(floor);
    // Recorded as new inside the stroke's group: undoing the stroke takes it away too.
    floor->BeginTransaction(true);
    floor->EndUndoStep();
    return true;
}
