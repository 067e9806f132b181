#include "building/MoldingEditor.h"

#include <atomic>
#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/SlabMolding.h"

namespace {

constexpr uint32_t kMoldingTip = 258;
constexpr double kLooseHeight = 100.0;

// Set at start; cleared after the first molding of the run.
std::atomic<bool> tipPending{true};

}  // namespace

bool MoldingEditor::TipPending() {
    return tipPending.load();
}

void MoldingEditor::ResetTip() {
    tipPending = true;
}

MoldingEditor::~MoldingEditor() = default;

void MoldingEditor::Activate() {
    BaseEditor::Activate();
    editLock = 1;
    UseCursor(defaultCursor);
}

void MoldingEditor::Deactivate() {
    editLock = 0;
    BaseEditor::Deactivate();
}

void MoldingEditor::ReleaseTarget() {
    molding = nullptr;
    slab = nullptr;
    third = nullptr;
    BaseEditor::ReleaseTarget();
}

bool MoldingEditor::HandlesObject(PickableObject*) {
    return editLock != 0;
}

void MoldingEditor::OnMouseMove(intptr_t packedPoint) {
    BaseEditor::OnMouseMove(packedPoint);
    MouseInput& in = Input();
    if (!in.left || in.right || in.middle || in.space || moveCount < 1) return;
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    if (in.pickCount < 0) {
        RenderLockScope hold(*control);
        in.pickCount = window->ProcessSelectionBuffer(in.press.x, in.press.y);
    }
    if (!molding && !slab && in.pickCount > 0) {
        PickableObject* first = window->GetPickedObject(0);
        if (first && first->HasType(TypeBit::kSlab)) slab = dynamic_cast<BaseSlab*>(first);
    }
    RenderLockScope hold(*control);
    if (!molding) {
        if (slab) {
            slab->BeginUndoStep();
            StartMolding();
        }
    } else if (!slab) {
        const Vector p = window->ScreenToHeightPlane(in.current.x, in.current.y, kLooseHeight);
        if (std::isfinite(p.x) && p.x < 1e300) molding->SetEndPoint(BaseMolding::kEnd, p);
        molding->LinkNeighbours();
    } else {
        molding->MovePathPoint(BaseMolding::kEnd, in.current.x, in.current.y, !in.shift);
        // The step opened with the molding stays the one open: its snapshot is the slab
        // without the molding, so undo takes the molding away.
        if (moveCount > 1 && !in.shift && !in.qKey) molding->ClampToSlabEdges(true);
    }
    pendingHidden = 0;
}

void MoldingEditor::StartMolding() {
    pendingHidden = TypeBit::kMolding;
    if (!slab) return;
    MouseInput& in = Input();
    Window* window = ActiveWindow();
    PickableObject* second = in.pickCount > 1 ? window->GetPickedObject(1) : nullptr;
    PickableObject* third = in.pickCount > 2 ? window->GetPickedObject(2) : nullptr;
    if (second && second->HasType(TypeBit::kMolding)) {
        // A press on a molding starts none; the slab's step goes unrecorded.
        slab->CancelUndoStep();
        slab = nullptr;
        in.pickCount = -1;
        return;
    }
    molding = new SlabMolding(false);
    editedObject = molding;
    if (BaseControl* control = theControl()) molding->SetShapeType(control->baseMoldingState.GetInteger(0));
    Part* face = nullptr;
    OutlineEdge* edge = nullptr;
    if (second && second->HasType(TypeBit::kModelPart)) {
        face = static_cast<Part*>(second);
    } else if (third && third->HasType(TypeBit::kModelPart)) {
        edge = dynamic_cast<OutlineEdge*>(second);
        if (!edge) {
            // The side of the slab that the picked point lies on.
            Vector picked;
            if (auto* point = dynamic_cast<OutlinePoint*>(second)) picked = point->position;
            const Vector& n = slab->GetOutline().normal;
            const double side = n.x * picked.x + n.y * picked.y + n.z * picked.z;
            face = slab->GetSurface(side >= 0.0 ? BaseSlab::kInsideSurface : BaseSlab::kOutsideSurface);
        } else {
            face = static_cast<Part*>(third);
        }
    }
    if (face) {
        molding->AttachToSlab(slab, face, edge);
        molding->MovePathPoint(BaseMolding::kBegin, in.press.x, in.press.y, false);
    } else {
        molding->SetEndPoint(BaseMolding::kBegin, Vector(0, 0, 0));
        molding->LinkNeighbours();
        molding->AttachToSlab(slab, slab->GetSurface(BaseSlab::kInsideSurface), nullptr);
    }
    molding->SetEndPoint(BaseMolding::kEnd, molding->GetBegin());
    molding->LinkNeighbours();
}

void MoldingEditor::OnLButtonUp(intptr_t packedPoint) {
    BaseEditor::OnLButtonUp(packedPoint);
    BaseControl* control = theControl();
    MouseInput& in = Input();
    const bool drawn = molding != nullptr;
    if (molding) molding->SetSelected(false);
    if (drawn && tipPending.exchange(false) && editLock && control)
        control->ShowResourceMessage(kMoldingTip, "Molding Tips");
    if (molding && slab && control) {
        RenderLockScope hold(*control);
        if (!in.shift && !in.qKey) molding->ClampToSlabEdges(false);
        control->BeginUndoGroup();
        slab->EndUndoStep();
        control->EndUndoGroup();
    }
    molding = nullptr;
    slab = nullptr;
    third = nullptr;
    editedObject = nullptr;
}

void MoldingEditor::OnLButtonDblClk(intptr_t packedPoint) {
    editLock = 0;
    BaseEditor::OnLButtonDblClk(packedPoint);
    Window* window = ActiveWindow();
    MouseInput& in = Input();
    if (!window || in.pickCount < 2) return;
    PickableObject* first = window->GetPickedObject(0);
    PickableObject* second = window->GetPickedObject(1);
    if (first && first->HasType(TypeBit::kSlab) && second && second->HasType(TypeBit::kMolding)) {
        if (auto* s = dynamic_cast<SelectableObject*>(first)) s->SetSelected(false);
        if (auto* m = dynamic_cast<SelectableObject*>(second)) m->SetSelected(true);
    }
}
