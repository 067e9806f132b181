#include "interaction/SlabEditor.h"

#include <algorithm>
#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "geometry/Outline.h"
#include "interaction/Grid.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"

namespace {

// The angle between a face and the view above which a surface drag runs at the height
// of the point under the cursor (15 degrees).
constexpr double kSteepFaceAngle = 0.2618;
// Outside the blueprint view a slab dragged by its surface goes no farther from the
// origin than this (horizontally).
constexpr double kFarthestDrag = 2000.0;

bool Has(const PickableObject* object, uint64_t bits) {
    return object && (object->GetTypeMask() & bits) != 0;
}

}  // namespace

SlabEditor::~SlabEditor() = default;

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

void SlabEditor::Activate() {
    editedSlab = nullptr;
    grabbed = nullptr;
    lift = 0;
    SetEditLock(true);
}

void SlabEditor::Deactivate() {
    BaseControl* control = theControl();
    if (editedSlab && control) {
        // A drag cut short still closes what its press opened.
        RenderLockScope lock(control);
        editedSlab->EndUndoStep();
        control->EndUndoGroup();
    }
    editedSlab = nullptr;
    grabbed = nullptr;
    editedObject = nullptr;
    currentCursor = defaultCursor = savedCursor;
    ShowCursor();
    if (control) control->drawingPreview = 0.0;
    BaseEditor::Deactivate();
}

void SlabEditor::OnMouseLeave(intptr_t packedPoint) {
    if (BaseControl* control = theControl()) control->drawingPreview = 0.0;
    BaseEditor::OnMouseLeave(packedPoint);
}

void SlabEditor::ReleaseTarget() {
    BaseEditor::ReleaseTarget();
    editedSlab = nullptr;
    grabbed = nullptr;
}

void SlabEditor::OnLButtonDown(intptr_t packedPoint) {
    gripAxis = 0;
    BaseControl* control = theControl();
    MouseInput& in = Input();
    if (editLock) {
        theTrace().Write("c");
        if (control) control->SelectAll(false);
        MouseHandler::OnLButtonDown(packedPoint);
        editedObject = nullptr;
        if (control) control->globalState.SetBoolean(18, in.left != 0);
        return;
    }

    BaseEditor::OnLButtonDown(packedPoint);
    theTrace().Write("+");
    if (!in.left || in.right || in.space || in.eKey) return;
    if (!Has(editedObject, TypeBit::kSlab) || !control) return;
    auto* slab = dynamic_cast<BaseSlab*>(editedObject);
    Window* window = ActiveWindow();
    if (!slab || !window) return;

    RenderLockScope lock(control);
    control->globalState.SetBoolean(18, true);
    editedSlab = slab;
    control->BeginUndoGroup();
    editedSlab->BeginUndoStep();
    grabbed = window->GetPickedObject(1);
    directionLock = -1;
    if (!grabbed) return;
    if (in.qKey)
        if (auto* object = dynamic_cast<RenderableObject*>(grabbed)) object->ApplyOffset();
    if (Has(grabbed, TypeBit::kOutlineEdge) && in.pickCount > 2 &&
        Has(window->GetPickedObject(2), TypeBit::kModelPart))
        grabbed = window->GetPickedObject(2);
    if (in.qKey) editedSlab->ApplyOffset();
    editedSlab->BeginDragOf(grabbed);
}

void SlabEditor::OnMouseMove(intptr_t packedPoint) {
    BaseEditor::OnMouseMove(packedPoint);
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    MouseInput& in = Input();

    if (editLock && !in.left && control->IsRunning()) {
        theTrace().Write("SE::MM bSMTP");
        RenderLockScope lock(control);
        TrackDrawingPoint(packedPoint);
        control->drawingPoint = drawingPoint;
        control->drawingPreview = drawingValue;
        theTrace().Write("SE::MM aSMTP");
    }
    if (!editLock && in.ctrl) currentCursor = platform::LoadCursor(kCtrlCursor);

    if (!in.left || moveCount <= 0 || in.right || in.space || in.eKey) return;
    RenderLockScope lock(control);

    if (editLock && !editedSlab) {
        StartNewSlab();
        if (editedSlab) {
            control->BeginUndoGroup();
            editedSlab->BeginTransaction(true);
        }
    }

    if (editedSlab && grabbed) {
        const ViewProjection view = ProjectionOf(*window);
        const MousePoint& now = in.current;
        const MousePoint& before = in.previous;
        if (lift) {
            theTrace().Write("Pms");
            const int d = before.y - now.y;
            double step = 0.0;
            if (in.shift)
                step = d * 0.125;
            else if (d > 0)
                step = d >= 4 ? d / 2 : 1;
            else
                step = d <= -3 ? std::floor(d / 2.0) : -1;
            editedSlab->MoveSlabBy(0.0, step, 0.0, true);
        } else if (Has(grabbed, TypeBit::kModelPart) && !editLock) {
            // The slab's surface: moved on a level plane under the pointer.
            const BoundingBox& box = editedSlab->GetBoundingBox();
            double h = box.min.y;
            Vector normal = editedSlab->GetOutline().normal;
            normal.Normalize();
            const Vector sight = window->UnprojectViewCenter();
            const double angle = std::acos(std::fabs(std::clamp(normal.Dot(sight), -1.0, 1.0)));
            if (angle > kSteepFaceAngle) {
                const Vector face = editedSlab->GetOutline().ScreenToPlane(view, now.x, now.y);
                if (std::isfinite(face.y) && std::fabs(face.y) < 1e300) h = face.y;
            }
            const Vector a = window->ScreenToHeightPlane(before.x, before.y, h);
            const Vector b = window->ScreenToHeightPlane(now.x, now.y, h);
            if (!Window::IsNoIntersection(a) && !Window::IsNoIntersection(b)) {
                const Vector origin(0.0, 0.0, 0.0);
                const bool far = window->GetViewMode() != Window::kBlueprintView &&
                                 b.HorizontalDistance(origin) >= kFarthestDrag &&
                                 a.HorizontalDistance(origin) <= b.HorizontalDistance(origin);
                if (!far) {
                    theTrace().Write("pMS");
                    editedSlab->MoveSlabBy(b.x - a.x, 0.0, b.z - a.z, in.shift != 0);
                }
            }
        } else if (Has(grabbed, TypeBit::kOutlineNode)) {
            editedSlab->DragOutlinePoint(view, now.x, now.y, grabbed, editLock != 0, !in.shift);
        } else if (editLock) {
            // While drawing nothing else is dragged.
        } else if (Has(grabbed, TypeBit::kOutlineEdge) &&
                   Has(window->GetPickedObject(2), TypeBit::kOutlineNode)) {
            auto* node = dynamic_cast<OutlinePoint*>(window->GetPickedObject(2));
            editedSlab->DragEdge(view, now.x, now.y, before.x, before.y, node, in.shift != 0);
            grabbed = window->GetPickedObject(1);
        } else if (Has(grabbed, TypeBit::kGrid)) {
            if (auto* grid = dynamic_cast<Grid*>(grabbed))
                grid->DragGridOrigin(now.x, now.y, before.x, before.y);
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
    if (in.right || !control) {
        // The edit ends here: what its press opened is closed, not left pending.
        if (editedSlab && control) {
            RenderLockScope lock(control);
            editedSlab->EndUndoStep();
            control->EndUndoGroup();
        }
        editedSlab = nullptr;
        grabbed = nullptr;
        return;
    }
    RenderLockScope lock(control);
    theTrace().Write("=");
    in.rememberedPart = 0;

    if (!editLock && editedSlab && grabbed) {
        if (in.qKey) editedSlab->RemoveOffset();
        if (in.ctrl) {
            if (Has(grabbed, TypeBit::kOutlineNode)) {
                control->SelectAll(false);
                editedSlab->SetSelected(true);
                if (grabbed != &control->liftHandle)
                    editedSlab->DeleteOutlinePoint(dynamic_cast<OutlinePoint*>(grabbed));
                grabbed = nullptr;
            }
        } else if (moveCount == 0) {
            const bool selected = editedSlab->IsSelected();
            control->SelectAll(false);
            editedSlab->SetSelected(!selected);
        }
    } else if (editLock || !editedSlab || !grabbed) {
        control->SelectAll(false);
    }

    theTrace().Write("n");
    if (editedSlab) {
        if (!grabbed) theTrace().Write("nc");
        editedSlab->EndUndoStep();
        control->EndUndoGroup();
    }
    editedObject = nullptr;
    editedSlab = nullptr;
    grabbed = nullptr;
    theTrace().Write("elbu");
}
