#include "interaction/MaterialCommand.h"

#include <cstdio>
#include <string>

#include "building/BaseMolding.h"
#include "building/Stairs.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "model/Model.h"
#include "model/ObjectTypes.h"
#include "model/Part.h"
#include "render/Bitmap.h"
#include "render/LightSource.h"
#include "render/Material.h"
#include "render/TextureList.h"
#include "slabs/BaseSlab.h"

namespace {

constexpr uint64_t kSlabBit = 0x1;
constexpr uint64_t kBaseModelBit = 0x4;
constexpr uint64_t kModelBit = 0x8;
constexpr uint64_t kPartBit = 0x4000;
constexpr uint64_t kLightBit = 0x400000;
constexpr uint64_t kStairsBit = 0x20000000;
constexpr uint64_t kMoldingBit = 0x2000000000ull;

constexpr uint32_t kVendorLimitsMessage = 259;
constexpr uint32_t kLockedQuestion = 262;
constexpr uint32_t kLockedManyQuestion = 263;
constexpr uint32_t kDrawMaterialHint = 311;
constexpr int kDrawMaterialHintFlag = 37;

const char* NonEmpty(const KeyDataList& keys, const char* key) {
    const char* value = keys.GetString(key);
    return value && *value ? value : nullptr;
}

// The material on the three surfaces of a slab.
void TransformSurfaces(BaseSlab& slab, KeyDataList& keys) {
    for (int id : {BaseSlab::kInsideSurface, BaseSlab::kOutsideSurface, BaseSlab::kEdgeSurface})
        if (Part* surface = slab.GetSurface(id)) surface->ApplyMaterialKeys(keys, false);
    slab.MarkDirty();
}

}  // namespace

BaseSlab* SlabOfHits(const std::vector<PickableObject*>& hits, bool deeper) {
    const size_t n = hits.size();
    if (n >= 2 && hits[n - 2] && hits[n - 2]->HasType(kSlabBit))
        if (auto* slab = dynamic_cast<BaseSlab*>(hits[n - 2])) return slab;
    if (deeper && n >= 3 && hits[n - 3] && hits[n - 3]->HasType(kSlabBit))
        return dynamic_cast<BaseSlab*>(hits[n - 3]);
    return nullptr;
}

bool MayChange(PickableObject* object) {
    auto* renderable = dynamic_cast<RenderableObject*>(object);
    if (!renderable || !renderable->IsLocked()) return true;
    BaseControl* control = theControl();
    return control && BaseCommandHandler::AskLockedObject(*control, kLockedQuestion) ==
                          platform::MessageAnswer::Yes;
}

bool ApplyToSlabs(BaseSlab& slab, bool everySlabOfKind,
                  const std::function<void(BaseSlab&)>& apply) {
    BaseControl* control = theControl();
    if (!everySlabOfKind || !control) {
        if (!MayChange(&slab)) return true;
        slab.BeginUndoStep();
        apply(slab);
        slab.EndUndoStep();
        return true;
    }
    const uint64_t mask = slab.GetTypeMask();
    bool anyLocked = false;
    for (LinkedListObject* node = control->scene.GetHead(); node; node = node->GetNext()) {
        auto* object = dynamic_cast<RenderableObject*>(node);
        if (object && (object->GetTypeMask() & mask) != 0 && object->IsLocked()) {
            anyLocked = true;
            break;
        }
    }
    platform::MessageAnswer answer = platform::MessageAnswer::No;
    if (anyLocked) {
        answer = BaseCommandHandler::AskLockedObject(*control, kLockedManyQuestion);
        if (answer == platform::MessageAnswer::Cancel) return false;
    }
    for (LinkedListObject* node = control->scene.GetHead(); node; node = node->GetNext()) {
        auto* other = dynamic_cast<BaseSlab*>(node);
        if (!other || other->GetTypeMask() != mask) continue;
        if (other->IsLocked() && answer != platform::MessageAnswer::Yes) continue;
        other->BeginUndoStep();
        apply(*other);
        other->EndUndoStep();
    }
    return true;
}

MaterialCommand::MaterialCommand(KeyDataList* keys, const char* domain) : BaseCommandHandler(keys) {
    std::snprintf(domain_, sizeof domain_, "%s", domain ? domain : "");
}

void MaterialCommand::Begin(uint32_t, platform::ScreenPoint, uint32_t*) {
    Prompt(kBeginPrompt, ActiveMouseWindow());
}

void MaterialCommand::Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t*) {
    BaseControl* control = theControl();
    if (!control) return;
    control->SetRenderEnabled(true);
    RenderLockScope hold(control);
    ApplyToHits(PickAt(point), keyState);
}

void MaterialCommand::AddDomainKeys() {
    KeyDataList& keys = *keys_;
    const char* texture = NonEmpty(keys, "TextureURLwithoutDomain");
    if (!texture) texture = NonEmpty(keys, "MaterialURLwithoutDomain");
    const char* bump = keys.GetString("BumpMapURLwithoutDomain");
    const std::string t = texture ? texture : "";
    const std::string b = bump ? bump : "";
    if (texture) keys.AddString("TextureURLwithoutDomain", t);
    if (bump) keys.AddString("BumpMapURLwithoutDomain", b);
    if (texture || bump) keys.AddString("Domain", domain_);
}

void MaterialCommand::ApplyToHits(const std::vector<PickableObject*>& hits, uint32_t keyState) {
    BaseControl* control = theControl();
    const size_t n = hits.size();
    if (!control || !keys_ || n < 2) return;
    KeyDataList& keys = *keys_;

    if (hits[0]->HasType(kLightBit)) {
        auto* light = dynamic_cast<LightSource*>(hits[0]);
        if (!light) return;
        const char* relative = NonEmpty(keys, "TextureURLwithoutDomain");
        if (!relative) relative = NonEmpty(keys, "MaterialURLwithoutDomain");
        const char* full = NonEmpty(keys, "TextureURL");
        if (!full) full = NonEmpty(keys, "MaterialURL");
        std::string url;
        if (relative)
            url = std::string("http://") + domain_ + "/" + relative + (full ? full : "");
        else if (full)
            url = full;
        if (url.empty()) return;
        light->BeginUndoStep();
        light->SetProjectedTexture(url.c_str());
        light->EndUndoStep();
        return;
    }

    auto* part = dynamic_cast<Part*>(hits[n - 1]);
    if (!part || !hits[n - 1]->HasType(kPartBit)) return;

    if (paint_) {
        if (KeyDataList* information = keys.TakeSublist("ObjectInformation")) {
            KeyDataList* paint = keys.AddSublist("paint");
            paint->Add(new KeyDataSublist("ObjectInformation", information));
        }
    }
    AddDomainKeys();

    const bool alt = (keyState & platform::MK_ALT) != 0;
    const bool ctrl = (keyState & platform::MK_CONTROL) != 0;
    if (BaseSlab* slab = SlabOfHits(hits, true)) {
        control->ShowOnceMessage(kDrawMaterialHint, "Drag Material", kDrawMaterialHintFlag);
        if (alt) {
            ApplyToSlabs(*slab, ctrl, [&](BaseSlab& target) { TransformSurfaces(target, keys); });
            MouseHandler::ClearModifierFlags();
            return;
        }
    }
    if (alt && hits[n - 2]->HasType(kStairsBit)) {
        auto* stairs = dynamic_cast<Stairs*>(hits[n - 2]);
        if (!stairs || !MayChange(stairs)) return;
        stairs->BeginUndoStep();
        // Every part of the stairs: stringers, treads, their edges and the risers.
        for (Part* whole : {&stairs->GetStringerPart(), static_cast<Part*>(stairs->StairPartAt(1)),
                            static_cast<Part*>(stairs->StairPartAt(2)),
                            static_cast<Part*>(stairs->StairPartAt(3))})
            if (whole) whole->ApplyMaterialKeys(keys, false);
        stairs->MarkDirty();
        stairs->EndUndoStep();
        return;
    }

    PickableObject* top = hits[0];
    if (top->HasType(kModelBit)) {
        auto* model = dynamic_cast<Model*>(top);
        if (model && !model->AcceptsLockCodes(keys)) {
            control->ShowResourceMessageModal(kVendorLimitsMessage);
            return;
        }
    }
    auto* undoable = dynamic_cast<UndoableObject*>(top);
    if (!undoable || !MayChange(top)) return;

    const uint32_t texturesBefore =
        control->GetTextureList() ? control->GetTextureList()->GetCount() : 0;
    RenderableObject* owner = part->GetOwnerObject();
    auto* molding = owner && owner->HasType(kMoldingBit) ? dynamic_cast<BaseMolding*>(owner) : nullptr;
    undoable->BeginUndoStep();
    // A molding's material runs along its linked chain.
    if (molding)
        molding->ApplyMaterialLinked(keys);
    else
        part->ApplyMaterialKeys(keys, owner && owner->HasType(kBaseModelBit));
    if (owner) owner->MarkDirty();
    undoable->EndUndoStep();

    const uint32_t texturesAfter =
        control->GetTextureList() ? control->GetTextureList()->GetCount() : 0;
    if (texturesAfter > texturesBefore && part->material && part->material->GetTexture())
        control->progressOwner = part->material->GetTexture()->ProgressOwnerId();
}
