// Areas, lengths and the plane tests of outlines. The tests turn the outline's plane
// parallel to x-y and work in two dimensions.
#include <algorithm>
#include <cmath>

#include "foundation/Trace.h"
#include "geometry/Outline.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

Vector Difference(const Vector& a, const Vector& b) {
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z);
}

double SafeAcos(double value) {
    return std::acos(std::clamp(value, -1.0, 1.0));
}

// Turns the points about origin so that a plane with the given normal comes to lie
// parallel to x-y. A normal along z (or no normal) leaves them as they are.
void FlattenOntoXY(Vector* points, int n, const Vector& origin, const Vector& planeNormal) {
    Vector unitNormal = planeNormal;
    unitNormal.Normalize();
    Vector axis(-unitNormal.y, unitNormal.x, 0.0);
    axis.Normalize();
    if (axis.x == 0.0 && axis.y == 0.0) return;
    const double angle = SafeAcos(unitNormal.z);
    for (int i = 0; i < n; ++i) {
        Vector p = Difference(points[i], origin);
        p.RotateAboutAxis(angle, axis);
        p.Add(origin);
        points[i] = p;
    }
}

}  // namespace

double Outline::GetArea() const {
    const int n = GetCount();
    if (n < 3) return 0.0;
    const OutlinePoint* points = GetPoints();
    const Vector& p0 = points[0].position;
    double sum = 0.0;
    for (int i = 2; i < n; ++i) {
        Vector corner;
        corner.Cross(Difference(points[i].position, p0), Difference(points[i - 1].position, p0));
        sum += corner.Dot(normal);
    }
    return std::fabs(sum * 0.5);
}

double Outline::GetPerimeter(bool closed) const {
    const int n = GetCount();
    if (n < 2) return 0.0;
    const OutlinePoint* points = GetPoints();
    double sum = 0.0;
    for (int i = 1; i < n; ++i) sum += points[i].position.Distance(points[i - 1].position);
    if (closed) sum += points[n - 1].position.Distance(points[0].position);
    return sum;
}

double Outline::EdgeLength(const OutlineEdge* edge) const {
    // While curves exist, the tessellated ring holds each curved edge as a run of nodes.
    const OutlinePoint* points = hasCurves_ ? curved_.data() : primary_.data();
    const int n = hasCurves_ ? curvedCount_ : GetPrimaryCount();
    int first = 0;
    while (first < n && points[first].edge != edge) ++first;
    if (first == n) return 0.0;
    double length = 0.0;
    int k = first;
    do {
        length += points[k].position.Distance(points[(k + 1) % n].position);
        ++k;
    } while (k < n && points[k].edge == edge);
    return length;
}

double Outline::RingLengthBefore(const OutlineEdge* edge, bool& found) const {
    // Every edge is one run of the ring in node order, so the edges before a given one
    // are the nodes before its first node.
    const OutlinePoint* points = hasCurves_ ? curved_.data() : primary_.data();
    const int n = hasCurves_ ? curvedCount_ : GetPrimaryCount();
    double length = 0.0;
    found = false;
    for (int k = 0; k < n; ++k) {
        if (points[k].edge == edge && edge != nullptr) {
            found = true;
            break;
        }
        length += points[k].position.Distance(points[(k + 1) % n].position);
    }
    return length;
}

double Outline::GetEdgeLengthSum() const {
    bool found;
    return RingLengthBefore(nullptr, found);
}

double Outline::GetDistanceAlong(const Vector& point, const OutlineEdge* edge) const {
    bool found;
    const double distance = RingLengthBefore(edge, found);
    if (!POSTCONDITION(found, "parentEdge doesn't exist")) return distance;
    const int n = GetPrimaryCount();
    int i = 0;
    while (i < n && primary_[i].edge != edge) ++i;
    if (i == n) return distance;

    const Vector& start = primary_[i].position;
    const Vector& end = primary_[(i + 1) % n].position;
    Vector along = Difference(end, start);
    along.Normalize();
    if (!edge->IsArc()) return distance + along.Dot(Difference(point, start));

    // The angle at the chord's midpoint between the chord and the point runs from 0 at
    // the start to pi at the end; the apex, like the midpoint itself, lies halfway.
    Vector fromPoint = Difference(start.Midpoint(end), point);
    const double length = fromPoint.Length();
    const double fraction =
        length < 1e-9 ? 0.5 : SafeAcos(fromPoint.Dot(along) / length) * (1.0 / kPi);
    return distance + fraction * EdgeLength(edge);
}

bool Outline::IsSimple() const {
    const int n = GetCount();
    if (n > 2 && normal.x == 0.0 && normal.y == 0.0 && normal.z == 0.0) return false;
    if (n < 4) return true;

    // Working ring relative to the first node, closed by a copy of it.
    const OutlinePoint* points = GetPoints();
    std::vector<Vector> w(n + 1, Vector(0.0, 0.0, 0.0));
    for (int i = 1; i < n; ++i) w[i] = Difference(points[i].position, points[0].position);
    FlattenOntoXY(w.data(), n + 1, Vector(0.0, 0.0, 0.0), normal);

    for (int i = 0; i < n; ++i) {
        // Lay edge i along the positive x axis from the origin.
        const Vector shift = w[i];
        for (int k = i + 1; k <= n; ++k) w[k].Subtract(shift);
        const double angle = -std::atan2(w[i + 1].y, w[i + 1].x);
        if (angle != 0.0)
            for (int k = i + 1; k <= n; ++k) w[k].RotateAboutAxisIndex(angle, 2);
        const double length = w[i + 1].x;
        for (int j = i + 1; j < n; ++j) {
            const Vector& a = w[j];
            const Vector& b = w[j + 1];
            if (a.y * b.y >= -0.01) continue;
            const double x = a.x - a.y * (b.x - a.x) / (b.y - a.y);
            if (x > 0.0 && x < length) return false;
        }
    }
    return true;
}

bool PointInPolygon(const Vector& point, const Vector* points, int n, bool boundary) {
    if (n < 3 || points == nullptr) return false;
    bool inside = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        const Vector& pi = points[i];
        const Vector& pj = points[j];
        if ((point.y < pi.y) == (point.y < pj.y)) continue;
        if (point.x > pi.x && point.x > pj.x) continue;
        if (point.x < pi.x && point.x < pj.x) {
            inside = !inside;
            continue;
        }
        const double crossing = (pj.x - pi.x) * (point.y - pi.y) / (pj.y - pi.y) + pi.x;
        if (point.x < crossing)
            inside = !inside;
        else if (point.x == crossing)
            return boundary;
    }
    return inside;
}

bool Outline::ContainsPoint(const Vector& point) const {
    std::vector<Vector> ring = CurrentPositions();
    if (ring.size() < 3) return false;
    Vector probe = point;
    if (std::fabs(normal.z) < 0.98) {
        const Vector origin = ring[0];
        FlattenOntoXY(ring.data(), static_cast<int>(ring.size()), origin, normal);
        FlattenOntoXY(&probe, 1, origin, normal);
    }
    return PointInPolygon(probe, ring.data(), static_cast<int>(ring.size()), false);
}

int Outline::Relate(const Outline& other, bool boundary) const {
    const int n = GetCount();
    if (n < 3) return kDisjoint;

    // This ring starting at node 1 and closed by a repeat of it, then the other ring.
    const OutlinePoint* points = GetPoints();
    std::vector<Vector> mine;
    mine.reserve(n + 1);
    for (int i = 1; i <= n + 1; ++i) mine.push_back(points[i % n].position);
    std::vector<Vector> theirs = other.CurrentPositions();
    const int m = static_cast<int>(theirs.size());
    if (std::fabs(std::fabs(normal.z) - 1.0) > 0.0001) {
        const Vector origin = points[0].position;
        FlattenOntoXY(mine.data(), n + 1, origin, normal);
        FlattenOntoXY(theirs.data(), m, origin, normal);
    }

    // Tests each point of a ring and the midpoint to its successor against the other
    // ring: 1 as soon as points fall on both sides, else whether any fell inside.
    auto probe = [boundary](const std::vector<Vector>& ring, int count, const Vector* against,
                            int againstCount, bool& someInside) {
        bool inside = false;
        bool outside = false;
        for (int j = 0; j < count; ++j) {
            const Vector candidates[2] = {ring[j], ring[j].Midpoint(ring[(j + 1) % ring.size()])};
            for (const Vector& candidate : candidates) {
                if (PointInPolygon(candidate, against, againstCount, boundary))
                    inside = true;
                else
                    outside = true;
                if (inside && outside) return true;
            }
        }
        someInside = inside;
        return false;
    };

    bool someInside = false;
    if (m > 0 && probe(theirs, m, mine.data(), n, someInside)) return kOverlap;
    if (someInside) return kContains;
    if (probe(mine, n, theirs.data(), m, someInside)) return kOverlap;
    return someInside ? kInside : kDisjoint;
}

bool Outline::IsRectangle() const {
    if (GetCount() != 4 || hasCurves_) return false;
    const OutlinePoint* points = GetPoints();
    Vector edges[4];
    for (int i = 0; i < 4; ++i)
        edges[i] = Difference(points[(i + 1) % 4].position, points[i].position);
    for (int i = 0; i < 3; ++i)
        if (std::fabs(edges[i].Dot(edges[i + 1])) > 0.001) return false;
    return true;
}
