#include "interaction/ModelEditor.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"
#include "interaction/PressHandOver.h"
#include "model/BaseModel.h"
#include "model/Group.h"
#include "model/Model.h"
#include "model/MoveableObject.h"
#include "model/Snapping.h"
#include "model/TopLevelObject.h"
#include "platform/GLContext.h"
#include "render/LightSource.h"
#include "render/OffScreenWindow.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/SlabChildModel.h"

namespace {

constexpr uint64_t kDraggedTypes = TypeBit::kCatalogueModel | TypeBit::kGroup | TypeBit::kCameraIcon;
constexpr double kLevelDamping = 0.0667;
constexpr double kMinFactor = 1e-6;

bool IsLockedObject(PickableObject* object) {
    if (auto* top = dynamic_cast<TopLevelObject*>(object); top && top->IsLocked()) return true;
    if (auto* child = dynamic_cast<SlabChildModel*>(object); child && child->IsParentLocked())
        return true;
    return false;
}

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A scale factor from a drag: refused (false) when it is not a positive number.
bool UsableFactor(double factor) {
    return std::isfinite(factor) && factor > kMinFactor;
}

}  // namespace

ModelEditor::~ModelEditor() = default;

bool ModelEditor::HandlesObject(PickableObject* object) {
    if (!object) return true;
    return object->HasType(TypeBit::kModel | TypeBit::kGroup | TypeBit::kCameraIcon);
}

void ModelEditor::Activate() {
    dragged = nullptr;
    gripNumber = 0;
    MouseHandler::Activate();
}

void ModelEditor::Deactivate() {
    CloseDrag(true);
    dragged = nullptr;
    BaseEditor::Deactivate();
}

void ModelEditor::ReleaseTarget() {
    CloseDrag(true);
    dragged = nullptr;
    BaseEditor::ReleaseTarget();
}

void ModelEditor::OnRButtonDown(intptr_t packedPoint) {
    MouseHandler::OnRButtonDown(packedPoint);
    CloseDrag(true);
    dragged = nullptr;
}

void ModelEditor::CloseDrag(bool keep) {
    if (!groupOpen && !stepObject) return;
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    if (auto* object = dynamic_cast<UndoableObject*>(PickableObject::FromPickName(stepObject))) {
        if (keep)
            object->EndUndoStep();
        else
            object->CancelUndoStep();
    }
    stepObject = 0;
    if (groupOpen && control) control->EndUndoGroup();
    groupOpen = false;
}

void ModelEditor::OnLButtonDown(intptr_t packedPoint) {
    // A drag that never saw its release is closed before the next one opens.
    CloseDrag(true);
    dragged = nullptr;
    copied = false;
    BaseEditor::OnLButtonDown(packedPoint);
    gripAxis = 0;
    gripNumber = 0;
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!editedObject || !in.left || in.right || !control || !window) return;
    RenderLockScope lock(control);

    SelectableObject* object = editedObject;
    const uint64_t mask = object->GetTypeMask();
    if (!(mask & kDraggedTypes)) return;
    PickableObject* second = window->GetPickedObject(1);
    if (second && second->GetTypeMask() == TypeMask::kRotationHandleObject) {
        HandPressToMode(*this, kRotaterMode, packedPoint);
        return;
    }

    if (auto* undoable = dynamic_cast<UndoableObject*>(object)) {
        control->BeginUndoGroup();
        groupOpen = true;
        undoable->BeginUndoStep();
        stepObject = undoable->GetPickName();
    }

    if (mask & TypeBit::kLight) {
        if (auto* light = dynamic_cast<LightSource*>(object)) {
            savedLightFlag = light->state.GetBoolean(0) ? 1 : 0;
            if (!control->globalState.GetBoolean(13)) light->state.SetBoolean(0, false);
        }
    } else if (in.qKey && !(mask & TypeBit::kTraceImage)) {
        auto* renderable = dynamic_cast<RenderableObject*>(object);
        if (renderable) renderable->ApplyOffset();
        UndoableObject* copy = nullptr;
        if (auto* model = dynamic_cast<Model*>(object))
            copy = model->Clone(false, true);
        else if (auto* group = dynamic_cast<Group*>(object))
            copy = group->Clone(false, true);
        if (copy) {
            // The copy stays behind as the new object; the pressed one is dragged.
            copy->BeginTransaction(true);
            copy->EndUndoStep();
            copied = true;
        }
    }

    dragged = dynamic_cast<MoveableObject*>(object);
    if (!dragged) {
        CloseDrag(false);
        return;
    }
    const Vector position = dragged->GetPosition();
    Vector grab;
    bool grabbed = false;
    if (mask & TypeBit::kTraceImage) {
        grab = window->ScreenToHeightPlane(in.current.x, in.current.y, position.y);
        grabbed = !Window::IsNoIntersection(grab);
    } else {
        window->GetUnderCursor(in.current.x, in.current.y, grab);
        // Nothing drawn under the cursor (the background) gives no point.
        grabbed = grab.w < 1.0;
    }
    if (grabbed && IsFinite(grab)) {
        grabOffset = Vector(position.x - grab.x, grab.y, position.z - grab.z);
    } else {
        grabOffset = Vector(0.0, position.y, 0.0);
    }

    snapshotWidth = snapshotHeight = 0;
    offScreen = nullptr;
    if (control->globalState.GetBoolean(11) && !(mask & (TypeBit::kLight | TypeBit::kTraceImage)))
        TakeDepthSnapshot(*object);

    if (second && second == object && second != &control->liftHandle) gripNumber = 1;
}

bool ModelEditor::TakeDepthSnapshot(SelectableObject& object) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    offScreen = theOffScreenWindow();
    auto* top = dynamic_cast<TopLevelObject*>(&object);
    if (!control || !window || !offScreen || !offScreen->HasBuffer() || !top) {
        offScreen = nullptr;
        return false;
    }
    // Read within what both the window and the buffer hold.
    const int w = static_cast<int>(std::min<uint32_t>(window->width, offScreen->width));
    const int h = static_cast<int>(std::min<uint32_t>(window->height, offScreen->height));
    if (w <= 0 || h <= 0) return false;
    snapshot.reset(new (std::nothrow) float[static_cast<size_t>(w) * static_cast<size_t>(h)]);
    if (!snapshot || !offScreen->MakeCurrent()) {
        snapshot.reset();
        return false;
    }
    top->SetVisible(false);
    control->globalState.SetBoolean(16, true);
    window->ApplyLayerMask();
    window->SetupProjection(0, 0);
    window->InitGLState();
    window->SetupModelView();
    control->globalState.SetBoolean(27, true);
    window->RenderAllObjects();
    control->globalState.SetBoolean(27, false);
    top->SetVisible(true);
    control->globalState.SetBoolean(16, false);
    glReadPixels(0, 0, w, h, GL_DEPTH_COMPONENT, GL_FLOAT, snapshot.get());
    snapshotWidth = w;
    snapshotHeight = h;
    return true;
}

bool ModelEditor::SnapshotDepth(int x, int y, double& depth) const {
    Window* window = ActiveWindow();
    if (!snapshot || snapshotWidth <= 0 || !window) return false;
    const int row = window->viewportCache[3] - y - 1;
    if (x < 0 || row < 0 || x >= snapshotWidth || row >= snapshotHeight) return false;
    const float d = snapshot[static_cast<size_t>(row) * snapshotWidth + x];
    // The background is no surface to land on.
    if (!(d < 1.0f)) return false;
    depth = d;
    return true;
}

void ModelEditor::OnMouseMove(intptr_t packedPoint) {
    BaseEditor::OnMouseMove(packedPoint);
    MouseInput& in = Input();
    BaseControl* control = theControl();
    if (!in.left || !dragged || moveCount <= 0 || !control) return;
    RenderLockScope lock(control);
    control->globalState.SetBoolean(18, true);
    auto* object = dynamic_cast<PickableObject*>(dragged);
    if (!object || IsLockedObject(object)) return;
    if (!dynamic_cast<TopLevelObject*>(object) && !dynamic_cast<SlabChildModel*>(object)) return;
    DragSelection();
}

bool ModelEditor::MoveTarget(int x, int y, Vector& target) {
    Window* window = ActiveWindow();
    auto* object = dynamic_cast<PickableObject*>(dragged);
    if (!window || !object) return false;
    const Vector position = dragged->GetPosition();
    const bool traceImage = object->HasType(TypeBit::kTraceImage);
    const double pitch = window->camera.GetVector(1).x;
    const int mode = window->GetViewMode();
    if ((std::fabs(pitch) > kLevelPitch && mode != Window::kBlueprintView) || traceImage) {
        BaseControl* control = theControl();
        const bool useSnapshot = snapshotWidth > 0 && control &&
                                 control->globalState.GetBoolean(11) &&
                                 !object->HasType(TypeBit::kLight | TypeBit::kTraceImage);
        if (useSnapshot) {
            const int* viewport = window->viewportCache.get();
            if (x < 0 || y < 0 || x >= viewport[2] || y >= viewport[3]) return false;
            double depth = 1.0;
            if (SnapshotDepth(x, y, depth)) {
                double wx = 0.0, wy = 0.0, wz = 0.0;
                if (gluUnProject(x, viewport[3] - y - 1, depth, window->modelViewCache.get(),
                                 window->projectionCache.get(), viewport, &wx, &wy, &wz) != GL_TRUE)
                    return false;
                target = Vector(wx, wy, wz);
                return IsFinite(target);
            }
        }
        const Vector hit = window->ScreenToHeightPlane(x, y, grabOffset.y);
        if (Window::IsNoIntersection(hit)) return false;
        target = Vector(hit.x + grabOffset.x, position.y, hit.z + grabOffset.z);
        return IsFinite(target);
    }
    Vector d = window->UnprojectViewCenter();
    d.y *= pitch * kLevelDamping;
    d.Normalize();
    if (d.Length() == 0.0) return false;
    const Vector hit = window->ScreenToPlane(x, y, position, d);
    if (Window::IsNoIntersection(hit)) return false;
    Vector h(d.z, 0.0, -d.x);
    h.Normalize();
    const double along = h.Dot(Vector(grabOffset.x, 0.0, grabOffset.z));
    grabOffset = Vector(h.x * along, grabOffset.y, h.z * along);
    target = Vector(hit.x + grabOffset.x, position.y, hit.z + grabOffset.z);
    return IsFinite(target);
}

void ModelEditor::DragSelection() {
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    auto* object = dynamic_cast<PickableObject*>(dragged);
    if (!control || !window || !object) return;
    const int x = in.current.x, y = in.current.y;
    const int px = in.previous.x, py = in.previous.y;

    if (lift && !(in.alt && in.shift)) {
        const Vector position = dragged->GetPosition();
        const Vector view = window->UnprojectViewCenter();
        const Vector before = window->ScreenToPlane(px, py, position, view);
        const Vector after = window->ScreenToPlane(x, y, position, view);
        if (Window::IsNoIntersection(before) || Window::IsNoIntersection(after)) return;
        const double dy = after.y - before.y;
        if (dy != 0.0 && std::isfinite(dy)) {
            Vector raised = position;
            raised.y += dy;
            dragged->SetPosition(raised);
            const std::string text = FormatLength(raised.y, false, 6) + " above ground";
            window->statusBar1.SetShown(true);
            window->statusBar1.SetText(text.c_str(), false);
        }
        return;
    }

    if (!in.alt && gripNumber == 0) {
        Vector target;
        if (!MoveTarget(x, y, target)) return;
        if (!in.shift) {
            dragged->SetPosition(target);
            auto* snappable = dynamic_cast<SnappableObject*>(dragged);
            if (control->globalState.GetBoolean(3) && window->GetViewMode() != Window::kElevationView &&
                snappable)
                snappable->SnapToObjects(6.0);
            return;
        }
        const Vector position = dragged->GetPosition();
        const Vector delta(target.x - position.x, target.y - position.y, target.z - position.z);
        LinkedListIterator it(control->scene);
        it.LockList();
        for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
            auto* selected = dynamic_cast<RenderableObject*>(node);
            if (!selected || !selected->IsSelected()) continue;
            if (!selected->HasType(TypeBit::kCatalogueModel | TypeBit::kGroup)) continue;
            if (IsLockedObject(selected)) continue;
            selected->MoveBy(delta);
        }
        it.UnlockList();
        return;
    }
    ResizeStep(x, y, px, py);
}

void ModelEditor::ResizeStep(int x, int y, int px, int py) {
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    auto* model = dynamic_cast<BaseModel*>(dragged);
    if (!model || !model->HasType(TypeBit::kCatalogueModel) || model->HasType(TypeBit::kLight))
        return;
    const bool liftPick = window && window->GetPickedObject(1) == &control->liftHandle;
    if ((gripNumber == 2 && !in.shift) || (in.shift && liftPick)) {
        const double factor = (py - y) * kScalePerPixel + 1.0;
        if (UsableFactor(factor)) {
            Vector s = model->scale;
            s.y *= factor;
            model->SetScaleVector(s);
        }
    } else if ((gripNumber == 0 && !in.shift) || (gripNumber != 0 && in.shift)) {
        const double factor = (x - px) * kScalePerPixel + 1.0;
        if (UsableFactor(factor)) model->SetScale(factor);
    } else {
        // The grips of a model: the axis is the one the drag chooses first.
        const Vector start(in.press.x, in.press.y, 0.0);
        Vector previous(px, py, 0.0);
        const Vector current(x, y, 0.0);
        model->DragResize(start, previous, current, gripAxis, false);
    }
    if (in.left && control && control->mainWindow) {
        const BoundingBox& box = model->GetBoundingBox();
        const Vector& s = model->scale;
        const std::string text = FormatLength((box.max.x - box.min.x) * s.x, false, 6) + "W x " +
                                 FormatLength((box.max.y - box.min.y) * s.y, false, 6) + "H x " +
                                 FormatLength((box.max.z - box.min.z) * s.z, false, 6) + "D";
        control->mainWindow->statusBar1.SetShown(true);
        control->mainWindow->statusBar1.SetText(text.c_str(), false);
    }
}

void ModelEditor::OnLButtonUp(intptr_t packedPoint) {
    MouseInput& in = Input();
    const bool dragging = moveCount > 0;
    BaseEditor::OnLButtonUp(packedPoint);
    if (!dragged) {
        CloseDrag(true);
        return;
    }
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    auto* object = dynamic_cast<PickableObject*>(dragged);
    if (auto* light = dynamic_cast<LightSource*>(dragged)) {
        light->state.SetBoolean(0, savedLightFlag != 0);
    } else if (in.qKey && object && object->HasType(TypeBit::kCatalogueModel | TypeBit::kGroup)) {
        if (auto* renderable = dynamic_cast<RenderableObject*>(dragged)) renderable->RemoveOffset();
    }
    if (IsLockedObject(object)) {
        // Nothing moved: the press's step and group close empty.
        CloseDrag(copied);
        dragged = nullptr;
        return;
    }
    if (dragging) {
        if (auto* renderable = dynamic_cast<RenderableObject*>(dragged))
            renderable->MoveBy(Vector(0.0, 0.0, 0.0));
    }
    CloseDrag(true);
    dragged = nullptr;
}
