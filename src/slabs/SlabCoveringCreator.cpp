#include "slabs/SlabCoveringCreator.h"

#include <new>

#include "control/BaseControl.h"
#include "slabs/BaseSlab.h"
#include "slabs/ShaftHoleCreator.h"
#include "slabs/SlabCovering.h"
#include "slabs/SlabHoleCreator.h"

SlabCoveringCreator::SlabCoveringCreator() = default;

SlabCoveringCreator::~SlabCoveringCreator() = default;

void SlabCoveringCreator::Activate() {
    EditableSlabChildCreator::Activate();
    UseCursor(platform::LoadCursor(kDrawMaterialCursor));
    if (BaseControl* control = theControl()) control->ShowOnceMessage(303, "Draw Material", 34);
}

EditableSlabChild* SlabCoveringCreator::CreateChild(const Vector* corners) {
    if (!parent) return nullptr;
    return dynamic_cast<EditableSlabChild*>(parent->CreateCovering(corners, 4, surfacePart, false));
}

void SlabCoveringCreator::RefreshChild() {
    if (child) child->MarkDirty();
}

MouseHandler* MakeSlabChildCreator(int mode) {
    if (mode == SlabCoveringCreator::kMode) return new (std::nothrow) SlabCoveringCreator;
    if (mode == SlabHoleCreator::kMode) return new (std::nothrow) SlabHoleCreator;
    if (mode == ShaftHoleCreator::kMode) return new (std::nothrow) ShaftHoleCreator;
    return nullptr;
}
