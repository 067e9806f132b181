#include "building/WallEditor.h"

#include <cmath>
#include <cstdlib>

#include "building/DormerWall.h"
#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "platform/Input.h"
#include "render/Window.h"
#include "slabs/Dormer.h"

namespace {

// Every type but walls and slabs: what a hover pick hides so that only walls answer.
constexpr uint64_t kAllButWalls = ~uint64_t{TypeBit::kSlab | TypeBit::kWall};
// Children of a wall that a press with Q does not copy the wall for.
constexpr uint64_t kChildTypes = TypeBit::kSlabChild | TypeBit::kSlabChildModel | TypeBit::kMolding;

bool IsArrowKey(unsigned key) {
    return key >= static_cast<unsigned>(platform::VK_LEFT) &&
           key <= static_cast<unsigned>(platform::VK_DOWN);
}

bool AnyArrowDown() {
    for (int key : {platform::VK_LEFT, platform::VK_UP, platform::VK_RIGHT, platform::VK_DOWN})
        if (platform::IsKeyDown(key)) return true;
    return false;
}

const Vector& NodeAt(const Wall& wall, int i) {
    return wall.GetOutline().GetPrimaryPoints()[i].position;
}

const Vector& BeginNode(const Wall& wall) {
    return NodeAt(wall, 0);
}

const Vector& EndNode(const Wall& wall) {
    return NodeAt(wall, wall.GetWallEndIndex());
}

bool HasFreeEnd(const Wall& wall) {
    return !wall.GetLinkedBegin() || !wall.GetLinkedEnd();
}

// The level walls are drawn on: FloorState double 4 minus 1.0.
double CurrentLevel(const BaseControl& control) {
    return control.floorState.GetDouble(4) - 1.0;
}

bool StandsOnLevel(const Wall& wall, double level) {
    return std::fabs(wall.GetBoundingBox().min.y - level) <= WallEditor::kLevelTolerance;
}

// The pickable part of the wall's begin edge (from the last node to node 0) and of its
// end edge (from the end node upward).
PickableObject* BeginEdge(Wall& wall) {
    const int count = wall.GetOutline().GetPrimaryCount();
    return wall.GetOutline().GetPrimaryPoints()[count - 1].edge;
}

PickableObject* EndEdge(Wall& wall) {
    return wall.GetOutline().GetPrimaryPoints()[wall.GetWallEndIndex()].edge;
}

// The first wall of the scene with a selected model or molding child, and that child.
Wall* WallWithSelectedChild(BaseControl& control, RenderableObject*& child) {
    child = nullptr;
    Wall* found = nullptr;
    LinkedListIterator it(control.scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* wall = dynamic_cast<Wall*>(node);
        if (!wall) continue;
        RenderableObject* selected = wall->FirstSelectedChild();
        if (!selected) continue;
        const uint64_t mask = selected->GetTypeMask();
        if ((mask & TypeBit::kModel) || (mask & TypeBit::kMolding)) {
            found = wall;
            child = selected;
        }
        break;
    }
    it.UnlockList();
    return found;
}

}  // namespace

WallEditor::~WallEditor() = default;

Wall* WallEditor::GetEditedWall() const {
    return dynamic_cast<Wall*>(editedSlab);
}

void WallEditor::ChooseDrawCursor() {
    BaseControl* control = theControl();
    const bool linked = control && control->wallState.GetBoolean(8);
    const bool interior = control && control->wallState.GetBoolean(9);
    const int id = linked ? (interior ? kLinkedInteriorCursor : kLinkedExteriorCursor)
                          : (interior ? kUnlinkedInteriorCursor : kUnlinkedExteriorCursor);
    defaultCursor = platform::LoadCursor(id);
}

void WallEditor::SetEditLock(bool locked) {
    if (BaseControl* control = theControl()) {
        control->drawingPreview = 0.0;
        control->drawingPoint.w = 0.0;
    }
    if (locked)
        ChooseDrawCursor();
    else
        defaultCursor = platform::kArrowCursor;
    BaseEditor::SetEditLock(locked);
}

bool WallEditor::HandlesObject(PickableObject* object) {
    if (editLock) return false;
    return !object || object->HasType(TypeBit::kWall);
}

// ---- Drawing ---------------------------------------------------------------------------

void WallEditor::TrackDrawingPoint(intptr_t packedPoint) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    const Vector plane = window->ScreenToHeightPlane(point.x, point.y, CurrentLevel(*control));
    // A ray that never meets the level leaves the hover point where it was.
    if (Window::IsNoIntersection(plane)) return;
    Vector hover = plane;

    const bool snapping = control->wallState.GetBoolean(8) || Input().shift;
    bool snapped = false;
    if (snapping) {
        // Only walls answer this pick.
        const uint64_t hidden = window->viewFlags.GetInt64(0);
        window->viewFlags.SetInt64(0, kAllButWalls);
        const int count = window->ProcessSelectionBuffer(point.x, point.y);
        window->viewFlags.SetInt64(0, hidden);
        auto* wall = count > 1 ? dynamic_cast<Wall*>(window->GetPickedObject(0)) : nullptr;
        if (wall && wall->HasWallShape() && StandsOnLevel(*wall, CurrentLevel(*control)) &&
            HasFreeEnd(*wall)) {
            Vector under;
            if (count >= 3 && window->GetPickedObject(2) == wall->GetSurface(BaseSlab::kEdgeSurface)) {
                window->GetUnderCursor(point.x, point.y, under);
                // Nothing drawn under the cursor: no point to snap from.
                if (under.w >= 1.0) under = Vector(Outline::kNoIntersection, 0.0, 0.0);
            } else {
                under = wall->GetOutline().ScreenToPlane(ProjectionOf(*window), point.x, point.y);
            }
            if (under.x != Outline::kNoIntersection) {
                if (!wall->GetLinkedEnd() && under.HorizontalDistance(EndNode(*wall)) < kLinkDistance) {
                    hover = EndNode(*wall);
                    snapped = true;
                } else if (!wall->GetLinkedBegin() &&
                           under.HorizontalDistance(BeginNode(*wall)) < kLinkDistance) {
                    hover = BeginNode(*wall);
                    snapped = true;
                }
            }
        }
        if (snapped) defaultCursor = platform::LoadCursor(kNearWallEndCursor);
    }
    if (!snapped) ChooseDrawCursor();
    hover.w = 0.0;
    hover.y += 1.0;
    drawingPoint = hover;
    drawingValue = 1.0;
}

bool WallEditor::IsNearFreeWallEnd(const Vector& point) const {
    BaseControl* control = theControl();
    if (!control || !(control->wallState.GetBoolean(8) || Input().shift)) return false;
    const Wall* edited = GetEditedWall();
    bool near = false;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone() && !near; node = it.Next()) {
        auto* wall = dynamic_cast<Wall*>(node);
        if (!wall || wall == edited || !wall->IsLinkable() || !wall->HasWallShape()) continue;
        if (std::fabs(wall->GetBoundingBox().min.y - point.y) > kLevelTolerance) continue;
        near = (!wall->GetLinkedBegin() &&
                BeginNode(*wall).HorizontalDistance(point) < kLinkDistance) ||
               (!wall->GetLinkedEnd() && EndNode(*wall).HorizontalDistance(point) < kLinkDistance);
    }
    it.UnlockList();
    return near;
}

bool WallEditor::LinkNewWallBegin(Wall& wall, const Vector& start) {
    BaseControl* control = theControl();
    if (!control) return false;
    const double level = CurrentLevel(*control);
    bool linked = false;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone() && !linked; node = it.Next()) {
        auto* other = dynamic_cast<Wall*>(node);
        if (!other || other == &wall || other->IsLocked() || !other->HasWallShape()) continue;
        if (!StandsOnLevel(*other, level) || !HasFreeEnd(*other)) continue;
        const double d1 = start.HorizontalDistance(BeginNode(*other));
        const double d2 = start.HorizontalDistance(EndNode(*other));
        if (d1 < kLinkDistance && d1 < d2)
            linked = other->LinkWith(&wall, 1, 1);
        else if (d2 < kLinkDistance)
            linked = other->LinkWith(&wall, 2, 1);
    }
    it.UnlockList();
    return linked;
}

void WallEditor::StartNewSlab() {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    MouseInput& in = Input();
    ChooseDrawCursor();
    SetShowTypes(TypeBit::kWall);

    // A press on a model while drawing walls selects the model.
    const int count = window->ProcessSelectionBuffer(in.current.x, in.current.y);
    if (count > 1) {
        const PickableObject* first = window->GetPickedObject(0);
        if (first && first->HasType(TypeBit::kModel) && !first->HasType(TypeBit::kTraceImage)) {
            SwitchMouseMode(kSelectionMode);
            return;
        }
    }

    Vector start = drawingPoint;
    start.y -= 1.0;
    double height = start.y;
    if (window->GetViewMode() != Window::kBlueprintView && window->ClampHeightBelowEye(height)) {
        start = window->ScreenToHeightPlane(in.press.x, in.press.y, height);
        if (Window::IsNoIntersection(start)) {
            TraceWrite("No wall start: the press meets no level below the eye");
            return;
        }
    }
    start.w = 1.0;

    auto* wall = new Wall(start);
    editedSlab = wall;
    editedObject = wall;
    control->scene.Append(wall);
    grabbed = &wall->GetOutline().GetPrimaryPoints()[wall->GetWallEndIndex()];

    if (!in.shift && !in.alt) LinkNewWallBegin(*wall, start);
    OutlinePoint* nodes = wall->GetOutline().GetPrimaryPoints();
    if (!wall->GetLinkedBegin()) {
        wall->UpdateFromPoints(&nodes[0]);
        nodes = wall->GetOutline().GetPrimaryPoints();
        wall->SetDrawingHeight(nodes[0].position.y);
    } else {
        const int count4 = wall->GetOutline().GetPrimaryCount();
        nodes[wall->GetWallEndIndex() + 1].position.y = nodes[count4 - 1].position.y;
        // The pick above left its own narrow projection current: cache the view's.
        window->SetupProjection(0, 0);
        window->SetupModelView();
        window->CacheMatrices();
        Vector under;
        window->GetUnderCursor(in.current.x, in.current.y, under);
        // Over the background the depth read finds nothing: draw at the begin's height.
        wall->SetDrawingHeight(under.w < 1.0 ? under.y : nodes[0].position.y);
    }
    // Linking may have moved the grabbed node's array; grab the end node anew.
    grabbed = &wall->GetOutline().GetPrimaryPoints()[wall->GetWallEndIndex()];
}

// ---- Mouse ---------------------------------------------------------------------------

void WallEditor::OnLButtonDown(intptr_t packedPoint) {
    SlabEditor::OnLButtonDown(packedPoint);
    MouseInput& in = Input();
    Wall* wall = GetEditedWall();
    if (!in.left || !wall || !grabbed || !editedObject || !editedObject->HasType(TypeBit::kWall))
        return;
    BaseControl* control = theControl();
    RenderLockScope lock(control);

    if (in.qKey && !grabbed->HasType(kChildTypes)) {
        // Copying a wall in place needs the wall's own clone, which walls do not offer
        // yet.
        TraceWrite("Q-copy of a wall is not available");
    }

    if (in.alt) {
        const bool surface = grabbed->HasType(TypeBit::kModelPart);
        if (wall->GetLinkedBegin() && (grabbed == BeginEdge(*wall) || surface))
            wall->Unlink(wall->GetLinkedBegin(), true);
        if (wall->GetLinkedEnd() && (grabbed == EndEdge(*wall) || surface))
            wall->Unlink(wall->GetLinkedEnd(), true);
        wallDrag = 0;
        return;
    }
    // A linked end stays with its neighbour.
    if ((grabbed == BeginEdge(*wall) && wall->GetLinkedBegin()) ||
        (grabbed == EndEdge(*wall) && wall->GetLinkedEnd()))
        grabbed = nullptr;
}

void WallEditor::OnMouseMove(intptr_t packedPoint) {
    MouseInput& in = Input();
    Wall* wall = GetEditedWall();
    const bool ownMove = in.left && !in.right && wall && grabbed && !in.space &&
                         !(editLock && !wallDrag) && editedObject &&
                         editedObject->HasType(TypeBit::kWall);
    if (!ownMove) {
        SlabEditor::OnMouseMove(packedPoint);
        return;
    }
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    RenderLockScope lock(control);
    const MousePoint point = MousePoint::Unpack(packedPoint);

    if (!editLock) {
        if (grabbed == BeginEdge(*wall) || grabbed == EndEdge(*wall)) {
            MouseHandler::OnMouseMove(packedPoint);
            const bool notMoved =
                std::abs(point.x - in.press.x) + std::abs(point.y - in.press.y) < 2;
            wall->DragEnd(ProjectionOf(*window), point.x, point.y, grabbed, notMoved, wallDrag != 0);
        } else {
            SlabEditor::OnMouseMove(packedPoint);
        }
        return;
    }

    if (!wall->GetLinkedBegin()) {
        SlabEditor::OnMouseMove(packedPoint);
    } else {
        MouseHandler::OnMouseMove(packedPoint);
        if (moveCount > 0) wall->DragFreeEnd(ProjectionOf(*window), point.x, point.y);
    }
    if (wall->HasWallShape() && IsNearFreeWallEnd(NodeAt(*wall, 1)))
        defaultCursor = platform::LoadCursor(kNearWallEndCursor);
    else
        ChooseDrawCursor();
    currentCursor = defaultCursor;
}

bool WallEditor::LinkReleasedWall(Wall& wall) {
    BaseControl* control = theControl();
    if (!control) return false;
    const MouseInput& in = Input();
    bool stopped = false;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* other = dynamic_cast<Wall*>(node);
        if (!other || other == &wall || other->IsLocked() || !other->HasWallShape()) continue;
        if (in.alt) {
            stopped = true;
            break;
        }
        // This wall's end first, then (editing only) its begin; per end the other wall's
        // nearer end.
        bool linked = false;
        for (int end : {2, 1}) {
            if (end == 1 && editLock) break;
            const Vector& mine = end == 2 ? EndNode(wall) : BeginNode(wall);
            const double d1 = BeginNode(*other).Distance(mine);
            const double d2 = EndNode(*other).Distance(mine);
            if (d1 < kLinkDistance && d1 < d2)
                linked = other->LinkWithUndo(&wall, 1, end);
            else if (d2 < kLinkDistance)
                linked = other->LinkWithUndo(&wall, 2, end);
            if (linked) break;
        }
        if (linked) {
            stopped = true;
            break;
        }
    }
    it.UnlockList();
    return stopped;
}

void WallEditor::RemoveShortWall(Wall& wall) {
    BaseControl* control = theControl();
    control->ReleaseHandles();
    const bool created = editLock != 0;
    if (wall.RemoveFromList(control->scene)) {
        if (created) {
            // A wall that never came to be leaves no step: its creation is dropped in the
            // same group, so redo cannot bring it back.
            wall.CancelUndoStep();
        } else {
            wall.EndUndoStep();
        }
        control->deletedObjects.Append(&wall);
    } else {
        wall.EndUndoStep();
    }
    control->EndUndoGroup();
    control->globalState.SetBoolean(18, false);
    control->RebuildDisplayData();
    editedSlab = nullptr;
    editedObject = nullptr;
    grabbed = nullptr;
}

void WallEditor::OnLButtonUp(intptr_t packedPoint) {
    if (editLock) ChooseDrawCursor();
    MouseInput& in = Input();
    Wall* wall = GetEditedWall();
    if (!wall || in.right || !in.left || !grabbed || (!HandlesObject(wall) && !editLock)) {
        SlabEditor::OnLButtonUp(packedPoint);
        editedSlab = nullptr;
        grabbed = nullptr;
        return;
    }
    BaseControl* control = theControl();
    RenderLockScope lock(control);

    const bool skipWalk = editLock && wall->HasWallShape() &&
                          BeginNode(*wall).Distance(NodeAt(*wall, 1)) <= kLinkDistance;
    const bool stopped = !skipWalk && wall->HasWallShape() && LinkReleasedWall(*wall);
    if (stopped && !control->wallState.GetBoolean(9)) wall->AddFloorIfClosed();
    if (editLock && !wall->GetLinkedEnd() && wall->HasWallShape())
        wall->SnapWallPoint(&wall->GetOutline().GetPrimaryPoints()[wall->GetWallEndIndex()], true);

    if (wall->GetSizeZ() < kMinimumLength) {
        RemoveShortWall(*wall);
        // The release of the button itself, with no edit left to close.
        SlabEditor::OnLButtonUp(packedPoint);
        return;
    }
    SlabEditor::OnLButtonUp(packedPoint);
}

void WallEditor::OnLButtonDblClk(intptr_t packedPoint) {
    MouseHandler::OnLButtonDblClk(packedPoint);
    Window* window = ActiveWindow();
    if (!window || Input().pickCount <= 1) return;
    PickableObject* first = window->GetPickedObject(0);
    auto* wall = first && first->HasType(TypeBit::kDormerWall) ? dynamic_cast<DormerWall*>(first)
                                                                : nullptr;
    if (Dormer* dormer = wall ? wall->GetDormer() : nullptr) {
        RenderLockScope lock(theControl());
        dormer->ToggleOption();
    }
}

// ---- Keys ----------------------------------------------------------------------------

void WallEditor::OnKeyDown(unsigned virtualKey) {
    MouseInput& in = Input();
    if (!IsArrowKey(virtualKey)) {
        BaseEditor::OnKeyDown(virtualKey);
        if (in.shift) wallDrag = 0;
        return;
    }
    if (!platform::IsKeyDown(platform::VK_CONTROL)) {
        BaseEditor::OnKeyDown(virtualKey);
        return;
    }
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    RenderLockScope lock(control);
    window->viewFlags.SetBoolean(11, true);
    RenderableObject* child = nullptr;
    if (WallWithSelectedChild(*control, child)) {
        // Sliding a child along its wall is the child's own move, which wall children do
        // not offer yet.
        TraceWrite("Ctrl+arrow: the wall's child cannot slide");
        return;
    }
    MouseHandler::OnKeyDown(virtualKey);
}

void WallEditor::OnKeyUp(unsigned virtualKey) {
    if (IsArrowKey(virtualKey) && !AnyArrowDown()) {
        if (Window* window = ActiveWindow()) window->viewFlags.SetBoolean(11, false);
    }
    BaseEditor::OnKeyUp(virtualKey);
    if (!Input().shift) wallDrag = 1;
}
