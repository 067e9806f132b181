#include "interaction/ModelRotater.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"
#include "interaction/PressHandOver.h"
#include "interaction/RotationHandle.h"
#include "model/TopLevelObject.h"
#include "platform/Input.h"
#include "render/CameraIndicatorIcon.h"
#include "render/LightSource.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/SlabChildModel.h"

namespace {

constexpr double kRadiansToDegrees = 57.29577951308;
constexpr uint64_t kTurnedTypes = TypeBit::kModel | TypeBit::kGroup | TypeBit::kText;
constexpr double kTinyVector = 1e-12;

bool IsLockedObject(RenderableObject* object) {
    if (auto* top = dynamic_cast<TopLevelObject*>(object); top && top->IsLocked()) return true;
    if (auto* child = dynamic_cast<SlabChildModel*>(object); child && child->IsParentLocked())
        return true;
    return false;
}

}  // namespace

ModelRotater::~ModelRotater() = default;

bool ModelRotater::HandlesObject(PickableObject* object) {
    if (!object) return true;
    return object->HasType(TypeBit::kModel | TypeBit::kGroup | TypeBit::kCameraIcon);
}

BaseRotationHandle* ModelRotater::GetHandle() const {
    return dynamic_cast<BaseRotationHandle*>(PickableObject::FromPickName(handleName));
}

void ModelRotater::Activate() {
    rotated = nullptr;
    handleName = 0;
    MouseHandler::Activate();
}

void ModelRotater::Deactivate() {
    CloseTurn(true);
    rotated = nullptr;
    handleName = 0;
    BaseEditor::Deactivate();
}

void ModelRotater::ReleaseTarget() {
    CloseTurn(true);
    rotated = nullptr;
    handleName = 0;
    BaseEditor::ReleaseTarget();
}

void ModelRotater::OnRButtonDown(intptr_t packedPoint) {
    MouseHandler::OnRButtonDown(packedPoint);
    CloseTurn(true);
    rotated = nullptr;
}

void ModelRotater::CloseTurn(bool keep) {
    if (!groupOpen && !stepObjects[0] && !stepObjects[1]) return;
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    for (uint32_t& name : stepObjects) {
        if (auto* object = dynamic_cast<UndoableObject*>(PickableObject::FromPickName(name))) {
            if (keep)
                object->EndUndoStep();
            else
                object->CancelUndoStep();
        }
        name = 0;
    }
    if (groupOpen && control) control->EndUndoGroup();
    groupOpen = false;
}

void ModelRotater::OnLButtonDown(intptr_t packedPoint) {
    CloseTurn(true);
    handleName = 0;
    rotated = nullptr;
    MouseHandler::OnLButtonDown(packedPoint);
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (in.right || !control || !window) return;
    RenderLockScope lock(control);

    editedObject = nullptr;
    if (in.pickCount <= 1) return;
    PickableObject* hit = window->GetPickedObject(0);
    int handleEntry = 1;
    if (hit && hit->HasType(TypeBit::kSlab)) {
        if (!PRECONDITION(in.pickCount > 1, "Not enough pick hits")) return;
        hit = window->GetPickedObject(1);
        handleEntry = 2;
    }
    if (!hit) return;
    editedObject = dynamic_cast<SelectableObject*>(hit);

    if (!hit->HasType(kTurnedTypes)) {
        PickableObject* second = window->GetPickedObject(1);
        if (hit->HasType(TypeBit::kCameraIcon) && second &&
            second->GetTypeMask() == TypeMask::kRotationHandleObject) {
            Window* main = control->mainWindow ? control->mainWindow : window;
            const Vector ground = window->ScreenToHeightPlane(in.current.x, in.current.y, 0.0);
            const Vector eye = main->camera.GetVector(0);
            if (!Window::IsNoIntersection(ground))
                startVector = Vector(ground.x + eye.x, 0.0, ground.z + eye.z);
            return;
        }
        auto* top = dynamic_cast<TopLevelObject*>(hit);
        if (!POSTCONDITION(top != nullptr, "Failed to get TLO")) return;
        HandPressToMode(*this, top->GetKindCode(), packedPoint);
        return;
    }

    auto* renderable = dynamic_cast<RenderableObject*>(hit);
    if (!POSTCONDITION(renderable != nullptr, "Dynamic_cast failed")) return;
    auto* slabChild = dynamic_cast<SlabChildModel*>(hit);
    if (slabChild && handleEntry != 2) handleEntry = 2;
    if (slabChild) {
        if (!PRECONDITION(in.pickCount > 2, "Too few pick hits")) {
            editedObject = nullptr;
            return;
        }
        savedSlabAngle = slabChild->GetRotation();
    } else if (!PRECONDITION(in.pickCount > 1, "Low on pick hits")) {
        return;
    }
    PickableObject* entry = window->GetPickedObject(handleEntry);
    auto* handle = dynamic_cast<BaseRotationHandle*>(entry);
    if (!entry || entry->GetTypeMask() != TypeMask::kRotationHandleObject || !handle) {
        auto* top = dynamic_cast<TopLevelObject*>(hit);
        if (!POSTCONDITION(top != nullptr, "Failed to get TLO")) return;
        HandPressToMode(*this, top->GetKindCode(), packedPoint);
        return;
    }

    rotated = renderable;
    control->BeginUndoGroup();
    groupOpen = true;
    if (auto* undoable = dynamic_cast<UndoableObject*>(hit)) {
        undoable->BeginUndoStep();
        stepObjects[0] = undoable->GetPickName();
    }
    if (hit->HasType(TypeBit::kSkylight) && slabChild) {
        if (UndoableObject* hole = slabChild->GetLinkedObject()) {
            hole->BeginUndoStep();
            stepObjects[1] = hole->GetPickName();
        }
    }
    if (auto* light = dynamic_cast<LightSource*>(hit)) {
        savedLightFlag = light->state.GetBoolean(0) ? 1 : 0;
        if (!control->globalState.GetBoolean(13)) light->state.SetBoolean(0, false);
    }
    handleName = handle->GetPickName();
    handle->PlaceOnOwner();
    startVector = Vector();
    handle->ProjectCursor(startVector, in.current.x, in.current.y);
    currentVector = startVector;
    accumulated = 0.0;
    lastAngle = 0.0;
    defaultCursor = platform::LoadCursor(kRotateCursor);
    UseCursor(defaultCursor);
}

void ModelRotater::OnMouseMove(intptr_t packedPoint) {
    BaseEditor::OnMouseMove(packedPoint);
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    if (!rotated || !in.left) {
        if (editedObject && editedObject->HasType(TypeBit::kCameraIcon)) {
            RenderLockScope lock(control);
            const Vector ground = window->ScreenToHeightPlane(in.current.x, in.current.y, 0.0);
            if (!Window::IsNoIntersection(ground)) control->cameraIcon.LookAt(ground, startVector);
        }
        return;
    }
    if (IsLockedObject(rotated)) return;
    if (auto* child = dynamic_cast<SlabChildModel*>(rotated)) {
        RenderLockScope lock(control);
        if (BaseSlab* parent = child->GetParent()) parent->SetSelected(false);
        child->SetSelected(true);
    }
    RotateDrag();
}

void ModelRotater::RotateDrag() {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    RenderLockScope lock(control);
    control->globalState.SetBoolean(18, true);
    BaseRotationHandle* handle = GetHandle();
    if (!handle) return;
    const MouseInput& in = Input();
    const int x = in.current.x, px = in.previous.x, sx = in.press.x;

    Vector axis;
    handle->GetAxisVector(axis);
    const Vector view = window->UnprojectViewCenter();
    double angle = lastAngle;
    if (std::fabs(axis.Dot(view)) <= kEdgeOnLimit) {
        const int d = std::abs((x - sx) / 8);
        angle = x > px ? lastAngle + d : lastAngle - d;
    } else {
        Vector cursor;
        if (!handle->ProjectCursor(cursor, x, in.current.y)) return;
        currentVector = cursor;
        const double lengths = startVector.Length() * currentVector.Length();
        // A cursor on the handle's centre (or a press there) has no direction: no turn.
        if (!(lengths > kTinyVector)) return;
        Vector n;
        n.Cross(startVector, currentVector);
        n.Normalize();
        const double sign = n.Dot(axis) > 0.01 ? 1.0 : -1.0;
        const double c = std::clamp(startVector.Dot(currentVector) / lengths, -1.0, 1.0);
        angle = std::acos(c) * kRadiansToDegrees * sign;
    }
    if (!std::isfinite(angle)) return;
    accumulated += angle - lastAngle;
    const bool light = rotated && rotated->HasType(TypeBit::kLight);
    if (in.shift || light) {
        handle->SetAngle(angle - lastAngle);
    } else if (accumulated > kSnapStep || accumulated < -kSnapStep) {
        const double k = accumulated > 0.0 ? std::floor(accumulated / kSnapStep)
                                           : std::ceil(accumulated / kSnapStep);
        handle->SetAngle(k * kSnapStep);
        accumulated = 0.0;
    }
    lastAngle = angle;
}

void ModelRotater::OnLButtonUp(intptr_t packedPoint) {
    defaultCursor = savedCursor;
    BaseEditor::OnLButtonUp(packedPoint);
    BaseControl* control = theControl();
    BaseRotationHandle* handle = GetHandle();
    if (!rotated || !handle) {
        CloseTurn(true);
        rotated = nullptr;
        return;
    }
    RenderLockScope lock(control);
    if (IsLockedObject(rotated)) {
        CloseTurn(false);
        rotated = nullptr;
        return;
    }
    if (auto* child = dynamic_cast<SlabChildModel*>(rotated); child && !child->IsPositionValid()) {
        child->SetRotation(savedSlabAngle);
        child->IsPositionValid();
    }
    if (auto* light = dynamic_cast<LightSource*>(rotated))
        light->state.SetBoolean(0, savedLightFlag != 0);
    handle->SetAngle(0.0);
    CloseTurn(true);
    rotated = nullptr;
}
