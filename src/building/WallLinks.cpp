// Linking wall ends, keeping chains of linked walls together, and moving walls and their
// ends while linked.
#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

#include "building/Wall.h"
#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "geometry/ViewProjection.h"
#include "model/SceneView.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;

Vector LevelUnit(Vector v) {
    v.y = 0.0;
    v.Normalize();
    return v;
}

Vector Raised(const Vector& p, double height) {
    return Vector(p.x, p.y + height, p.z);
}

// The walls a walk has visited; a walk that comes back to one ends there, with a trace.
class Walk {
public:
    explicit Walk(const char* what) : what(what) {}
    bool Enter(const Wall* wall) {
        if (visited.insert(wall).second) return true;
        theTrace().WriteFormat("Wall chain: %s ended at a wall seen before", what);
        return false;
    }

private:
    const char* what;
    std::unordered_set<const Wall*> visited;
};

}  // namespace

// ---- Links --------------------------------------------------------------------------

void Wall::SetEndLink(int end, Wall* other, LinkedWallPoint* joint) {
    if (end == 1) {
        linkedBegin = other;
        beginPoint = joint;
    } else {
        linkedEnd = other;
        endPoint = joint;
    }
}

bool Wall::LinkWith(Wall* other, int a, int b) {
    if (!other || other == this || (a != 1 && a != 2) || (b != 1 && b != 2)) return false;
    if (!HasWallShape() || !other->HasWallShape()) return false;
    Wall* const B = other;
    if ((a == 1 && linkedEnd == B) || (a == 2 && linkedBegin == B)) return false;
    const int kA = FindCrossingWall(false);
    const int kB = B->FindCrossingWall(false);
    if (!linkable || !B->linkable) return false;
    if (thickness != B->thickness) return false;
    if ((a == 1 ? linkedBegin : linkedEnd) || (b == 1 ? B->linkedBegin : B->linkedEnd))
        return false;
    double t = 0.0;
    if (((a == 1 && kA == 1) || (a == 2 && kA == 2)) && !B->CrossesWithin(*this, t)) return false;
    if (((b == 1 && kB == 1) || (b == 2 && kB == 2)) && !CrossesWithin(*B, t)) return false;
    if (std::fabs(std::fabs(outline.normal.Dot(B->outline.normal)) - 1.0) < 0.0001) return false;

    // What a refused link puts back.
    struct Saved {
        Wall* wall;
        Vector nodes[4];
        Vector bevels[4];
    };
    auto save = [](Wall* w) {
        Saved s{w, {}, {}};
        const OutlinePoint* nodes = w->outline.GetPrimaryPoints();
        const int count = w->outline.GetPrimaryCount();
        const int index[4] = {0, w->wallEndIndex, w->wallEndIndex + 1, count - 1};
        for (int i = 0; i < 4; ++i) s.nodes[i] = nodes[index[i]].position;
        s.bevels[0] = w->insideBeginBevel;
        s.bevels[1] = w->insideEndBevel;
        s.bevels[2] = w->outsideBeginBevel;
        s.bevels[3] = w->outsideEndBevel;
        return s;
    };
    const Saved saved[2] = {save(this), save(B)};

    const double crossing = B->CrossingParameter(*this);
    const Vector d = GetDirection();
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    auto* joint = new LinkedWallPoint;
    if (a == 1) {
        joint->position = nodes[0].position;
        if (crossing != kNoCrossing) joint->position.Offset(crossing * d.x, 0.0, crossing * d.z);
        joint->height = BeginHeight();
    } else {
        joint->position = nodes[wallEndIndex].position;
        if (crossing != kNoCrossing)
            joint->position.Offset(-(1.0 - crossing) * d.x, 0.0, -(1.0 - crossing) * d.z);
        joint->height = EndHeight();
    }
    SetEndLink(a, B, joint);
    B->SetEndLink(b, this, joint);

    Wall* head = FindChainHead(linkedEnd, linkedEnd);
    if (!head) head = this;
    chainHead = head;
    SetChainHead(head, B);
    B->SetChainHead(head, this);
    head->PropagateChain(this);

    if ((placed && !IsPositionValid()) || (B->placed && !B->IsPositionValid())) {
        for (const Saved& s : saved) {
            OutlinePoint* n = s.wall->outline.GetPrimaryPoints();
            const int count = s.wall->outline.GetPrimaryCount();
            const int index[4] = {0, s.wall->wallEndIndex, s.wall->wallEndIndex + 1, count - 1};
            for (int i = 0; i < 4; ++i) n[index[i]].position = s.nodes[i];
            s.wall->outline.Refresh();
            s.wall->outline.ComputeNormal();
        }
        Unlink(B, true);
        for (const Saved& s : saved) {
            s.wall->insideBeginBevel = s.bevels[0];
            s.wall->insideEndBevel = s.bevels[1];
            s.wall->outsideBeginBevel = s.bevels[2];
            s.wall->outsideEndBevel = s.bevels[3];
            s.wall->RecomputeBounds();
        }
        return false;
    }
    return true;
}

bool Wall::LinkWithUndo(Wall* other, int end, int otherEnd) {
    if (HasOpenStep()) return LinkWith(other, end, otherEnd);
    UndoableObject::BeginUndoStep();
    const bool linked = LinkWith(other, end, otherEnd);
    if (linked)
        UndoableObject::EndUndoStep();
    else
        UndoableObject::CancelUndoStep();
    return linked;
}

void Wall::Unlink(Wall* other, bool deleteJoint) {
    if (!other) return;
    if (other == linkedBegin) {
        linkedBegin = nullptr;
        if (deleteJoint) delete beginPoint;
        beginPoint = nullptr;
    } else if (other == linkedEnd) {
        linkedEnd = nullptr;
        if (deleteJoint) delete endPoint;
        endPoint = nullptr;
    } else {
        return;
    }
    chainHead = this;
    other->Unlink(this, false);
    RecomputeBounds();
    if (Wall* neighbour = linkedBegin ? linkedBegin : linkedEnd) {
        neighbour->SetChainHead(this, this);
        neighbour->PropagateChain(this);
    }
}

// ---- Chains -------------------------------------------------------------------------

Wall* Wall::FindChainHead(Wall* stop, Wall* previous) {
    Walk walk("finding the head");
    Wall* current = this;
    while (walk.Enter(current)) {
        if (!current->linkedBegin) return current;
        Wall* end = current->linkedEnd;
        if (!end || current == stop) return current;
        Wall* next;
        if (end == previous)
            next = current->linkedBegin;
        else if (current->linkedBegin == previous)
            next = end;
        else
            return nullptr;
        previous = current;
        current = next;
    }
    return nullptr;
}

void Wall::SetChainHead(Wall* head, Wall* from) {
    chainHead = head;
    if (head == this) return;
    Walk walk("setting the head");
    walk.Enter(this);
    Wall* previous = from;
    Wall* current = this;
    while (true) {
        Wall* next = nullptr;
        if (previous == current->linkedBegin && current->linkedEnd)
            next = current->linkedEnd;
        else if (previous == current->linkedEnd && current->linkedBegin)
            next = current->linkedBegin;
        if (!next || !walk.Enter(next)) return;
        next->chainHead = head;
        if (next == head) return;
        previous = current;
        current = next;
    }
}

void Wall::ApplyJoints() {
    if (!HasWallShape()) return;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const int last = outline.GetPrimaryCount() - 1;
    if (linkedBegin && beginPoint) {
        nodes[0].position.Set(beginPoint->position);
        nodes[last].position.Set(Raised(beginPoint->position, beginPoint->height));
    }
    if (linkedEnd && endPoint) {
        nodes[wallEndIndex].position.Set(endPoint->position);
        nodes[wallEndIndex + 1].position.Set(Raised(endPoint->position, endPoint->height));
    }
    outline.Refresh();
    outline.ComputeNormal();
}

void Wall::PropagateChain(Wall* from) {
    // Node positions go from this wall outwards; faces are rebuilt from the far end back.
    std::vector<Wall*> order;
    Walk walk("propagating");
    Wall* current = this;
    while (current && walk.Enter(current)) {
        order.push_back(current);
        current->ApplyJoints();
        Wall* head = current->chainHead;
        Wall* next = nullptr;
        if ((current == head || from == current->linkedBegin) && current->linkedEnd &&
            current->linkedEnd != head)
            next = current->linkedEnd;
        else if ((current == head || from == current->linkedEnd) && current->linkedBegin &&
                 current->linkedBegin != head)
            next = current->linkedBegin;
        from = current;
        current = next;
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        (*it)->ComputeBevels();
        (*it)->RecomputeBounds();
    }
}

void Wall::UpdateLinkedPoints() {
    if (HasWallShape()) {
        const OutlinePoint* nodes = outline.GetPrimaryPoints();
        if (linkedBegin && beginPoint) {
            beginPoint->position.Set(nodes[0].position);
            beginPoint->height = BeginHeight();
        }
        if (linkedEnd && endPoint) {
            endPoint->position.Set(nodes[wallEndIndex].position);
            endPoint->height = EndHeight();
        }
    }
    Wall* head = chainHead ? chainHead : this;
    head->PropagateChain(this);
}

bool Wall::ChainIsValid() {
    if (!IsPositionValid()) return false;
    for (Wall* neighbour : {linkedBegin, linkedEnd})
        if (neighbour && !neighbour->IsPositionValid()) return false;
    return true;
}

// ---- Moves --------------------------------------------------------------------------

Vector Wall::FarEndOf(const Wall& other) const {
    const OutlinePoint* nodes = other.outline.GetPrimaryPoints();
    return other.linkedBegin == this ? nodes[other.wallEndIndex].position : nodes[0].position;
}

void Wall::MoveSlabBy(double dx, double dy, double dz, bool constrained) {
    if (dy != 0.0 || IsLocked()) return;
    if (!std::isfinite(dx) || !std::isfinite(dz)) return;
    if ((linkedBegin && linkedBegin->IsLocked()) || (linkedEnd && linkedEnd->IsLocked())) return;
    if (!HasWallShape()) return;
    if (!constrained && !linkedBegin && !linkedEnd) {
        theTrace().Write("wms");
        BaseSlab::MoveSlabBy(dx, dy, dz, constrained);
        if (FindCrossingWall(true) != 0) {
            theTrace().Write("x");
            BaseSlab::MoveSlabBy(-dx, -dy, -dz, constrained);
            return;
        }
        ComputeBevels();
        if (!ChildrenFitBevels()) {
            theTrace().Write("x2");
            BaseSlab::MoveSlabBy(-dx, -dy, -dz, constrained);
            ComputeBevels();
        }
        RecomputeBounds();
        return;
    }

    // Linked (or held): only across the wall.
    const Vector n = outline.normal;
    double m = dx * n.x + dz * n.z;
    if (!constrained) {
        if (std::fabs(m) > 0.5)
            m = std::floor(m + 0.5);
        else if (std::fabs(m) > 0.1)
            m = m > 0.0 ? 1.0 : -1.0;
        else
            m = 0.0;
    }
    if (m == 0.0 || !std::isfinite(m)) return;
    const Vector v(m * n.x, 0.0, m * n.z);

    const Vector u = LevelUnit(GetDirection());
    Vector dB, dE;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector savedBegin = nodes[0].position;
    const Vector savedEnd = nodes[wallEndIndex].position;
    const Vector savedBeginJoint = beginPoint ? beginPoint->position : Vector();
    const Vector savedEndJoint = endPoint ? endPoint->position : Vector();
    if (std::fabs(u.y) > 0.01) return;
    // A neighbour the wall cannot slide along (parallel to the move) stops it.
    constexpr double kSmallestSlide = 1e-9;
    if (linkedBegin) {
        dB = FarEndOf(*linkedBegin);
        dB.Subtract(savedBegin);
        dB.Normalize();
        if (std::fabs(dB.y) > 0.01 || std::fabs(n.Dot(dB)) < kSmallestSlide) return;
    }
    if (linkedEnd) {
        dE = FarEndOf(*linkedEnd);
        dE.Subtract(savedEnd);
        dE.Normalize();
        if (std::fabs(dE.y) > 0.01 || std::fabs(n.Dot(dE)) < kSmallestSlide) return;
    }
    // Old directions of the wall and its neighbours, to see that none turns round.
    const Vector oldDirection = GetDirection();
    const Vector oldBegin = linkedBegin ? linkedBegin->GetDirection() : Vector();
    const Vector oldEnd = linkedEnd ? linkedEnd->GetDirection() : Vector();

    auto restoreJoints = [&] {
        if (beginPoint) beginPoint->position = savedBeginJoint;
        if (endPoint) endPoint->position = savedEndJoint;
    };
    auto moveBack = [&] {
        Vector back = v;
        back.Negate();
        BaseSlab::MoveSlabBy(back.x, 0.0, back.z, constrained);
        restoreJoints();
    };

    theTrace().Write("WMS");
    BaseSlab::MoveSlabBy(v.x, 0.0, v.z, constrained);
    if (beginPoint) {
        beginPoint->position = savedBegin;
        beginPoint->position.Offset(dB.x * (m / n.Dot(dB)), 0.0, dB.z * (m / n.Dot(dB)));
    }
    if (endPoint) {
        endPoint->position = savedEnd;
        endPoint->position.Offset(dE.x * (m / n.Dot(dE)), 0.0, dE.z * (m / n.Dot(dE)));
    }
    // The directions the joints give.
    auto turnsRound = [&]() {
        const Vector b = beginPoint ? beginPoint->position : outline.GetPrimaryPoints()[0].position;
        const Vector e =
            endPoint ? endPoint->position : outline.GetPrimaryPoints()[wallEndIndex].position;
        Vector now(e.x - b.x, 0.0, e.z - b.z);
        if (now.Dot(oldDirection) < 0.0) return true;
        for (Wall* neighbour : {linkedBegin, linkedEnd}) {
            if (!neighbour) continue;
            const LinkedWallPoint* joint = neighbour == linkedBegin ? beginPoint : endPoint;
            const Vector far = FarEndOf(*neighbour);
            Vector dir = neighbour->linkedBegin == this
                             ? Vector(far.x - joint->position.x, 0.0, far.z - joint->position.z)
                             : Vector(joint->position.x - far.x, 0.0, joint->position.z - far.z);
            if (dir.Dot(neighbour == linkedBegin ? oldBegin : oldEnd) < 0.0) return true;
        }
        return false;
    };
    if (FindCrossingWall(true) != 0 || turnsRound()) {
        theTrace().Write("X");
        moveBack();
        chainHead->PropagateChain(this);
        return;
    }
    chainHead->PropagateChain(this);
    if (!ChainIsValid()) {
        theTrace().Write("X2");
        moveBack();
        chainHead->PropagateChain(this);
    }
    theTrace().Write("eWMS");
}

void Wall::MoveEndTo(const Vector& point, int endNode) {
    if (!HasWallShape() || (endNode != 0 && endNode != wallEndIndex)) return;
    const bool begin = endNode == 0;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const int top = begin ? outline.GetPrimaryCount() - 1 : wallEndIndex + 1;
    Vector centre = nodes[begin ? wallEndIndex : 0].position;
    centre.y = nodes[endNode].position.y;
    const Vector from = nodes[endNode].position;
    RotateSlab(from, point, centre);
    nodes = outline.GetPrimaryPoints();
    const Vector shift(point.x - nodes[endNode].position.x, point.y - nodes[endNode].position.y,
                       point.z - nodes[endNode].position.z);
    nodes[endNode].position.Add(shift);
    nodes[top].position.Add(shift);
    outline.Refresh();
    outline.ComputeNormal();
}

Vector Wall::DirectionAwayFrom(const Wall* neighbour) const {
    Vector d = LevelUnit(GetDirection());
    if (neighbour == linkedEnd) d.Negate();
    return d;
}

double Wall::JoinInset(const Wall* neighbour) const {
    if (!neighbour || (neighbour != linkedBegin && neighbour != linkedEnd)) return 0.0;
    const Vector mine = DirectionAwayFrom(neighbour);
    Vector theirs = LevelUnit(neighbour->GetDirection());
    if (neighbour->linkedBegin != this) theirs.Negate();
    double h = std::acos(std::clamp(mine.Dot(theirs), -1.0, 1.0)) / 2.0;
    if (neighbour == linkedEnd) h = -h;
    if (std::fabs(h) < kPi / 2.0 && std::fabs(std::tan(h)) > 0.001)
        return thickness / (2.0 * std::tan(h));
    return thickness / 2.0;
}

void Wall::DragEnd(const ViewProjection& view, int x, int y, PickableObject* grabbed, bool notMoved,
                   bool wallDrag) {
    if (!HasWallShape() || IsLocked()) return;
    const int count = outline.GetPrimaryCount();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const bool begin =
        grabbed == nodes[count - 1].edge || grabbed == &nodes[count - 1] || grabbed == &nodes[0];
    if (wallDrag && ((begin && linkedBegin) || (!begin && linkedEnd))) return;
    const int endNode = begin ? 0 : wallEndIndex;
    const int topNode = begin ? count - 1 : wallEndIndex + 1;
    const int oppositeNode = begin ? wallEndIndex : 0;
    const double middle = (nodes[endNode].position.y + nodes[topNode].position.y) / 2.0;

    // Where the cursor points: on the wall's own plane when the view looks along the
    // ground, else at the end's mid height.
    BaseControl* control = theControl();
    SceneView* active = control ? control->GetActiveView() : nullptr;
    const int mode = active ? active->GetRenderState().GetInteger(0) : 0;
    Vector nearPoint, farPoint;
    double lookY = 1.0;
    if (view.Unproject(view.viewport[2] / 2.0, view.viewport[3] / 2.0, 0.0, nearPoint) &&
        view.Unproject(view.viewport[2] / 2.0, view.viewport[3] / 2.0, 1.0, farPoint)) {
        Vector sight(nearPoint.x - farPoint.x, nearPoint.y - farPoint.y, nearPoint.z - farPoint.z);
        sight.Normalize();
        lookY = sight.y;
    }
    Vector point;
    if (mode == 2 || std::fabs(lookY) <= 0.1) {
        if (!wallDrag || outline.normal.Length() == 0.0) return;
        if (!outline.ScreenToPlaneThrough(view, x, y, nodes[endNode].position, outline.normal,
                                          point))
            return;
    } else if (!outline.ScreenToPlaneThrough(view, x, y, Vector(0.0, middle, 0.0),
                                             Vector(0.0, 1.0, 0.0), point)) {
        return;
    }

    std::vector<Vector> saved;
    for (int i = 0; i < count; ++i) saved.push_back(nodes[i].position);
    const double lengthBefore = nodes[0].position.HorizontalDistance(nodes[wallEndIndex].position);
    if (!wallDrag) {
        point.y = nodes[endNode].position.y;
        MoveEndTo(point, endNode);
    } else {
        const Vector opposite = nodes[oppositeNode].position;
        Vector v(point.x - opposite.x, 0.0, point.z - opposite.z);
        const double a = std::atan2(-v.z, v.x);
        const double s = std::floor((a + 7.5 * kDegree) / (15.0 * kDegree)) * 15.0 * kDegree;
        if (std::fabs(a - s) > 7.0 * kDegree) {
            const double reach = v.Length();
            MoveEndTo(Vector(opposite.x + std::cos(s) * reach, nodes[endNode].position.y,
                             opposite.z - std::sin(s) * reach),
                      endNode);
        }
        nodes = outline.GetPrimaryPoints();
        const Vector n = outline.normal;
        Vector along(n.z, 0.0, -n.x);
        if (along.Dot(GetDirection()) < 0.0) along.Negate();
        const double inset = JoinInset(begin ? linkedBegin : linkedEnd);
        const Vector from = nodes[oppositeNode].position;
        double w = along.x * (point.x - from.x) + along.z * (point.z - from.z);
        if (std::fabs(std::floor(w + inset)) >= 1.0) w = std::floor(w + 0.5 + inset) - inset;
        const double current = nodes[0].position.HorizontalDistance(nodes[wallEndIndex].position);
        double c = begin ? current + w : w - current;
        if (notMoved) c = c > 0.2 ? 1.0 : (c < -0.2 ? -1.0 : 0.0);
        nodes[endNode].position.Offset(c * along.x, 0.0, c * along.z);
        nodes[topNode].position.Offset(c * along.x, 0.0, c * along.z);
        outline.Refresh();
    }
    nodes = outline.GetPrimaryPoints();
    const double lengthAfter = nodes[0].position.HorizontalDistance(nodes[wallEndIndex].position);
    ComputeBevels();
    UpdateLinkedPoints();
    // An end dragged onto the other end would leave no wall.
    if ((lengthAfter < kMinimumHeight && lengthAfter < lengthBefore) || !ChainIsValid()) {
        nodes = outline.GetPrimaryPoints();
        for (int i = 0; i < count && i < outline.GetPrimaryCount(); ++i)
            nodes[i].position = saved[i];
        outline.Refresh();
        outline.ComputeNormal();
        UpdateLinkedPoints();
    } else {
        RecomputeBounds();
    }
    ShowLength();
}

void Wall::DragFreeEnd(const ViewProjection& view, int x, int y) {
    if (!linkedBegin || !HasWallShape() || IsLocked()) return;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector start = nodes[0].position;
    Vector point;
    if (!outline.ScreenToPlaneThrough(view, x, y, Vector(0.0, drawingHeight, 0.0),
                                      Vector(0.0, 1.0, 0.0), point))
        return;
    point.y = start.y;
    const Vector v(point.x - start.x, 0.0, point.z - start.z);
    Vector dN = FarEndOf(*linkedBegin);
    dN.Subtract(start);
    dN = LevelUnit(dN);
    const double reach = v.Length();
    if (reach == 0.0 || dN.Length() == 0.0) return;
    const double inset = JoinInset(linkedBegin);
    double len = reach;
    if (len + inset > 0.0) len = std::floor(len + 0.5 + inset) - inset;
    // A free end dragged onto its begin keeps the shortest whole length.
    if (len < 1.0) len = 1.0;
    const double alpha = std::acos(std::clamp(v.Dot(dN) / reach, -1.0, 1.0));
    double angle = std::floor((alpha / kDegree + 7.5) / 15.0) * 15.0 * kDegree;
    const double turn = dN.z * v.x - dN.x * v.z;
    if (turn < 0.0) angle = -angle;
    Vector d = dN;
    d.RotateAboutAxisIndex(angle, 1);
    const Vector end(start.x + d.x * len, start.y, start.z + d.z * len);
    nodes[wallEndIndex].position = end;
    nodes[wallEndIndex + 1].position.x = end.x;
    nodes[wallEndIndex + 1].position.z = end.z;
    outline.Refresh();
    outline.ComputeNormal();
    ComputeBevels();
    RecomputeBounds();
    chainHead->PropagateChain(this);
    ShowLength();
}

// ---- Openings against bevels ---------------------------------------------------------

bool Wall::ChildrenFitBevels() {
    const bool unset = insideBeginBevel.y == -1.0 && insideEndBevel.y == -1.0 &&
                       outsideBeginBevel.y == -1.0 && outsideEndBevel.y == -1.0;
    if (unset) return true;
    for (LinkedList* list : {&inSlabList, &holeList})
        for (LinkedListObject* node = list->GetHead(); node; node = node->GetNext())
            if (auto* child = dynamic_cast<RenderableObject*>(node);
                child && !TestAgainstBevels(child))
                return false;
    return true;
}

bool Wall::TestAgainstBevels(RenderableObject* child) const {
    const bool unset = insideBeginBevel.y == -1.0 && insideEndBevel.y == -1.0 &&
                       outsideBeginBevel.y == -1.0 && outsideEndBevel.y == -1.0;
    if (unset || !child || !facePointsA || !facePointsB || !HasWallShape()) return true;
    const BoundingBox& b = child->GetBoundingBox();
    for (const Vector& corner : {b.max, b.min}) {
        for (const Vector* face : {facePointsA.get(), facePointsB.get()}) {
            const Vector& f0 = face[0];
            const Vector& f1 = face[wallEndIndex];
            const double product =
                (corner.x - f0.x) * (corner.x - f1.x) + (corner.z - f0.z) * (corner.z - f1.z);
            if (product > 0.0) return false;
        }
    }
    return true;
}
