#include "interaction/StairEditor.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "building/Stairs.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "platform/Input.h"
#include "render/Window.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

ViewProjection ProjectionOf(const Window& window) {
    ViewProjection view;
    for (int i = 0; i < 4; ++i) view.viewport[i] = window.viewportCache[i];
    view.modelView = Matrix(window.modelViewCache.get());
    view.projection = Matrix(window.projectionCache.get());
    return view;
}

bool IsArrowKey(unsigned key) {
    return key >= static_cast<unsigned>(platform::VK_LEFT) &&
           key <= static_cast<unsigned>(platform::VK_DOWN);
}

bool AnyArrowDown() {
    for (int key : {platform::VK_LEFT, platform::VK_UP, platform::VK_RIGHT, platform::VK_DOWN})
        if (platform::IsKeyDown(key)) return true;
    return false;
}

bool Missed(const Vector& p) {
    return Window::IsNoIntersection(p) || !std::isfinite(p.x) || !std::isfinite(p.z);
}

// The move of a stair for an arrow key, from the view direction's x and z.
Vector NudgeMove(unsigned key, double s, double cx, double cz) {
    const bool left = key == static_cast<unsigned>(platform::VK_LEFT);
    const bool right = key == static_cast<unsigned>(platform::VK_RIGHT);
    const bool up = key == static_cast<unsigned>(platform::VK_UP);
    if (std::fabs(cz) < std::fabs(cx)) {
        if (left) return Vector(0, 0, cx > 0 ? s : -s);
        if (right) return Vector(0, 0, cx < 0 ? s : -s);
        if (up) return Vector(cx > 0 ? -s : s, 0, 0);
        return Vector(cx < 0 ? -s : s, 0, 0);
    }
    if (left) return Vector(cz > 0 ? -s : s, 0, 0);
    if (right) return Vector(cz < 0 ? -s : s, 0, 0);
    if (up) return Vector(0, 0, cz > 0 ? -s : s);
    return Vector(0, 0, cz < 0 ? -s : s);
}

}  // namespace

StairEditor::~StairEditor() = default;

PickableObject* StairEditor::Grabbed() const {
    return grabbedName ? PickableObject::FromPickName(grabbedName) : nullptr;
}

void StairEditor::Activate() {
    stairs = nullptr;
    grabbedName = 0;
    lift = 0;
    SetEditLock(true);
}

void StairEditor::Deactivate() {
    CloseStairNudge();
    BaseEditor::Deactivate();
}

void StairEditor::SetEditLock(bool locked) {
    defaultCursor = locked ? platform::LoadCursor(kDrawCursor) : platform::kArrowCursor;
    BaseEditor::SetEditLock(locked);
}

void StairEditor::ReleaseTarget() {
    stairs = nullptr;
    grabbedName = 0;
    BaseEditor::ReleaseTarget();
}

bool StairEditor::HandlesObject(PickableObject* object) {
    if (editLock) return false;
    return !object || object->HasType(TypeBit::kStairs);
}

bool StairEditor::PointerAngle(int x, int y, double& angle) const {
    Window* window = ActiveWindow();
    if (!window) return false;
    const Vector p = window->ScreenToHeightPlane(x, y, turnCentre.y);
    if (Missed(p)) return false;
    angle = std::atan2(p.z - turnCentre.z, p.x - turnCentre.x);
    return std::isfinite(angle);
}

void StairEditor::StartNewStair() {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    const MouseInput& in = Input();
    const Vector p = window->ScreenToHeightPlane(in.press.x, in.press.y,
                                                 control->GetCurrentFloorElevation());
    if (Missed(p)) return;
    pendingTypeMask = TypeMask::kStairs;
    stairs = new Stairs(p);
    editedObject = stairs;
    control->scene.Append(stairs);
    grabbedName = stairs->GetOutline().GetPrimaryPoints()[2].GetPickName();
    control->BeginUndoGroup();
    stairs->BeginTransaction(true);
}

void StairEditor::OnLButtonDown(intptr_t packedPoint) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    control->globalState.SetBoolean(18, false);
    MouseInput& in = Input();
    if (editLock) {
        control->SelectAll(false);
        MouseHandler::OnLButtonDown(packedPoint);
        editedObject = nullptr;
        stairs = nullptr;
        grabbedName = 0;
        control->globalState.SetBoolean(18, true);
        return;
    }
    BaseEditor::OnLButtonDown(packedPoint);
    // The press went on to another editor.
    if (control->activeWindow && control->activeWindow->GetCurrentMode() != this) return;
    RenderLockScope lock(control);
    stairs = nullptr;
    grabbedName = 0;
    if (in.left) {
        stairs = dynamic_cast<Stairs*>(editedObject);
        if (stairs) {
            control->BeginUndoGroup();
            stairs->BeginUndoStep();
            if (in.qKey) {
                stairs->ApplyOffset();
                if (auto* copy = dynamic_cast<Stairs*>(stairs->Clone())) {
                    control->scene.Append(copy);
                    copy->BeginTransaction(true);
                    copy->EndUndoStep();
                }
            }
            grabHeight = stairs->GetBoundingBox().min.y;
        }
    }
    PRECONDITION(in.pickCount > 1, "pick stack not deep enough");
    PickableObject* grabbed = window->GetPickedObject(1);
    grabbedName = grabbed ? grabbed->GetPickName() : 0;
    if (stairs && grabbed) {
        const bool arrow = control->arrowModels[0] &&
                           grabbed == static_cast<PickableObject*>(control->arrowModels[0]);
        const bool startHandle = grabbed == &stairs->GetStartHandle();
        if (arrow || startHandle) {
            if (arrow) {
                const BoundingBox& b = control->arrowModels[0]->GetBoundingBox();
                turnCentre = Vector((b.min.x + b.max.x) / 2, b.min.y, (b.min.z + b.max.z) / 2);
            } else {
                turnCentre = stairs->GetEnd();
                turnCentre.y = stairs->GetStartHandle().position.y;
            }
            const double step = arrow ? kPi / 4.0 : kPi / 8.0;
            double a = 0.0;
            if (PointerAngle(in.current.x, in.current.y, a)) turnAngle = std::floor(a / step) * step;
        }
        stairs->ShowMeasurements(grabbed);
    }
    control->globalState.SetBoolean(18, true);
}

void StairEditor::OnMouseMove(intptr_t packedPoint) {
    MouseInput& in = Input();
    if (!editLock && in.ctrl) currentCursor = platform::LoadCursor(kCtrlCursor);
    BaseEditor::OnMouseMove(packedPoint);
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window || !in.left || in.right || in.ctrl || moveCount <= 0) return;
    {
        RenderLockScope lock(control);
        if (editLock && !stairs) {
            StartNewStair();
        } else if (stairs) {
            PickableObject* grabbed = Grabbed();
            const ViewProjection view = ProjectionOf(*window);
            const int x = in.current.x, y = in.current.y;
            const int px = in.previous.x, py = in.previous.y;
            const bool isArrow = control->arrowModels[0] && grabbed &&
                                 grabbed == static_cast<PickableObject*>(control->arrowModels[0]);
            if (lift) {
                stairs->Offset(0.0, py - y, 0.0);
                stairs->ShowMeasurements(&control->liftHandle);
            } else if (!grabbed) {
                // Nothing grabbed: nothing to edit.
            } else if (grabbed == &stairs->GetHeightHandle()) {
                double d = y - py;
                if (!in.shift) {
                    const double top = stairs->GetBoundingBox().max.y;
                    const Vector& e = stairs->GetEnd();
                    double wx = 0, wy = 0, wz = 0;
                    Vector pointer;
                    if (gluProject(e.x, top, e.z, window->modelViewCache.get(),
                                   window->projectionCache.get(), window->viewportCache.get(), &wx,
                                   &wy, &wz) == GL_TRUE &&
                        view.Unproject(x, view.viewport[3] - y - 1, wz, pointer)) {
                        const double below = control->ElevationToFloor(top, false);
                        const double above = control->ElevationToFloor(top, true);
                        const double c =
                            std::fabs(top - below) < std::fabs(top - above) ? below : above;
                        if (std::isfinite(c) && std::fabs(top - c) < kLevelReach)
                            d = std::fabs(pointer.y - c) < kLevelReach ? top - c : top - pointer.y;
                    }
                }
                stairs->ChangeHeightBy(d);
            } else if (grabbed == &stairs->GetStartHandle() || isArrow) {
                double a = 0.0;
                if (PointerAngle(x, y, a)) {
                    a = -a;
                    const double step = isArrow ? kPi / 4.0 : kPi / 8.0;
                    if (!in.shift) a = std::floor((a + step / 2.0) / step) * step;
                    const double da = a + turnAngle;
                    if (isArrow)
                        stairs->RotateDirection(da);
                    else
                        stairs->RotateAbout(da, turnCentre);
                    turnAngle -= da;
                }
            } else if (grabbed->HasType(TypeBit::kOutlineNode)) {
                stairs->DragCorner(view, x, y, static_cast<OutlinePoint*>(grabbed), editLock != 0,
                                   !in.shift);
            } else if (grabbed->HasType(TypeBit::kOutlineEdge)) {
                PickableObject* corner = window->GetPickedObject(2);
                if (corner && corner->HasType(TypeBit::kOutlineNode))
                    stairs->DragSide(view, x, y, px, py, static_cast<OutlinePoint*>(corner));
            } else if (grabbed->HasType(TypeBit::kModelPart)) {
                const Vector p1 = window->ScreenToHeightPlane(x, y, grabHeight);
                const Vector p0 = window->ScreenToHeightPlane(px, py, grabHeight);
                const bool plan = window->viewFlags.GetInteger(0) == Window::kBlueprintView;
                const bool horizon = !plan && p1.Length() >= 2000.0 && p0.Length() > p1.Length();
                if (!Missed(p1) && !Missed(p0) && !horizon)
                    stairs->Offset(p1.x - p0.x, 0.0, p1.z - p0.z);
            }
        }
    }
    if (pendingTypeMask) {
        control->SetVisibilityByTypeMask(pendingTypeMask, true, false);
        pendingTypeMask = 0;
    }
}

void StairEditor::OnLButtonUp(intptr_t packedPoint) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    MouseInput& in = Input();
    const bool qHeld = in.qKey != 0;
    RenderLockScope lock(control);
    BaseEditor::OnLButtonUp(packedPoint);
    if (editLock) {
        SetEditLock(false);
    } else if (stairs && in.ctrl && window) {
        PickableObject* grabbed = Grabbed();
        if (grabbed && grabbed->HasType(TypeBit::kOutlineNode) &&
            stairs->GetOutline().IndexOfPrimary(static_cast<OutlinePoint*>(grabbed)) >= 0) {
            stairs->DeleteCorner(static_cast<OutlinePoint*>(grabbed));
            grabbedName = 0;
        } else if (grabbed && grabbed->HasType(TypeBit::kModelPart)) {
            const MousePoint at = MousePoint::Unpack(packedPoint);
            OutlinePoint* corner = stairs->InsertCorner(ProjectionOf(*window), at.x, at.y);
            grabbedName = corner ? corner->GetPickName() : 0;
        }
    }
    if (stairs && control) {
        stairs->EndUndoStep();
        control->EndUndoGroup();
        if (qHeld) stairs->RemoveOffset();
        if (!control->globalState.GetBoolean(13)) stairs->FlagOverlappingLights();
    }
}

void StairEditor::OnLButtonDblClk(intptr_t packedPoint) {
    if (stairs) {
        RenderLockScope lock;
        stairs->Rebuild();
        return;
    }
    BaseEditor::OnLButtonDblClk(packedPoint);
}

void StairEditor::OnSingleClick(intptr_t packedPoint) {
    MouseHandler::OnSingleClick(packedPoint);
}

void StairEditor::OnKeyDown(unsigned virtualKey) {
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!IsArrowKey(virtualKey) || !in.ctrl || !control || !window) {
        BaseEditor::OnKeyDown(virtualKey);
        return;
    }
    RenderLockScope lock(control);
    if (!in.left && !in.right) window->viewFlags.SetBoolean(11, true);
    const double s = control->globalState.GetDouble(3);
    const Vector view = window->UnprojectViewCenter();
    bool moved = false;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* stair = dynamic_cast<Stairs*>(node);
        if (!stair || !stair->IsSelected() || stair->IsLocked()) continue;
        const uint32_t name = stair->GetPickName();
        if (std::find(nudgedStairs.begin(), nudgedStairs.end(), name) == nudgedStairs.end()) {
            stair->BeginUndoStep();
            nudgedStairs.push_back(name);
        }
        const bool upDown = virtualKey == static_cast<unsigned>(platform::VK_UP) ||
                            virtualKey == static_cast<unsigned>(platform::VK_DOWN);
        Vector move;
        if (lift && upDown)
            move = Vector(0.0, virtualKey == static_cast<unsigned>(platform::VK_UP) ? s : -s, 0.0);
        else
            move = NudgeMove(virtualKey, s, view.x, view.z);
        stair->Offset(move.x, move.y, move.z);
        moved = true;
    }
    it.UnlockList();
    nudging = true;
    if (!moved) MouseHandler::OnKeyDown(virtualKey);
}

void StairEditor::CloseStairNudge() {
    if (!nudging) return;
    nudging = false;
    BaseControl* control = theControl();
    if (!control) {
        nudgedStairs.clear();
        return;
    }
    RenderLockScope lock(control);
    if (Window* window = ActiveWindow()) window->viewFlags.SetBoolean(11, false);
    control->BeginUndoGroup();
    // The steps this nudge began; a stair that went meanwhile took its step with it.
    for (uint32_t name : nudgedStairs)
        if (auto* stair = dynamic_cast<Stairs*>(PickableObject::FromPickName(name)))
            stair->EndUndoStep();
    control->EndUndoGroup();
    nudgedStairs.clear();
}

void StairEditor::OnKeyUp(unsigned virtualKey) {
    // The last arrow key released ends the nudge, whether Ctrl is still held or not.
    if (nudging && !AnyArrowDown()) CloseStairNudge();
    BaseEditor::OnKeyUp(virtualKey);
}
