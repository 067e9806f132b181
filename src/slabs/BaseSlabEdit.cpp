// Editing a slab's outline node by node and edge by edge, and turning the slab.
#include <algorithm>
#include <cmath>
#include <vector>

#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "slabs/BaseSlab.h"
#include "slabs/SlabChild.h"

namespace {

// Corners of a rectangle meet within this cosine; its fourth corner lies within this
// distance of where the other three put it.
constexpr double kSquareCosine = 0.01;
constexpr double kCornerTolerance = 0.01;

Vector Between(const Vector& from, const Vector& to) {
    return Vector(to.x - from.x, to.y - from.y, to.z - from.z);
}

Vector UnitBetween(const Vector& from, const Vector& to) {
    Vector d = Between(from, to);
    d.Normalize();
    return d;
}

Vector Along(const Vector& from, const Vector& direction, double amount) {
    return Vector(from.x + direction.x * amount, from.y + direction.y * amount,
                  from.z + direction.z * amount);
}

}  // namespace

bool BaseSlab::RemoveNodeAt(int index) {
    if (index < 0 || index >= outline.GetPrimaryCount()) return false;
    if (!outline.DeletePoint(&outline.GetPrimaryPoints()[index])) return false;
    OnNodeRemoved(index);
    return true;
}

OutlinePoint* BaseSlab::InsertPointAt(const Vector& point) {
    if (IsLocked()) return nullptr;
    OutlinePoint* node = outline.InsertPointOnNearestEdge(point, false);
    if (!node) return nullptr;
    const int index = outline.IndexOfPrimary(node);
    OnNodeInserted(index);
    ReallocatePointArrays();
    RecomputeBounds();
    if (!IsPositionValid()) {
        RemoveNodeAt(index);
        ReallocatePointArrays();
        RecomputeBounds();
        return nullptr;
    }
    return &outline.GetPrimaryPoints()[index];
}

OutlinePoint* BaseSlab::InsertOutlineScreenPoint(const ViewProjection& view, int x, int y) {
    OutlinePoint* node = outline.InsertScreenPoint(view, x, y, false);
    if (!node) return nullptr;
    const int index = outline.IndexOfPrimary(node);
    OnNodeInserted(index);
    return &outline.GetPrimaryPoints()[index];
}

OutlinePoint* BaseSlab::InsertScreenPoint(const ViewProjection& view, int x, int y) {
    if (IsLocked()) return nullptr;
    OutlinePoint* node = InsertOutlineScreenPoint(view, x, y);
    MarkDirty();
    if (!node) return nullptr;
    const int index = outline.IndexOfPrimary(node);
    const int count = outline.GetPrimaryCount();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const int next = (index + 1) % count;
    auto drop = [&]() -> OutlinePoint* {
        RemoveNodeAt(index);
        ReallocatePointArrays();
        RecomputeBounds();
        return nullptr;
    };
    if (nodes[next].constrainFollowing) return drop();
    // A point put near the straight line between its neighbours goes onto it.
    const Vector& p = nodes[(index + count - 1) % count].position;
    const Vector& n = nodes[next].position;
    const Vector pn = Between(p, n);
    const double lengthSquared = pn.Dot(pn);
    Vector& x0 = nodes[index].position;
    if (lengthSquared > 0.0) {
        const double t = Between(p, x0).Dot(pn) / lengthSquared;
        const Vector q = Along(p, pn, t);
        if (x0.Distance(q) < kInsertSnapDistance) x0.Set(q);
    }
    outline.Refresh();
    ReallocatePointArrays();
    RecomputeBounds();
    if (!IsPositionValid()) return drop();
    return &outline.GetPrimaryPoints()[index];
}

bool BaseSlab::DeleteOutlinePoint(OutlinePoint* node) {
    if (IsLocked()) return false;
    const int index = outline.IndexOfPrimary(node);
    const int count = outline.GetPrimaryCount();
    if (index < 0 || count <= 3) return false;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    if (nodes[index].constrainFollowing || nodes[(index + 1) % count].constrainFollowing)
        return false;
    if (!RemoveNodeAt(index)) return false;
    ReallocatePointArrays();
    RecomputeBounds();
    return true;
}

void BaseSlab::DragOutlinePoint(const ViewProjection& view, int x, int y, PickableObject* grabbed,
                                bool, bool snap) {
    if (IsLocked() || !grabbed) return;
    if (grabbed == &insideSurface || grabbed == &outsideSurface || grabbed == &edgeSurface) return;
    if (!grabbed->HasType(TypeBit::kOutlineNode)) return;
    auto* node = dynamic_cast<OutlinePoint*>(grabbed);
    const int index = outline.IndexOfPrimary(node);
    if (index < 0) return;
    const int count = outline.GetPrimaryCount();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector saved = nodes[index].position;
    if (outline.MovePoint(view, x, y, &nodes[index]) && snap) {
        nodes = outline.GetPrimaryPoints();
        Vector& position = nodes[index].position;
        const bool constrained = nodes[index].constrainFollowing;
        const bool nextConstrained = nodes[(index + 1) % count].constrainFollowing;
        const Vector snapped = SnapToGrid(position);
        if (!constrained && !nextConstrained) {
            position.Set(snapped);
        } else {
            // Only the part of the snap along the line the node slides on.
            const Vector& neighbour =
                nodes[constrained ? (index + count - 1) % count : (index + 1) % count].position;
            const Vector along = UnitBetween(position, neighbour);
            position.Set(Along(position, along, Between(position, snapped).Dot(along)));
        }
        outline.Refresh();
    }
    if (!IsPositionValid()) {
        outline.GetPrimaryPoints()[index].position.Set(saved);
        outline.Refresh();
    }
    if (count <= 4) outline.ComputeNormal();
    RecomputeBounds();
}

OutlinePoint* BaseSlab::DragEdge(const ViewProjection& view, int x, int y, int previousX,
                                 int previousY, OutlinePoint* node, bool free) {
    if (IsLocked()) return node;
    const int index = outline.IndexOfPrimary(node);
    const int count = outline.GetPrimaryCount();
    if (index < 0 || count < 2) return node;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    std::vector<int> inserted;
    OutlinePoint* result = outline.DragEdge(view, x, y, previousX, previousY, &nodes[index],
                                            &nodes[(index + 1) % count], false, &inserted);
    const int resultIndex = outline.IndexOfPrimary(result);
    for (int at : inserted) OnNodeInserted(at);
    if (outline.GetPrimaryCount() != count) {
        ReallocatePointArrays();
        RecomputeBounds();
        return result;
    }
    if (!IsPositionValid()) {
        nodes = outline.GetPrimaryPoints();
        outline.DragEdge(view, previousX, previousY, x, y, &nodes[index],
                         &nodes[(index + 1) % count], false);
        RecomputeBounds();
        return resultIndex >= 0 ? &outline.GetPrimaryPoints()[resultIndex] : node;
    }
    if (!free && count == 4 && outline.IsRectangle()) {
        // The dragged side is kept parallel to the opposite one, a whole number of units
        // away from it.
        nodes = outline.GetPrimaryPoints();
        const int a = index, b = (index + 1) % 4, c = (index + 2) % 4, d = (index + 3) % 4;
        const Vector ab = UnitBetween(nodes[a].position, nodes[b].position);
        const Vector ad = UnitBetween(nodes[a].position, nodes[d].position);
        Vector fourth = nodes[b].position;
        fourth.Add(Between(nodes[a].position, nodes[d].position));
        if (std::fabs(ab.Dot(ad)) < kSquareCosine &&
            fourth.Distance(nodes[c].position) < kCornerTolerance) {
            const Vector side = UnitBetween(nodes[d].position, nodes[a].position);
            const Vector mouse = outline.ScreenToPlane(view, x, y);
            if (mouse.x != Outline::kNoIntersection) {
                const double distance =
                    std::floor(Between(nodes[d].position, mouse).Dot(side) + 0.5);
                if (distance >= 0.0) {
                    const Vector savedA = nodes[a].position, savedB = nodes[b].position;
                    nodes[a].position.Set(Along(nodes[d].position, side, distance));
                    nodes[b].position.Set(Along(nodes[c].position, side, distance));
                    outline.Refresh();
                    if (!IsPositionValid()) {
                        nodes[a].position.Set(savedA);
                        nodes[b].position.Set(savedB);
                        outline.Refresh();
                    }
                }
            }
        }
    }
    RecomputeBounds();
    return resultIndex >= 0 ? &outline.GetPrimaryPoints()[resultIndex] : node;
}

void BaseSlab::RotateSlab(const Vector& from, const Vector& to, const Vector& centre) {
    if (IsLocked()) return;
    const Vector a = Between(centre, from);
    const Vector b = Between(centre, to);
    const double lengths = a.Length() * b.Length();
    if (!(lengths > 0.0) || !std::isfinite(lengths)) return;
    const double cosine = std::clamp(a.Dot(b) / lengths, -1.0, 1.0);
    double angle = -std::acos(cosine);
    if (std::isnan(angle)) angle = 0.0;
    if (angle == 0.0) return;
    Vector axis;
    axis.Cross(a, b);
    axis.Normalize();
    if (axis.Length() == 0.0) {
        // A half turn has no plane of its own: turn about the upright through the
        // centre, or across the slab's normal when the arm itself stands upright.
        Vector up(0.0, 1.0, 0.0);
        Vector arm = a;
        arm.Normalize();
        axis = up;
        const double along = up.Dot(arm);
        axis.Offset(-arm.x * along, -arm.y * along, -arm.z * along);
        axis.Normalize();
        if (axis.Length() == 0.0) {
            axis.Cross(arm, outline.normal);
            axis.Normalize();
        }
        if (axis.Length() == 0.0) {
            TraceWrite("Slab turn refused: no axis to turn about");
            return;
        }
    }
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < outline.GetPrimaryCount(); ++i) {
        Vector p = Between(centre, nodes[i].position);
        p.RotateAboutAxis(angle, axis);
        p.Add(centre);
        nodes[i].position.Set(p);
    }
    outline.Refresh();
    outline.ComputeNormal();
    DetachLinkedChildren(true);
    for (LinkedList* list : {&inSlabList, &onSlabList, &holeList})
        for (LinkedListObject* n = list->GetHead(); n; n = n->GetNext())
            if (auto* child = dynamic_cast<SlabChild*>(n))
                child->TurnWithParent(axis, angle, centre);
    RecomputeBounds();
}
