#include "slabs/SlabEditor.h"

#include <cmath>
#include <string>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "control/RenderLockScope.h"
#include "control/dialogs/Dialog.h"
#include "foundation/Trace.h"
#include "geometry/ViewProjection.h"
#include "interaction/Grid.h"
#include "interaction/PressHandOver.h"
#include "interaction/RotationHandle.h"
#include "model/Part.h"
#include "platform/Input.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/OnSlabObject.h"
#include "slabs/SlabChild.h"
#include "slabs/SlabChildModel.h"

namespace {

constexpr uint64_t kChildTypes = TypeBit::kSlabChildModel | TypeBit::kSlabChild | TypeBit::kMolding;
// cos 22.5 and cos 67.5 degrees.
constexpr double kAlongCosine = 0.923879;
constexpr double kAcrossCosine = 0.3826834;
constexpr double kSteepFace = 0.2618;

uint64_t MaskOf(const PickableObject* object) {
    return object ? object->GetTypeMask() : 0;
}

bool IsFinite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

SlabEditor::SlabEditor() = default;

SlabEditor::~SlabEditor() = default;

BaseSlab* SlabEditor::LiveSlab() const {
    if (!editedSlab || !stepSlab) return editedSlab;
    return PickableObject::FromPickName(stepSlab) == editedSlab ? editedSlab : nullptr;
}

double SlabEditor::LiftStep(int d, bool shift) {
    if (shift) return d * 0.125;
    if (d > 0) return d >= 4 ? d / 2 : 1;
    return d <= -3 ? std::floor(d / 2.0) : -1;
}

int SlabEditor::DirectionFromMove(const Vector& d, const Vector& u) {
    const double c = std::fabs(d.Dot(u));
    if (c > kAlongCosine) return 1;
    if (c < kAcrossCosine) return 2;
    return 0;
}

void SlabEditor::Activate() {
    editedSlab = nullptr;
    grabbed = nullptr;
    lift = 0;
    MouseHandler::Activate();
    SetEditLock(true);
}

void SlabEditor::Deactivate() {
    CloseEdit();
    editedSlab = nullptr;
    grabbed = nullptr;
    currentCursor = defaultCursor = savedCursor;
    ShowCursor();
    if (BaseControl* control = theControl()) control->drawingPreview = 0.0;
    BaseEditor::Deactivate();
}

void SlabEditor::OnMouseLeave(intptr_t packedPoint) {
    if (BaseControl* control = theControl()) control->drawingPreview = 0.0;
    MouseHandler::OnMouseLeave(packedPoint);
}

void SlabEditor::ReleaseTarget() {
    grabbed = nullptr;
    BaseEditor::ReleaseTarget();
}

void SlabEditor::OnRButtonDown(intptr_t packedPoint) {
    MouseHandler::OnRButtonDown(packedPoint);
    CloseEdit();
    editedSlab = nullptr;
    grabbed = nullptr;
}

BaseSlab* SlabEditor::SecondSlabOf(PickableObject* child) const {
    if (!child || !child->HasType(TypeBit::kSkylight | TypeBit::kShaftHole)) return nullptr;
    auto* slabChild = dynamic_cast<SlabChild*>(child);
    auto* linked = slabChild ? dynamic_cast<SlabChild*>(slabChild->GetLinkedObject()) : nullptr;
    BaseSlab* other = linked ? linked->GetParent() : nullptr;
    return other != editedSlab ? other : nullptr;
}

void SlabEditor::CloseEdit() {
    if (!groupOpen && !stepSlab && !secondStepSlab) return;
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    for (uint32_t* name : {&secondStepSlab, &stepSlab}) {
        if (auto* slab = dynamic_cast<UndoableObject*>(PickableObject::FromPickName(*name)))
            slab->EndUndoStep();
        *name = 0;
    }
    if (groupOpen && control) control->EndUndoGroup();
    groupOpen = false;
}

void SlabEditor::DropNewSlab() {
    BaseControl* control = theControl();
    BaseSlab* slab = LiveSlab();
    if (!control || !slab) return;
    RenderLockScope lock(control);
    control->ReleaseHandles();
    if (slab->RemoveFromList(control->scene)) {
        slab->CancelUndoStep();
        if (stepSlab == slab->GetPickName()) stepSlab = 0;
        CloseEdit();
        if (control->globalState.GetBoolean(13)) control->RebuildDisplayData();
        control->deletedObjects.Append(slab);
    }
    editedSlab = nullptr;
    editedObject = nullptr;
    grabbed = nullptr;
}

void SlabEditor::OnLButtonDown(intptr_t packedPoint) {
    gripAxis = 0;
    MouseInput& in = Input();
    BaseControl* control = theControl();
    if (editLock) {
        theTrace().Write("c");
        if (control) control->SelectAll(false);
        MouseHandler::OnLButtonDown(packedPoint);
        editedObject = nullptr;
        if (control) control->globalState.SetBoolean(18, in.left != 0);
        return;
    }
    CloseEdit();
    editedSlab = nullptr;
    grabbed = nullptr;
    BaseEditor::OnLButtonDown(packedPoint);
    theTrace().Write("+");
    Window* window = ActiveWindow();
    if (!in.left || in.right || in.space || in.eKey || !control || !window) return;
    auto* slab = dynamic_cast<BaseSlab*>(editedObject);
    if (!slab) return;

    RenderLockScope lock(control);
    control->globalState.SetBoolean(18, true);
    editedSlab = slab;
    control->BeginUndoGroup();
    groupOpen = true;
    slab->BeginUndoStep();
    stepSlab = slab->GetPickName();

    grabbed = window->GetPickedObject(1);
    directionLock = -1;
    if (!grabbed) return;
    if (in.qKey)
        if (auto* renderable = dynamic_cast<RenderableObject*>(grabbed)) renderable->ApplyOffset();
    const uint64_t mask = MaskOf(grabbed);
    if (mask & TypeBit::kSlabChildModel) {
        PickableObject* third = in.pickCount > 2 ? window->GetPickedObject(2) : nullptr;
        if (third && third->GetTypeMask() == TypeMask::kRotationHandleObject) {
            // The rotater opens its own group: nothing of this press stays open.
            auto* model = dynamic_cast<SelectableObject*>(grabbed);
            slab->CancelUndoStep();
            stepSlab = 0;
            control->EndUndoGroup();
            groupOpen = false;
            editedSlab = nullptr;
            grabbed = nullptr;
            if (model) model->SetSelected(true);
            HandPressToMode(*this, kRotaterMode, packedPoint);
            return;
        }
    }
    if (mask & kChildTypes) {
        if (in.qKey)
            if (auto* model = dynamic_cast<SlabChildModel*>(grabbed)) model->CloneChild(false, true);
        if (auto* child = dynamic_cast<SlabChild*>(grabbed))
            grabOffset = child->GetGrabPoint(in.current.x, in.current.y);
        if (BaseSlab* second = SecondSlabOf(grabbed)) {
            second->BeginUndoStep();
            secondStepSlab = second->GetPickName();
        }
    } else if ((mask & TypeBit::kOutlineEdge) && in.pickCount > 2) {
        PickableObject* third = window->GetPickedObject(2);
        if (third && third->HasType(TypeBit::kModelPart)) grabbed = third;
    }
    if (in.qKey) slab->ApplyOffset();
    slab->BeginDragOf(grabbed);
}

ViewProjection SlabEditor::ProjectionOf(const Window& window) {
    ViewProjection view;
    for (int i = 0; i < 4; ++i) view.viewport[i] = window.viewportCache[i];
    view.modelView = Matrix(window.modelViewCache.get());
    view.projection = Matrix(window.projectionCache.get());
    return view;
}

uint64_t SlabEditor::GetShowTypes() const {
    return static_cast<uint64_t>(static_cast<uint32_t>(editorWords[0])) |
           (static_cast<uint64_t>(static_cast<uint32_t>(editorWords[1])) << 32);
}

void SlabEditor::SetShowTypes(uint64_t mask) {
    editorWords[0] = static_cast<int32_t>(static_cast<uint32_t>(mask));
    editorWords[1] = static_cast<int32_t>(static_cast<uint32_t>(mask >> 32));
}

void SlabEditor::MoveSurface(const ViewProjection& view, int x, int y, int px, int py, bool shift) {
    Window* window = ActiveWindow();
    BaseSlab* slab = LiveSlab();
    if (!window || !slab) return;
    const Outline& outline = slab->GetOutline();
    Vector previous, current;
    if (window->IsElevationView()) {
        previous = outline.ScreenToPlane(view, px, py);
        const Vector toward = window->UnprojectViewCenter();
        current = window->ScreenToPlane(x, y, previous, toward);
    } else {
        double h = slab->GetBoundingBox().min.y;
        const Vector toward = window->UnprojectViewCenter();
        const double angle = std::acos(std::fabs(std::clamp(outline.normal.Dot(toward), -1.0, 1.0)));
        if (angle > kSteepFace) {
            const Vector face = outline.ScreenToPlane(view, x, y);
            if (face.x != Outline::kNoIntersection && IsFinite(face)) h = face.y;
        }
        previous = window->ScreenToHeightPlane(px, py, h);
        current = window->ScreenToHeightPlane(x, y, h);
    }
    if (Window::IsNoIntersection(previous) || Window::IsNoIntersection(current) ||
        previous.x == Outline::kNoIntersection || !IsFinite(previous) || !IsFinite(current))
        return;
    if (window->GetViewMode() != Window::kBlueprintView) {
        const Vector origin;
        const double here = current.HorizontalDistance(origin);
        if (here >= kMaxSlabDistance && previous.HorizontalDistance(origin) <= here) return;
    }
    theTrace().Write("pMS");
    slab->MoveSlabBy(current.x - previous.x, 0.0, current.z - previous.z, shift);
}

void SlabEditor::DragChild(const ViewProjection& view, PickableObject* child) {
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    BaseSlab* slab = LiveSlab();
    auto* selectable = dynamic_cast<SelectableObject*>(child);
    if (!control || !window || !slab || !selectable) return;
    if (!selectable->IsSelected()) {
        slab->SetChildrenSelected(false);
        slab->SetSelected(false);
        selectable->SetSelected(true);
    }
    auto* model = dynamic_cast<OnSlabObject*>(child);
    if (in.alt && child->HasType(TypeBit::kInSlab | TypeBit::kOnSlab)) {
        auto* base = dynamic_cast<SlabChildModel*>(child);
        if (!base) return;
        const Vector kept = base->scale;
        if (in.shift) {
            const Vector press(in.press.x, in.press.y, 0.0);
            Vector previous(in.previous.x, in.previous.y, 0.0);
            const Vector current(in.current.x, in.current.y, 0.0);
            if (model)
                model->DragSizeGrip(press, previous, current, gripAxis, true);
            else
                base->DragResize(press, previous, current, gripAxis, true);
        } else {
            const double factor = 1.0 + (in.current.x - in.previous.x) * 0.01;
            if (std::isfinite(factor) && factor > 0.0) base->SetScale(factor);
        }
        if (!base->IsPositionValid()) {
            base->SetScaleVector(kept);
            if (model) model->UpdatePlacement();
            base->IsPositionValid();
        }
        const BoundingBox& box = base->GetBoundingBox();
        const std::string text = FormatLength((box.max.x - box.min.x) * kept.x, false, 6) + "W x " +
                                 FormatLength((box.max.y - box.min.y) * kept.y, false, 6) + "H x " +
                                 FormatLength((box.max.z - box.min.z) * kept.z, false, 6) + "D";
        window->statusBar1.SetText(text.c_str(), false);
    } else {
        if (directionLock == -1) {
            if (window->GetViewMode() == Window::kBlueprintView) {
                directionLock = 0;
            } else {
                const Outline& outline = slab->GetOutline();
                const Vector a = outline.ScreenToPlane(view, in.current.x, in.current.y);
                const Vector b = outline.ScreenToPlane(view, in.previous.x, in.previous.y);
                Vector d(a.x - b.x, a.y - b.y, a.z - b.z);
                d.Normalize();
                Vector u = slab->GetUVector();
                u.Normalize();
                directionLock = (IsFinite(d) && d.Length() > 0.0) ? DirectionFromMove(d, u) : 0;
            }
        }
        if (auto* slabChild = dynamic_cast<SlabChild*>(child)) {
            if (in.shift)
                slabChild->DragPoint(in.current.x, in.current.y, in.previous.x, in.previous.y,
                                     in.pickCount - 1, grabOffset, false, 0);
            else
                slabChild->DragPoint(in.current.x, in.current.y, in.previous.x, in.previous.y,
                                     in.pickCount - 1, grabOffset, true, directionLock);
        }
    }
    slab->MarkDirty();
}

void SlabEditor::OnMouseMove(intptr_t packedPoint) {
    BaseEditor::OnMouseMove(packedPoint);
    MouseInput& in = Input();
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    if (editLock && !in.left && control->IsRunning()) {
        RenderLockScope lock(control);
        TrackDrawingPoint(packedPoint);
    }
    if (!editLock && in.ctrl) currentCursor = platform::LoadCursor(kCtrlCursor);
    if (!in.left || moveCount <= 0 || in.right || in.space || in.eKey) return;

    RenderLockScope lock(control);
    if (editLock && !editedSlab) {
        StartNewSlab();
        if (BaseSlab* slab = editedSlab) {
            control->BeginUndoGroup();
            groupOpen = true;
            slab->BeginTransaction(true);
            stepSlab = slab->GetPickName();
        }
    }
    BaseSlab* slab = LiveSlab();
    if (slab && grabbed) {
        const ViewProjection view = ProjectionOf(*window);
        const int x = in.current.x, y = in.current.y, px = in.previous.x, py = in.previous.y;
        const uint64_t mask = MaskOf(grabbed);
        if (lift) {
            theTrace().Write("Pms");
            slab->MoveSlabBy(0.0, LiftStep(py - y, in.shift != 0), 0.0, true);
        } else if ((mask & TypeBit::kModelPart) && slab->HasType(TypeBit::kDormerWall)) {
            // The dormer wall's own drag belongs to the dormer.
        } else if (mask & TypeBit::kModelPart) {
            MoveSurface(view, x, y, px, py, in.shift != 0);
        } else if (mask & TypeBit::kOutlineNode) {
            slab->DragOutlinePoint(view, x, y, grabbed, editLock != 0, !in.shift);
        } else if (editLock) {
            // Drawing drags nothing else.
        } else if (mask & TypeBit::kOutlineEdge) {
            auto* node = dynamic_cast<OutlinePoint*>(in.pickCount > 2 ? window->GetPickedObject(2) : nullptr);
            if (node) slab->DragEdge(view, x, y, px, py, node, in.shift != 0);
            grabbed = window->GetPickedObject(1);
        } else if (mask & TypeBit::kGrid) {
            if (auto* grid = dynamic_cast<Grid*>(grabbed)) grid->DragGridOrigin(x, y, px, py);
        } else if (mask & kChildTypes) {
            DragChild(view, grabbed);
        }
    }
    const uint64_t show = GetShowTypes();
    if (show && (window->viewFlags.GetInt64(0) & show)) {
        control->SetVisibilityByTypeMask(show, true, false);
        SetShowTypes(0);
    }
}

void SlabEditor::OnLButtonUp(intptr_t packedPoint) {
    MouseInput& in = Input();
    if (!in.left) return;
    MouseHandler::OnLButtonUp(packedPoint);
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (in.right) {
        CloseEdit();
        editedSlab = nullptr;
        grabbed = nullptr;
        return;
    }
    if (!control || !window) {
        CloseEdit();
        return;
    }
    RenderLockScope lock(control);
    theTrace().Write("=");
    in.rememberedPart = 0;
    BaseSlab* slab = LiveSlab();
    const ViewProjection view = ProjectionOf(*window);

    if (editLock || !slab || !grabbed) {
        control->SelectAll(false);
    } else {
        const uint64_t mask = MaskOf(grabbed);
        if (in.qKey) {
            auto* renderable = dynamic_cast<RenderableObject*>(grabbed);
            if (renderable && (mask & (TypeBit::kSlabChild | TypeBit::kInSlab | TypeBit::kOnSlab |
                                       TypeBit::kMolding)))
                renderable->RemoveOffset();
            else
                slab->RemoveOffset();
        }
        if (in.ctrl) {
            if (mask & TypeBit::kModelPart) {
                RenderableObject* first = nullptr;
                for (RenderableObject* child = slab->FirstChild(); child; child = slab->NextChild())
                    if (dynamic_cast<SlabChild*>(child) && child->IsPositionValid()) {
                        first = child;
                        break;
                    }
                if (first && first->HasType(TypeBit::kSlabChild)) {
                    grabbed = first;
                } else {
                    grabbed = slab->InsertScreenPoint(view, in.current.x, in.current.y);
                    slab->SetSelected(true);
                }
            } else if (mask & TypeBit::kOutlineNode) {
                control->SelectAll(false);
                slab->SetSelected(true);
                slab->DeleteOutlinePoint(dynamic_cast<OutlinePoint*>(grabbed));
                grabbed = nullptr;
            } else if (mask & TypeBit::kSlabChild) {
                control->SelectAll(false);
                if (auto* selectable = dynamic_cast<SelectableObject*>(grabbed))
                    selectable->SetSelected(true);
            }
        } else if (moveCount == 0) {
            if (mask & kChildTypes) {
                auto* child = dynamic_cast<SelectableObject*>(grabbed);
                const bool s = child && child->IsSelected();
                control->SelectAll(false);
                slab->SetSelected(s);
                if (child) child->SetSelected(!s);
            } else {
                const bool s = slab->IsSelected();
                control->SelectAll(false);
                slab->SetSelected(!s);
            }
        }
    }

    theTrace().Write("n");
    if (slab && grabbed && grabbed->HasType(TypeBit::kInSlab) && !grabbed->HasType(TypeBit::kSkylight)) {
        theTrace().Write("is");
        auto* object = dynamic_cast<RenderableObject*>(grabbed);
        if (object && !object->IsPositionValid()) {
            if (in.qKey) object->RemoveOffset();
            Dialog dialog(nullptr, kInvalidMoveDialog);
            const int answer = dialog.Show();
            ClearModifierFlags();
            if (answer == kDeleteAnswer) {
                BaseEditor::ReleaseTarget();
                grabbed = nullptr;
                if (slab->RemoveChild(object, false)) {
                    if (auto* model = dynamic_cast<BaseModel*>(object))
                        model->ReleaseModelWhenIdle();
                    else
                        control->deletedObjects.Append(object);
                }
                CloseEdit();
            } else if (answer == kUndoAnswer) {
                // The drag's group is closed first: the undo list undoes closed groups.
                CloseEdit();
                control->Undo();
                control->GetUndoList().ClearRedo();
            }
        }
    }
    if (grabbed && grabbed->HasType(TypeBit::kSkylight)) theTrace().Write("sk");
    if (!grabbed && slab) theTrace().Write("nc");
    CloseEdit();
    editedObject = nullptr;
    editedSlab = nullptr;
    grabbed = nullptr;
    theTrace().Write("elbu");
}
