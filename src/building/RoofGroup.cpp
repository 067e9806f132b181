#include "building/RoofGroup.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "building/Roof.h"
#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "geometry/ViewProjection.h"
#include "model/SceneView.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

constexpr const char* kIdKey = "transactionObjectId";
constexpr const char* kRemovedIdKey = "removedTransactionId";
constexpr double kHandleRadius = 5.0;
// Footprints narrower than this make no planes.
constexpr double kSmallestSide = 0.01;

// The outline nodes of each plane: footprint nodes 0..3, 4 = L, 5 = R; the starred
// nodes are constrained.
struct PlaneNode {
    int source;
    bool constrained;
};
constexpr int kLeft = 4;
constexpr int kRight = 5;
constexpr PlaneNode kPlaneNodes[4][4] = {
    {{0, false}, {kLeft, false}, {kRight, true}, {1, false}},
    {{2, false}, {kRight, true}, {kLeft, false}, {3, false}},
    {{3, false}, {kLeft, true}, {0, true}, {-1, false}},
    {{1, false}, {kRight, true}, {2, true}, {-1, false}},
};

Vector Midpoint(const Vector& a, const Vector& b) {
    return Vector((a.x + b.x) * 0.5, (a.y + b.y) * 0.5, (a.z + b.z) * 0.5);
}

Vector Minus(const Vector& a, const Vector& b) {
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z);
}

Vector Unit(Vector v) {
    v.Normalize();
    return v;
}

bool Finite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

void DrawSphereAt(BaseControl& control, const Vector& at, double radius) {
    glPushMatrix();
    glTranslated(at.x, at.y, at.z);
    control.DrawSelectionSphere(radius);
    glPopMatrix();
}

}  // namespace

// ---- Construction -------------------------------------------------------------------

void RoofGroup::Init() {
    for (Roof*& plane : planes) plane = nullptr;
    for (uint8_t& allowed : allowRoof) allowed = 1;
    moveGuard = 0;
    windingFlag = 0;
    pitchRatio = kPitchRatio;
}

RoofGroup::RoofGroup() {
    Init();
    for (int i = 0; i < 4; ++i) initialOutline.InsertPoint(Vector(), i, false);
    roofsCreated = 1;
    wireframeMode = 0;
    BaseControl* control = theControl();
    polygonYOffset = control ? control->roofState.GetDouble(0) * 0.5 : 3.0;
}

RoofGroup::RoofGroup(Vector& point) {
    SnapToWallCorner(point);
    Init();
    for (int i = 0; i < 4; ++i) initialOutline.InsertPoint(point, i, false);
    roofPeakLeft.position = point;
    roofPeakRight.position = point;
    roofPeakCenter.position = point;
    roofsCreated = 0;
    wireframeMode = 1;
    BaseControl* control = theControl();
    polygonYOffset = control ? control->roofState.GetDouble(0) * 0.5 : 3.0;
    RecomputeBounds();
}

RoofGroup::RoofGroup(const Vector corners[4], double rise, double eaveOverhang,
                     double leftOverhang, double rightOverhang, bool hipLeft, bool hipRight,
                     double hipInset) {
    Init();
    BaseControl* control = theControl();
    polygonYOffset = control ? control->roofState.GetDouble(0) * 0.5 : 3.0;
    for (int i = 0; i < 4; ++i) initialOutline.InsertPoint(corners[i], i, false);
    initialOutline.ComputeNormal();
    if (initialOutline.normal.y < 0.0) {
        // Counter-clockwise from above, the ridge still along P0-P1: the order reverses
        // and P3 becomes P0.
        for (int i = 0; i < 4; ++i) SetCorner(i, corners[3 - i]);
        initialOutline.ComputeNormal();
    }
    const double span = Corner(0).Distance(Corner(3));
    const double slope = span > 0.0 ? rise / (span * 0.5) : 0.0;
    // The ridge over the end edges' midpoints, raised by the rise.
    Vector left = LeftEndMiddle();
    Vector right = RightEndMiddle();
    left.y += rise;
    right.y += rise;
    const Vector along = Unit(Minus(right, left));
    if (hipLeft) left.Offset(along.x * hipInset, 0.0, along.z * hipInset);
    if (hipRight) right.Offset(-along.x * hipInset, 0.0, -along.z * hipInset);
    // The overhangs: the footprint reaches out and drops along the slope.
    const Vector across = Unit(Minus(Corner(3), Corner(0)));
    const double drop = eaveOverhang * slope;
    const Vector p[4] = {Corner(0), Corner(1), Corner(2), Corner(3)};
    for (int i = 0; i < 4; ++i) {
        Vector moved = p[i];
        const double outward = i < 2 ? -eaveOverhang : eaveOverhang;
        moved.Offset(across.x * outward, -drop, across.z * outward);
        const double endward = (i == 0 || i == 3) ? -leftOverhang : rightOverhang;
        moved.Offset(along.x * endward, 0.0, along.z * endward);
        SetCorner(i, moved);
    }
    if (hipLeft) left.Offset(-along.x * leftOverhang, 0.0, -along.z * leftOverhang);
    if (hipRight) right.Offset(along.x * rightOverhang, 0.0, along.z * rightOverhang);
    if (!hipLeft) {
        const Vector m = LeftEndMiddle();
        left.x = m.x, left.z = m.z;
    }
    if (!hipRight) {
        const Vector m = RightEndMiddle();
        right.x = m.x, right.z = m.z;
    }
    roofPeakLeft.position = left;
    roofPeakRight.position = right;
    roofsCreated = 0;
    wireframeMode = 0;
    UpdatePeakCenter();
    for (int i = 0; i < kPlanes; ++i) FitPlane(i);
}

RoofGroup::~RoofGroup() {
    for (Roof*& plane : planes) {
        if (plane) plane->SetGroup(nullptr, 0);
        plane = nullptr;
    }
}

// ---- Footprint helpers --------------------------------------------------------------

Vector RoofGroup::Corner(int i) const {
    if (i < 0 || i >= initialOutline.GetPrimaryCount()) return Vector();
    return initialOutline.GetPrimaryPoints()[i].position;
}

void RoofGroup::SetCorner(int i, const Vector& position) {
    if (i < 0 || i >= initialOutline.GetPrimaryCount()) return;
    initialOutline.GetPrimaryPoints()[i].position.Set(position);
    initialOutline.Refresh();
}

Vector RoofGroup::LeftEndMiddle() const {
    return Midpoint(Corner(0), Corner(3));
}

Vector RoofGroup::RightEndMiddle() const {
    return Midpoint(Corner(1), Corner(2));
}

int RoofGroup::CountPlanes() const {
    int count = 0;
    for (const Roof* plane : planes) count += plane ? 1 : 0;
    return count;
}

void RoofGroup::SetPlaneNode(int plane, int node, const Vector& position) {
    Roof* roof = GetPlane(plane);
    if (!roof) return;
    Outline& outline = roof->GetOutline();
    if (node < 0 || node >= outline.GetPrimaryCount()) return;
    outline.GetPrimaryPoints()[node].position.Set(position);
    outline.Refresh();
}

void RoofGroup::OffsetPlaneNode(int plane, int node, const Vector& delta) {
    Roof* roof = GetPlane(plane);
    if (!roof) return;
    Outline& outline = roof->GetOutline();
    if (node < 0 || node >= outline.GetPrimaryCount()) return;
    outline.GetPrimaryPoints()[node].position.Add(delta);
    outline.Refresh();
}

void RoofGroup::MovePlaneWhole(int plane, const Vector& delta) {
    if (Roof* roof = GetPlane(plane)) roof->MoveSlabBy(delta.x, delta.y, delta.z, true);
}

// ---- Snapping -----------------------------------------------------------------------

bool RoofGroup::SnapToWallCorner(Vector& point) const {
    BaseControl* control = theControl();
    double best = kWallSnapReach;
    Vector candidate = point;
    if (control) {
        LinkedListIterator it(control->scene);
        it.LockList();
        for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
            auto* wall = dynamic_cast<Wall*>(node);
            if (!wall) continue;
            const BoundingBox& b = wall->GetBoundingBox();
            if (!(b.min.y < point.y + 6.0 && b.max.y > point.y - 6.0)) continue;
            const Outline& outline = wall->GetOutline();
            Vector half = outline.normal;
            half.Scale(wall->BaseSlab::GetThickness() * 0.5);
            for (int i = 0; i < outline.GetPrimaryCount(); ++i) {
                for (double sign : {1.0, -1.0}) {
                    Vector p = outline.GetPrimaryPoints()[i].position;
                    p.Offset(sign * half.x, sign * half.y, sign * half.z);
                    const double d = p.HorizontalDistance(point);
                    if (d < best) {
                        best = d;
                        candidate = p;
                    }
                }
            }
        }
        it.UnlockList();
    }
    candidate.y = point.y;
    point = candidate;
    return best < kWallSnapReach;
}

void RoofGroup::SnapEdgeToWall(OutlinePoint* node, const ViewProjection& view, int x, int y) {
    const int index = initialOutline.IndexOfPrimary(node);
    BaseControl* control = theControl();
    if (index < 0 || !control) return;
    const int nextIndex = (index + 1) % 4;
    const Vector e = Unit(Minus(Corner(nextIndex), Corner(index)));
    const Vector p = initialOutline.ScreenToPlane(view, x, y);
    if (p.x == Outline::kNoIntersection) return;
    double best = kWallSnapReach;
    Vector target;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* object = it.First(); !it.IsDone(); object = it.Next()) {
        auto* wall = dynamic_cast<Wall*>(object);
        if (!wall || !wall->HasWallShape()) continue;
        const BoundingBox& b = wall->GetBoundingBox();
        if (!(b.min.y < p.y + 6.0 && b.max.y > p.y - 6.0)) continue;
        const Vector w = Unit(wall->GetDirection());
        if (std::fabs(std::fabs(e.Dot(w)) - 1.0) >= 0.1) continue;
        const Outline& outline = wall->GetOutline();
        Vector half = outline.normal;
        half.Scale(wall->BaseSlab::GetThickness() * 0.5);
        for (double sign : {1.0, -1.0}) {
            Vector face = outline.GetPrimaryPoints()[0].position;
            face.Offset(sign * half.x, sign * half.y, sign * half.z);
            Vector projected = face;
            const double t = Minus(p, face).Dot(w);
            projected.Offset(w.x * t, w.y * t, w.z * t);
            const double d = projected.HorizontalDistance(p);
            if (d < best) {
                best = d;
                target = projected;
            }
        }
    }
    it.UnlockList();
    if (best >= kWallSnapReach) return;
    const Vector n(-e.z, 0.0, e.x);
    const double along = Minus(target, Corner(index)).Dot(n);
    const Vector shift(n.x * along, 0.0, n.z * along);
    Vector a = Corner(index);
    a.Add(shift);
    Vector b = Corner(nextIndex);
    b.Add(shift);
    SetCorner(index, a);
    SetCorner(nextIndex, b);
}

// ---- Planes -------------------------------------------------------------------------

void RoofGroup::UpdatePeakCenter() {
    roofPeakCenter.position = Midpoint(roofPeakLeft.position, roofPeakRight.position);
    if (!roofsCreated) CreateRoofs();
}

bool RoofGroup::CanHaveHipEnd(int end) const {
    if (end != 2 && end != 3) return false;
    if (!allowRoof[end]) return false;
    const Vector& peak = end == 2 ? roofPeakLeft.position : roofPeakRight.position;
    const Vector& other = end == 2 ? roofPeakRight.position : roofPeakLeft.position;
    const Vector a = Minus(peak, other);
    const Vector b = Minus(peak, end == 2 ? LeftEndMiddle() : RightEndMiddle());
    return b.Dot(a) < -0.001;
}

void RoofGroup::CreatePlane(int i) {
    if (i < 0 || i >= kPlanes || planes[i] || !allowRoof[i]) return;
    if (i >= 2 && ((planes[0] && planes[0]->GetOutline().GetPrimaryCount() != 4) ||
                   (planes[1] && planes[1]->GetOutline().GetPrimaryCount() != 4)))
        return;
    auto* plane = new Roof(false);
    plane->SetGroup(this, i);
    Outline& outline = plane->GetOutline();
    int index = 0;
    for (const PlaneNode& node : kPlaneNodes[i]) {
        if (node.source < 0) break;
        const Vector position = node.source == kLeft    ? roofPeakLeft.position
                                : node.source == kRight ? roofPeakRight.position
                                                        : Corner(node.source);
        outline.InsertPoint(position, index++, node.constrained);
    }
    outline.ComputeNormal();
    planes[i] = plane;
    if (BaseControl* control = theControl()) control->scene.Append(plane);
    plane->AllocateRoofArrays();
}

void RoofGroup::CreateRoofs() {
    if (!(GetLength() >= kSmallestSide) || !(GetWidth() >= kSmallestSide)) {
        TraceWrite("Roof group: a footprint without area makes no planes");
        return;
    }
    const bool hipLeft = CanHaveHipEnd(2);
    const bool hipRight = CanHaveHipEnd(3);
    auto constrain = [&](int plane, int node, bool flag) {
        Roof* roof = planes[plane];
        if (!roof || node >= roof->GetOutline().GetPrimaryCount()) return;
        roof->GetOutline().GetPrimaryPoints()[node].constrainFollowing = flag;
    };
    CreatePlane(0);
    constrain(0, 1, hipLeft);
    constrain(0, 3, hipRight);
    CreatePlane(1);
    constrain(1, 3, hipLeft);
    constrain(1, 1, hipRight);
    if (hipLeft) CreatePlane(2);
    if (hipRight) CreatePlane(3);
    roofsCreated = 1;
    RecomputeBounds();
}

void RoofGroup::UpdateRoofs() {
    if (!roofsCreated || IsLocked()) return;
    SetPlaneNode(0, 1, roofPeakLeft.position);
    SetPlaneNode(0, 2, roofPeakRight.position);
    SetPlaneNode(1, 2, roofPeakLeft.position);
    SetPlaneNode(1, 1, roofPeakRight.position);
    bool planeWent = false;
    for (int end = 2; end <= 3; ++end) {
        const bool hip = CanHaveHipEnd(end);
        if (!planes[end]) {
            if (hip) CreatePlane(end);
        } else if (!hip) {
            Roof* plane = planes[end];
            plane->SetGroup(nullptr, 0);
            planes[end] = nullptr;
            if (BaseControl* control = theControl()) control->scene.Remove(plane);
            delete plane;
            allowRoof[end] = 1;
            planeWent = true;
        } else {
            SetPlaneNode(end, 1, end == 2 ? roofPeakLeft.position : roofPeakRight.position);
        }
    }
    for (int i = 0; i < kPlanes; ++i) FitPlane(i);
    if (planeWent) {
        if (BaseControl* control = theControl()) {
            const bool dragging = control->globalState.GetBoolean(18);
            control->globalState.SetBoolean(18, false);
            control->RebuildDisplayData();
            control->globalState.SetBoolean(18, dragging);
        }
    }
}

void RoofGroup::FitPlane(int i) {
    Roof* plane = GetPlane(i);
    if (!plane || IsLocked()) return;
    const Vector& L = roofPeakLeft.position;
    const Vector& R = roofPeakRight.position;
    Vector points[3];
    switch (i) {
        case 0:
            points[0] = Corner(0), points[1] = L, points[2] = R;
            break;
        case 1:
            points[0] = R, points[1] = L, points[2] = Corner(3);
            break;
        case 2:
            points[0] = Corner(0), points[1] = L, points[2] = Corner(3);
            break;
        default:
            points[0] = Corner(1), points[1] = R, points[2] = Corner(2);
            break;
    }
    Vector normal;
    normal.PlaneNormalFromPoints(points);
    // A flat footprint with the peaks on it, or three points on a line, make no plane.
    if (normal.Length() == 0.0 || std::fabs(normal.y) < 1e-6 || !Finite(normal)) return;
    const double offset = -normal.Dot(points[0]);
    plane->FitToPlane(normal.x, normal.y, normal.z, offset);
    plane->AllocateRoofArrays();
    RecomputeBounds();
}

// ---- Drags --------------------------------------------------------------------------

void RoofGroup::ShowSizes() const {
    BaseControl* control = theControl();
    if (control && control->activeWindow) ShowLengthInStatusBar(nullptr, GetLength(), GetWidth());
}

void RoofGroup::DragHandle(const ViewProjection& view, int x, int y, OutlinePoint* handle,
                           bool drawing, bool shift, int viewMode) {
    if (!handle || IsLocked()) return;
    BaseControl* control = theControl();
    const bool hasWindow = control && control->activeWindow;
    if (drawing) {
        const int index = initialOutline.IndexOfPrimary(handle);
        if (index != 2) return;
        Vector p;
        if (!initialOutline.ScreenToPlaneThrough(view, x, y, handle->position,
                                                 Vector(0.0, 1.0, 0.0), p))
            return;
        p.y = handle->position.y;
        SnapToWallCorner(p);
        SetCorner(2, p);
        Vector p1 = Corner(1), p3 = Corner(3);
        if (!windingFlag)
            p1.x = p.x, p3.z = p.z;
        else
            p3.x = p.x, p1.z = p.z;
        SetCorner(1, p1);
        SetCorner(3, p3);
        initialOutline.ComputeNormal();
        if (initialOutline.normal.y < 0.0) {
            windingFlag = windingFlag ? 0 : 1;
            const Vector one = Corner(1);
            SetCorner(1, Corner(3));
            SetCorner(3, one);
            initialOutline.ComputeNormal();
        }
        const double raise = Corner(0).Distance(Corner(3)) * pitchRatio * 0.5;
        roofPeakLeft.position = LeftEndMiddle();
        roofPeakRight.position = RightEndMiddle();
        roofPeakLeft.position.y += raise;
        roofPeakRight.position.y += raise;
        roofPeakCenter.position = Midpoint(roofPeakLeft.position, roofPeakRight.position);
        if (hasWindow)
            ShowLengthInStatusBar(nullptr, Corner(0).x - Corner(2).x, Corner(0).z - Corner(2).z);
        RecomputeBounds();
        return;
    }
    if (handle == &roofPeakLeft || handle == &roofPeakRight) {
        const Vector e = Unit(Minus(Corner(0), Corner(1)));
        if (e.Length() == 0.0) return;
        Vector& peak = handle->position;
        Vector q;
        bool found = false;
        if (viewMode == 2) {
            found = initialOutline.ScreenToPlaneThrough(view, x, y, roofPeakLeft.position,
                                                        Vector(-e.z, 0.0, e.x), q);
        } else {
            found = initialOutline.ScreenToPlaneThrough(view, x, y, peak, Vector(0.0, 1.0, 0.0), q);
        }
        if (!found || !Finite(q)) return;
        const double t = Minus(q, peak).Dot(e);
        const Vector step(e.x * t, e.y * t, e.z * t);
        const Vector old = Minus(peak, roofPeakCenter.position);
        peak.Add(step);
        roofPeakCenter.position = Midpoint(roofPeakLeft.position, roofPeakRight.position);
        const Vector now = Minus(peak, roofPeakCenter.position);
        if (hasWindow) {
            const Vector& edge = handle == &roofPeakLeft ? Corner(0) : Corner(2);
            ShowLengthInStatusBar("Distance from edge : ", Minus(peak, edge).Dot(e),
                                  kNoSecondLength);
        }
        if (old.Dot(now) > 0.0) {
            UpdateRoofs();
        } else {
            // A peak never passes the centre.
            peak.Subtract(step);
            roofPeakCenter.position = Midpoint(roofPeakLeft.position, roofPeakRight.position);
        }
        RecomputeBounds();
        return;
    }
    if (handle == &roofPeakCenter && shift) {
        const Vector e = Unit(Minus(Corner(1), Corner(0)));
        const Vector d = Unit(Minus(Corner(3), Corner(0)));
        Vector hit;
        if (!initialOutline.ScreenToPlaneThrough(view, x, y, roofPeakCenter.position, e, hit))
            return;
        const double s = Minus(hit, roofPeakCenter.position).Dot(d);
        const Vector move(d.x * s, 0.0, d.z * s);
        TranslatePeaks(move.x, 0.0, move.z, true);
        const Vector c1 = Minus(roofPeakCenter.position, Midpoint(Corner(0), Corner(1)));
        const Vector c2 = Minus(roofPeakCenter.position, Midpoint(Corner(2), Corner(3)));
        if (c1.Dot(c2) > -0.001) TranslatePeaks(-move.x, 0.0, -move.z, true);
        RecomputeBounds();
    }
}

void RoofGroup::DragEdge(const ViewProjection& view, int x, int y, int previousX, int previousY,
                         OutlinePoint* node) {
    const int index = initialOutline.IndexOfPrimary(node);
    if (index < 0 || IsLocked()) return;
    const Vector offLeft = Minus(roofPeakLeft.position, LeftEndMiddle());
    const Vector offRight = Minus(roofPeakRight.position, RightEndMiddle());
    const Vector old = Corner(index);
    OutlinePoint* next = &initialOutline.GetPrimaryPoints()[(index + 1) % 4];
    initialOutline.DragEdge(view, x, y, previousX, previousY, node, next, false);
    if (initialOutline.GetPrimaryCount() != 4) return;
    SnapEdgeToWall(&initialOutline.GetPrimaryPoints()[index], view, x, y);
    const Vector delta = Minus(Corner(index), old);
    initialOutline.ComputeNormal();
    roofPeakLeft.position = LeftEndMiddle();
    roofPeakLeft.position.Add(offLeft);
    roofPeakRight.position = RightEndMiddle();
    roofPeakRight.position.Add(offRight);
    roofPeakCenter.position = Midpoint(roofPeakLeft.position, roofPeakRight.position);
    moveGuard = 1;
    const Vector flat(delta.x, 0.0, delta.z);
    switch (index) {
        case 0:
            MovePlaneWhole(0, flat), OffsetPlaneNode(2, 2, flat), OffsetPlaneNode(3, 0, flat);
            break;
        case 1:
            MovePlaneWhole(3, flat), OffsetPlaneNode(0, 3, flat), OffsetPlaneNode(1, 0, flat);
            break;
        case 2:
            MovePlaneWhole(1, flat), OffsetPlaneNode(2, 0, flat), OffsetPlaneNode(3, 2, flat);
            break;
        default:
            MovePlaneWhole(2, flat), OffsetPlaneNode(0, 0, flat), OffsetPlaneNode(1, 3, flat);
            break;
    }
    moveGuard = 0;
    UpdateRoofs();
    ShowSizes();
    RecomputeBounds();
}

void RoofGroup::TranslatePeaks(double dx, double dy, double dz, bool update) {
    if (IsLocked()) return;
    roofPeakLeft.position.Offset(dx, dy, dz);
    roofPeakRight.position.Offset(dx, dy, dz);
    roofPeakCenter.position = Midpoint(roofPeakLeft.position, roofPeakRight.position);
    if (update) UpdateRoofs();
    RecomputeBounds();
}

void RoofGroup::MoveWithPlane(double dx, double dy, double dz, Roof* moved) {
    if (IsLocked() || moveGuard) return;
    moveGuard = 1;
    initialOutline.Translate(dx, dy, dz);
    TranslatePeaks(dx, dy, dz, false);
    for (Roof* plane : planes) {
        if (!plane) continue;
        plane->BaseSlab::SetSelected(false);
        if (plane != moved) plane->MoveSlabBy(dx, dy, dz, true);
    }
    selected = 1;
    moveGuard = 0;
    RecomputeBounds();
}

void RoofGroup::Rotate(double angle) {
    if (IsLocked() || !std::isfinite(angle)) return;
    const Vector centre = Midpoint(Corner(0), Corner(2));
    const Vector oldP0 = Corner(0);
    auto turn = [&](Vector p) {
        p.Subtract(centre);
        p.RotateAboutAxisIndex(angle, 1);
        p.Add(centre);
        return p;
    };
    for (int i = 0; i < 4; ++i) SetCorner(i, turn(Corner(i)));
    for (Roof* plane : planes) {
        if (!plane) continue;
        plane->RotateSlab(oldP0, Corner(0), centre);
        plane->AllocateRoofArrays();
    }
    roofPeakLeft.position = turn(roofPeakLeft.position);
    roofPeakRight.position = turn(roofPeakRight.position);
    roofPeakCenter.position = Midpoint(roofPeakLeft.position, roofPeakRight.position);
    RecomputeBounds();
}

void RoofGroup::Translate(const Vector& offset) {
    initialOutline.Translate(offset.x, offset.y, offset.z);
    roofPeakLeft.position.Add(offset);
    roofPeakRight.position.Add(offset);
    roofPeakCenter.position = Midpoint(roofPeakLeft.position, roofPeakRight.position);
    RecomputeBounds();
}

// ---- Sizes --------------------------------------------------------------------------

double RoofGroup::GetLength() const {
    return Corner(0).Distance(Corner(1));
}

double RoofGroup::GetWidth() const {
    return Corner(0).Distance(Corner(3));
}

double RoofGroup::GetThickness() const {
    for (const Roof* plane : planes)
        if (plane) return plane->BaseSlab::GetThickness();
    BaseControl* control = theControl();
    return control ? control->roofState.GetDouble(0) : 6.0;
}

int RoofGroup::SetLength(double value) {
    if (!std::isfinite(value) || value <= 0.0) return -1;
    const Vector e = Unit(Minus(Corner(0), Corner(1)));
    const double by = GetLength() - value;
    const Vector shift(e.x * by, 0.0, e.z * by);
    const Vector offRight = Minus(roofPeakRight.position, RightEndMiddle());
    Vector p1 = Corner(1), p2 = Corner(2);
    p1.Add(shift);
    p2.Add(shift);
    SetCorner(1, p1);
    SetCorner(2, p2);
    initialOutline.ComputeNormal();
    roofPeakRight.position = RightEndMiddle();
    roofPeakRight.position.Add(offRight);
    roofPeakCenter.position = Midpoint(roofPeakLeft.position, roofPeakRight.position);
    moveGuard = 1;
    MovePlaneWhole(3, shift);
    OffsetPlaneNode(0, 3, shift);
    OffsetPlaneNode(1, 0, shift);
    moveGuard = 0;
    UpdateRoofs();
    RecomputeBounds();
    return 0;
}

int RoofGroup::SetWidth(double value) {
    if (!std::isfinite(value) || value <= 0.0) return -1;
    const Vector e = Unit(Minus(Corner(0), Corner(3)));
    const double by = GetWidth() - value;
    const Vector shift(e.x * by, 0.0, e.z * by);
    const Vector offLeft = Minus(roofPeakLeft.position, LeftEndMiddle());
    const Vector offRight = Minus(roofPeakRight.position, RightEndMiddle());
    Vector p3 = Corner(3), p2 = Corner(2);
    p3.Add(shift);
    p2.Add(shift);
    SetCorner(3, p3);
    SetCorner(2, p2);
    initialOutline.ComputeNormal();
    roofPeakLeft.position = LeftEndMiddle();
    roofPeakLeft.position.Add(offLeft);
    roofPeakRight.position = RightEndMiddle();
    roofPeakRight.position.Add(offRight);
    roofPeakCenter.position = Midpoint(roofPeakLeft.position, roofPeakRight.position);
    moveGuard = 1;
    MovePlaneWhole(1, shift);
    OffsetPlaneNode(2, 0, shift);
    OffsetPlaneNode(3, 2, shift);
    moveGuard = 0;
    UpdateRoofs();
    RecomputeBounds();
    return 0;
}

int RoofGroup::SetThickness(double value) {
    if (!std::isfinite(value) || value <= 0.0) return -1;
    for (Roof* plane : planes) {
        if (!plane) continue;
        plane->BaseSlab::SetThickness(value);
        plane->RecomputeBounds();
    }
    return 0;
}

// ---- Edits of the planes ------------------------------------------------------------

bool RoofGroup::CanKeepInsertedNode(const Roof* plane, int index) const {
    if (!plane) return true;
    const int i = plane->GetPlaneIndex();
    if (i == 0 || i == 1) {
        if (index == 1) return !planes[2];
        if (index == 2) return false;
        if (index == 3) return !planes[3];
        return true;
    }
    return index != 1 && index != 2;
}

bool RoofGroup::CanDeleteNode(const Roof* plane, int index) const {
    if (!plane) return true;
    const int i = plane->GetPlaneIndex();
    if (i == 0 || i == 1) {
        if (index == 0) return !planes[2];
        if (index == 1 || index == 2) return false;
        if (index == 3) return !planes[3];
        return true;
    }
    return index > 2;
}

void RoofGroup::ResetRoofEdges() {
    for (int i = 0; i < kPlanes; ++i) {
        Roof* plane = planes[i];
        if (!plane) continue;
        Outline& outline = plane->GetOutline();
        const int keep = i < 2 ? 4 : 3;
        while (outline.GetPrimaryCount() > keep)
            outline.DeletePoint(&outline.GetPrimaryPoints()[outline.GetPrimaryCount() - 1]);
        while (outline.GetPrimaryCount() < keep)
            outline.InsertPoint(Vector(), outline.GetPrimaryCount(), false);
        for (int k = 0; k < keep; ++k) {
            const PlaneNode& node = kPlaneNodes[i][k];
            const Vector position = node.source == kLeft    ? roofPeakLeft.position
                                    : node.source == kRight ? roofPeakRight.position
                                                            : Corner(node.source);
            outline.GetPrimaryPoints()[k].position.Set(position);
        }
        outline.Refresh();
        outline.ComputeNormal();
        plane->AllocateRoofArrays();
    }
    MoveWithPlane(0.0, 0.0, 0.0, nullptr);
    for (int i = 0; i < kPlanes; ++i) FitPlane(i);
    RecomputeBounds();
}

// ---- Scene --------------------------------------------------------------------------

void RoofGroup::RecomputeBounds() {
    box.min = roofPeakCenter.position;
    box.max = roofPeakCenter.position;
    for (int i = 0; i < initialOutline.GetPrimaryCount(); ++i) {
        const Vector& p = initialOutline.GetPrimaryPoints()[i].position;
        box.min.Set(std::fmin(box.min.x, p.x), std::fmin(box.min.y, p.y), std::fmin(box.min.z, p.z),
                    1.0);
        box.max.Set(std::fmax(box.max.x, p.x), std::fmax(box.max.y, p.y), std::fmax(box.max.z, p.z),
                    1.0);
    }
    for (const Roof* plane : planes) {
        if (!plane) continue;
        const BoundingBox& b = plane->GetBoundingBox();
        box.min.Set(std::fmin(box.min.x, b.min.x), std::fmin(box.min.y, b.min.y),
                    std::fmin(box.min.z, b.min.z), 1.0);
        box.max.Set(std::fmax(box.max.x, b.max.x), std::fmax(box.max.y, b.max.y),
                    std::fmax(box.max.z, b.max.z), 1.0);
    }
}

void RoofGroup::DetachRoof(Roof* plane) {
    if (!plane) return;
    for (int i = 0; i < kPlanes; ++i) {
        if (planes[i] != plane) continue;
        planes[i] = nullptr;
        allowRoof[i] = 0;
    }
    plane->SetGroup(nullptr, 0);
    selected = CountPlanes() == 0 ? 1 : 0;
    RecomputeBounds();
}

void RoofGroup::RemovePlane(int i) {
    Roof* plane = GetPlane(i);
    if (!plane) return;
    const uint8_t allowed = allowRoof[i];
    DetachRoof(plane);
    allowRoof[i] = allowed;
    if (BaseControl* control = theControl()) {
        control->scene.Remove(plane);
        // An editor that edits it lets go first.
        control->ReleaseHandles();
    }
    delete plane;
    planes[i] = nullptr;
}

bool RoofGroup::RemoveFromList(LinkedList& list) {
    if (IsLocked()) return false;
    if (!(selected && wireframeMode)) {
        // A selection of some planes deletes those planes alone. With no plane selected
        // (undo taking a drawn roof back selects the group only) the whole roof goes.
        bool anySelected = false, allSelected = true;
        for (const Roof* plane : planes) {
            if (!plane) continue;
            anySelected = anySelected || plane->IsSelected();
            allSelected = allSelected && plane->IsSelected();
        }
        if (anySelected && !allSelected) return false;
    }
    BaseControl* control = theControl();
    for (Roof*& plane : planes) {
        if (!plane) continue;
        Roof* gone = plane;
        plane = nullptr;
        gone->SetGroup(nullptr, 0);
        gone->DropDormerWalls();
        if (control) {
            control->scene.Remove(gone);
            control->deletedObjects.Append(gone);
        } else {
            list.Remove(gone);
            delete gone;
        }
    }
    return list.Remove(this);
}

bool RoofGroup::SetSelected(bool flag) {
    if (!flag && wireframeMode && !moveGuard) {
        wireframeMode = 0;
        FlagOverlappingLights();
    }
    selected = flag ? 1 : 0;
    return flag;
}

void RoofGroup::ToggleWireframe() {
    wireframeMode = wireframeMode ? 0 : 1;
    FlagOverlappingLights();
    MarkDirty();
}

void RoofGroup::MarkDirty() {
    RenderableObject::MarkDirty();
    for (Roof* plane : planes)
        if (plane) plane->MarkDirty();
}

bool RoofGroup::IsShownInCurrentView() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    bool shown = true;
    if ((control && (control->globalState.GetBoolean(15) || control->globalState.GetBoolean(17))) ||
        (view && (view->GetRenderState().GetInteger(0) == 1 ||
                  (view->GetRenderState().GetInt64(0) & TypeBit::kRoof)))) {
        shown = false;
    } else if (wireframeMode) {
        shown = true;
    } else {
        shown = RenderableObject::IsShownInCurrentView();
    }
    shownInView = shown ? 1 : 0;
    return shown;
}

void RoofGroup::Render() {
    BaseControl* control = theControl();
    if (!shownInView || !control) return;
    glLoadName(GetPickName());
    if (control->globalState.GetBoolean(15) || control->globalState.GetBoolean(17)) return;
    if (!selected && CountPlanes() > 0 && !wireframeMode) return;
    const bool handles = selected && !IsLocked();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    const Vector& L = roofPeakLeft.position;
    const Vector& R = roofPeakRight.position;
    if (wireframeMode) {
        glPushMatrix();
        glTranslated(0.0, -polygonYOffset, 0.0);
        glColor4d(0.0, 0.0, 0.0, 1.0);
        const Vector m03 = LeftEndMiddle(), m12 = RightEndMiddle();
        const Vector lines[12] = {L, R, m03, m12, Corner(0), L, Corner(1), R, Corner(2), R, Corner(3), L};
        glBegin(GL_LINES);
        for (const Vector& p : lines) glVertex3d(p.x, p.y, p.z);
        glEnd();
        glBegin(GL_LINE_LOOP);
        for (int i = 0; i < 4; ++i) glVertex3d(Corner(i).x, Corner(i).y, Corner(i).z);
        glEnd();
        if (handles) {
            glColor4d(1.0, 0.0, 0.0, 0.5);
            const Vector at = Midpoint(Corner(0), L);
            glPushName(rotationHandle.GetPickName());
            glPushMatrix();
            glTranslated(at.x, at.y, at.z);
            control->DrawMarker(5.0);
            glPopMatrix();
            glPopName();
            glColor4d(0.0, 0.0, 1.0, 0.5);
            for (int i = 0; i < 4; ++i) {
                OutlinePoint& node = initialOutline.GetPrimaryPoints()[i];
                glPushName(node.edge->GetPickName());
                glPushName(node.GetPickName());
                DrawSphereAt(*control, Midpoint(Corner(i), Corner((i + 1) % 4)), kHandleRadius);
                glPopName();
                glPopName();
            }
        }
        glEnable(GL_BLEND);
        glColor4d(0.3, 0.3, 0.3, 0.5);
        glPushName(footprintTarget.GetPickName());
        glBegin(GL_POLYGON);
        const bool up = initialOutline.normal.y > 0.0;
        for (int k = 0; k < 4; ++k) {
            const Vector p = Corner(up ? k : 3 - k);
            glVertex3d(p.x, p.y, p.z);
        }
        glEnd();
        glPopName();
        glPopMatrix();
    }
    if (handles) {
        const double lift = wireframeMode ? 0.0 : 10.0;
        auto peak = [&](OutlinePoint& point, double r, double g, double b) {
            glColor4d(r, g, b, 0.5);
            glPushName(point.GetPickName());
            Vector at = point.position;
            at.y += lift;
            DrawSphereAt(*control, at, kHandleRadius);
            glPopName();
        };
        peak(roofPeakCenter, 1.0, 0.0, 1.0);
        peak(roofPeakLeft, 1.0, 0.0, 0.0);
        peak(roofPeakRight, 1.0, 0.0, 0.0);
    }
    glPopAttrib();
}

// ---- Menu ---------------------------------------------------------------------------

void RoofGroup::BuildPropertyMenu(platform::Menu& menu) {
    AppendMenuItems(menu);
    menu.AppendItem(kResetRoofEdges, "Reset Roof Edges");
}

bool RoofGroup::ProcessPropertyMenu(uint32_t id) {
    if (UndoableObject::ProcessPropertyMenu(id)) return true;
    if (id == kResetRoofEdges) {
        ResetRoofEdges();
        return true;
    }
    return OnCommand(id);
}

// ---- Key data -----------------------------------------------------------------------

void RoofGroup::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("RoofGroup");
    KeyDataList& keys = *element->GetChildren();
    keys.AddDouble("wireframeMode", wireframeMode ? 1.0 : 0.0);
    keys.AddDouble("roofsCreated", roofsCreated ? 1.0 : 0.0);
    initialOutline.Save(keys, "initialOutline");
    roofPeakCenter.position.WriteChild(keys, "roofPeakCenter");
    roofPeakLeft.position.WriteChild(keys, "roofPeakLeft");
    roofPeakRight.position.WriteChild(keys, "roofPeakRight");
    keys.AddDouble("polygonYOffset", polygonYOffset);
    keys.AddDouble(kIdKey, GetObjectId());
    char name[32];
    for (int i = 0; i < kPlanes; ++i) {
        std::snprintf(name, sizeof name, "allowRoof%i", i);
        keys.AddDouble(name, allowRoof[i] ? 1.0 : 0.0);
        Roof* plane = planes[i];
        if (!plane || plane->IsRemoved()) continue;
        std::snprintf(name, sizeof name, "subroof%i", i);
        KeyDataList* slot = keys.AddSublist(name);
        plane->WriteRoofElement();
        if (KeyDataSublist* written = plane->TakeWrittenElement()) slot->Add(written);
    }
}

namespace {

// The id of a "removedTransactionId" element; false when it is not an object id.
bool RemovedId(const BaseKeyDataElement& record, TransactionId& id) {
    if (!record.IsElement() || std::strcmp(record.GetName(), kRemovedIdKey) != 0) return false;
    const double value = ParseKeyDataNumber(static_cast<const KeyDataElement&>(record).Value());
    if (!std::isfinite(value) || value < 0.0 || value >= static_cast<double>(kNoTransactionId))
        return false;
    id = static_cast<TransactionId>(value);
    return true;
}

bool ReadId(const KeyDataList& keys, TransactionId& id) {
    double value = 0.0;
    if (!keys.GetDouble(kIdKey, value)) return false;
    if (!std::isfinite(value) || value < 0.0 || value >= static_cast<double>(kNoTransactionId))
        return false;
    id = static_cast<TransactionId>(value);
    return true;
}

}  // namespace

bool RoofGroup::ReadKeyData(KeyDataList& keys) {
    if (keys.IsEmpty()) return false;
    roofPeakCenter.position.ReadChild(keys, "roofPeakCenter");
    roofPeakLeft.position.ReadChild(keys, "roofPeakLeft");
    roofPeakRight.position.ReadChild(keys, "roofPeakRight");
    initialOutline.Load(keys, "initialOutline");
    if (initialOutline.GetPrimaryCount() != 4) {
        // The footprint is always four nodes; anything else read is not used.
        TraceWrite("Roof group: the footprint read does not have four nodes");
        while (initialOutline.GetPrimaryCount() > 4)
            initialOutline.DeletePoint(&initialOutline.GetPrimaryPoints()[initialOutline.GetPrimaryCount() - 1]);
        while (initialOutline.GetPrimaryCount() < 4)
            initialOutline.InsertPoint(Vector(), initialOutline.GetPrimaryCount(), false);
    }
    double offset = 0.0;
    if (keys.GetDouble("polygonYOffset", offset) && std::isfinite(offset)) polygonYOffset = offset;
    TransactionId id = kNoTransactionId;
    if (ReadId(keys, id)) SetObjectId(id);

    bool removedAny = false;
    for (BaseKeyDataElement* m = keys.GetFirstMember(); m; m = m->GetNextMember()) {
        TransactionId gone = kNoTransactionId;
        if (!RemovedId(*m, gone)) continue;
        for (int i = 0; i < kPlanes; ++i)
            if (planes[i] && planes[i]->GetObjectId() == gone) {
                RemovePlane(i);
                removedAny = true;
            }
    }
    char name[32];
    for (int i = 0; i < kPlanes; ++i) {
        if (!planes[i]) continue;
        std::snprintf(name, sizeof name, "subroof%i", i);
        KeyDataList* slot = keys.GetSublist(name);
        if (slot->IsEmpty()) continue;
        for (BaseKeyDataElement* m = slot->GetFirstMember(); m; m = m->GetNextMember()) {
            TransactionId gone = kNoTransactionId;
            if (RemovedId(*m, gone) && gone == planes[i]->GetObjectId()) {
                RemovePlane(i);
                removedAny = true;
                break;
            }
        }
    }
    BaseControl* control = theControl();
    if (removedAny && control) control->RebuildDisplayData();

    for (int i = 0; i < kPlanes; ++i) {
        std::snprintf(name, sizeof name, "allowRoof%i", i);
        bool allowed = true;
        if (keys.GetBool(name, allowed)) allowRoof[i] = allowed ? 1 : 0;
        std::snprintf(name, sizeof name, "subroof%i", i);
        KeyDataList* slot = keys.GetSublist(name);
        if (slot->IsEmpty()) continue;
        KeyDataList* roofKeys = slot->GetSublist("Roof");
        if (roofKeys->IsEmpty()) continue;
        TransactionId planeId = kNoTransactionId;
        const bool hasId = ReadId(*roofKeys, planeId);
        if (planes[i] && hasId && planes[i]->GetObjectId() == planeId) {
            planes[i]->ReadKeyData(*roofKeys);
            continue;
        }
        // A different plane takes the slot: the one there goes, so none is left
        // pointing at this group.
        if (planes[i]) RemovePlane(i);
        auto* plane = new Roof(true);
        plane->SetGroup(this, i);
        plane->ReadKeyData(*roofKeys);
        planes[i] = plane;
        if (control) control->scene.Append(plane);
        allowRoof[i] = 1;
    }
    bool flag = false;
    if (keys.GetBool("wireframeMode", flag)) wireframeMode = flag ? 1 : 0;
    if (keys.GetBool("roofsCreated", flag)) roofsCreated = flag ? 1 : 0;
    RecomputeBounds();
    return true;
}
