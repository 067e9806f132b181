#include "building/RoofGroupEditor.h"

#include <cmath>
#include <string>

#include "building/Roof.h"
#include "building/RoofGroup.h"
#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "platform/Input.h"
#include "render/Window.h"

namespace {

constexpr double kQuarterTurn = M_PI / 4.0;

// The cursor on the horizontal plane at height h; false when the ray misses it.
bool CursorAtHeight(const Window& window, int x, int y, double h, Vector& out) {
    out = window.ScreenToHeightPlane(x, y, h);
    return !Window::IsNoIntersection(out) && std::isfinite(out.x) && std::isfinite(out.z);
}

}  // namespace

RoofGroupEditor::~RoofGroupEditor() = default;

RoofGroup* RoofGroupEditor::GetGroup() const {
    return groupName ? dynamic_cast<RoofGroup*>(PickableObject::FromPickName(groupName)) : nullptr;
}

void RoofGroupEditor::CloseUndo() {
    BaseControl* control = theControl();
    if (!undoOpen && !stepOpen) return;
    RenderLockScope lock(control);
    if (stepOpen)
        if (RoofGroup* group = GetGroup()) group->EndUndoStep();
    stepOpen = false;
    if (undoOpen && control) control->EndUndoGroup();
    undoOpen = false;
}

void RoofGroupEditor::Activate() {
    SlabEditor::Activate();
    groupName = 0;
    grabbedHandle = nullptr;
    handleName = 0;
}

RoofGroup* RoofGroupEditor::FinishDrawing(RoofGroup* group) {
    BaseControl* control = theControl();
    if (!group || !control) return group;
    // The planes are made inside the step that records the new group.
    group->UpdatePeakCenter();
    if (group->AreRoofsCreated()) {
        if (stepOpen) group->EndUndoStep();
        stepOpen = false;
        return group;
    }
    // A footprint without area: no planes, no group and no undo step.
    TraceWrite("Roof group without area removed");
    if (stepOpen) group->CancelUndoStep();
    stepOpen = false;
    group->SetSelected(true);
    if (!group->IsWireframe()) group->ToggleWireframe();
    if (group->RemoveFromList(control->scene)) control->deletedObjects.Append(group);
    groupName = 0;
    return nullptr;
}

void RoofGroupEditor::Deactivate() {
    {
        // A roof whose drawing is cut short is finished as its release would.
        RenderLockScope lock(theControl());
        RoofGroup* group = GetGroup();
        if (group && stepOpen && !group->AreRoofsCreated()) FinishDrawing(group);
    }
    CloseUndo();
    SlabEditor::Deactivate();
    groupName = 0;
    grabbedHandle = nullptr;
    handleName = 0;
}

void RoofGroupEditor::SetEditLock(bool locked) {
    Window* window = ActiveWindow();
    BaseControl* control = theControl();
    if (locked && window && !window->IsOrthographicView()) {
        defaultCursor = platform::LoadCursor(kDrawCursor);
        if (control) control->drawingPreview = 1.0;
    } else {
        defaultCursor = platform::kArrowCursor;
        if (control) control->drawingPreview = 0.0;
    }
    BaseEditor::SetEditLock(locked);
}

void RoofGroupEditor::ReleaseTarget() {
    groupName = 0;
    grabbedHandle = nullptr;
    handleName = 0;
    SlabEditor::ReleaseTarget();
    moveCount = 0;
}

bool RoofGroupEditor::HandlesObject(PickableObject* object) {
    return object && object->GetTypeMask() == TypeMask::kRoofGroup;
}

void RoofGroupEditor::OnRButtonDown(intptr_t packedPoint) {
    SlabEditor::OnRButtonDown(packedPoint);
    CloseUndo();
}

// ---- Drawing ------------------------------------------------------------------------

Vector RoofGroupEditor::TrackCursor(intptr_t packedPoint) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return cursorPoint;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    const double raise = control->roofState.GetDouble(0) * 0.5 + 0.25;
    Vector p;
    window->GetUnderCursor(point.x, point.y, p);
    if (p.w >= 1.0 || !std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
        // Nothing under the cursor: where the ray meets the raised current floor level,
        // so that the same pixel always gives the same point.
        if (!CursorAtHeight(*window, point.x, point.y, control->floorState.GetDouble(4) + raise, p))
            return cursorPoint;
    } else {
        p.y += raise;
    }
    p.w = 1.0;
    return p;
}

void RoofGroupEditor::TrackDrawingPoint(intptr_t packedPoint) {
    cursorPoint = TrackCursor(packedPoint);
    if (BaseControl* control = theControl()) control->drawingPoint = cursorPoint;
}

void RoofGroupEditor::BeginDrawing() {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window || window->IsOrthographicView()) return;
    SetShowTypes(TypeBit::kRoofGroup | TypeBit::kRoof);
    Vector p = TrackCursor(Input().press.Pack());
    auto* group = new RoofGroup(p);
    control->BeginUndoGroup();
    undoOpen = true;
    group->BeginTransaction(true);
    stepOpen = true;
    group->SetSelected(true);
    control->scene.Append(group);
    groupName = group->GetPickName();
    grabbedHandle = group->GetFootprintNode(2);
    handleName = grabbedHandle->GetPickName();
    editedObject = group;
}

// ---- Press, drags, release ----------------------------------------------------------

void RoofGroupEditor::OnLButtonDown(intptr_t packedPoint) {
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    CloseUndo();
    groupName = 0;
    grabbedHandle = nullptr;
    handleName = 0;
    SlabEditor::OnLButtonDown(packedPoint);
    Window* window = ActiveWindow();
    MouseInput& in = Input();
    if (!control || !window || window->GetCurrentMode() != this) return;
    if (grabbed || !in.left) return;
    auto* group = dynamic_cast<RoofGroup*>(editedObject);
    deferredBefore = control->globalState.GetBoolean(12);
    if (group) {
        groupName = group->GetPickName();
        control->globalState.SetBoolean(18, true);
        grabbedHandle = in.pickCount > 1 ? window->GetPickedObject(1) : nullptr;
        handleName = grabbedHandle ? grabbedHandle->GetPickName() : 0;
        if (grabbedHandle == &group->GetRotationHandle()) {
            rotationCentre = group->Corner(0).Midpoint(group->Corner(2));
            Vector at;
            rotation = 0.0;
            if (CursorAtHeight(*window, in.current.x, in.current.y, rotationCentre.y, at)) {
                const double a = std::atan2(at.z - rotationCentre.z, at.x - rotationCentre.x);
                rotation = std::floor(a / kQuarterTurn) * kQuarterTurn;
            }
        }
        control->BeginUndoGroup();
        undoOpen = true;
        group->BeginUndoStep();
        stepOpen = true;
    } else if (editLock) {
        // Shadow maps wait while a roof is drawn.
        control->globalState.SetBoolean(12, true);
    }
}

void RoofGroupEditor::OnMouseMove(intptr_t packedPoint) {
    BaseEditor::OnMouseMove(packedPoint);
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    if (!GetGroup() && editLock && !in.left) {
        RenderLockScope lock(control);
        TrackDrawingPoint(packedPoint);
    }
    if (!in.left || in.right || in.space || moveCount <= 0) return;
    RenderLockScope lock(control);
    if (!GetGroup() && editLock) {
        BeginDrawing();
        control->globalState.SetBoolean(12, deferredBefore);
    }
    RoofGroup* group = GetGroup();
    PickableObject* handle = handleName ? PickableObject::FromPickName(handleName) : nullptr;
    if (group && handle && !in.ctrl) {
        const ViewProjection view = ProjectionOf(*window);
        const int x = in.current.x, y = in.current.y, px = in.previous.x, py = in.previous.y;
        const uint64_t mask = handle->GetTypeMask();
        Vector p1, p0;
        if (verticalMove) {
            group->MoveWithPlane(0.0, py - y, 0.0, nullptr);
        } else if (handle == &group->GetFootprintTarget()) {
            const double h = group->Corner(0).y;
            if (CursorAtHeight(*window, x, y, h, p1) && CursorAtHeight(*window, px, py, h, p0))
                group->MoveWithPlane(p1.x - p0.x, 0.0, p1.z - p0.z, nullptr);
        } else if (handle == &group->GetRotationHandle()) {
            if (CursorAtHeight(*window, x, y, rotationCentre.y, p1)) {
                double a = std::atan2(p1.z - rotationCentre.z, p1.x - rotationCentre.x);
                if (!in.shift)
                    a = std::floor((a + kQuarterTurn / 2.0) / kQuarterTurn) * kQuarterTurn;
                group->Rotate(-(a - rotation));
                rotation = a;
            }
        } else if (handle == &group->GetPeakCenter() && !in.shift) {
            group->TranslatePeaks(0.0, (py - y) * 0.5, 0.0, true);
            const double c = group->GetPeakCenter().position.y;
            const std::string text = FormatLength(c, false, 6) + " above ground  :  " +
                                     FormatLength(c - group->Corner(0).y, false, 6) +
                                     " from roof bottom";
            window->statusBar1.SetShown(true);
            window->statusBar1.SetText(text.c_str(), false);
        } else if (mask & TypeBit::kOutlineNode) {
            group->DragHandle(view, x, y, static_cast<OutlinePoint*>(handle), editLock != 0,
                              in.shift != 0, window->GetViewMode());
        } else if (mask & TypeBit::kOutlineEdge) {
            PickableObject* second = in.pickCount > 2 ? window->GetPickedObject(2) : nullptr;
            if (second && second->HasType(TypeBit::kOutlineNode))
                group->DragEdge(view, x, y, px, py, static_cast<OutlinePoint*>(second));
        }
    }
    const uint64_t show = GetShowTypes();
    if (show) {
        control->SetVisibilityByTypeMask(show, true, false);
        SetShowTypes(0);
    }
}

void RoofGroupEditor::OnLButtonUp(intptr_t packedPoint) {
    theTrace().Write("RE::LBU");
    MouseInput& in = Input();
    BaseControl* control = theControl();
    const bool wasLeft = in.left != 0;
    const bool drawing = editLock != 0;
    RenderLockScope lock(control);
    RoofGroup* group = GetGroup();
    bool selected = false, wireframeSelected = false;
    if (group) {
        selected = group->IsSelected();
        wireframeSelected = selected && group->IsWireframe();
    }
    if (drawing && wasLeft && control) control->globalState.SetBoolean(12, deferredBefore);
    theTrace().Write("RE1");
    SlabEditor::OnLButtonUp(packedPoint);
    SetEditLock(false);
    group = GetGroup();
    if (!wasLeft) group = nullptr;
    if (group && control && drawing) {
        theTrace().Write("RE2");
        group = FinishDrawing(group);
    } else if (group && control) {
        theTrace().Write("RE2");
        if (stepOpen) group->EndUndoStep();
        group->BeginUndoStep();
        stepOpen = true;
        group->UpdatePeakCenter();
        group->EndUndoStep();
        stepOpen = false;
    }
    if (group) {
        group->SetSelected(selected);
        if (selected) group->SetSelected(true);
        if (wireframeSelected && !group->IsWireframe()) group->ToggleWireframe();
    }
    CloseUndo();
    if (control && group && !control->globalState.GetBoolean(13) && group->CountPlanes() > 0)
        control->RebuildDisplayData();
    grabbedHandle = nullptr;
    handleName = 0;
    theTrace().Write("RE3");
}

void RoofGroupEditor::OnLButtonDblClk(intptr_t packedPoint) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    RoofGroup* group = nullptr;
    if (window && Input().pickCount > 0)
        group = dynamic_cast<RoofGroup*>(window->GetPickedObject(0));
    if (!group) group = GetGroup();
    if (!group || !control) {
        SlabEditor::OnLButtonDblClk(packedPoint);
        return;
    }
    RenderLockScope lock(control);
    control->BeginUndoGroup();
    group->BeginUndoStep();
    group->UpdatePeakCenter();
    group->ToggleWireframe();
    group->EndUndoStep();
    control->EndUndoGroup();
}
