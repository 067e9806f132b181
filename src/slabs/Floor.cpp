#include "slabs/Floor.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "building/Terrain.h"
#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "control/dialogs/LengthDialog.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "model/SceneView.h"
#include "platform/Menu.h"
#include "render/Window.h"

namespace {

// The number the next floor made from a point is named with.
std::atomic<int> nextFloorNumber{1};

// Floors smaller than this in plan (four corners only) are not drawn.
constexpr double kSmallestDrawnArea = 4.0;
// Places of the floor colours in a blueprint colour scheme's block.
constexpr int kFloorColor = 4;
constexpr int kSelectedFloorColor = 5;

StatusBar* ActiveStatusBar() {
    BaseControl* control = theControl();
    return control && control->activeWindow ? &control->activeWindow->statusBar1 : nullptr;
}

void ShowStatus(const std::string& text, bool warning) {
    if (StatusBar* bar = ActiveStatusBar()) {
        bar->SetShown(true);
        bar->SetText(text.c_str(), warning);
    }
}

}  // namespace

// ---- Construction -------------------------------------------------------------------

void Floor::InitialiseFields() {
    slabKind = 1501;
    state = &floorState;
    BaseControl* control = theControl();
    savedState = control ? &control->floorState : nullptr;
    menuLabel = "Set Floor Dimensions...";
}

Floor::Floor() {
    InitialiseFields();
}

Floor::Floor(const Vector& point, bool takeDefaults) {
    InitialiseFields();
    thickness = 10.0;
    verticalPosition = 0.0;
    uVector = Vector(1.0, 0.0, 0.0);
    Vector p = point;
    p.w = 1.0;
    OutlinePoint* first = outline.InsertPointOnNearestEdge(p, false);
    UpdateFromPoints(first);
    const Vector snapped = outline.GetPrimaryPoints()[0].position;
    for (int i = 0; i < 3; ++i) outline.InsertPointOnNearestEdge(snapped, false);
    ReallocatePointArrays();
    RecomputeBounds();
    for (Material& material : surfaceMaterials) {
        material.SetBumpMapURL(nullptr);
        material.SetColor(1.0, 1.0, 1.0, 1.0);
    }
    BaseControl* control = theControl();
    if (takeDefaults && control) CopyStateFrom(control->floorState);
    SetSurfaceColor(0.96, 0.94, 1.0, 0.39);
    swapFlag = 0;
    char name[32];
    std::snprintf(name, sizeof name, "Floor%i", nextFloorNumber.fetch_add(1));
    SetInformationValue("name", name);
    SetInformationValue("category", "someCategory");
}

Floor::~Floor() {
    BaseControl* control = theControl();
    if (control && control->terrain) control->terrain->StoreNodePositions();
}

double Floor::GetTop() const {
    if (outline.GetPrimaryCount() == 0) return 0.0;
    return outline.GetPrimaryPoints()[0].position.y + thickness * 0.5;
}

// ---- Geometry -----------------------------------------------------------------------

void Floor::RecomputeBounds() {
    const int count = outline.GetPrimaryCount();
    if (count < 3) return;
    if (!facePointsA || !facePointsB || facePointCount != count) ReallocatePointArrays();
    if (!facePointsA || !facePointsB) return;
    double h = thickness * 0.5;
    if (outline.normal.y <= 0.0) h = -h;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    for (int i = 0; i < count; ++i) {
        facePointsA[i] = nodes[i].position;
        facePointsA[i].Offset(0.0, h, 0.0);
        facePointsB[i] = nodes[i].position;
        facePointsB[i].Offset(0.0, -h, 0.0);
    }
    ComputeBounds();
    area = GetArea();
    BuildCullPolygons();
    FlagOverlappingLights();
    MarkDirty();
    BaseControl* control = theControl();
    if (control && control->terrain &&
        GetTop() - 1.0 < control->terrain->GetBoundingBox().max.y)
        control->terrain->StoreNodePositions();
}

void Floor::BuildCullPolygons() {
    BaseSlab::BuildCullPolygons();
    const double h = thickness * 0.5;
    for (CullPoint& point : cullHull) point.middle.y += h;
}

void Floor::SetThickness(double value) {
    const double change = value - thickness;
    BaseSlab::SetThickness(value);
    if (change != 0.0 && outline.GetPrimaryCount() > 0) MoveSlabBy(0.0, -change / 2.0, 0.0, true);
}

int Floor::SetSizeX(double value) {
    if (!std::isfinite(value) || value < 0.01) return -1;
    SetThickness(value);
    RecomputeBounds();
    return 0;
}

void Floor::UpdateFromPoints(OutlinePoint* grabbed) {
    SnapPoint(grabbed, false);
}

void Floor::SnapPoint(OutlinePoint* point, bool keepOwnAxes) {
    if (!point) return;
    const int count = outline.GetPrimaryCount();
    const int self = outline.IndexOfPrimary(point);
    if (self < 0) return;
    Vector candidate = point->position;
    double best = kSnapReach;
    const Vector probe(point->position.x, point->position.y + thickness - 1.0,
                       point->position.z);
    if (BaseControl* control = theControl()) {
        LinkedListIterator it(control->scene);
        it.LockList();
        for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
            auto* wall = dynamic_cast<Wall*>(node);
            if (!wall || !wall->HasWallShape()) continue;
            const Outline& wallOutline = wall->GetOutline();
            const OutlinePoint* corners = wallOutline.GetPrimaryPoints();
            for (int i = wall->GetWallEndIndex(); i < wallOutline.GetPrimaryCount(); ++i) {
                const Vector& corner = corners[i].position;
                if (std::fabs(corner.y - probe.y) > 0.01) continue;
                const double d = corner.Distance(probe);
                if (d < best) {
                    best = d;
                    candidate = corner;
                }
            }
        }
        it.UnlockList();
    }
    double dx = kSnapReach;
    double dz = kSnapReach;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    if (best == kSnapReach && !keepOwnAxes) {
        const Vector p = point->position;
        for (int i = 0; i < count; ++i) {
            if (i == self) continue;
            const Vector& c = nodes[i].position;
            if (std::fabs(c.x - p.x) < dx) {
                dx = std::fabs(c.x - p.x);
                candidate.x = c.x;
            }
            if (std::fabs(c.z - p.z) < dz) {
                dz = std::fabs(c.z - p.z);
                candidate.z = c.z;
            }
        }
        // A corner alignment beats every edge midpoint.
        if (dx < kSnapReach) dx = 0.0;
        if (dz < kSnapReach) dz = 0.0;
        const int before = (self + count - 1) % count;
        for (int i = 0; i < count; ++i) {
            if (i == self || i == before) continue;
            Vector m = nodes[i].position;
            m.Add(nodes[(i + 1) % count].position);
            m.Scale(0.5);
            if (std::fabs(m.x - p.x) < dx) {
                dx = std::fabs(m.x - p.x);
                candidate.x = m.x;
            }
            if (std::fabs(m.z - p.z) < dz) {
                dz = std::fabs(m.z - p.z);
                candidate.z = m.z;
            }
        }
    }
    if (best < kSnapReach || dx < kSnapReach || dz < kSnapReach)
        point->position.Set(candidate.x, point->position.y, candidate.z, 1.0);
    else
        point->position.Set(std::floor(point->position.x), point->position.y,
                            std::floor(point->position.z), 1.0);
    outline.Refresh();
    RecomputeBounds();
}

bool Floor::CornerInside(const Outline& a, const Outline& b) {
    const int na = a.GetPrimaryCount();
    const int nb = b.GetPrimaryCount();
    const OutlinePoint* pa = a.GetPrimaryPoints();
    const OutlinePoint* pb = b.GetPrimaryPoints();
    for (int i = 0; i < na; ++i) {
        const Vector& p = pa[i].position;
        bool inside = false;
        for (int j = 0; j < nb; ++j) {
            const Vector& b0 = pb[j].position;
            const Vector& b1 = pb[(j + 1) % nb].position;
            const double ux = b0.x - p.x, uz = b0.z - p.z;
            const double vx = b1.x - p.x, vz = b1.z - p.z;
            // An edge counts when its ends lie on either side of the ray, an end on the
            // ray counting as below it: a ray through a corner, or along an edge, then
            // counts the corner once (or not at all), never once for a point outside.
            if ((uz > 0.0) == (vz > 0.0)) continue;
            const double crossing = ux + uz / (uz - vz) * (vx - ux);
            if (crossing > 0.0) inside = !inside;
        }
        if (inside) return true;
    }
    return false;
}

bool Floor::OverlapsFloor() const {
    BaseControl* control = theControl();
    if (!control || outline.GetPrimaryCount() == 0) return false;
    bool overlaps = false;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone() && !overlaps; node = it.Next()) {
        auto* other = dynamic_cast<Floor*>(node);
        if (!other || other == this || !(other->GetTypeMask() & TypeBit::kFloor)) continue;
        if (other->outline.GetPrimaryCount() == 0) continue;
        const double gap = std::fabs(other->outline.GetPrimaryPoints()[0].position.y -
                                     outline.GetPrimaryPoints()[0].position.y);
        if (gap > (other->thickness + thickness) / 2.0) continue;
        overlaps = CornerInside(outline, other->outline) || CornerInside(other->outline, outline);
    }
    it.UnlockList();
    return overlaps;
}

bool Floor::IsPositionValid() {
    return BaseSlab::IsPositionValid() && !OverlapsFloor();
}

void Floor::FollowCornerTwo() {
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector& c2 = nodes[2].position;
    OutlinePoint& sameX = nodes[swapFlag ? 3 : 1];
    OutlinePoint& sameZ = nodes[swapFlag ? 1 : 3];
    sameX.position.x = c2.x;
    sameZ.position.z = c2.z;
}

void Floor::ShowRectangleSizes() const {
    if (outline.GetPrimaryCount() < 3) return;
    BaseControl* control = theControl();
    if (!control || !control->activeWindow) return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    ShowLengthInStatusBar(nullptr, nodes[0].position.x - nodes[2].position.x,
                          nodes[0].position.z - nodes[2].position.z);
}

void Floor::DragOutlinePoint(const ViewProjection& view, int x, int y, PickableObject* grabbed,
                             bool drawing, bool snap) {
    if (!drawing) {
        BaseSlab::DragOutlinePoint(view, x, y, grabbed, drawing, snap);
        if (snap) UpdateFromPoints(dynamic_cast<OutlinePoint*>(grabbed));
        return;
    }
    if (IsLocked() || outline.GetPrimaryCount() != 4) return;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    Vector hit;
    if (!outline.ScreenToPlaneThrough(view, x, y, nodes[0].position, Vector(0.0, 1.0, 0.0), hit))
        return;
    const Vector old = nodes[2].position;
    nodes[2].position.Set(hit.x, nodes[0].position.y, hit.z, 1.0);
    SnapPoint(&nodes[2], true);
    nodes = outline.GetPrimaryPoints();
    FollowCornerTwo();
    if (OverlapsFloor()) {
        nodes[2].position = old;
        FollowCornerTwo();
    } else {
        outline.ComputeNormal();
        if (outline.normal.y < 0.0) {
            swapFlag = swapFlag ? 0 : 1;
            const Vector one = nodes[1].position;
            nodes[1].position = nodes[3].position;
            nodes[3].position = one;
            outline.ComputeNormal();
        }
    }
    outline.Refresh();
    RecomputeBounds();
    ShowRectangleSizes();
}

OutlinePoint* Floor::DragEdge(const ViewProjection& view, int x, int y, int previousX,
                              int previousY, OutlinePoint* node, bool free) {
    const int index = outline.IndexOfPrimary(node);
    const int count = outline.GetPrimaryCount();
    if (index < 0 || count == 0) return node;
    const int nextIndex = (index + 1) % count;
    const Vector kept = node->position;
    const Vector keptNext = outline.GetPrimaryPoints()[nextIndex].position;
    OutlinePoint* answered = BaseSlab::DragEdge(view, x, y, previousX, previousY, node, free);
    if (answered == node && outline.GetPrimaryCount() == count && OverlapsFloor()) {
        OutlinePoint* nodes = outline.GetPrimaryPoints();
        nodes[index].position = kept;
        nodes[nextIndex].position = keptNext;
        outline.Refresh();
        RecomputeBounds();
    }
    BeginDragOf(answered ? answered->edge : nullptr);
    return answered;
}

void Floor::MoveSlabBy(double dx, double dy, double dz, bool constrained) {
    BaseSlab::MoveSlabBy(dx, dy, dz, constrained);
    if (dy != 0.0) {
        const double top = GetTop();
        if (top <= kLowestTop) {
            BaseSlab::MoveSlabBy(0.0, kLowestTop - top, 0.0, constrained);
        } else {
            BaseControl* control = theControl();
            if (control && control->activeWindow)
                ShowLengthInStatusBar("Altitude : ", box.max.y, kNoSecondLength);
        }
    } else if (OverlapsFloor()) {
        BaseSlab::MoveSlabBy(-dx, -dy, -dz, constrained);
    }
}

// ---- Drawing ------------------------------------------------------------------------

bool Floor::IsInVisibleHeightRange() const {
    const BaseControl* control = theControl();
    if (!control || !facePointsA || !facePointsB || facePointCount == 0)
        return RenderableObject::IsInVisibleHeightRange();
    const double level = control->floorState.GetDouble(4);
    const double storey = control->wallState.GetDouble(5);
    const double upper = std::fmax(facePointsA[0].y, facePointsB[0].y);
    return level <= upper && upper < level + storey;
}

bool Floor::IsShownInCurrentView() {
    if (outline.GetPrimaryCount() == 4 &&
        std::fabs((box.max.x - box.min.x) * (box.max.z - box.min.z)) < kSmallestDrawnArea) {
        shownInView = 0;
        drawn = 0;
        return false;
    }
    return BaseSlab::IsShownInCurrentView();
}

void Floor::Render() {
    if (!IsVisible()) return;
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    const int mode = view ? view->GetRenderState().GetInteger(0) : 0;
    if (mode == 1 && control) {
        const int scheme = control->blueprintColorScheme;
        const int index = scheme * 8 + (IsSelected() ? kSelectedFloorColor : kFloorColor);
        const float* c = control->blueprintColors[index % BaseControl::kBlueprintColors];
        SetSurfaceColor(c[0], c[1], c[2], c[3]);
    } else if (mode == 2) {
        SetSurfaceColor(1.0, 1.0, 1.0, 1.0);
    }
    BaseSlab::Render();
}

// ---- Status and dragging ------------------------------------------------------------

void Floor::ShowMeasurements() {
    BaseControl* control = theControl();
    if (!control) return;
    if (IsLocked()) {
        ShowStatus(control->LoadResourceString(246), true);
        return;
    }
    std::string text = control->LoadResourceString(249);
    text += FormatLength(box.max.y, false, 6);
    text += "   ";
    text += control->LoadResourceString(250);
    text += FormatLength(thickness, false, 6);
    text += "   ";
    text += control->LoadResourceString(247);
    text += FormatLength(area, true, 6);
    text += "   ";
    text += control->LoadResourceString(248);
    text += std::to_string(outline.GetPrimaryCount());
    ShowStatus(text, false);
}

void Floor::BeginDragOf(PickableObject* grabbed) {
    if (!grabbed || !(grabbed->GetTypeMask() & (TypeBit::kOutlineNode | TypeBit::kOutlineEdge)))
        return;
    if ((grabbed->GetTypeMask() & TypeBit::kOutlineEdge) && outline.IsRectangle())
        ShowRectangleSizes();
}

// ---- Defaults -----------------------------------------------------------------------

void Floor::StoreSurfacesToState() {
    BaseSlab::StoreSurfacesToState();
    floorState.SetDouble(4, GetTop());
}

void Floor::ApplyState() {
    if (outline.GetPrimaryCount() > 0) MoveSlabBy(0.0, floorState.GetDouble(4) - GetTop(), 0.0, true);
    BaseSlab::ApplyState();
    RecomputeBounds();
}

// ---- Menu ---------------------------------------------------------------------------

void Floor::BuildPropertyMenu(platform::Menu& menu) {
    BaseSlab::BuildPropertyMenu(menu);
    AppendMenuItems(menu);
    menu.AppendItem(kSetAsGroundFloor, "Set As Ground Floor");
    menu.AppendItem(kEditOnThisLevel, "Edit On This Floor Level");
    menu.AppendSeparator();
    BaseControl* control = theControl();
    if (control && control->currentStateObject == static_cast<StateObject*>(this)) {
        SizeableObject::BuildPropertyMenu(menu);
        menu.AppendItem(kMoveVertically, "Move Floor Vertically To...");
        menu.AppendSeparator();
    }
}

bool Floor::ProcessPropertyMenu(uint32_t id) {
    BaseControl* control = theControl();
    switch (id) {
        case kSetAsGroundFloor:
            if (control) control->floorState.SetDouble(9, GetTop() - 1.0);
            [[fallthrough]];
        case kEditOnThisLevel:
            if (control) control->SetCurrentFloor(GetTop());
            return false;
        case kMoveVertically: {
            LengthDialog dialog(nullptr);
            dialog.SetCaption("Move Floor Vertically To...");
            dialog.SetLength(box.max.y);
            // Cancel leaves the floor where it is.
            if (dialog.Show() != Dialog::kOk) return false;
            const double entered = dialog.GetLength();
            if (!std::isfinite(entered)) return false;
            RenderLockScope hold;
            BeginUndoStep();
            MoveSlabBy(0.0, entered - GetTop(), 0.0, true);
            RecomputeBounds();
            if (control) control->BeginUndoGroup();
            EndUndoStep();
            if (control) control->EndUndoGroup();
            return false;
        }
        default:
            return BaseSlab::ProcessPropertyMenu(id);
    }
}

// ---- Copies -------------------------------------------------------------------------

RenderableObject* Floor::Clone() {
    return Clone(false, false);
}

RenderableObject* Floor::Clone(bool raise, bool addToScene) {
    if (FirstSelectedChild()) {
        RenderableObject* copy = BaseSlab::Clone();
        if (copy == this) return nullptr;
        if (copy) return this;
    }
    RenderLockScope hold;
    Floor* copy = NewOfSameKind();
    RestoreInto(*copy, true, true);
    BaseControl* control = theControl();
    if (addToScene && control) control->scene.Append(copy);
    if (raise) copy->MoveSlabBy(0.0, 2.0 * thickness, 0.0, true);
    return copy;
}

Floor* Floor::NewOfSameKind() const {
    return new Floor;
}

// ---- Key data -----------------------------------------------------------------------

void Floor::WriteKeyData() {
    delete element;
    element = new KeyDataSublist(ElementName());
    WriteSlabKeys(*element->GetChildren());
}

const char* Floor::ElementName() const {
    return "Floor";
}

bool Floor::ReadKeyData(KeyDataList& keys) {
    BaseSlab::ReadKeyData(keys);
    RecomputeBounds();
    return true;
}

// ---- Walls that close a loop --------------------------------------------------------

bool Floor::RebuildFromOutline(Wall* wall) {
    if (!wall || !wall->HasWallShape()) return false;
    // Links that never come back to the wall end the walk at the most nodes an outline
    // holds.
    const size_t limit = Outline::kMaxStoredNodes;
    std::vector<Vector> corners;
    const double height = wall->GetOutline().GetPrimaryPoints()[0].position.y + 1.0 - thickness / 2.0;
    Wall* previous = wall->GetLinkedEnd();
    Wall* current = wall;
    do {
        if (!current || !current->HasWallShape() || corners.size() > limit) {
            TraceWrite("Floor: the walls do not close a loop");
            return false;
        }
        const OutlinePoint* nodes = current->GetOutline().GetPrimaryPoints();
        Wall* next = nullptr;
        Vector taken;
        if (previous && previous == current->GetLinkedBegin()) {
            taken = nodes[0].position;
            next = current->GetLinkedEnd();
        } else {
            taken = nodes[current->GetWallEndIndex()].position;
            next = current->GetLinkedBegin();
        }
        taken.y = height;
        corners.push_back(taken);
        previous = current;
        current = next;
    } while (current != wall);
    if (corners.size() < 3) return false;
    while (outline.GetPrimaryCount() > 0)
        outline.DeletePoint(&outline.GetPrimaryPoints()[outline.GetPrimaryCount() - 1]);
    for (size_t i = 0; i < corners.size(); ++i)
        outline.InsertPoint(corners[i], static_cast<int>(i), false);
    outline.ComputeNormal();
    if (outline.normal.y < 0.0) {
        const int n = outline.GetPrimaryCount();
        OutlinePoint* nodes = outline.GetPrimaryPoints();
        for (int i = 0; i < n / 2; ++i) {
            const Vector a = nodes[i].position;
            nodes[i].position = nodes[n - 1 - i].position;
            nodes[n - 1 - i].position = a;
        }
        outline.ComputeNormal();
    }
    outline.Refresh();
    ReallocatePointArrays();
    RecomputeBounds();
    return true;
}
