#include "interaction/ColorCommand.h"

#include <cstring>

#include "building/BaseMolding.h"
#include "building/Stairs.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "interaction/MaterialCommand.h"
#include "interaction/MouseHandler.h"
#include "model/BaseModel.h"
#include "model/Part.h"
#include "render/Material.h"
#include "slabs/BaseSlab.h"

namespace {

constexpr uint64_t kPartBit = 0x4000;
constexpr uint64_t kStairsBit = 0x20000000;
constexpr uint64_t kMoldingBit = 0x2000000000ull;
constexpr uint32_t kVendorLimitsMessage = 259;

}  // namespace

ColorCommand::ColorCommand(const char* colorText) {
    std::string text = colorText ? colorText : "";
    if (text.size() >= kColorTextSize) text.resize(kColorTextSize - 1);
    // Fields as a C tokenizer gives them: empty ones do not count.
    std::vector<std::string> fields;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find_first_of(";,", pos);
        const size_t stop = end == std::string::npos ? text.size() : end;
        if (stop > pos) fields.push_back(text.substr(pos, stop - pos));
        pos = stop + 1;
    }
    if (fields.size() < 4) {
        for (std::string& value : values_) value = "1";
        return;
    }
    for (int i = 0; i < 3; ++i) values_[i] = fields[1 + i];
    values_[3] = fields.size() > 4 ? fields[4] : "1";
}

void ColorCommand::Begin(uint32_t, platform::ScreenPoint, uint32_t*) {
    Prompt(kBeginPrompt, ActiveMouseWindow());
}

void ColorCommand::Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t*) {
    BaseControl* control = theControl();
    if (!control) return;
    control->SetRenderEnabled(true);
    RenderLockScope hold(control);
    ApplyToHits(PickAt(point), keyState);
}

void ColorCommand::ApplyToHits(const std::vector<PickableObject*>& hits, uint32_t keyState) {
    BaseControl* control = theControl();
    const size_t n = hits.size();
    if (!control || n < 2) return;
    auto* part = dynamic_cast<Part*>(hits[n - 1]);
    if (!part || !hits[n - 1]->HasType(kPartBit) || !part->material) return;

    const bool alt = (keyState & platform::MK_ALT) != 0;
    const bool ctrl = (keyState & platform::MK_CONTROL) != 0;
    if (alt) {
        if (BaseSlab* slab = SlabOfHits(hits, false)) {
            const double r = ParseColorText(values_[0].c_str());
            const double g = ParseColorText(values_[1].c_str());
            const double b = ParseColorText(values_[2].c_str());
            const double a = ParseColorText(values_[3].c_str());
            ApplyToSlabs(*slab, ctrl, [&](BaseSlab& target) { target.SetColor(r, g, b, a); });
            MouseHandler::ClearModifierFlags();
            return;
        }
        if (hits[n - 2]->HasType(kStairsBit)) {
            auto* stairs = dynamic_cast<Stairs*>(hits[n - 2]);
            if (!stairs || !MayChange(stairs)) return;
            stairs->BeginUndoStep();
            stairs->SetPartColor(ParseColorText(values_[0].c_str()),
                                 ParseColorText(values_[1].c_str()),
                                 ParseColorText(values_[2].c_str()),
                                 ParseColorText(values_[3].c_str()));
            stairs->MarkDirty();
            stairs->EndUndoStep();
            return;
        }
    }

    if (BaseModel* model = part->GetModel(); model && model->animating) {
        control->ShowResourceMessageModal(kVendorLimitsMessage);
        return;
    }
    PickableObject* top = hits[0];
    auto* undoable = dynamic_cast<UndoableObject*>(top);
    if (!undoable || !MayChange(top)) return;
    RenderableObject* owner = part->GetOwnerObject();
    auto* molding = owner && owner->HasType(kMoldingBit) ? dynamic_cast<BaseMolding*>(owner) : nullptr;
    undoable->BeginUndoStep();
    // A molding's colour runs along its linked chain.
    if (molding)
        molding->SetColor(ParseColorText(values_[0].c_str()), ParseColorText(values_[1].c_str()),
                          ParseColorText(values_[2].c_str()), ParseColorText(values_[3].c_str()));
    else
        part->material->SetColorFromText(values_[0].c_str(), values_[1].c_str(),
                                         values_[2].c_str(), values_[3].c_str());
    part->material->modulateTexture = 1;
    if (owner) owner->MarkDirty();
    undoable->EndUndoStep();
}
