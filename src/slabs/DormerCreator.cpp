#include "slabs/DormerCreator.h"

#include "building/Roof.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "slabs/BaseSlab.h"
#include "slabs/Dormer.h"

DormerCreator::DormerCreator() = default;

DormerCreator::~DormerCreator() = default;

void DormerCreator::Activate() {
    EditableSlabChildCreator::Activate();
    UseCursor(platform::LoadCursor(kDrawHoleCursor));
}

void DormerCreator::OnLButtonDown(intptr_t packedPoint) {
    RenderLockScope hold(theControl());
    SlabHoleCreator::OnLButtonDown(packedPoint);
    if (parent && !parent->HasType(TypeBit::kRoof)) {
        // Dormers are drawn on roofs only.
        parent->SetSelected(false);
        parent = nullptr;
        surfacePart = nullptr;
        returnMode = -1;
    }
}

void DormerCreator::OnMouseMove(intptr_t packedPoint) {
    SlabHoleCreator::OnMouseMove(packedPoint);
    if (Input().right || !parent || !child) return;
    RenderLockScope hold(theControl());
    if (auto* dormer = dynamic_cast<Dormer*>(child)) dormer->FindCornerIndices();
}

void DormerCreator::ReleaseTarget() {
    EditableSlabChildCreator::ReleaseTarget();
    moveCount = 0;
}

bool DormerCreator::HandlesObject(PickableObject*) {
    return false;
}

EditableSlabChild* DormerCreator::CreateChild(const Vector* corners) {
    auto* roof = dynamic_cast<Roof*>(parent);
    return roof ? roof->AddDormer(corners) : nullptr;
}
