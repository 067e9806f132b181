#include "model/Snapping.h"

#include <cmath>
#include <cstring>

#include "building/Wall.h"
#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/ViewState.h"
#include "model/RenderableObject.h"
#include "model/SceneView.h"
#include "model/TopLevelObject.h"

namespace {

// Walls hold objects this far above and below their box.
constexpr double kWallHeightMargin = 20.0;
constexpr double kShortestWall = 0.001;

// The centre, half height and diagonal of eight corners.
struct Extent {
    Vector centre;
    double halfHeight = 0.0;
    double diagonal = 0.0;
};

Extent ExtentOfCorners(const Vector* corners) {
    BoundingBox around;
    around.SetFromPoints(corners, 8);
    Extent e;
    e.centre = around.min.Midpoint(around.max);
    e.halfHeight = (around.max.y - around.min.y) * 0.5;
    e.diagonal = around.min.Distance(around.max);
    return e;
}

bool OverlapsVertically(const Extent& a, const Extent& b) {
    return b.centre.y - b.halfHeight <= a.halfHeight + a.centre.y &&
           a.centre.y - a.halfHeight <= b.halfHeight + b.centre.y;
}

bool IsNear(const Extent& a, const Extent& b, double best) {
    return a.centre.Distance(b.centre) - a.diagonal - b.diagonal <= best;
}

// The nearest pair of corners closer than `best`: lowers best and sets the offset from
// the own corner to the other one.
bool NearestCornerPair(const Vector* own, const Vector* other, double& best, Vector& offset) {
    bool found = false;
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) {
            const double d = own[i].Distance(other[j]);
            if (d < best) {
                best = d;
                offset = other[j];
                offset.Subtract(own[i]);
                found = true;
            }
        }
    }
    return found;
}

uint64_t ActiveHiddenTypes(BaseControl& control) {
    SceneView* view = control.GetActiveView();
    return view ? view->GetRenderState().GetInt64(0) : 0;
}

bool CentreLine(const Wall& wall, Vector& p0, Vector& p1) {
    if (!wall.HasWallShape()) return false;
    const OutlinePoint* nodes = wall.GetOutline().GetPrimaryPoints();
    p0 = nodes[0].position;
    p1 = nodes[wall.GetWallEndIndex()].position;
    return true;
}

// Runs `f` on every object of the scene under the render lock and the list's lock.
template <typename F>
void ForEachSceneObject(BaseControl& control, F&& f) {
    control.LockRender();
    LinkedListIterator it(control.scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) f(node);
    it.UnlockList();
    control.UnlockRender();
}

}  // namespace

void SnappableObject::AttachRenderable() {
    snapRenderable = dynamic_cast<RenderableObject*>(this);
    snapBox = snapRenderable ? &snapRenderable->GetBoundingBox() : nullptr;
}

void SnappableObject::ReadSnapMode(const KeyDataList& keys) {
    const char* value = keys.GetString("canBeSnappedTo");
    if (!value) return;
    if (std::strcmp(value, "none") == 0)
        snapMode = kSnapNone;
    else if (std::strcmp(value, "slabObjects") == 0)
        snapMode = kSnapSlabObjects;
}

void SnappableObject::WriteSnapMode(KeyDataList& keys) const {
    static const char* const names[] = {"none", "floorObjects", "slabObjects"};
    if (snapMode >= kSnapNone && snapMode <= kSnapSlabObjects)
        keys.AddString("canBeSnappedTo", names[snapMode]);
}

Vector SnappableObject::GetBoxCenterWorld() const {
    Vector centre = position;
    if (snapBox) centre.Add(snapBox->min.Midpoint(snapBox->max));
    centre.w = 1.0;
    return centre;
}

bool SnappableObject::SnapToObjects(double distance) {
    if (snapMode == kSnapNone) return false;
    Vector offset;
    if (FindObjectSnap(distance, offset)) OffsetPosition(offset);
    return true;
}

SnappableObject* SnappableObject::FindObjectSnap(double distance, Vector& offset) const {
    BaseControl* control = theControl();
    if (!control || !snapRenderable || !snapBox) return nullptr;
    Vector own[8];
    std::memcpy(static_cast<void*>(own), snapRenderable->GetCorners(), sizeof own);
    Extent self;
    self.centre = GetBoxCenterWorld();
    self.halfHeight = (snapBox->max.y - snapBox->min.y) * 0.5;
    self.diagonal = snapBox->max.Distance(snapBox->min);

    double best = distance;
    SnappableObject* target = nullptr;
    ForEachSceneObject(*control, [&](LinkedListObject* node) {
        auto* other = dynamic_cast<SnappableObject*>(node);
        if (!other || other == this || !other->snapRenderable || !other->snapBox) return;
        auto* top = dynamic_cast<TopLevelObject*>(node);
        if (!top || !top->IsVisible()) return;
        Extent theirs;
        theirs.centre = other->GetBoxCenterWorld();
        theirs.halfHeight = (other->snapBox->max.y - other->snapBox->min.y) * 0.5;
        theirs.diagonal = other->snapBox->max.Distance(other->snapBox->min);
        if (!OverlapsVertically(self, theirs) || !IsNear(self, theirs, best)) return;
        if (WallBetween(self.centre, theirs.centre)) return;
        if (NearestCornerPair(own, other->snapRenderable->GetCorners(), best, offset))
            target = other;
    });
    return target;
}

bool WallBetween(const Vector& a, const Vector& b) {
    BaseControl* control = theControl();
    if (!control) return false;
    bool between = false;
    ForEachSceneObject(*control, [&](LinkedListObject* node) {
        auto* wall = dynamic_cast<Wall*>(node);
        Vector p0, p1;
        if (between || !wall || !CentreLine(*wall, p0, p1)) return;
        const BoundingBox& box = wall->GetBoundingBox();
        const double low = box.min.y - kWallHeightMargin;
        const double high = box.max.y + kWallHeightMargin;
        if (a.y < low || a.y > high || b.y < low || b.y > high) return;
        Vector footA, footB;
        const double ta = a.ProjectOntoLine(p0, p1, footA);
        const double tb = b.ProjectOntoLine(p0, p1, footB);
        if (!(ta > 0.0 && ta < 1.0 && tb > 0.0 && tb < 1.0)) return;
        const Vector toA(a.x - footA.x, 0.0, a.z - footA.z);
        const Vector toB(b.x - footB.x, 0.0, b.z - footB.z);
        between = toA.Dot(toB) < 0.0;
    });
    return between;
}

bool SnappableObject::SnapToWall(double distance) {
    if (snapMode == kSnapNone) return false;
    Vector offset(0.0, 0.0, 0.0);
    Wall* wall = FindWallSnap(distance, offset);
    if (!wall) return false;
    Vector n = wall->GetOutline().normal;
    if (n.Dot(offset) > 0.0) n.Negate();
    n.Scale(wall->GetThickness() / 2.0);
    offset.Add(n);
    offset.y = 0.0;
    Vector objectOffset;
    if (FindWallObjectSnap(distance, objectOffset)) offset = objectOffset;
    OffsetPosition(offset);
    return true;
}

Wall* SnappableObject::FindWallSnap(double distance, Vector& offset) const {
    BaseControl* control = theControl();
    if (!control || !snapRenderable || !snapBox) return nullptr;
    if (ActiveHiddenTypes(*control) & TypeBit::kWall) return nullptr;
    Vector own[8];
    std::memcpy(static_cast<void*>(own), snapRenderable->GetCorners(), sizeof own);
    const Vector centre = GetBoxCenterWorld();
    const double h = (snapBox->max.y - snapBox->min.y) * 0.5;

    double best = distance;
    Wall* found = nullptr;
    ForEachSceneObject(*control, [&](LinkedListObject* node) {
        auto* wall = dynamic_cast<Wall*>(node);
        Vector p0, p1;
        // Hidden walls take no objects.
        if (!wall || !wall->IsVisible() || !CentreLine(*wall, p0, p1)) return;
        const BoundingBox& wallBox = wall->GetBoundingBox();
        if (!(wallBox.min.y <= centre.y + h && centre.y - h <= wallBox.max.y)) return;
        if (p0.Distance(p1) < kShortestWall) return;
        for (const Vector& corner : own) {
            Vector foot;
            Vector c = corner;
            const double t = c.ProjectOntoLine(p0, p1, foot);
            // Distances are horizontal.
            c.y = foot.y;
            double d;
            Vector target;
            if (t <= 0.0 || t >= 1.0) {
                const double d0 = c.Distance(p0);
                const double d1 = c.Distance(p1);
                d = d0 < d1 ? d0 : d1;
                target = d0 < d1 ? p0 : p1;
            } else {
                d = c.Distance(foot) - wall->GetThickness() / 2.0;
                target = foot;
            }
            if (d < best) {
                best = d;
                found = wall;
                offset = target;
                offset.Subtract(c);
            }
        }
    });
    return found;
}

RenderableObject* SnappableObject::FindWallObjectSnap(double distance, Vector& offset) const {
    BaseControl* control = theControl();
    if (!control || snapMode != kSnapSlabObjects || ActiveHiddenTypes(*control) != 0)
        return nullptr;
    Vector wallOffset;
    Wall* wall = FindWallSnap(distance, wallOffset);
    if (!wall) return nullptr;
    const bool side = wall->GetOutline().normal.Dot(wallOffset) < 0.0;

    Vector own[8];
    std::memcpy(static_cast<void*>(own), snapRenderable->GetCorners(), sizeof own);
    Extent self;
    self.centre = GetBoxCenterWorld();
    self.halfHeight = (snapBox->max.y - snapBox->min.y) * 0.5;
    self.diagonal = snapBox->max.Distance(snapBox->min);

    double best = distance;
    RenderableObject* target = nullptr;
    control->LockRender();
    // The objects mounted on the wall: set into it or standing on it.
    for (LinkedList* list : {&wall->GetInSlabList(), &wall->GetOnSlabList()}) {
        LinkedListIterator it(*list);
        it.LockList();
        for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
            auto* child = dynamic_cast<RenderableObject*>(node);
            if (!child || child == snapRenderable) continue;
            Vector corners[8];
            std::memcpy(static_cast<void*>(corners), child->GetCorners(), sizeof corners);
            const Extent theirs = ExtentOfCorners(corners);
            if (wall->IsOnNormalSide(theirs.centre) != side) continue;
            if (!OverlapsVertically(self, theirs) || !IsNear(self, theirs, best)) continue;
            if (NearestCornerPair(own, corners, best, offset)) target = child;
        }
        it.UnlockList();
    }
    control->UnlockRender();
    return target;
}
