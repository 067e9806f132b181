#include "interaction/FenceEditor.h"

#include <atomic>
#include <cmath>
#include <cstdio>

#include "building/Fence.h"
#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "platform/Input.h"
#include "render/Window.h"

namespace {

// The tip shows at the first release with a fence in the process, and never again.
std::atomic<bool> tipShown{false};

ViewProjection ProjectionOf(const Window& window) {
    ViewProjection view;
    for (int i = 0; i < 4; ++i) view.viewport[i] = window.viewportCache[i];
    view.modelView = Matrix(window.modelViewCache.get());
    view.projection = Matrix(window.projectionCache.get());
    return view;
}

bool Missed(const Vector& p) {
    return Window::IsNoIntersection(p) || !std::isfinite(p.x) || !std::isfinite(p.y) ||
           !std::isfinite(p.z);
}

}  // namespace

FenceEditor::~FenceEditor() = default;

PickableObject* FenceEditor::Grabbed() const {
    return grabbedName ? PickableObject::FromPickName(grabbedName) : nullptr;
}

void FenceEditor::Activate() {
    fence = nullptr;
    grabbedName = 0;
    SetEditLock(true);
}

void FenceEditor::SetEditLock(bool locked) {
    defaultCursor = locked ? platform::LoadCursor(kDrawCursor) : platform::kArrowCursor;
    BaseEditor::SetEditLock(locked);
}

void FenceEditor::ReleaseTarget() {
    fence = nullptr;
    grabbedName = 0;
    BaseEditor::ReleaseTarget();
}

bool FenceEditor::HandlesObject(PickableObject* object) {
    if (editLock) return false;
    return !object || object->HasType(TypeBit::kFence);
}

bool FenceEditor::IsOwnKind(PickableObject* object) {
    return object && !object->HasType(TypeBit::kColumn);
}

Fence* FenceEditor::CreateObject() {
    showTypeMask = TypeMask::kFence;
    return new Fence;
}

void FenceEditor::OnLButtonDown(intptr_t packedPoint) {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    pressHeight = 0.0;
    if (!control || !window) return;
    MouseInput& in = Input();
    if (editLock) {
        control->SelectAll(false);
        MouseHandler::OnLButtonDown(packedPoint);
        editedObject = nullptr;
        fence = nullptr;
        grabbedName = 0;
        return;
    }
    BaseEditor::OnLButtonDown(packedPoint);
    if (control->activeWindow && control->activeWindow->GetCurrentMode() != this) return;
    if (!in.left || in.right || in.space) return;
    RenderLockScope lock(control);
    control->globalState.SetBoolean(18, true);
    fence = dynamic_cast<Fence*>(editedObject);
    grabbedName = 0;
    if (!fence) return;
    if (in.qKey) fence->BeginMoveRecord();
    PickableObject* grabbed = window->GetPickedObject(1);
    grabbedName = grabbed ? grabbed->GetPickName() : 0;
    Vector under;
    if (Fence::GroundUnder(in.current.x, in.current.y, under)) pressHeight = under.y;
    control->BeginUndoGroup();
    groupOpen = true;
    fence->BeginUndoStep();
}

void FenceEditor::StartOrExtend() {
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    MouseInput& in = Input();
    Vector p;
    if (!Fence::GroundUnder(in.press.x, in.press.y, p)) return;
    bool hasStart = false;
    double startHeight = 0.0;
    PickableObject* first = in.pickCount > 0 ? window->GetPickedObject(0) : nullptr;
    if (first && first->HasType(TypeBit::kFence)) {
        auto* picked = dynamic_cast<Fence*>(first);
        if (picked && picked->GetOutline().GetPrimaryCount() > 0) {
            startHeight = picked->GetOutline().GetPrimaryPoints()[0].position.y;
            hasStart = true;
        }
    }
    // An end of a fence of this editor's kind near the press is extended.
    for (LinkedListObject* node = control->scene.GetHead(); node && !fence; node = node->GetNext()) {
        auto* candidate = dynamic_cast<Fence*>(node);
        if (!candidate || !IsOwnKind(candidate) || candidate->IsLocked()) continue;
        const Outline& o = candidate->GetOutline();
        const int n = o.GetPrimaryCount();
        if (n == 0) continue;
        if (o.GetPrimaryPoints()[0].position.Distance(p) < kEndReach ||
            o.GetPrimaryPoints()[n - 1].position.Distance(p) < kEndReach)
            fence = candidate;
    }
    if (!fence) {
        fence = CreateObject();
        control->BeginUndoGroup();
        groupOpen = true;
        fence->BeginTransaction(true);
        fence->GetOutline().SetNormal(Vector(0, 1, 0));
        const double h = hasStart ? startHeight : control->GetCurrentFloorElevation();
        Vector q = window->ScreenToHeightPlane(in.press.x, in.press.y, h);
        if (Missed(q)) q = Vector(p.x, h, p.z);
        fence->GetOutline().InsertPoint(q, 0, false);
        fence->GetOutline().InsertPoint(q, 1, false);
        grabbedName = fence->GetOutline().GetPrimaryPoints()[1].GetPickName();
        editedObject = fence;
        control->scene.Append(fence);
    } else {
        control->BeginUndoGroup();
        groupOpen = true;
        fence->BeginUndoStep();
        editedObject = fence;
        if (!grabbedName) {
            Outline& o = fence->GetOutline();
            const int n = o.GetPrimaryCount();
            p.y = o.GetPrimaryPoints()[0].position.y;
            const double d0 = o.GetPrimaryPoints()[0].position.Distance(p);
            const double d1 = o.GetPrimaryPoints()[n - 1].position.Distance(p);
            OutlinePoint* added = nullptr;
            if (d0 < d1 && d0 < kExtendReach)
                added = o.InsertPoint(p, 0, false);
            else if (d1 < d0 && d1 < kExtendReach)
                added = o.InsertPoint(p, n, false);
            if (added) grabbedName = added->GetPickName();
        }
    }
    if (showTypeMask) {
        control->SetVisibilityByTypeMask(showTypeMask, true, false);
        showTypeMask = 0;
    }
    fence->Changed();
}

void FenceEditor::OnMouseMove(intptr_t packedPoint) {
    BaseEditor::OnMouseMove(packedPoint);
    MouseInput& in = Input();
    if (!editLock && in.ctrl) currentCursor = platform::LoadCursor(kCtrlCursor);
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window || !in.left || in.right || in.space || moveCount <= 0) return;
    RenderLockScope lock(control);
    if (editLock && !fence) {
        StartOrExtend();
        return;
    }
    PickableObject* grabbed = Grabbed();
    if (!fence || !grabbed) return;
    Outline& o = fence->GetOutline();
    const ViewProjection view = ProjectionOf(*window);
    if (grabbed->HasType(TypeBit::kOutlineEdge) && !grabbed->HasType(TypeBit::kOutlineNode)) {
        PickableObject* corner = window->GetPickedObject(2);
        if (!corner || !corner->HasType(TypeBit::kOutlineNode)) return;
        auto* node = static_cast<OutlinePoint*>(corner);
        if (o.IndexOfPrimary(node) < 0) return;
        OutlinePoint* moved = fence->DragEdge(view, in.current.x, in.current.y, in.previous.x,
                                              in.previous.y, node);
        if (moved) grabbedName = moved->edge->GetPickName();
        return;
    }
    if (!grabbed->HasType(TypeBit::kOutlineNode)) return;
    auto* node = static_cast<OutlinePoint*>(grabbed);
    const int index = o.IndexOfPrimary(node);
    if (index < 0) return;
    const double nodeHeight = node->position.y;
    const double h = pressHeight > 0.0 ? pressHeight : fence->GetHandleHeight() + nodeHeight;
    Vector p = window->ScreenToHeightPlane(in.current.x, in.current.y, h);
    if (Missed(p)) return;
    p.y = nodeHeight;
    OutlinePoint* prev = o.GetPreviousPoint(node, false);
    OutlinePoint* next = o.GetNextPoint(node, false);
    if (!fence->IsClosed() && !in.shift && ((prev == nullptr) != (next == nullptr))) {
        const Vector& n = (prev ? prev : next)->position;
        const double dx = p.x - n.x, dz = p.z - n.z;
        const double length = std::sqrt(dx * dx + dz * dz);
        double a = std::atan2(dz, dx) * 57.29577951308;
        a = std::floor((a + 11.25) * 0.044444444444444446) * 22.5;
        const double r = a / 57.29577951308;
        p = Vector(n.x + length * std::cos(r), nodeHeight, n.z + length * std::sin(r));
    }
    node->position = p;
    o.Refresh();
    fence->Changed();
    if (prev || next) {
        const double before = prev ? prev->position.Distance(p) : 0.0;
        const double after = next ? next->position.Distance(p) : 0.0;
        const std::string a = FormatLength(before, false, 6);
        const std::string b = FormatLength(after, false, 6);
        char text[128];
        std::snprintf(text, sizeof text, "Lengths : %s %s", a.c_str(), b.c_str());
        window->helpWindow.SetShown(true);
        window->helpWindow.SetText(text, false);
    }
}

void FenceEditor::DropDegenerate() {
    BaseControl* control = theControl();
    if (!fence || !control) return;
    const Outline& o = fence->GetOutline();
    if (o.GetPrimaryCount() != 2 ||
        o.GetPrimaryPoints()[0].position.Distance(o.GetPrimaryPoints()[1].position) >= kShortest)
        return;
    // Taken out before its step ends, so that the step records nothing to redo.
    if (fence->RemoveFromList(control->scene)) control->deletedObjects.Append(fence);
    fence->EndUndoStep();
    if (groupOpen) {
        control->EndUndoGroup();
        groupOpen = false;
    }
    if (editedObject == fence) editedObject = nullptr;
    fence = nullptr;
    grabbedName = 0;
}

void FenceEditor::OnLButtonUp(intptr_t packedPoint) {
    MouseInput& in = Input();
    const bool wasLeft = in.left != 0;
    const bool dragged = moveCount > 0;
    BaseEditor::OnLButtonUp(packedPoint);
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !wasLeft) return;
    RenderLockScope lock(control);
    if (in.right) {
        // The edit ends without its post work; its step and group still close.
        if (fence) fence->EndUndoStep();
        if (groupOpen) control->EndUndoGroup();
        groupOpen = false;
        fence = nullptr;
        grabbedName = 0;
        return;
    }
    DropDegenerate();
    if (fence) {
        if (in.qKey) fence->EndMoveRecord();
        if (!tipShown.exchange(true) && editLock) {
            const bool column = fence->HasType(TypeBit::kColumn);
            control->ShowResourceMessage(column ? 257 : 243, column ? "Column tips" : "Fence tips");
        }
        PickableObject* grabbed = Grabbed();
        Outline& o = fence->GetOutline();
        if (grabbed && !editLock && in.ctrl && window) {
            const MousePoint at = MousePoint::Unpack(packedPoint);
            if (grabbed->HasType(TypeBit::kOutlineEdge) && !grabbed->HasType(TypeBit::kOutlineNode)) {
                if (OutlinePoint* node = fence->InsertPost(ProjectionOf(*window), at.x, at.y))
                    grabbedName = node->GetPickName();
            } else if (grabbed->HasType(TypeBit::kOutlineNode) &&
                       o.IndexOfPrimary(static_cast<OutlinePoint*>(grabbed)) >= 0) {
                fence->DeletePost(static_cast<OutlinePoint*>(grabbed));
                grabbedName = 0;
            }
            fence->SetSelected(true);
        } else if (grabbed && !in.shift && !fence->IsClosed() && o.GetPrimaryCount() > 3 &&
                   dragged && grabbed->HasType(TypeBit::kOutlineNode)) {
            const int n = o.GetPrimaryCount();
            const int index = o.IndexOfPrimary(static_cast<OutlinePoint*>(grabbed));
            if ((index == 0 || index == n - 1) &&
                o.GetPrimaryPoints()[n - 1].position.Distance(o.GetPrimaryPoints()[0].position) <
                    kCloseReach)
                fence->CloseCircuit();
        }
        fence->EndUndoStep();
        if (groupOpen) control->EndUndoGroup();
        groupOpen = false;
    } else if (groupOpen) {
        control->EndUndoGroup();
        groupOpen = false;
    }
    fence = nullptr;
    grabbedName = 0;
}

void FenceEditor::OnRButtonUp(intptr_t packedPoint) {
    // A right release during a drag ends the edit: its step and group close here.
    BaseControl* control = theControl();
    if (groupOpen && control) {
        RenderLockScope lock(control);
        if (fence) fence->EndUndoStep();
        control->EndUndoGroup();
        groupOpen = false;
        fence = nullptr;
        grabbedName = 0;
    }
    BaseEditor::OnRButtonUp(packedPoint);
}
