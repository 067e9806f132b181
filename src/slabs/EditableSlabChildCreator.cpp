#include "slabs/EditableSlabChildCreator.h"

#include <cmath>

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
        pressCorner = c0;
        if (child) child->UpdateBounds();
        return;
    }
    Outline& outline = child->GetOutline();
    if (outline.GetPrimaryCount() != 4) return;
    OutlinePoint* q = outline.GetPrimaryPoints();
    // The child may keep its corners in another order than given: the corner nearest
    // the press stays, the one across from it follows the pointer.
    int a = 0;
    for (int i = 1; i < 4; ++i)
        if (q[i].position.Distance(pressCorner) < q[a].position.Distance(pressCorner)) a = i;
    const int d = (a + 2) % 4, b = (a + 1) % 4, c = (a + 3) % 4;
    const Vector kept[4] = {q[0].position, q[1].position, q[2].position, q[3].position};
    const bool bAlongU = std::fabs(Between(q[a].position, q[b].position).Dot(u)) >=
                         std::fabs(Between(q[a].position, q[b].position).Dot(v));
    outline.MovePoint(view, in.current.x, in.current.y, &q[d]);
    q = outline.GetPrimaryPoints();
    if (!in.shift) parent->GetGrid().SnapToGrid(q[d].position);
    const Vector diagonal = Between(q[a].position, q[d].position);
    const Vector alongU = Along(q[a].position, u, diagonal.Dot(u));
    const Vector alongV = Along(q[a].position, v, diagonal.Dot(v));
    q[b].position.Set(bAlongU ? alongU : alongV);
    q[c].position.Set(bAlongU ? alongV : alongU);
    outline.Refresh();
    if (child->IsPositionValid()) {
        RefreshChild();
        child->UpdateBounds();
        if (control && control->globalState.GetBoolean(13)) child->FlagOverlappingLights();
    } else {
        for (int i = 0; i < 4; ++i) q[i].position.Set(kept[i]);
        outline.Refresh();
        RefreshChild();
    }
    const Vector& anchor = q[a].position;
    ShowLengthInStatusBar("", anchor.Distance(q[b].position), anchor.Distance(q[c].position));
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
