#include "interaction/MoldingProfileCommand.h"

#include <cstdio>

#include "building/BaseMolding.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"
#include "model/ObjectTypes.h"

namespace {

BaseMolding* MoldingAt(const std::vector<PickableObject*>& hits, size_t fromEnd) {
    if (hits.size() < fromEnd) return nullptr;
    PickableObject* hit = hits[hits.size() - fromEnd];
    return hit->HasType(TypeBit::kMolding) ? dynamic_cast<BaseMolding*>(hit) : nullptr;
}

}  // namespace

MoldingProfileCommand::MoldingProfileCommand(KeyDataList* keys, const char* domain)
    : BaseCommandHandler(keys) {
    std::snprintf(domain_, sizeof domain_, "%s", domain ? domain : "");
}

void MoldingProfileCommand::Begin(uint32_t, platform::ScreenPoint, uint32_t*) {
    Prompt(kBeginPrompt, ActiveMouseWindow());
}

void MoldingProfileCommand::Drop(uint32_t, platform::ScreenPoint point, uint32_t*) {
    BaseControl* control = theControl();
    if (control) {
        control->SetRenderEnabled(true);
        RenderLockScope hold(control);
        ApplyToHits(PickAt(point));
    }
    keys_.reset();
}

bool MoldingProfileCommand::ApplyToHits(const std::vector<PickableObject*>& hits) {
    if (!keys_ || hits.size() < 2) return false;
    // The molding is the part's owner, or one further out.
    BaseMolding* molding = MoldingAt(hits, 2);
    if (!molding && hits.size() >= 3) molding = MoldingAt(hits, 3);
    if (!molding) return false;
    const char* relative = keys_->GetString("urlWithoutDomain");
    if (!relative || !*relative) {
        TraceWrite("Molding item without a profile file.");
        return false;
    }
    const std::string address = std::string("http://") + domain_ + "/" + relative;
    // A molding standing on its own records its own step; one of a wall or column that
    // of its owner.
    auto* undoable = dynamic_cast<UndoableObject*>(hits[0]);
    if (undoable) undoable->BeginUndoStep();
    molding->SetProfileFromURL(address.c_str());
    molding->MarkDirty();
    if (undoable) undoable->EndUndoStep();
    return true;
}
