#include "slabs/ShaftHoleCreator.h"

#include <atomic>
#include <vector>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "platform/MessageBox.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/ShaftHole.h"
#include "slabs/Skylight.h"

namespace {

// The hint is shown on the first activation of a run only.
std::atomic<bool> hintShown{false};

constexpr const char* kInvalidBottom = "Invalid Shaft Bottom";

}  // namespace

ShaftHoleCreator::ShaftHoleCreator() = default;

ShaftHoleCreator::~ShaftHoleCreator() = default;

void ShaftHoleCreator::Inform(uint32_t id, const char* caption) {
    BaseControl* control = theControl();
    if (!control) return;
    platform::MessageBoxRequest box;
    box.text = control->LoadResourceString(id);
    box.caption = caption;
    box.icon = platform::MessageIcon::Information;
    control->ShowMessageBox(box);
}

void ShaftHoleCreator::SetSkylight(Skylight* owner, int type) {
    skylight = owner;
    shaftType = type;
}

void ShaftHoleCreator::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
}

void ShaftHoleCreator::OnLButtonDown(intptr_t packedPoint) {
    MouseHandler::OnLButtonDown(packedPoint);
}

void ShaftHoleCreator::OnLButtonUp(intptr_t packedPoint) {
    MouseHandler::OnLButtonUp(packedPoint);
}

void ShaftHoleCreator::Activate() {
    PRECONDITION(skylight != nullptr, "No parent skylight available");
    SlabHoleCreator::Activate();
    lastPoint.Set(-1.0, -1.0, -1.0, 1.0);
    seeThroughSlab = skylight ? skylight->GetParent() : nullptr;
    if (seeThroughSlab) seeThroughSlab->SetSurfacesTranslucent(true);
    if (!hintShown.exchange(true)) Inform(kHintMessage, "Indicate Shaft Bottom");
}

void ShaftHoleCreator::Deactivate() {
    if (seeThroughSlab) seeThroughSlab->SetSurfacesTranslucent(false);
    seeThroughSlab = nullptr;
    skylight = nullptr;
    SlabHoleCreator::Deactivate();
    shaftType = Skylight::kVertical;
}

void ShaftHoleCreator::ReleaseTarget() {
    skylight = nullptr;
    created = nullptr;
    bottomSlab = nullptr;
    SlabHoleCreator::ReleaseTarget();
}

EditableSlabChild* ShaftHoleCreator::CreateChild(const Vector*) {
    // The shaft's hole comes from the skylight's outline, not from a drawn rectangle.
    return nullptr;
}

void ShaftHoleCreator::OnSingleClick(intptr_t packedPoint) {
    Window* window = ActiveWindow();
    BaseControl* control = theControl();
    if (!window || !control || !skylight) return;
    BaseSlab* bottom = nullptr;
    {
        RenderLockScope lock(control);
        const MousePoint point = MousePoint::Unpack(packedPoint);
        if (window->ProcessSelectionBuffer(point.x, point.y) > 1) {
            PickableObject* first = window->GetPickedObject(0);
            if (first && first->HasType(TypeBit::kSlab)) bottom = dynamic_cast<BaseSlab*>(first);
        }
    }
    if (!bottom || !BuildShaft(bottom)) return;
    RenderLockScope lock(control);
    bottom->SetSelected(false);
    const int mode = bottom->GetKindCode();
    if (MouseHandler* current = window->GetCurrentMode())
        current->SwitchMouseMode(mode);
    else
        window->SetMouseMode(mode);
    bottom->SetSelected(true);
}

bool ShaftHoleCreator::BuildShaft(BaseSlab* bottom) {
    if (!PRECONDITION(bottom != nullptr, "No slab picked for the shaft")) return false;
    if (!skylight) return false;
    BaseControl* control = theControl();
    BaseSlab* roof = skylight->GetParent();
    if (!bottom->HasType(TypeBit::kWall | TypeBit::kFloor | TypeBit::kRoof)) {
        Inform(kNotWallOrFloor, kInvalidBottom);
        return false;
    }
    if (bottom == roof || !roof) {
        Inform(kOwnRoof, kInvalidBottom);
        return false;
    }
    // A second shaft would leave the first one's hole and sides behind.
    if (skylight->GetShaft()) {
        TraceWrite("Existing shaft detected: no second shaft is built");
        return false;
    }
    Vector direction = roof->GetOutline().normal;
    if (bottom->HasType(TypeBit::kFloor | TypeBit::kRoof)) {
        if (bottom->GetBoundingBox().max.y > skylight->GetBoundingBox().max.y + kHeightReach) {
            Inform(kNotBelow, kInvalidBottom);
            return false;
        }
        if (shaftType != static_cast<int>(Skylight::kPerpendicularToRoof))
            direction = bottom->GetOutline().normal;
    } else if (shaftType == static_cast<int>(Skylight::kVertical)) {
        Inform(kVerticalOnWall, kInvalidBottom);
        return false;
    }
    direction.w = 1.0;
    const Outline& top = skylight->Opening().GetOutline();
    const int n = top.GetCount();
    if (n < 3) {
        TraceWrite("Skylight opening has no outline: no shaft");
        return false;
    }
    const Vector& normal = bottom->GetOutline().normal;
    Vector plane(normal.x, normal.y, normal.z);
    plane.w = -normal.Dot(bottom->GetOutline().GetPrimaryPoints()[0].position);
    std::vector<Vector> points;
    points.reserve(n);
    for (int i = 0; i < n; ++i) {
        Vector p = top.GetPoints()[i].position;
        bool hit = false;
        p.IntersectPlaneAlongDirection(plane, direction, &hit);
        if (!hit) {
            Inform(kDoesNotFit, kInvalidBottom);
            return false;
        }
        p.w = 1.0;
        points.push_back(p);
    }
    const bool flared =
        shaftType == static_cast<int>(Skylight::kFlared) && skylight->IsRectangular();

    RenderLockScope lock(control);
    if (control) control->BeginUndoGroup();
    roof->BeginUndoStep();
    bottom->BeginUndoStep();
    skylight->SetShaftType(shaftType);
    ShaftHole* hole = ShaftHole::CreateIn(*bottom, points.data(), n);
    bool built = false;
    if (!hole) {
        skylight->SetShaftType(0);
        Inform(kLockedSurface, "Locked Surface Selected");
    } else {
        skylight->SetShaft(hole);
        if (flared) hole->SetFlareAngle(ShaftHole::kFlareAngle);
        if (!hole->IsPositionValid()) {
            // The hole goes from its slab with the sides; shaft type 0.
            skylight->DeleteShaft();
            Inform(kDoesNotFit, kInvalidBottom);
        } else {
            built = true;
        }
    }
    if (built) {
        bottom->EndUndoStep();
        roof->EndUndoStep();
        created = hole;
        bottomSlab = bottom;
    } else {
        bottom->CancelUndoStep();
        roof->CancelUndoStep();
    }
    if (control) {
        control->EndUndoGroup();
        control->RebuildDisplayData();
    }
    return built;
}
