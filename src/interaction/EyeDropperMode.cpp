#include "interaction/EyeDropperMode.h"

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "interaction/BaseCommandHandler.h"
#include "interaction/MaterialCommand.h"
#include "model/Part.h"
#include "render/Material.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"

namespace {

constexpr uint64_t kSlabBit = 0x1;
constexpr uint64_t kPartBit = 0x4000;
constexpr uint64_t kStairsBit = 0x20000000;
constexpr uint32_t kLockedQuestion = 262;

platform::Cursor ResourceCursor(int id) {
    return platform::Cursor{platform::CursorShape::Resource, id};
}

// 1 for a part of an object that is no surface kind, else 0.
int32_t KindOf(Part& part) {
    RenderableObject* owner = part.GetOwnerObject();
    return owner && owner->HasType(EyeDropperMode::kSurfaceKinds) ? 0 : 1;
}

}  // namespace

void EyeDropperMode::Activate() {
    defaultCursor = ResourceCursor(kEmptyCursor);
    UseCursor(defaultCursor);
    held_ = 0;
    heldMaterial_.reset();
}

void EyeDropperMode::Deactivate() {
    heldMaterial_.reset();
    held_ = 0;
}

void EyeDropperMode::OnSingleClick(intptr_t) {
    Input().rememberedPart = 0;
}

void EyeDropperMode::OnLButtonUp(intptr_t packedPoint) {
    const bool wasDown = Input().left != 0;
    MouseHandler::OnLButtonUp(packedPoint);
    if (!wasDown) return;
    MouseInput& in = Input();
    in.rememberedPart = 0;
    if (in.right || in.space) return;
    Window* window = ActiveWindow();
    if (!window) return;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    std::vector<PickableObject*> hits;
    {
        RenderLockScope hold;
        const int count = window->ProcessSelectionBuffer(point.x, point.y);
        for (int i = 1; i < count; ++i) {
            PickableObject* object = window->GetPickedObject(i);
            if (!object) break;
            hits.push_back(object);
        }
    }
    ClickHits(hits);
}

void EyeDropperMode::ClickHits(const std::vector<PickableObject*>& hits) {
    BaseControl* control = theControl();
    if (!control || hits.empty()) return;
    auto* part = dynamic_cast<Part*>(hits.back());
    if (!part || !hits.back()->HasType(kPartBit) || !part->material) return;

    if (!held_) {
        RenderLockScope hold(control);
        sourceKind_ = KindOf(*part);
        KeyDataList written;
        part->material->WriteKeyData(written);
        heldMaterial_.reset(written.TakeSublist("Material"));
        if (!heldMaterial_) return;
        held_ = 1;
        defaultCursor = ResourceCursor(kLoadedCursor);
        UseCursor(defaultCursor);
        return;
    }

    const MouseInput& in = Input();
    control->globalState.SetBoolean(0, true);
    control->BeginUndoGroup();
    auto* undoable = dynamic_cast<UndoableObject*>(hits[0]);
    {
        RenderLockScope hold(control);
        targetKind_ = KindOf(*part);
        const Vector granularity = part->material->granularity;
        auto* renderable = dynamic_cast<RenderableObject*>(hits[0]);
        const bool locked = renderable && renderable->IsLocked();
        const bool apply =
            undoable &&
            (!locked || ((targetKind_ == 1 || !in.alt) &&
                         BaseCommandHandler::AskLockedObject(*control, kLockedQuestion) ==
                             platform::MessageAnswer::Yes));
        if (undoable) undoable->BeginUndoStep();
        if (apply) {
            part->ApplyMaterialKeys(*heldMaterial_, false);
            if (sourceKind_ != targetKind_) part->material->granularity = granularity;
            if (RenderableObject* owner = part->GetOwnerObject()) owner->MarkDirty();
        }
        if (undoable) undoable->EndUndoStep();

        if (in.alt && targetKind_ == 0) {
            if (hits[0]->HasType(kStairsBit) && !hits[0]->HasType(kSlabBit)) {
                TraceWrite("Materials for whole stairs are not available.");
            } else if (auto* slab = dynamic_cast<BaseSlab*>(hits[0]);
                       slab && hits[0]->HasType(kSlabBit)) {
                KeyDataList& keys = *heldMaterial_;
                // The held scale goes along only between parts of different kinds.
                const bool keepScale = sourceKind_ == targetKind_;
                ApplyToSlabs(*slab, in.ctrl != 0, [&](BaseSlab& target) {
                    for (int id : {BaseSlab::kInsideSurface, BaseSlab::kOutsideSurface,
                                   BaseSlab::kEdgeSurface}) {
                        Part* surface = target.GetSurface(id);
                        if (!surface || !surface->material) continue;
                        const Vector kept = surface->material->granularity;
                        surface->ApplyMaterialKeys(keys, false);
                        if (keepScale) surface->material->granularity = kept;
                    }
                    target.MarkDirty();
                });
            } else {
                POSTCONDITION(false, "Unknown Object Type");
            }
        }
    }
    control->EndUndoGroup();
    if (!in.shift) SwitchMouseMode(kSelectionMode);
}
