#include "interaction/ColumnEditor.h"

#include "building/Column.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "platform/Input.h"
#include "render/Window.h"

ColumnEditor::~ColumnEditor() = default;

Fence* ColumnEditor::CreateObject() {
    showTypeMask = TypeMask::kColumn;
    return new Column(false);
}

bool ColumnEditor::IsOwnKind(PickableObject* object) {
    return object && object->HasType(TypeBit::kColumn);
}

void ColumnEditor::OnMouseMove(intptr_t packedPoint) {
    MouseInput& in = Input();
    auto* column = dynamic_cast<Column*>(fence);
    PickableObject* grabbed = Grabbed();
    if (!column || !grabbed || grabbed != &column->GetHeightHandle() || !in.left || in.right ||
        in.space) {
        FenceEditor::OnMouseMove(packedPoint);
        return;
    }
    BaseEditor::OnMouseMove(packedPoint);
    if (!editLock && in.ctrl) currentCursor = platform::LoadCursor(kCtrlCursor);
    if (moveCount <= 0) return;
    RenderLockScope lock(theControl());
    column->DragHeight((in.previous.y - in.current.y) * 0.5);
}

void ColumnEditor::OnSingleClick(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    const MousePoint point = MousePoint::Unpack(packedPoint);
    if (window && window->toolbar && window->toolbar->ClickButton(point.x, point.y)) return;
    MouseHandler::OnSingleClick(packedPoint);
    BaseControl* control = theControl();
    if (!editLock || !control) return;
    RenderLockScope lock(control);
    fence = nullptr;
    grabbedName = 0;
    StartOrExtend();
    if (fence) {
        // The second node the start made (or the end node an extension added) goes: a
        // click places one column, or leaves the clicked object as it was.
        if (auto* node = dynamic_cast<OutlinePoint*>(Grabbed())) {
            if (fence->GetOutline().DeletePoint(node)) fence->Changed();
        }
        fence->EndUndoStep();
    }
    if (groupOpen) control->EndUndoGroup();
    groupOpen = false;
    fence = nullptr;
    grabbedName = 0;
    editedObject = nullptr;
}
