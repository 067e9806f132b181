#include "building/DormerWall.h"

#include <cmath>

#include "building/Roof.h"
#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "model/SceneView.h"
#include "slabs/Dormer.h"

DormerWall::DormerWall(const Vector points[4], Dormer* owner) : Wall(Vector()), dormer(owner) {
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    if (outline.GetPrimaryCount() == 4) {
        for (int i = 0; i < 4; ++i) {
            nodes[i].position.Set(points[i]);
            nodes[i].position.w = 1.0;
        }
    }
    outline.Refresh();
    outline.normalFixed = false;
    outline.ComputeNormal();
    AllocateOutlineArrays();
}

DormerWall::DormerWall(Dormer* owner) : dormer(owner) {}

DormerWall::~DormerWall() {
    ReleaseEditorsOf(this);
    if (dormer) dormer->ForgetWall(this);
    dormer = nullptr;
}

Roof* DormerWall::GetRoof() const {
    return dormer ? dormer->GetRoof() : nullptr;
}

// ---- Menu, lock and lists -----------------------------------------------------------

bool DormerWall::ProcessPropertyMenu(uint32_t id) {
    if (id == MenuCommand::kLock) {
        Roof* roof = GetRoof();
        return roof ? roof->ProcessPropertyMenu(id) : true;
    }
    if (id == MouseHandler::kDeleteCommand) {
        BaseControl* control = theControl();
        if (control) {
            control->ReleaseHandles();
            control->RebuildDisplayData();
        }
        // The whole dormer goes; this wall with it.
        if (dormer) return dormer->ProcessPropertyMenu(id);
        TraceWrite("Dormer wall without its dormer not deleted");
        return true;
    }
    return Wall::ProcessPropertyMenu(id);
}

bool DormerWall::IsLocked() const {
    const Roof* roof = GetRoof();
    return roof ? roof->IsLocked() : false;
}

bool DormerWall::RemoveFromList(LinkedList& list) {
    (void)list;
    return false;
}

bool DormerWall::RemoveFromScene() {
    BaseControl* control = theControl();
    if (!control || GetOwner() != &control->scene) return false;
    if (!control->scene.Remove(this)) return false;
    Unlink(GetLinkedBegin(), true);
    Unlink(GetLinkedEnd(), true);
    return true;
}

// ---- Undo ---------------------------------------------------------------------------

void DormerWall::BeginUndoStep() {
    if (Roof* roof = GetRoof()) roof->BeginUndoStep();
}

void DormerWall::EndUndoStep() {
    if (Roof* roof = GetRoof()) roof->EndUndoStep();
}

void DormerWall::CancelUndoStep() {
    if (Roof* roof = GetRoof()) roof->CancelUndoStep();
}

// ---- Key data -----------------------------------------------------------------------

void DormerWall::WriteKeyData() {
    delete element;
    element = nullptr;
}

void DormerWall::Write() {
    Wall::WriteKeyData();
}

// ---- Drawing ------------------------------------------------------------------------

bool DormerWall::IsShownInCurrentView() {
    bool hidden = true;
    Roof* roof = GetRoof();
    if (dormer && roof) {
        BaseControl* control = theControl();
        SceneView* view = control ? control->GetCurrentView() : nullptr;
        const uint64_t hiddenTypes =
            view ? static_cast<uint64_t>(view->GetRenderState().GetInt64(0)) : 0;
        const bool dragged =
            roof->SelectableObject::IsSelected() && control && control->globalState.GetBoolean(18);
        hidden = (hiddenTypes & roof->GetTypeMask()) != 0 || !roof->IsVisible() ||
                 roof->IsVisibleInCurrentWindow() ||
                 (dormer->SelectableObject::IsSelected() && dormer->IsOutlineMode()) || dragged;
    }
    if (hidden) {
        drawn = 0;
        shownInView = 0;
        return false;
    }
    return Wall::IsShownInCurrentView();
}

void DormerWall::CullAgainstSlab(bool slabsOnly) {
    if (shownInView) Wall::CullAgainstSlab(slabsOnly);
}

// ---- Moves --------------------------------------------------------------------------

void DormerWall::FollowJoints() {
    if (!HasWallShape()) return;
    const OutlinePoint* nodes = outline.GetPrimaryPoints();
    if (GetLinkedBegin() && GetBeginPoint()) GetBeginPoint()->position.Set(nodes[0].position);
    if (GetLinkedEnd() && GetEndPoint())
        GetEndPoint()->position.Set(nodes[GetWallEndIndex()].position);
}

void DormerWall::MoveBy(const Vector& offset) {
    BaseSlab::MoveSlabBy(offset.x, offset.y, offset.z, false);
    FollowJoints();
}

void DormerWall::MoveSlabBy(double dx, double dy, double dz, bool constrained) {
    (void)dy, (void)constrained;
    if (!std::isfinite(dx) || !std::isfinite(dz) || !HasWallShape()) return;
    const Vector& n = outline.normal;
    const double along = n.x * dx + n.z * dz;
    const Vector m(n.x * along, 0.0, n.z * along);
    if (m.x == 0.0 && m.z == 0.0) return;
    auto slide = [this](const Vector& by) {
        BaseSlab::MoveSlabBy(by.x, 0.0, by.z, true);
        FollowJoints();
        Wall* head = GetChainHead() ? GetChainHead() : this;
        head->PropagateChain(this);
    };
    slide(m);
    const bool valid = IsPositionValid() &&
                       (!GetLinkedBegin() || GetLinkedBegin()->IsPositionValid()) &&
                       (!GetLinkedEnd() || GetLinkedEnd()->IsPositionValid());
    if (!valid) slide(Vector(-m.x, 0.0, -m.z));
}

void DormerWall::Raise(double dx, double dy, double dz) {
    if (!HasWallShape() || !std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(dz)) return;
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const Vector step(dx, dy, dz);
    if (GetLinkedBegin() && GetBeginPoint()) {
        GetBeginPoint()->position.y += dy;
        GetBeginPoint()->height -= dy;
        if (GetLinkedBegin()->GetOutline().GetPrimaryCount() > 1)
            GetLinkedBegin()->GetOutline().GetPrimaryPoints()[1].position.Add(step);
    }
    nodes[0].position.y += dy;
    if (GetLinkedEnd() && GetEndPoint()) {
        GetEndPoint()->position.y += dy;
        GetEndPoint()->height -= dy;
        if (GetLinkedEnd()->GetOutline().GetPrimaryCount() > 1)
            GetLinkedEnd()->GetOutline().GetPrimaryPoints()[1].position.Add(step);
    }
    nodes[GetWallEndIndex()].position.y += dy;
    outline.Refresh();
    MoveSlabBy(dx, 0.0, dz, true);
    // Without a horizontal part nothing else rebuilds the faces.
    Wall* head = GetChainHead() ? GetChainHead() : this;
    head->PropagateChain(this);
}
