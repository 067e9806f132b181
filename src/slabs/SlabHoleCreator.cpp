#include "slabs/SlabHoleCreator.h"

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/SlabHole.h"

SlabHoleCreator::SlabHoleCreator() = default;

SlabHoleCreator::~SlabHoleCreator() = default;

void SlabHoleCreator::Activate() {
    EditableSlabChildCreator::Activate();
    BaseControl* control = theControl();
    int cursor = kDrawHoleCursor;
    if (control && control->globalState.GetBoolean(31))
        cursor = kDrawWindowCursor;
    else if (control && control->globalState.GetBoolean(32))
        cursor = kDrawDoorCursor;
    UseCursor(platform::LoadCursor(cursor));
    if (control) control->ShowOnceMessage(304, "Draw Hole", 35);
}

void SlabHoleCreator::Deactivate() {
    if (BaseControl* control = theControl()) {
        control->globalState.SetBoolean(31, false);
        control->globalState.SetBoolean(32, false);
    }
    EditableSlabChildCreator::Deactivate();
}

void SlabHoleCreator::OnLButtonDown(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    if (!window) {
        EditableSlabChildCreator::OnLButtonDown(packedPoint);
        return;
    }
    int64_t hidden = 0;
    {
        RenderLockScope hold(theControl());
        hidden = window->viewFlags.GetInt64(0);
        window->viewFlags.SetInt64(0, hidden | static_cast<int64_t>(TypeBit::kCovering));
    }
    EditableSlabChildCreator::OnLButtonDown(packedPoint);
    RenderLockScope hold(theControl());
    window->viewFlags.SetInt64(0, hidden);
}

void SlabHoleCreator::OnLButtonUp(intptr_t packedPoint) {
    BaseControl* control = theControl();
    if (Input().left && moveCount > 0 && child) {
        if (PRECONDITION(child->HasType(TypeBit::kHole), "child is not a hole")) {
            if (auto* hole = dynamic_cast<SlabHole*>(child)) hole->RefreshDoorOrWindow();
        }
    }
    if (control) {
        control->globalState.SetBoolean(31, false);
        control->globalState.SetBoolean(32, false);
    }
    EditableSlabChildCreator::OnLButtonUp(packedPoint);
}

EditableSlabChild* SlabHoleCreator::CreateChild(const Vector* corners) {
    if (!parent) return nullptr;
    return dynamic_cast<EditableSlabChild*>(parent->CreateHole(corners, 4));
}

void SlabHoleCreator::RefreshChild() {
    if (auto* hole = dynamic_cast<SlabHole*>(child)) hole->RebuildGeometry();
}
