#include "slabs/SlabMolding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "geometry/Matrix.h"
#include "geometry/ViewProjection.h"
#include "interaction/MouseHandler.h"
#include "platform/Menu.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/ParametricShape.h"

namespace {

constexpr double kRadiansToDegrees = 57.29577951308;

Vector Sub(const Vector& a, const Vector& b) {
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z);
}
Vector AddScaled(const Vector& a, const Vector& b, double s) {
    return Vector(a.x + b.x * s, a.y + b.y * s, a.z + b.z * s);
}
double Dot3(const Vector& a, const Vector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vector Cross3(const Vector& a, const Vector& b) {
    return Vector(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
Vector Unit(const Vector& v) {
    const double l = std::sqrt(Dot3(v, v));
    if (!(l > 0.0)) return Vector(0.0, 0.0, 0.0);
    return Vector(v.x / l, v.y / l, v.z / l);
}
bool IsZero(const Vector& v) {
    return v.x == 0.0 && v.y == 0.0 && v.z == 0.0;
}
// v turned by `angle` radians about the unit axis (Rodrigues).
Vector Rotate(const Vector& v, const Vector& axis, double angle) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const Vector k = Unit(axis);
    const Vector kxv = Cross3(k, v);
    const double kv = Dot3(k, v);
    return Vector(v.x * c + kxv.x * s + k.x * kv * (1 - c), v.y * c + kxv.y * s + k.y * kv * (1 - c),
                  v.z * c + kxv.z * s + k.z * kv * (1 - c));
}

}  // namespace

SlabMolding::SlabMolding(bool skipDefaultTexture) : BaseMolding(skipDefaultTexture) {}

SlabMolding::~SlabMolding() {
    // The profile's loader may call back into this molding: it goes first.
    DropShape();
}

void SlabMolding::SetParent(BaseSlab* slab) {
    SlabChild::SetParent(slab);
}

// ---- undo goes to the parent --------------------------------------------------------

void SlabMolding::BeginUndoStep() {
    if (parent) parent->BeginUndoStep();
}

void SlabMolding::EndUndoStep() {
    if (parent) parent->EndUndoStep();
}

void SlabMolding::CancelUndoStep() {
    if (parent) parent->CancelUndoStep();
}

// ---- keys ---------------------------------------------------------------------------

void SlabMolding::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("SlabMolding");
    KeyDataList& keys = *element->GetChildren();
    keys.AddString("SlabMolding", "yes");
    char text[32];
    std::snprintf(text, sizeof text, "%3.6f", static_cast<double>(parentSurface));
    keys.AddString("parentSurface", text);
    WriteMoldingKeys(keys);
}

bool SlabMolding::ReadKeyData(KeyDataList& keys) {
    BaseMolding::ReadKeyData(keys);
    double value = 0.0;
    if (ReadFiniteDouble(keys, "parentSurface", value)) {
        if (value == 1000.0 || value == 1001.0 || value == 1002.0)
            parentSurface = static_cast<int32_t>(value);
        else
            theTrace().WriteFormat("Slab molding: surface %g is not one of the slab's", value);
    }
    return true;
}

void SlabMolding::RelinkAll(LinkedList& list) {
    (void)list;
    if (!parent) return;
    BaseMolding::RelinkAll(parent->GetMoldingList());
}

// ---- attachment and plane -----------------------------------------------------------

void SlabMolding::AttachToSlab(BaseSlab* slab, Part* face, OutlineEdge* edge) {
    if (!PRECONDITION(slab != nullptr, "No slab to attach to")) return;
    SlabChild::SetParent(slab);
    if (face && face == slab->GetSurface(BaseSlab::kInsideSurface))
        parentSurface = BaseSlab::kInsideSurface;
    else if (face && face == slab->GetSurface(BaseSlab::kOutsideSurface))
        parentSurface = BaseSlab::kOutsideSurface;
    else
        parentSurface = BaseSlab::kEdgeSurface;
    edgeIndex = -1;
    if (edge) {
        Outline& outline = slab->GetOutline();
        OutlinePoint* nodes = outline.GetPrimaryPoints();
        for (int i = 0; i < outline.GetPrimaryCount(); ++i)
            if (nodes[i].edge == edge) {
                edgeIndex = i;
                break;
            }
    }
    RebuildPlane();
    if (!slab->GetMoldingList().Contains(this)) slab->AddMolding(this);
}

void SlabMolding::RebuildPlane() {
    if (!parent) return;
    Outline& outline = parent->GetOutline();
    const int count = outline.GetPrimaryCount();
    if (count <= 0) return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    Vector normal = Unit(outline.normal);
    Vector point;
    if (edgeIndex < 0 || edgeIndex >= count) {
        if (parentSurface == BaseSlab::kOutsideSurface) normal = Vector(-normal.x, -normal.y, -normal.z);
        const double distance = parent->GetThickness() * 0.5;
        point = IsZero(GetBegin()) ? nodes[0].position : GetBegin();
        point = AddScaled(point, normal, distance);
    } else {
        const Vector a = nodes[edgeIndex].position;
        const Vector b = nodes[(edgeIndex + 1) % count].position;
        const Vector along = Unit(Sub(b, a));
        normal = Unit(Cross3(along, normal));
        if (parent->HasType(TypeBit::kRoof)) {
            normal.y = 0.0;
            normal = Unit(normal);
        }
        point = IsZero(GetBegin()) ? a : GetBegin();
    }
    Vector plane = normal;
    plane.w = -Dot3(normal, point);
    SetParentPlane(plane, point);
}

// ---- path points --------------------------------------------------------------------

void SlabMolding::MovePathPoint(int which, int x, int y, bool snap) {
    if (!parent) return;
    MovePathPointTo(which, ScreenToParentPlane(x, y), snap);
}

void SlabMolding::MovePathPointTo(int which, const Vector& point, bool snap) {
    if (!parent) return;
    SetEndPoint(which, point);
    if (snap && GetBegin().Distance(GetEnd()) > 0.0) {
        SnapAngle(which);
        const int fixed = which == kBegin ? kEnd : kBegin;
        const Vector from = GetEndPoint(fixed);
        Vector d = Unit(Sub(GetEndPoint(which), from));
        const double length = std::floor(GetBegin().Distance(GetEnd()) + 0.5);
        SetEndPoint(which, AddScaled(from, d, length));
    }
    LinkNeighbours();
    MarkDirty();
    GetSizeText(which == kBegin ? static_cast<PickableObject*>(&begin) : &end);
}

void SlabMolding::SnapAngle(int which) {
    if (!parent) return;
    const Vector parentNormal = Unit(parent->GetOutline().normal);
    const Vector planeNormal(parentPlane.x, parentPlane.y, parentPlane.z);
    Vector reference;
    if (std::fabs(Dot3(parentNormal, planeNormal)) > 0.98)
        reference = Unit(parent->GetUVector());
    else if (parent->HasType(TypeBit::kRoof))
        reference = Unit(Cross3(planeNormal, parentNormal));
    else
        reference = parentNormal;
    // Without a direction to measure from there is nothing to snap to.
    if (Dot3(reference, reference) == 0.0) return;
    const int fixed = which == kBegin ? kEnd : kBegin;
    const Vector from = GetEndPoint(fixed);
    const Vector moving = GetEndPoint(which);
    const double length = from.Distance(moving);
    const Vector d = Unit(Sub(moving, from));
    double cosine = Dot3(d, reference);
    if (cosine > 1.0) cosine = 1.0;
    if (cosine < -1.0) cosine = -1.0;
    // A whole angle computed a hair below itself still counts as whole.
    const double degrees = std::acos(cosine) * kRadiansToDegrees + 7.0 + 1e-9;
    if (!std::isfinite(degrees)) return;
    int snapped = (static_cast<int>(degrees) / 15) * 15;
    if (Dot3(Cross3(d, reference), planeNormal) < 0.0) snapped = -snapped;
    const Vector turned = Rotate(reference, planeNormal, snapped / kRadiansToDegrees);
    SetEndPoint(which, AddScaled(from, turned, length));
    LinkNeighbours();
    MarkDirty();
}

void SlabMolding::ClampToSlabEdges(bool) {
    if (!parent || edgeIndex < 0) return;
    Outline& outline = parent->GetOutline();
    const int count = outline.GetPrimaryCount();
    if (edgeIndex >= count) return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector a = nodes[edgeIndex].position;
    const Vector b = nodes[(edgeIndex + 1) % count].position;
    const Vector ab = Sub(b, a);
    const double length2 = Dot3(ab, ab);
    if (!(length2 > 0.0)) return;
    for (int which : {kBegin, kEnd}) {
        if (GetLinked(which)) continue;
        const Vector p = GetEndPoint(which);
        double t = Dot3(Sub(p, a), ab) / length2;
        if (t < 0.0) t = 0.0;
        if (t > 1.0) t = 1.0;
        SetEndPoint(which, AddScaled(a, ab, t));
    }
    LinkNeighbours();
}

// ---- moves --------------------------------------------------------------------------

void SlabMolding::MoveBy(const Vector& offset) {
    Translate(offset);
    RebuildPlane();
}

void SlabMolding::MoveWithLinks(const Vector& offset) {
    MoveBy(offset);
    LinkNeighbours();
}

void SlabMolding::MoveChain(const Vector& offset) {
    // Each molding of the chain once: walk both ways until the chain ends or comes back.
    std::vector<BaseMolding*> seen{this};
    auto visited = [&](BaseMolding* m) {
        for (BaseMolding* s : seen)
            if (s == m) return true;
        return false;
    };
    for (int direction : {kBegin, kEnd}) {
        BaseMolding* previous = this;
        BaseMolding* next = GetLinked(direction);
        while (next && !visited(next)) {
            seen.push_back(next);
            BaseMolding* after =
                next->GetLinked(kBegin) == previous ? next->GetLinked(kEnd) : next->GetLinked(kBegin);
            previous = next;
            next = after;
        }
    }
    for (BaseMolding* m : seen) {
        m->Translate(offset);
        if (auto* slabMolding = dynamic_cast<SlabMolding*>(m)) slabMolding->RebuildPlane();
    }
}

void SlabMolding::OnCtrlDrag(double distance, double height) {
    auto* wall = dynamic_cast<Wall*>(parent);
    if (!wall || wall->IsLocked()) return;
    if (!MouseHandler::Input().ctrl) return;
    Vector d = Unit(wall->GetDirection());
    Vector move(d.x * distance, height, d.z * distance);
    MoveWithLinks(move);
    MarkDirty();
}

void SlabMolding::Reattach() {
    if (!PRECONDITION(parent != nullptr, "No parent exists")) return;
    RebuildPlane();
    const Vector n(parentPlane.x, parentPlane.y, parentPlane.z);
    const Outline& outline = parent->GetOutline();
    if (outline.GetPrimaryCount() <= 0) return;
    const Vector first = outline.GetPrimaryPoints()[0].position;
    const double s = -(parent->GetThickness() + Dot3(n, first) + parentPlane.w);
    const Vector move(-n.x * s, -n.y * s, -n.z * s);
    Translate(move);
    RebuildPlane();
    MarkDirty();
}

// ---- links --------------------------------------------------------------------------

void SlabMolding::LinkToNeighbours(LinkedList& list, bool startOnly) {
    BaseMolding* bestStart = nullptr;
    int bestStartEnd = 0;
    double startDistance = kLinkReach;
    BaseMolding* bestEnd = nullptr;
    int bestEndEnd = 0;
    double endDistance = kLinkReach;
    for (LinkedListObject* node = list.GetHead(); node; node = node->GetNext()) {
        auto* other = dynamic_cast<BaseMolding*>(node);
        if (!other || other == this || !CanLinkTo(*other)) continue;
        for (int theirs : {kBegin, kEnd}) {
            if (other->GetLinked(theirs)) continue;
            const Vector& p = other->GetEndPoint(theirs);
            if (!GetLinked(kBegin)) {
                const double d = GetBegin().Distance(p);
                if (d < startDistance) {
                    startDistance = d;
                    bestStart = other;
                    bestStartEnd = theirs;
                }
            }
            if (!startOnly && !GetLinked(kEnd)) {
                const double d = GetEnd().Distance(p);
                if (d < endDistance) {
                    endDistance = d;
                    bestEnd = other;
                    bestEndEnd = theirs;
                }
            }
        }
    }
    if (bestStart) LinkTo(bestStart, kBegin, bestStartEnd);
    if (bestEnd && !(bestEnd == bestStart && bestEndEnd == bestStartEnd)) LinkTo(bestEnd, kEnd, bestEndEnd);
}

void SlabMolding::SnapToNeighbours(bool startOnly) {
    BaseControl* control = theControl();
    if (!control || !control->baseMoldingState.GetBoolean(0) || !parent) return;
    LinkToNeighbours(parent->GetMoldingList(), startOnly);
    if (auto* wall = dynamic_cast<Wall*>(parent)) {
        for (Wall* joined : {wall->GetLinkedBegin(), wall->GetLinkedEnd()}) {
            if (joined && joined != wall) LinkToNeighbours(joined->GetMoldingList(), startOnly);
        }
    }
}

// ---- handle drags -------------------------------------------------------------------

bool SlabMolding::ScreenToPlane(int x, int y, const Vector& normal, const Vector& point,
                                Vector& out) const {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (!window) return false;
    ViewProjection view;
    for (int i = 0; i < 4; ++i) view.viewport[i] = window->viewportCache[i];
    view.modelView = Matrix(window->modelViewCache.get());
    view.projection = Matrix(window->projectionCache.get());
    const double wy = view.viewport[3] - y;
    Vector nearPoint, farPoint;
    if (!view.Unproject(x, wy, 0.0, nearPoint) || !view.Unproject(x, wy, 1.0, farPoint))
        return false;
    const Vector ray = Unit(Sub(farPoint, nearPoint));
    const Vector n = Unit(normal);
    // Within 15 degrees of edge-on the mapping runs away.
    const double c = std::fabs(Dot3(ray, n));
    if (std::asin(std::min(1.0, c)) < 0.2617993877991494) return false;
    const double t = Dot3(n, Sub(point, nearPoint)) / Dot3(n, ray);
    if (!std::isfinite(t)) return false;
    out = AddScaled(nearPoint, ray, t);
    return true;
}

void SlabMolding::DragPoint(int x, int y, int oldX, int oldY, PickableObject* picked, bool snap,
                            int selector) {
    if (!parent || !picked) return;
    BaseControl* control = theControl();
    const Vector planeNormal(parentPlane.x, parentPlane.y, parentPlane.z);
    const Vector middle = GetBegin().Midpoint(GetEnd());
    if (picked == &begin || picked == &end) {
        MovePathPoint(picked == &begin ? kBegin : kEnd, x, y, snap);
        if (snap) SnapToNeighbours(false);
    } else if (picked == &widthHandles[0] || picked == &widthHandles[1]) {
        const Vector side = Unit(Cross3(Direction(), planeNormal));
        Vector a, b;
        double d = 0.0;
        if (ScreenToPlane(x, y, side, middle, a) && ScreenToPlane(oldX, oldY, side, middle, b))
            d = Dot3(Sub(a, b), side);
        else
            d = (y - oldY) * 0.3333333333333333;
        if (picked == &widthHandles[1]) d = -d;
        if (shape) {
            const double width = shape->GetRadius1();
            if (shape->GetType() == ParametricShape::kIrregular) {
                if (width > 0.0) ScaleProfile(d / width + 1.0, d / width + 1.0);
            } else {
                SetProfileParameter(width + d, 1);
            }
        }
        MoveWithLinks(Vector(side.x * d, side.y * d, side.z * d));
        if (snap) {
            SnapToNeighbours(false);
        } else {
            Unlink(kBegin);
            Unlink(kEnd);
        }
        MarkDirty();
    } else if (picked == &heightHandles[0] || picked == &heightHandles[1] ||
               (control && picked == &control->liftHandle)) {
        const bool distance = control && picked == &control->liftHandle;
        Vector a, b;
        double d = 0.0;
        const bool mapped = ScreenToPlane(x, y, planeNormal, middle, a) &&
                            ScreenToPlane(oldX, oldY, planeNormal, middle, b);
        if (mapped)
            d = Dot3(Sub(a, b), planeNormal);
        else
            d = (x - oldX) * 0.3333333333333333;
        if (!distance && shape) {
            const double depth = shape->GetRadius0();
            const bool second = mapped && picked == &heightHandles[1];
            SetProfileParameter(second ? depth - d : depth + d, 0);
        }
        if (distance) MoveChain(Vector(planeNormal.x * d, planeNormal.y * d, planeNormal.z * d));
        MarkDirty();
    } else if (picked == this && MouseHandler::Input().alt && shape) {
        const double f = (y - oldY) <= 0 ? 0.98 : 1.02;
        ScaleProfile(f, f);
    } else if (picked == this) {
        Vector move = Sub(ScreenToParentPlane(x, y), ScreenToParentPlane(oldX, oldY));
        if (snap && selector != 0 && parentSurface != BaseSlab::kEdgeSurface) {
            Vector axis = Unit(parent->GetUVector());
            if (selector != 1) axis = Unit(Cross3(axis, planeNormal));
            const double along = Dot3(move, axis);
            move = Vector(axis.x * along, axis.y * along, axis.z * along);
        }
        bool linked = false;
        for (int which : {kBegin, kEnd}) {
            BaseMolding* other = GetLinked(which);
            if (!other) continue;
            linked = true;
            const Vector dir = other->Direction();
            const double across = Dot3(move, dir);
            if (std::fabs(across) < 0.01) continue;
            const double scale = Dot3(move, move) / across;
            SetEndPoint(which, AddScaled(GetEndPoint(which), dir, scale));
        }
        if (linked) move = Vector(0, 0, 0);
        MoveWithLinks(move);
        if (snap) {
            SnapToNeighbours(false);
        } else {
            Unlink(kBegin);
            Unlink(kEnd);
        }
    }
    GetSizeText(picked);
}

// ---- copies, drawing, texts ---------------------------------------------------------

RenderableObject* SlabMolding::Clone() {
    RenderLockScope hold;
    auto* copy = new SlabMolding(false);
    RestoreInto(*copy, false, false);
    copy->parentSurface = parentSurface;
    copy->edgeIndex = edgeIndex;
    copy->SlabChild::SetParent(parent);
    // The copy starts unlinked.
    copy->linkedBeginId = copy->linkedEndId = -1;
    copy->Unlink(kBegin);
    copy->Unlink(kEnd);
    return copy;
}

void SlabMolding::Render() {
    if (!shape) return;
    BaseMolding::Render();
}

bool SlabMolding::GetSizeText(PickableObject* handle) {
    BaseControl* control = theControl();
    if (control && handle == &control->liftHandle && parent) {
        const Outline& outline = parent->GetOutline();
        if (outline.GetPrimaryCount() <= 0) return false;
        const Vector n(parentPlane.x, parentPlane.y, parentPlane.z);
        const double distance =
            std::fabs(std::fabs(Dot3(n, GetBegin()) - Dot3(n, outline.GetPrimaryPoints()[0].position)) -
                      parent->GetSizeX() * 0.5);
        ShowLengthInStatusBar("Distance : ", distance, kNoSecondLength);
        return true;
    }
    return BaseMolding::GetSizeText(handle);
}

// ---- menu ---------------------------------------------------------------------------

void SlabMolding::BuildPropertyMenu(platform::Menu& menu) {
    BaseMolding::BuildPropertyMenu(menu);
    menu.AppendItem(kReattach, "Reattach To Parent Slab");
    menu.AppendSeparator();
}

bool SlabMolding::ProcessPropertyMenu(uint32_t id) {
    if (!PRECONDITION(parent != nullptr, "SlabMolding :: ProcessPropertyMenu"))
        return BaseMolding::ProcessPropertyMenu(id);
    BaseSlab* slab = parent;
    slab->BeginUndoStep();
    if (id == 104) {
        BaseControl* control = theControl();
        if (control) control->ReleaseHandles();
        // A locked parent keeps its molding: nothing is freed that the slab still lists.
        if (!slab->RemoveChild(this, false)) {
            slab->CancelUndoStep();
            return true;
        }
        Unlink(kBegin);
        Unlink(kEnd);
        slab->EndUndoStep();
        // Freed by the render thread, never inside its own handler.
        if (control) {
            RenderLockScope hold(*control);
            control->deletedObjects.Append(this);
        }
        return true;
    }
    bool handled = true;
    if (id == kReattach)
        Reattach();
    else
        handled = BaseMolding::ProcessPropertyMenu(id);
    slab->MarkDirty();
    slab->EndUndoStep();
    return handled;
}
