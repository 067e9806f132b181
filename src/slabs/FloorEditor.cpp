#include "slabs/FloorEditor.h"

#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "platform/Input.h"
#include "render/Window.h"
#include "slabs/Floor.h"

namespace {

// What a press with Q on a floor does not copy the floor for: its children.
constexpr uint64_t kChildTypes = TypeBit::kSlabChildModel | TypeBit::kSlabChild | TypeBit::kMolding;

bool IsArrowKey(unsigned key) {
    return key >= static_cast<unsigned>(platform::VK_LEFT) &&
           key <= static_cast<unsigned>(platform::VK_DOWN);
}

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The first floor of the scene that is selected, itself or through a child.
Floor* FirstSelectedFloor(BaseControl& control) {
    Floor* found = nullptr;
    LinkedListIterator it(control.scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone() && !found; node = it.Next()) {
        auto* floor = dynamic_cast<Floor*>(node);
        if (floor && floor->HasType(TypeBit::kFloor) && floor->IsSelected()) found = floor;
    }
    it.UnlockList();
    return found;
}

}  // namespace

FloorEditor::~FloorEditor() = default;

bool FloorEditor::PointUnder(Window& window, int x, int y, Vector& point) {
    Vector under;
    window.GetUnderCursor(x, y, under);
    // Over the background the depth read finds nothing.
    if (!(under.w < 1.0) || !IsFinite(under)) return false;
    point = under;
    return true;
}

void FloorEditor::SetEditLock(bool locked) {
    if (BaseControl* control = theControl()) {
        control->drawingPoint.w = locked ? 1.0 : 0.0;
        control->globalState.SetBoolean(27, locked);
    }
    defaultCursor = locked ? platform::LoadCursor(kDrawCursor) : platform::kArrowCursor;
    BaseEditor::SetEditLock(locked);
}

bool FloorEditor::HandlesObject(PickableObject* object) {
    if (editLock) return false;
    return !object || object->HasType(TypeBit::kFloor);
}

// ---- Drawing ---------------------------------------------------------------------------

void FloorEditor::TrackDrawingPoint(intptr_t packedPoint) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    double h = control->floorState.GetDouble(4);
    if (window->ProcessSelectionBuffer(point.x, point.y) > 1) {
        PickableObject* first = window->GetPickedObject(0);
        if (first && first->HasType(TypeBit::kTerrain)) {
            Vector under;
            if (PointUnder(*window, point.x, point.y, under) && under.y > 0.0 && h + 1.0 < under.y)
                h = under.y + 1.0;
        } else if (auto* floor = dynamic_cast<RenderableObject*>(first);
                   floor && floor->HasType(TypeBit::kFloor)) {
            const double top = floor->GetBoundingBox().max.y;
            if (h <= top + 1.0) h = top + 1.0;
        }
    }
    const Vector hover = window->ScreenToHeightPlane(point.x, point.y, h);
    // A ray that never meets the plane leaves the hover point where it was.
    if (Window::IsNoIntersection(hover) || !IsFinite(hover)) return;
    drawingPoint = hover;
    drawingPoint.w = 1.0;
    drawingValue = 1.0;
    control->drawingPoint = drawingPoint;
}

void FloorEditor::StartNewSlab() {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    const MouseInput& in = Input();
    RenderLockScope lock(control);
    const double t = control->floorState.GetDouble(0);
    double h = control->GetCurrentFloorElevation() + 1.0 - t / 2.0;
    if (window->GetViewMode() != Window::kBlueprintView) window->ClampHeightBelowEye(h);
    if (window->ProcessSelectionBuffer(in.press.x, in.press.y) > 1) {
        PickableObject* first = window->GetPickedObject(0);
        auto* floor = dynamic_cast<RenderableObject*>(first);
        if (floor && floor->HasType(TypeBit::kFloor)) {
            // The new floor sits on top of the clicked one.
            const double b = floor->GetBoundingBox().max.y + t / 2.0 + 0.01;
            if (b >= h) h = b;
        } else if (first && first->HasType(TypeBit::kTerrain)) {
            window->SetupProjection(0, 0);
            window->SetupModelView();
            window->CacheMatrices();
            Vector under;
            if (PointUnder(*window, in.press.x, in.press.y, under) && under.y > 0.0 &&
                h + 1.0 < under.y)
                h = under.y;
        }
    }
    Vector start = window->ScreenToHeightPlane(in.press.x, in.press.y, h - t);
    if (Window::IsNoIntersection(start) || !IsFinite(start)) {
        TraceWrite("No floor start: the press meets no level");
        return;
    }
    start.w = 1.0;
    auto* floor = new Floor(start, true);
    const double y = floor->GetOutline().GetPrimaryPoints()[0].position.y;
    if (h != y) floor->MoveSlabBy(0.0, h - y, 0.0, true);
    editedSlab = floor;
    editedObject = floor;
    control->scene.Append(floor);
    grabbed = &floor->GetOutline().GetPrimaryPoints()[0];
    newSlab = floor->GetPickName();
}

// ---- Mouse -----------------------------------------------------------------------------

void FloorEditor::OnLButtonDown(intptr_t packedPoint) {
    copyMade = 0;
    newSlab = 0;
    SlabEditor::OnLButtonDown(packedPoint);
    const MouseInput& in = Input();
    auto* floor = dynamic_cast<Floor*>(editedSlab);
    if (editLock || !in.left || !in.qKey || !floor || !grabbed ||
        !floor->HasType(TypeBit::kFloor) || grabbed->HasType(kChildTypes))
        return;
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    // The copy stays where the floor was, raised; the drag moves the floor pressed. The
    // copy's creation is its own step inside the press's group.
    auto* copy = dynamic_cast<Floor*>(floor->Clone(false, true));
    if (!copy || copy == floor) return;
    copyMade = 1;
    copy->MoveSlabBy(0.0, copy->GetThickness() / 2.0 + 1.0, 0.0, true);
    copy->BeginTransaction(true);
    copy->EndUndoStep();
}

bool FloorEditor::IsTooSmall(const BaseSlab& slab) const {
    const BoundingBox& box = slab.GetBoundingBox();
    return !(box.max.x - box.min.x >= kSmallestSide) || !(box.max.z - box.min.z >= kSmallestSide);
}

void FloorEditor::OnLButtonUp(intptr_t packedPoint) {
    const MouseInput& in = Input();
    BaseControl* control = theControl();
    if (control && in.left && !in.right && editLock && newSlab && editedSlab &&
        PickableObject::FromPickName(newSlab) == editedSlab) {
        RenderLockScope lock(control);
        // A click without a drag, or a thin strip, leaves no floor: its creation goes
        // with the group that made it.
        if (IsTooSmall(*editedSlab)) DropNewSlab();
    }
    newSlab = 0;
    SlabEditor::OnLButtonUp(packedPoint);
}

// ---- Keys ------------------------------------------------------------------------------

void FloorEditor::OnKeyDown(unsigned virtualKey) {
    const MouseInput& in = Input();
    BaseControl* control = theControl();
    const bool ctrl = in.ctrl || platform::IsKeyDown(platform::VK_CONTROL);
    if (ctrl && control && IsArrowKey(virtualKey)) {
        RenderLockScope lock(control);
        Floor* floor = FirstSelectedFloor(*control);
        // A floor selected only through a child leaves the keys to the base.
        if (floor && floor->IsSelectedItself()) {
            const bool up = virtualKey == static_cast<unsigned>(platform::VK_UP);
            const bool down = virtualKey == static_cast<unsigned>(platform::VK_DOWN);
            if (up || down) {
                const double step = control->globalState.GetDouble(3);
                if (std::isfinite(step)) {
                    JoinNudge(*floor);
                    floor->MoveSlabBy(0.0, up ? step : -step, 0.0, true);
                }
            }
            return;
        }
    }
    SlabEditor::OnKeyDown(virtualKey);
}
