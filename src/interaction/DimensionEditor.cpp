#include "interaction/DimensionEditor.h"

#include <GL/glu.h>

#include <cstdlib>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "interaction/Dimension.h"
#include "render/Window.h"

namespace {

constexpr uint64_t kDimensionBit = 0x800000;
constexpr uint32_t kDrawCursor = 466;

Vector Unproject(Window& window, int x, int y) {
    double out[3] = {0, 0, 0};
    gluUnProject(x, window.viewportCache[3] - y, 0.5, window.modelViewCache.get(),
                 window.projectionCache.get(), window.viewportCache.get(), &out[0], &out[1],
                 &out[2]);
    return Vector(out[0], out[1], out[2]);
}

}  // namespace

void DimensionEditor::Activate() {
    BaseEditor::Activate();
    dimension = nullptr;
    handle = nullptr;
    creating = 1;
}

void DimensionEditor::SetEditLock(bool locked) {
    creating = locked ? 1 : 0;
    BaseEditor::SetEditLock(locked);
}

bool DimensionEditor::HandlesObject(PickableObject* object) {
    if (creating) return false;
    return !object || object->HasType(kDimensionBit);
}

void DimensionEditor::ReleaseTarget() {
    dimension = nullptr;
    handle = nullptr;
    BaseEditor::ReleaseTarget();
}

void DimensionEditor::OnLButtonDown(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    BaseControl* control = theControl();
    if (!window || !control) return;
    if (!window->IsOrthographicView()) creating = 0;
    if (creating) {
        control->SelectAll(false);
        MouseHandler::OnLButtonDown(packedPoint);
        editedObject = nullptr;
        return;
    }
    BaseEditor::OnLButtonDown(packedPoint);
    const MouseInput& in = Input();
    if (!in.left || in.right || in.space) return;
    dimension = dynamic_cast<Dimension*>(editedObject);
    if (!dimension) return;
    handle = nullptr;
    PickableObject* picked = window->GetPickedObject(1);
    for (int i = 0; i < 4 && !handle; ++i)
        if (dimension->GetHandle(i) == picked) handle = dimension->GetHandle(i);
    RenderLockScope lock(*control);
    dimension->BeginUndoStep();
}

void DimensionEditor::OnMouseMove(intptr_t packedPoint) {
    BaseEditor::OnMouseMove(packedPoint);
    Window* window = ActiveWindow();
    BaseControl* control = theControl();
    const MouseInput& in = Input();
    if (!window || !control || !in.left || in.right) return;
    RenderLockScope lock(*control);
    uint64_t pending = 0;
    if (creating && !dimension &&
        (std::abs(in.current.x - in.press.x) > kDragThreshold ||
         std::abs(in.current.y - in.press.y) > kDragThreshold)) {
        pending = kDimensionBit;
        cursorPoint = Unproject(*window, in.press.x, in.press.y);
        dimension = new Dimension(true);
        dimension->BeginTransaction(true);
        dimension->SetEndPoints(cursorPoint, cursorPoint);
        control->scene.Append(dimension);
        handle = dimension->GetHandle(1);
        editedObject = dimension;
    }
    if (dimension && handle) {
        const Vector now = Unproject(*window, in.current.x, in.current.y);
        if (handle == dimension->GetHandle(3)) {
            const Vector before = Unproject(*window, in.previous.x, in.previous.y);
            if (!dimension->IsLocked())
                dimension->Translate(Vector(now.x - before.x, now.y - before.y, now.z - before.z));
        } else {
            dimension->DragHandle(now, handle, !in.shift, creating != 0);
        }
        cursorPoint = now;
    }
    if (pending) control->SetVisibilityByTypeMask(pending, true, false);
    (void)kDrawCursor;
}

void DimensionEditor::OnLButtonUp(intptr_t packedPoint) {
    BaseEditor::OnLButtonUp(packedPoint);
    BaseControl* control = theControl();
    if (dimension && control) {
        RenderLockScope lock(*control);
        if (creating) dimension->SetSelected(false);
        control->BeginUndoGroup();
        dimension->EndUndoStep();
        control->EndUndoGroup();
    }
    dimension = nullptr;
    handle = nullptr;
}

void DimensionEditor::OnSingleClick(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    const MousePoint point = MousePoint::Unpack(packedPoint);
    if (window && window->toolbar && window->toolbar->ClickButton(point.x, point.y)) return;
    if (creating) return;
    MouseHandler::OnSingleClick(packedPoint);
}
