#include "slabs/EditableSlabChildCreator.h"

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "model/Part.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/EditableSlabChild.h"

namespace {

Vector Between(const Vector& from, const Vector& to) {
    return Vector(to.x - from.x, to.y - from.y, to.z - from.z);
}

Vector Along(const Vector& from, const Vector& direction, double amount) {
    return Vector(from.x + direction.x * amount, from.y + direction.y * amount,
                  from.z + direction.z * amount);
}

// The slab's plane directions: u along the slab, v across it.
void PlaneAxes(const BaseSlab& slab, Vector& u, Vector& v) {
    u = slab.GetUVector();
    u.Normalize();
    v.Cross(u, slab.GetOutline().normal);
    v.Normalize();
}

}  // namespace

EditableSlabChildCreator::EditableSlabChildCreator() = default;

EditableSlabChildCreator::~EditableSlabChildCreator() = default;

void EditableSlabChildCreator::Activate() {
    MouseHandler::Activate();
    returnMode = -1;
}

void EditableSlabChildCreator::Deactivate() {
    MouseHandler::Deactivate();
    // A drawing cut short still closes what it opened.
    if (undoOpen) {
        if (parent) parent->EndUndoStep();
        if (BaseControl* control = theControl()) control->EndUndoGroup();
        undoOpen = false;
    }
    child = nullptr;
    parent = nullptr;
    surfacePart = nullptr;
    UseCursor(platform::kArrowCursor);
}

void EditableSlabChildCreator::ReleaseTarget() {
    MouseHandler::ReleaseTarget();
    if (undoOpen && parent) parent->EndUndoStep();
    if (undoOpen)
        if (BaseControl* control = theControl()) control->EndUndoGroup();
    undoOpen = false;
    child = nullptr;
    parent = nullptr;
    surfacePart = nullptr;
}

void EditableSlabChildCreator::OnLButtonDown(intptr_t packedPoint) {
    MouseHandler::OnLButtonDown(packedPoint);
    const MouseInput& in = Input();
    Window* window = ActiveWindow();
    if (!in.left || in.right || !window) return;
    RenderLockScope hold(theControl());
    child = nullptr;
    parent = nullptr;
    surfacePart = nullptr;
    if (in.pickCount <= 1) return;
    PickableObject* first = window->GetPickedObject(0);
    PickableObject* second = window->GetPickedObject(1);
    if (!first || !second || !first->HasType(TypeBit::kSlab) ||
        !second->HasType(TypeBit::kModelPart))
        return;
    parent = dynamic_cast<BaseSlab*>(first);
    surfacePart = dynamic_cast<Part*>(second);
    if (!parent) return;
    if (parent->HasType(TypeBit::kWall))
        returnMode = 3;
    else if (parent->HasType(TypeBit::kRoof | TypeBit::kShaftSide))
        returnMode = 2;
    else if (parent->HasType(TypeBit::kFloor))
        returnMode = 1;
    else if (parent->HasType(TypeBit::kCounter))
        returnMode = 10;
    parent->SetSelected(true);
}

void EditableSlabChildCreator::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    const MouseInput& in = Input();
    Window* window = ActiveWindow();
    if (!in.left || in.right || !parent || !window || moveCount <= 0) return;
    BaseControl* control = theControl();
    RenderLockScope hold(control);
    const ViewProjection view = ViewOf(*window);
    Vector u, v;
    PlaneAxes(*parent, u, v);
    if (!child) {
        const Outline& plane = parent->GetOutline();
        const Vector c0 = plane.ScreenToPlane(view, in.press.x, in.press.y);
        const Vector c2 = plane.ScreenToPlane(view, in.current.x, in.current.y);
        if (c0.x == Outline::kNoIntersection || c2.x == Outline::kNoIntersection) return;
        const Vector d = Between(c0, c2);
        const Vector corners[4] = {c0, Along(c0, u, d.Dot(u)), c2, Along(c0, v, d.Dot(v))};
        if (control) {
            control->globalState.SetBoolean(0, true);
            control->SelectAll(false);
        }
        if (!undoOpen) {
            if (control) control->BeginUndoGroup();
            parent->BeginUndoStep();
            undoOpen = true;
        }
        // A rectangle with no area yet is refused; the next move tries again.
        child = CreateChild(corners);
        if (child) child->UpdateBounds();
        return;
    }
    Outline& outline = child->GetOutline();
    if (outline.GetPrimaryCount() != 4) return;
    OutlinePoint* q = outline.GetPrimaryPoints();
    const Vector kept[3] = {q[1].position, q[2].position, q[3].position};
    outline.MovePoint(view, in.current.x, in.current.y, &q[2]);
    q = outline.GetPrimaryPoints();
    if (!in.shift) parent->GetGrid().SnapToGrid(q[2].position);
    const Vector d = Between(q[0].position, q[2].position);
    q[1].position.Set(Along(q[0].position, u, d.Dot(u)));
    q[3].position.Set(Along(q[0].position, v, d.Dot(v)));
    outline.Refresh();
    if (child->IsPositionValid()) {
        RefreshChild();
        child->UpdateBounds();
        if (control && control->globalState.GetBoolean(13)) child->FlagOverlappingLights();
    } else {
        for (int i = 0; i < 3; ++i) q[i + 1].position.Set(kept[i]);
        outline.Refresh();
        RefreshChild();
    }
    ShowLengthInStatusBar("", q[0].position.Distance(q[1].position),
                          q[0].position.Distance(q[3].position));
}

void EditableSlabChildCreator::OnLButtonUp(intptr_t packedPoint) {
    MouseHandler::OnLButtonUp(packedPoint);
    BaseControl* control = theControl();
    if (returnMode >= 0) {
        BaseSlab* slab = parent;
        if (slab) {
            slab->SetSelected(false);
            if (undoOpen) {
                slab->EndUndoStep();
                if (control) control->EndUndoGroup();
                undoOpen = false;
            }
            slab->FlagOverlappingLights();
        }
        const int mode = returnMode;
        child = nullptr;
        parent = nullptr;
        SwitchMouseMode(mode);
        if (slab) slab->SetSelected(true);
    } else if (undoOpen) {
        if (parent) parent->EndUndoStep();
        if (control) control->EndUndoGroup();
        undoOpen = false;
    }
    child = nullptr;
    parent = nullptr;
    surfacePart = nullptr;
}
