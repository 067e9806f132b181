#include "interaction/FenceCommand.h"

#include <cstdio>
#include <string>

#include "building/Column.h"
#include "building/Fence.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "model/Model.h"
#include "model/ObjectTypes.h"
#include "model/Part.h"

FenceCommand::FenceCommand(KeyDataList* keys, const char* domain) : BaseCommandHandler(keys) {
    std::snprintf(domain_, sizeof domain_, "%s", domain ? domain : "");
}

void FenceCommand::Begin(uint32_t, platform::ScreenPoint, uint32_t*) {
    Prompt(kBeginPrompt, ActiveMouseWindow());
}

std::string FenceCommand::AddressOf(const char* key) const {
    const char* relative = keys_ ? keys_->GetString(key) : nullptr;
    if (!relative || !*relative) return std::string();
    return std::string("http://") + domain_ + "/" + relative;
}

BaseModel* FenceCommand::LoadModel(const std::string& address) {
    auto* model = new Model;
    model->LoadDescription(address.c_str());
    if (model->GetURL()[0] == '\0') {
        theTrace().WriteFormat("No model from %s", address.c_str());
        delete model;
        return nullptr;
    }
    return model;
}

void FenceCommand::Drop(uint32_t, platform::ScreenPoint point, uint32_t*) {
    BaseControl* control = theControl();
    if (control) {
        control->SetRenderEnabled(true);
        RenderLockScope hold(control);
        ApplyToHits(PickAt(point));
    }
    keys_.reset();
}

bool FenceCommand::ApplyToHits(const std::vector<PickableObject*>& hits) {
    if (!keys_ || hits.size() < 2 || !hits[0]->HasType(TypeBit::kFence)) return false;
    auto* fence = dynamic_cast<Fence*>(hits[0]);
    if (!fence) return false;
    auto* column = hits[0]->HasType(TypeBit::kColumn) ? dynamic_cast<Column*>(fence) : nullptr;

    const std::string post = AddressOf("PostURLWithoutDomain");
    const std::string between = AddressOf("BetweenPostURLWithoutDomain");
    const std::string cap = column ? AddressOf("columnCapURLWithoutDomain") : std::string();
    if (post.empty() && between.empty() && cap.empty()) {
        TraceWrite("Fence item without models.");
        return false;
    }

    fence->BeginUndoStep();
    if (!post.empty()) {
        if (column) {
            column->SetPostProfileFromURL(post.c_str());
        } else if (BaseModel* model = LoadModel(post)) {
            fence->SetPostModel(model);
        }
    }
    if (!between.empty())
        if (BaseModel* model = LoadModel(between)) fence->SetBetweenPostModel(model);
    if (!cap.empty()) {
        // A drop on the capital changes the capital only, on the base the base only.
        bool onCap = false;
        bool onBase = false;
        for (size_t i = 1; i < hits.size(); ++i) {
            const BaseModel* hit = dynamic_cast<BaseModel*>(hits[i]);
            if (auto* part = dynamic_cast<Part*>(hits[i]); part && !hit) hit = part->GetModel();
            if (!hit) continue;
            onCap = onCap || hit == column->GetCapModel();
            onBase = onBase || hit == column->GetBaseModel();
        }
        if (!onBase)
            if (BaseModel* model = LoadModel(cap)) column->SetCapModel(model);
        if (!onCap)
            if (BaseModel* model = LoadModel(cap)) column->SetBaseModel(model);
    }
    fence->MarkDirty();
    fence->EndUndoStep();
    return true;
}
