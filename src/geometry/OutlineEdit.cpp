// Editing outlines with the mouse, and the expansion of curved edges into nodes.
#include <algorithm>
#include <cmath>
#include <new>

#include "foundation/Trace.h"
#include "geometry/OrientedBox.h"
#include "geometry/Outline.h"
#include "geometry/ViewProjection.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Below this angle (15 degrees) between the line of sight and the plane, the plane is
// seen edge-on.
constexpr double kGrazingSine = 0.261799387799;

Vector Difference(const Vector& a, const Vector& b) {
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z);
}

Vector Scaled(Vector v, double s) {
    v.Scale(s);
    return v;
}

Vector Sum(Vector a, const Vector& b) {
    a.Add(b);
    return a;
}

Vector UnitDifference(const Vector& a, const Vector& b) {
    Vector d = Difference(a, b);
    d.Normalize();
    return d;
}

bool IsZero(const Vector& v) {
    return v.x == 0.0 && v.y == 0.0 && v.z == 0.0;
}

}  // namespace

// --- projection of screen points ---

bool Outline::ScreenToPlaneThrough(const ViewProjection& view, int x, int y, const Vector& point,
                                   const Vector& planeNormal, Vector& out) const {
    const double windowY = view.viewport[3] - y - 1;
    Vector nearPoint, farPoint;
    if (!view.Unproject(x, windowY, 0.0, nearPoint) || !view.Unproject(x, windowY, 1.0, farPoint))
        return false;
    const Vector ray = Difference(nearPoint, farPoint);
    const double denominator = planeNormal.Dot(ray);
    if (denominator == 0.0) return false;
    const double t = planeNormal.Dot(Difference(point, farPoint)) / denominator;
    const Vector hit = Sum(farPoint, Scaled(ray, t));
    if (!std::isfinite(hit.x) || !std::isfinite(hit.y) || !std::isfinite(hit.z)) return false;
    out = hit;
    return true;
}

Vector Outline::ScreenToPlaneThrough(const ViewProjection& view, int x, int y, const Vector& point,
                                     const Vector& planeNormal) const {
    Vector hit(kNoIntersection, kNoIntersection, kNoIntersection);
    ScreenToPlaneThrough(view, x, y, point, planeNormal, hit);
    return hit;
}

Vector Outline::ScreenToPlane(const ViewProjection& view, int x, int y) const {
    if (GetCount() == 0) return Vector(kNoIntersection, kNoIntersection, kNoIntersection);
    return ScreenToPlaneThrough(view, x, y, GetPoints()[0].position, normal);
}

bool Outline::IsEdgeOn(const ViewProjection& view) {
    Vector farPoint;
    if (!view.Unproject(view.viewport[2] / 2, view.viewport[3] / 2, 0.0, viewPoint) ||
        !view.Unproject(view.viewport[2] / 2, view.viewport[3] / 2, 1.0, farPoint))
        return false;
    const Vector sight = UnitDifference(viewPoint, farPoint);
    return std::fabs(sight.Dot(normal)) < kGrazingSine;
}

bool Outline::ScreenToPlaneAt(const ViewProjection& view, int x, int y, const Vector& point,
                              Vector& out) {
    if (GetCount() == 0) return false;
    const Vector planePoint = GetPoints()[0].position;
    if (IsEdgeOn(view)) {
        // Seen edge-on, the plane itself is too thin to aim at: go through the plane that
        // stands upright on it through point, then drop onto the outline's plane.
        Vector axis;
        axis.Cross(normal, viewPoint);
        axis.Normalize();
        if (!IsZero(axis)) {
            Vector upright = normal;
            upright.RotateAboutAxis(kPi / 2.0, axis);
            Vector hit;
            if (!ScreenToPlaneThrough(view, x, y, point, upright, hit)) return false;
            out = Difference(hit, Scaled(normal, Difference(hit, planePoint).Dot(normal)));
            return true;
        }
    }
    return ScreenToPlaneThrough(view, x, y, planePoint, normal, out);
}

// --- insertion ---

OutlinePoint* Outline::InsertScreenPoint(const ViewProjection& view, int x, int y,
                                         bool constrainFollowing) {
    Vector position;
    if (GetCount() == 0 ||
        !ScreenToPlaneThrough(view, x, y, GetPoints()[0].position, normal, position))
        return nullptr;
    return InsertPointOnNearestEdge(position, constrainFollowing);
}

OutlinePoint* Outline::InsertPointOnNearestEdge(const Vector& position, bool constrainFollowing) {
    const int n = GetPrimaryCount();
    if (n < 2) return InsertPoint(position, n, constrainFollowing);
    // The detour the new node makes over each edge; the closing edge first.
    auto detour = [&](int a, int b) {
        const Vector& pa = primary_[a].position;
        const Vector& pb = primary_[b].position;
        return pa.Distance(position) + pb.Distance(position) - pa.Distance(pb);
    };
    int index = n;
    double best = detour(n - 1, 0);
    for (int i = 0; i + 1 < n; ++i) {
        const double cost = detour(i, i + 1);
        if (cost < best) {
            best = cost;
            index = i + 1;
        }
    }
    return InsertPoint(position, index, constrainFollowing);
}

// --- dragging ---

bool Outline::MovePoint(const ViewProjection& view, int x, int y, const OutlinePoint* node) {
    UsePrimaryPoints();
    const int index = IndexOfPrimary(node);
    if (!PRECONDITION(index >= 0, "A non-node object was passed in")) {
        UseAlternatePoints();
        return false;
    }
    const int n = GetPrimaryCount();
    const int next = (index + 1) % n;
    const int previous = (index + n - 1) % n;
    OutlinePoint& moved = primary_[index];
    const bool constrained = moved.constrainFollowing;
    const bool nextConstrained = primary_[next].constrainFollowing;
    Vector target;
    if ((constrained && nextConstrained) || !ScreenToPlaneAt(view, x, y, moved.position, target)) {
        UseAlternatePoints();
        return false;
    }
    if (constrained || nextConstrained) {
        // Slide along the line of the edge that holds the node.
        const Vector& reference = primary_[constrained ? previous : next].position;
        const Vector along = UnitDifference(moved.position, reference);
        target = Sum(reference, Scaled(along, Difference(target, reference).Dot(along)));
    }
    moved.position = target;
    UseAlternatePoints();
    Tessellate();
    return true;
}

bool Outline::FindEdge(const OutlinePoint* a, const OutlinePoint* b, int& start, int& end) const {
    const int n = GetPrimaryCount();
    const int ia = IndexOfPrimary(a);
    const int ib = IndexOfPrimary(b);
    if (n < 3 || ia < 0 || ib < 0) return false;
    if ((ia + 1) % n == ib) {
        start = ia;
        end = ib;
        return true;
    }
    if ((ib + 1) % n == ia) {
        start = ib;
        end = ia;
        return true;
    }
    return false;
}

bool Outline::DragVector(const ViewProjection& view, int x1, int y1, int x2, int y2,
                         const Vector& at, Vector& drag) {
    Vector to, from;
    if (!ScreenToPlaneAt(view, x1, y1, at, to) || !ScreenToPlaneAt(view, x2, y2, at, from))
        return false;
    drag = Difference(to, from);
    return true;
}

OutlinePoint* Outline::DragEdge(const ViewProjection& view, int x1, int y1, int x2, int y2,
                                OutlinePoint* a, OutlinePoint* b, bool skipCheck,
                                std::vector<int>* inserted) {
    int start, end;
    if (!FindEdge(a, b, start, end)) return a;
    if (primary_[start].edge->IsArc()) return DragArc(view, x1, y1, x2, y2, a, b, skipCheck);
    const int resultIndex = IndexOfPrimary(a);

    const int n = GetPrimaryCount();
    const Vector s = primary_[start].position;
    const Vector e = primary_[end].position;
    Vector drag;
    if (!DragVector(view, x1, y1, x2, y2, s.Midpoint(e), drag)) return a;

    Vector across;
    across.Cross(Difference(e, s), normal);
    across.Normalize();
    const double amount = drag.Dot(across);
    const Vector u = UnitDifference(s, primary_[(start + n - 1) % n].position);
    const Vector w = UnitDifference(e, primary_[(end + 1) % n].position);
    const double du = across.Dot(u);
    const double dw = across.Dot(w);
    // A neighbour along the edge's own line (or on top of its end) gives no line to slide
    // on: that side gets a jog instead.
    const bool jogStart = IsZero(u) || std::fabs(du) < 0.001;
    const bool jogEnd = IsZero(w) || std::fabs(dw) < 0.001;
    if ((jogStart || jogEnd) && std::fabs(amount) <= 1.0) return &primary_[resultIndex];

    const std::vector<OutlinePoint> saved = primary_;
    auto restore = [&] {
        primary_ = saved;
        RepointEdges();
        Refresh();
        return &primary_[resultIndex];
    };
    int endIndex = end;
    if (!jogStart) primary_[start].position = Sum(s, Scaled(u, amount / du));
    if (!jogEnd) primary_[end].position = Sum(e, Scaled(w, amount / dw));
    std::vector<int> added;
    if (jogStart) {
        if (!InsertPoint(Sum(s, Scaled(across, amount)), start + 1, false)) return restore();
        added.push_back(start + 1);
        if (endIndex > start) ++endIndex;
    }
    if (jogEnd) {
        // Directly before the end node in the ring; after the last node when it is node 0.
        const int at = endIndex == 0 ? GetPrimaryCount() : endIndex;
        if (!InsertPoint(Sum(e, Scaled(across, amount)), at, false)) return restore();
        for (int& index : added)
            if (index >= at) ++index;
        added.push_back(at);
        if (at == endIndex) ++endIndex;
    }
    Refresh();
    if (!skipCheck && !IsSimple()) return restore();
    if (inserted) *inserted = added;
    if (!jogStart && !jogEnd) return &primary_[resultIndex];
    const int count = GetPrimaryCount();
    return &primary_[(endIndex + count - 1) % count];
}

OutlinePoint* Outline::DragArc(const ViewProjection& view, int x1, int y1, int x2, int y2,
                               OutlinePoint* a, OutlinePoint* b, bool skipCheck) {
    int start, end;
    if (!FindEdge(a, b, start, end) || !primary_[start].edge->IsArc()) return a;
    Vector drag;
    const Vector middle = primary_[start].position.Midpoint(primary_[end].position);
    if (!DragVector(view, x1, y1, x2, y2, middle, drag)) return a;
    OutlineEdge& edge = primary_[start].ownEdge;
    const double before = edge.edgeR;
    edge.edgeR += drag.Dot(edge.direction);
    Refresh();
    if (!skipCheck && !IsSimple()) {
        edge.edgeR = before;
        Refresh();
    }
    return &primary_[start];
}

// --- curved edges ---

int Outline::SegmentCount(const Vector& start, const Vector& end, double bulge) {
    if (!std::isfinite(bulge) || (bulge > -0.01 && bulge < 0.01)) return 1;
    const double count = 0.2 * std::hypot(start.Distance(end) / 2.0, bulge);
    if (std::isnan(count)) return 1;
    if (count >= 200.0) return 200;
    return std::max(10, static_cast<int>(count));
}

void Outline::ArcPoints(OutlinePoint* out, int count, OutlinePoint& a, const OutlinePoint& b,
                        double bulge, const Vector& planeNormal) {
    Vector chord = Difference(b.position, a.position);
    const double length = chord.Length();
    chord.Normalize();
    Vector across;
    across.Cross(chord, planeNormal);
    a.edge->direction = across;
    const Vector half = Scaled(chord, length / 2.0);
    const Vector bulgeAxis = Scaled(across, bulge);
    const Vector middle = Difference(b.position, half);
    for (int k = 0; k < count; ++k) {
        const double theta = k * kPi / count;
        out[k].position = Sum(Difference(middle, Scaled(half, std::cos(theta))),
                              Scaled(bulgeAxis, std::sin(theta)));
    }
}

void Outline::Tessellate() {
    const int n = GetPrimaryCount();
    auto segments = [&](int i) {
        const OutlinePoint& node = primary_[i];
        if (!node.edge->IsArc()) return 0;
        return SegmentCount(node.position, primary_[(i + 1) % n].position, node.edge->edgeR);
    };
    size_t total = 0;
    bool curves = false;
    for (int i = 0; i < n; ++i) {
        const int count = segments(i);
        curves = curves || count > 0;
        total += count > 0 ? count : 1;
    }
    hasCurves_ = curves;
    curvedCount_ = 0;
    if (!curves) return;
    if (curved_.size() < total) {
        try {
            curved_.resize(total);
        } catch (const std::bad_alloc&) {
            PRECONDITION(false, "realloc failed");
            hasCurves_ = false;
            return;
        }
    }
    size_t k = 0;
    for (int i = 0; i < n; ++i) {
        OutlinePoint& node = primary_[i];
        const int count = segments(i);
        if (count > 0)
            ArcPoints(&curved_[k], count, node, primary_[(i + 1) % n], node.edge->edgeR, normal);
        else
            curved_[k].position = node.position;
        for (int j = 0; j < std::max(count, 1); ++j, ++k) {
            curved_[k].edge = &node.ownEdge;
            curved_[k].constrainFollowing = node.constrainFollowing;
        }
    }
    curvedCount_ = static_cast<int>(total);
}

// --- whole-outline shapes ---

void Outline::SetFromCorners(const Vector* corners, int n) {
    std::vector<OutlinePoint> nodes;
    nodes.reserve(n);
    for (int i = 0; i < n; ++i) nodes.emplace_back(corners[i], false);
    primary_ = std::move(nodes);
    RepointEdges();
    ComputeNormal();
}

void Outline::MakeOval(const Vector& direction, bool reversed) {
    if (GetCount() < 3) return;
    if (!IsRectangle()) {
        OrientedBox box;
        box.SetAxes(direction, normal);
        const std::vector<Vector> positions = CurrentPositions();
        box.SetFromPoints(positions.data(), static_cast<int>(positions.size()));
        const Vector corners[4] = {box.Corner(true, true, false), box.Corner(true, false, false),
                                   box.Corner(false, false, false), box.Corner(false, true, false)};
        SetFromCorners(corners, 4);
        if (!reversed) normal.Negate();
    }
    double bulge = primary_[0].position.Distance(primary_[1].position) / 2.0 - 2.5;
    if (reversed) bulge = -bulge;
    for (int i : {1, 3}) {
        OutlineEdge& edge = primary_[i].ownEdge;
        if (edge.arcAllowed && edge.arcIndex >= 0 && edge.arcIndex < OutlineEdge::kFlagCount)
            edge.booleanParameter[edge.arcIndex] = true;
    }
    Tessellate();
    primary_[1].ownEdge.edgeR = -bulge;
    primary_[3].ownEdge.edgeR = -bulge;
    const Vector shift1 = Scaled(primary_[1].ownEdge.direction, bulge);
    const Vector shift3 = Scaled(primary_[3].ownEdge.direction, bulge);
    primary_[1].position.Add(shift1);
    primary_[2].position.Add(shift1);
    primary_[3].position.Add(shift3);
    primary_[0].position.Add(shift3);
    Tessellate();
}

void Outline::SetToEllipse(const Vector& direction, int nodeCount, bool reversed) {
    if (nodeCount < 3 || GetCount() < 3) return;
    if (!PRECONDITION(nodeCount <= kMaxStoredNodes, "too many nodes for an ellipse")) return;
    OrientedBox box;
    box.SetAxes(direction, normal);
    const std::vector<Vector> positions = CurrentPositions();
    box.SetFromPoints(positions.data(), static_cast<int>(positions.size()));
    const Vector origin = box.Corner(false, false, false);
    const Vector centre = origin.Midpoint(box.Corner(true, true, false));
    const Vector halfA = Scaled(Difference(box.Corner(false, true, false), origin), 0.5);
    Vector halfB = Scaled(Difference(box.Corner(true, false, false), origin), 0.5);
    if (reversed) halfB.Negate();
    std::vector<Vector> nodes(nodeCount);
    for (int k = 0; k < nodeCount; ++k) {
        const double theta = (k + 0.5) * 2.0 * kPi / nodeCount;
        nodes[k] =
            Sum(Difference(centre, Scaled(halfB, std::cos(theta))), Scaled(halfA, std::sin(theta)));
    }
    SetFromCorners(nodes.data(), nodeCount);
    Refresh();
}
