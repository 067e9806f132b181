#include "interaction/SlabChildModelCommand.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "render/Window.h"
#include "slabs/BaseSlab.h"
#include "slabs/EditableSlabChild.h"
#include "slabs/InSlabObject.h"
#include "slabs/OnSlabObject.h"
#include "slabs/Skylight.h"

namespace {

constexpr double kFlatSlab = 0.001;

bool IsSurface(const BaseSlab& slab, PickableObject* hit, int id) {
    return hit && hit == const_cast<BaseSlab&>(slab).GetSurface(id);
}

}  // namespace

SlabChildModelCommand::SlabChildModelCommand(KeyDataList* keys, const char* domain,
                                             uint64_t kindMask)
    : BaseCommandHandler(keys), kindMask_(kindMask) {
    std::snprintf(domain_, sizeof domain_, "%s", domain ? domain : "");
    if (keys_) {
        if (const char* name = keys_->GetString("subObjectName")) {
            if (std::strlen(name) < sizeof subObjectName_)
                std::snprintf(subObjectName_, sizeof subObjectName_, "%s", name);
            else
                TraceWrite("Sub-object name too long: the model drops into a slab");
        }
    }
}

SlabChildModelCommand::~SlabChildModelCommand() {
    if (!ended_ && (model_ || target_)) Cancel();
    RestorePriority();
}

void SlabChildModelCommand::RestorePriority() {
    if (!priorityChanged_) return;
    if (BaseControl* control = theControl())
        platform::SetThreadPriority(control->RenderThreadId(), savedPriority_);
    priorityChanged_ = false;
}

bool SlabChildModelCommand::InBlueprint() const {
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    return window && window->GetRenderState().GetInteger(0) == 1;
}

void SlabChildModelCommand::Begin(uint32_t, platform::ScreenPoint, uint32_t*) {
    BaseControl* control = theControl();
    if (!PRECONDITION(control != nullptr, "No control for the slab model drop")) return;
    control->SelectAll(false);
    savedPriority_ = platform::GetThreadPriority(control->RenderThreadId());
    platform::SetThreadPriority(control->RenderThreadId(), platform::ThreadPriority::Normal);
    priorityChanged_ = true;

    SlabChildModel* model = nullptr;
    if (kindMask_ & kOnSlabKind)
        model = new OnSlabObject;
    else if (kindMask_ & kAsymmetricKind)
        model = new AsymmetricSlabObject;
    else if (kindMask_ & kSkylightKind)
        model = new Skylight;
    else
        model = new InSlabObject;
    model_ = model;

    Window* main = control->mainWindow;
    uint32_t prompt = kInSlabPrompt;
    if (kindMask_ & kOnSlabKind)
        prompt = kOnSlabPrompt;
    else if (main && main->GetRenderState().GetInteger(0) == 1)
        prompt = kBlueprintPrompt;
    Prompt(prompt, ActiveMouseWindow());

    model->SetSelected(true);
    control->progressOwner = model->ProgressOwnerId();
    if (!keys_) return;
    KeyDataList& keys = *keys_;
    if (keys.FindByName("TextureURLwithoutDomain") || keys.FindByName("MaterialMapURLwithoutDomain") ||
        keys.FindByName("BumpMapURLwithoutDomain") || keys.FindByName("URLwithoutDomain"))
        keys.AddString("Domain", domain_);
    if (const char* relative = keys.GetString("URLwithoutDomain"))
        keys.AddString("URL", std::string("http://") + domain_ + "/" + relative);
    model->LoadDecompressedFile(keys, false);
    keys_.reset();
}

bool SlabChildModelCommand::CanPlace(PickableObject* second, bool shift) const {
    if (!target_ || !model_) return false;
    const bool blueprint = InBlueprint();
    const bool onFace = IsSurface(*target_, second, BaseSlab::kInsideSurface) ||
                        IsSurface(*target_, second, BaseSlab::kOutsideSurface) ||
                        (second && second->HasType(TypeBit::kCovering)) ||
                        (blueprint && target_->HasType(TypeBit::kWall));
    if (!onFace) return false;
    if (auto* onSlab = dynamic_cast<OnSlabObject*>(model_)) {
        const int perp = onSlab->GetPerpToGround();
        if (perp == OnSlabObject::kPerpNone) return true;
        const double ny = target_->GetOutline().normal.y;
        if (std::fabs(ny) < kFlatSlab) return false;
        const int downFace = perp == OnSlabObject::kPerpDown ? BaseSlab::kOutsideSurface
                                                             : BaseSlab::kInsideSurface;
        const int upFace = perp == OnSlabObject::kPerpDown ? BaseSlab::kInsideSurface
                                                           : BaseSlab::kOutsideSurface;
        if (perp != OnSlabObject::kPerpDown && perp != OnSlabObject::kPerpUp) return true;
        if (ny < 0.0 && IsSurface(*target_, second, downFace)) return false;
        if (ny <= 0.0) return true;
        return !IsSurface(*target_, second, upFace);
    }
    if (model_->HasType(TypeBit::kSkylight)) return target_->HasType(TypeBit::kRoof);
    if (auto* inSlab = dynamic_cast<InSlabObject*>(model_)) {
        const int type = inSlab->GetInSlabType();
        if (shift || (type != InSlabObject::kWindow && type != InSlabObject::kDoor) || !blueprint)
            return true;
        return target_->HasType(TypeBit::kWall);
    }
    return true;
}

void SlabChildModelCommand::LeaveTarget() {
    BaseSlab* slab = target_;
    target_ = nullptr;
    if (!slab) return;
    if (model_) slab->RemoveChild(model_, true);
    slab->CancelUndoStep();
    slab->MarkDirty();
}

void SlabChildModelCommand::MoveTo(int x, int y, bool shift) {
    if (!model_ || !target_) return;
    BaseControl* control = theControl();
    Window* window = control ? control->activeWindow : nullptr;
    if (window && InBlueprint() && target_->HasType(TypeBit::kWall) &&
        target_->GetOutline().GetPrimaryCount() > 0) {
        const double level = control->floorState.GetDouble(4);
        Vector p = window->ScreenToHeightPlane(x, y, level);
        if (Window::IsNoIntersection(p)) return;
        const Vector start = target_->GetOutline().GetPrimaryPoints()[0].position;
        Vector direction = target_->GetUVector();
        direction.y = 0.0;
        if (direction.Length() == 0.0) return;
        direction.Normalize();
        Vector offset = p;
        offset.Subtract(start);
        Vector onWall = direction;
        onWall.Scale(offset.Dot(direction));
        onWall.Add(start);
        const double bottom = target_->GetBoundingBox().min.y;
        const double top = target_->GetBoundingBox().max.y;
        double h = 0.0;
        double fallback = 0.0;
        auto* inSlab = dynamic_cast<InSlabObject*>(model_);
        if (inSlab && inSlab->GetInSlabType() == InSlabObject::kDoor) {
            h = inSlab->FindDoorSillHeight(p.y);
            fallback = bottom + 1.0;
        } else if (inSlab) {
            fallback = control->globalState.GetDouble(0) + bottom;
            h = fallback + level;
        } else {
            fallback = control->globalState.GetDouble(1) + bottom;
            h = fallback + level;
            if (auto* onSlab = dynamic_cast<OnSlabObject*>(model_)) {
                const int face = offset.Dot(target_->GetOutline().normal) <= 0.0
                                     ? BaseSlab::kOutsideSurface
                                     : BaseSlab::kInsideSurface;
                onSlab->SetSurface(target_->GetSurface(face));
            }
        }
        const BoundingBox& box = model_->GetBoundingBox();
        const double height = box.max.y - box.min.y;
        if (h + height > top || h < bottom) h = fallback;
        if (h + height > top || h < bottom) h = bottom + 1.0;
        onWall.y = h;
        onWall.w = 1.0;
        model_->PlaceAtPoint(onWall, false);
        return;
    }
    (void)shift;
    model_->DragToScreenPoint(x, y);
}

void SlabChildModelCommand::FitOnCounter() {
    auto* inSlab = dynamic_cast<InSlabObject*>(model_);
    if (!inSlab || !target_ || !target_->HasType(TypeBit::kCounter) || inSlab->IsPlacementValid())
        return;
    for (int step = 1; step <= 7; ++step) {
        inSlab->SetRotation(45.0 * step);
        if (inSlab->IsPositionValid()) return;
    }
}

void SlabChildModelCommand::DragOver(uint32_t keyState, platform::ScreenPoint point,
                                     uint32_t* effect) {
    if (effect) *effect = platform::DROPEFFECT_NONE;
    BaseControl* control = theControl();
    Window* window = ActiveMouseWindow();
    if (!control || !window || !model_) return;
    const bool shift = (keyState & platform::MK_SHIFT) != 0;
    RenderLockScope hold(control);
    int x = 0;
    int y = 0;
    ScreenToClient(*window, point, x, y);
    RenderState& flags = window->GetRenderState();
    const int64_t hidden = flags.GetInt64(0);
    flags.SetInt64(0, hidden | static_cast<int64_t>(TypeBit::kDimension));
    const std::vector<PickableObject*> hits = PickAt(point);
    flags.SetInt64(0, hidden);
    DragOverHits(hits, x, y, shift, effect);
}

void SlabChildModelCommand::DragOverHits(const std::vector<PickableObject*>& hits, int x, int y,
                                         bool shift, uint32_t* effect) {
    if (effect) *effect = platform::DROPEFFECT_NONE;
    if (!model_) return;
    BaseControl* control = theControl();
    PickableObject* first = hits.size() > 1 ? hits[0] : nullptr;
    PickableObject* second = hits.size() > 1 ? hits[1] : nullptr;
    const bool snap = control && control->globalState.GetBoolean(3) && !shift;
    if (first && first->HasType(TypeBit::kSlab)) {
        auto* slab = dynamic_cast<BaseSlab*>(first);
        if (slab && slab == target_) {
            if (model_->IsPlacementValid() && CanPlace(second, shift)) {
                MoveTo(x, y, shift);
                target_->MarkDirty();
                if (snap) model_->SnapToNeighbours(kSnapDistance);
                if (effect) *effect = platform::DROPEFFECT_LINK;
                return;
            }
            LeaveTarget();
        } else if (slab) {
            LeaveTarget();
            target_ = slab;
            target_->BeginUndoStep();
        }
    } else {
        LeaveTarget();
    }
    if (!CanPlace(second, shift)) LeaveTarget();
    if (!target_) return;
    if (effect) *effect = platform::DROPEFFECT_LINK;
    model_->SetParent(target_);
    if (auto* asymmetric = dynamic_cast<AsymmetricSlabObject*>(model_)) asymmetric->UpdatePlacement();
    if (Window* window = control ? control->activeWindow : nullptr) {
        if (MouseHandler* mode = window->GetCurrentMode())
            mode->SwitchMouseMode(target_->GetKindCode());
        else
            window->SetMouseMode(target_->GetKindCode());
    }
    if (auto* onSlab = dynamic_cast<OnSlabObject*>(model_)) {
        auto* covering = dynamic_cast<EditableSlabChild*>(second);
        if (covering && second->HasType(TypeBit::kCovering)) {
            const int face = covering->GetNormal().Dot(target_->GetOutline().normal) <= 0.0
                                 ? BaseSlab::kOutsideSurface
                                 : BaseSlab::kInsideSurface;
            onSlab->SetSurface(target_->GetSurface(face));
        } else {
            onSlab->SetSurface(dynamic_cast<Part*>(second));
        }
    }
    target_->AttachChild(model_);
    if (model_->GetOwner() == nullptr) {
        // A locked slab takes nothing.
        LeaveTarget();
        if (effect) *effect = platform::DROPEFFECT_NONE;
        return;
    }
    MoveTo(x, y, shift);
    if (snap) model_->SnapToNeighbours(kSnapDistance);
    FitOnCounter();
}

void SlabChildModelCommand::FreeModel() {
    SlabChildModel* model = model_;
    model_ = nullptr;
    if (!model) return;
    BaseControl* control = theControl();
    if (control && control->progressOwner == model->ProgressOwnerId()) control->progressOwner = 0;
    if (LinkedList* owner = model->GetOwner()) owner->Remove(model);
    // WaitForDownload gives the render lock up while it waits.
    model->WaitForDownload();
    delete model;
}

void SlabChildModelCommand::Cancel() {
    ended_ = true;
    RestorePriority();
    BaseControl* control = theControl();
    RenderLockScope hold(control);
    LeaveTarget();
    FreeModel();
}

void SlabChildModelCommand::Drop(uint32_t, platform::ScreenPoint point, uint32_t*) {
    RestorePriority();
    BaseControl* control = theControl();
    RenderLockScope hold(control);
    BaseModel* subTarget = nullptr;
    if (subObjectName_[0] != '\0' && model_) {
        std::vector<PickableObject*> hits = PickAt(point);
        // From the second-last object down to the first: the innermost part never counts.
        for (size_t i = hits.size() >= 2 ? hits.size() - 1 : 0; i-- > 0;) {
            auto* candidate = dynamic_cast<BaseModel*>(hits[i]);
            if (candidate && candidate != model_ && candidate->HasSubObject(subObjectName_)) {
                subTarget = candidate;
                break;
            }
        }
    }
    DropOn(subTarget);
}

void SlabChildModelCommand::DropOn(BaseModel* subObjectTarget) {
    ended_ = true;
    RestorePriority();
    BaseControl* control = theControl();
    RenderLockScope hold(control);
    if (!model_) {
        LeaveTarget();
        return;
    }
    if (target_ && (subObjectTarget || !model_->IsPlacementValid() || !model_->IsPositionValid()))
        LeaveTarget();
    if (subObjectTarget) {
        // The model becomes the other model's sub-object and is freed by the control once
        // it has handed itself over: it is not this command's to delete.
        SlabChildModel* model = model_;
        model_ = nullptr;
        if (control && control->progressOwner == model->ProgressOwnerId()) control->progressOwner = 0;
        model->AttachSubObject(subObjectName_, subObjectTarget, control ? &control->scene : nullptr);
        return;
    }
    if (target_) {
        BaseSlab* slab = target_;
        target_ = nullptr;
        model_->SetSelected(false);
        model_->SetDropComplete(true);
        model_ = nullptr;
        slab->EndUndoStep();
        return;
    }
    FreeModel();
}
