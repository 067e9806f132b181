#include "building/TerrainEditor.h"

#include <cmath>

#include "building/Terrain.h"
#include "building/TerrainNode.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "render/Window.h"

namespace {

constexpr double kPixelsPerUnit = 0.3333333333333333;
// Views looking down more steeply than this move nodes by mouse rows.
constexpr double kSteepView = 0.9;

Vector Midpoint(const Vector& a, const Vector& b) {
    return Vector((a.x + b.x) * 0.5, (a.y + b.y) * 0.5, (a.z + b.z) * 0.5);
}

}  // namespace

TerrainEditor::~TerrainEditor() = default;

Terrain* TerrainEditor::GetTerrain() {
    BaseControl* control = theControl();
    return control ? control->terrain : nullptr;
}

void TerrainEditor::Activate() {
    BaseEditor::Activate();
    BaseControl* control = theControl();
    if (!control) return;
    RenderLockScope lock(control);
    control->SelectAll(false);
    control->globalState.SetBoolean(27, true);
    if (Terrain* terrain = GetTerrain()) terrain->SetShowNodes(true);
    groupDrag = 0;
    if (control->mainWindow) control->mainWindow->SetViewMode(Window::kPerspectiveView);
}

void TerrainEditor::Deactivate() {
    BaseControl* control = theControl();
    if (control) {
        RenderLockScope lock(control);
        control->globalState.SetBoolean(27, false);
        if (Terrain* terrain = GetTerrain()) terrain->SetShowNodes(false);
        // A drag cut short by the switch still becomes its undo step.
        EndStep();
        Window* window = ActiveWindow();
        if (window) window->marqueeShown = 0;
    }
    draggedNode = nullptr;
    BaseEditor::Deactivate();
}

void TerrainEditor::EndStep() {
    BaseControl* control = theControl();
    Terrain* terrain = GetTerrain();
    if (!control || !terrain || !terrain->HasOpenStep()) return;
    control->BeginUndoGroup();
    terrain->EndUndoStep();
    control->EndUndoGroup();
}

void TerrainEditor::OnLButtonDown(intptr_t packedPoint) {
    MouseHandler::OnLButtonDown(packedPoint);
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    Terrain* terrain = GetTerrain();
    if (!control || !window || !terrain) return;
    if (!in.left || in.right || in.pickCount < 2) return;
    PickableObject* first = window->GetPickedObject(0);
    if (!first || !(first->GetTypeMask() & TypeBit::kTerrain)) return;
    RenderLockScope lock(control);
    control->globalState.SetBoolean(18, true);
    if (!IsCursorInBand() && !in.shift) groupDrag = 0;
    if (!groupDrag) terrain->SetAllNodesSelected(false);
    draggedNode = nullptr;
    if (!groupDrag || in.shift) {
        PickableObject* second = window->GetPickedObject(1);
        if (second && (second->GetTypeMask() & TypeBit::kTerrainNode)) {
            draggedNode = dynamic_cast<TerrainNode*>(second);
            if (draggedNode) draggedNode->selected = draggedNode->selected ? 0 : 1;
        } else if (!in.shift) {
            window->marqueeShown = 1;
            UpdateBand();
        }
    }
    // A step left open by a press without its release is closed first.
    EndStep();
    terrain->BeginUndoStep();
}

void TerrainEditor::OnMouseMove(intptr_t packedPoint) {
    BaseEditor::OnMouseMove(packedPoint);
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    Terrain* terrain = GetTerrain();
    if (!control || !window || !terrain) return;
    if (!in.left || in.right || moveCount <= 0 || !terrain->HasOpenStep()) return;
    RenderLockScope lock(control);
    if (groupDrag) {
        const double amount = GetDragAmount();
        terrain->MoveSelectedNodes(amount);
        Vector ground;
        window->GetUnderCursor(in.current.x, in.current.y, ground);
        terrain->ShowHeight(ground.y + amount);
    } else if (draggedNode) {
        terrain->DragNodeOrSelection(draggedNode, GetDragAmount());
    } else if (window->marqueeShown) {
        UpdateBand();
        terrain->SelectNodesInBand(window->marqueeCorners[0], window->marqueeCorners[2], !in.shift);
    }
}

void TerrainEditor::OnLButtonUp(intptr_t packedPoint) {
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Terrain* terrain = GetTerrain();
    Window* main = control ? control->mainWindow : nullptr;
    Window* window = ActiveWindow();
    const bool band = (main && main->marqueeShown) || (window && window->marqueeShown);
    if (!band && !in.shift) {
        if (draggedNode) draggedNode->selected = 0;
    } else {
        groupDrag = 1;
    }
    if (control) {
        RenderLockScope lock(control);
        EndStep();
        control->globalState.SetBoolean(18, false);
    }
    if (window) window->marqueeShown = 0;
    if (main) main->marqueeShown = 0;
    draggedNode = nullptr;
    MouseHandler::OnLButtonUp(packedPoint);
    if (terrain) terrain->FlagLightsForUpdate();
}

void TerrainEditor::UpdateBand() {
    Window* window = ActiveWindow();
    if (!window) return;
    const MouseInput& in = Input();
    Vector c1, c3;
    window->GetUnderCursor(in.press.x, in.press.y, c1);
    window->GetUnderCursor(in.current.x, in.current.y, c3);
    c1.w = c3.w = 1.0;
    c3.y = c1.y;
    window->marqueeCorners[0] = c1;
    window->marqueeCorners[1] = Vector(c1.x, c1.y, c3.z);
    window->marqueeCorners[2] = c3;
    window->marqueeCorners[3] = Vector(c3.x, c1.y, c1.z);
}

bool TerrainEditor::IsCursorInBand() {
    Window* window = ActiveWindow();
    if (!window) return false;
    const MouseInput& in = Input();
    Vector p;
    window->GetUnderCursor(in.current.x, in.current.y, p);
    const Vector& c1 = window->marqueeCorners[0];
    const Vector& c3 = window->marqueeCorners[2];
    return p.x >= std::fmin(c1.x, c3.x) && p.x <= std::fmax(c1.x, c3.x) &&
           p.z >= std::fmin(c1.z, c3.z) && p.z <= std::fmax(c1.z, c3.z);
}

double TerrainEditor::GetDragAmount() {
    if (!draggedNode && !groupDrag) return 0.0;
    Window* window = ActiveWindow();
    if (!window) return 0.0;
    const MouseInput& in = Input();
    const Vector anchor = draggedNode
                              ? draggedNode->position
                              : Midpoint(window->marqueeCorners[0], window->marqueeCorners[2]);
    const Vector v = window->UnprojectViewCenter();
    if (v.y > kSteepView) return (in.previous.y - in.current.y) * kPixelsPerUnit;
    Vector normal(v.x, 0.0, v.z);
    normal.Normalize();
    if (normal.Length() == 0.0) return 0.0;
    const Vector now = window->ScreenToPlane(in.current.x, in.current.y, anchor, normal);
    const Vector before = window->ScreenToPlane(in.previous.x, in.previous.y, anchor, normal);
    if (Window::IsNoIntersection(now) || Window::IsNoIntersection(before)) return 0.0;
    const double amount = now.y - before.y;
    return std::isfinite(amount) ? amount : 0.0;
}
