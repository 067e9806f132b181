#include "interaction/DragDropCommand.h"

#include <strings.h>

#include <cstdio>

#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "interaction/BaseCommandHandler.h"
#include "interaction/FenceCommand.h"
#include "interaction/LightSourceCommand.h"
#include "interaction/MaterialCommand.h"
#include "interaction/ModelCommand.h"
#include "interaction/MoldingProfileCommand.h"
#include "interaction/SlabChildModelCommand.h"
#include "platform/Input.h"

namespace {

bool HasItems(const KeyDataList& description, const char* name) {
    const KeyDataList* list = description.GetSublist(name);
    return list && !list->IsEmpty();
}

bool SaysYes(const KeyDataList& keys, const char* key) {
    const char* value = keys.GetString(key);
    return value && strcasecmp(value, "yes") == 0;
}

}  // namespace

uint64_t SlabModelKindMask(CatalogueKind kind) {
    switch (kind) {
        case CatalogueKind::kInSlabModel:
            return SlabChildModelCommand::kInSlabKind;
        case CatalogueKind::kOnSlabModel:
            return SlabChildModelCommand::kOnSlabKind;
        case CatalogueKind::kAsymmetricModel:
            return SlabChildModelCommand::kAsymmetricKind;
        case CatalogueKind::kSkylightModel:
            return SlabChildModelCommand::kSkylightKind;
        default:
            return 0;
    }
}

CatalogueKind ChooseCatalogueKind(const KeyDataList& description, bool shiftMinus) {
    CatalogueKind kind = CatalogueKind::kNone;
    if (HasItems(description, "Material")) kind = CatalogueKind::kMaterial;
    if (HasItems(description, "Fence")) kind = CatalogueKind::kFence;
    if (HasItems(description, "Column")) kind = CatalogueKind::kColumn;
    if (HasItems(description, "Molding")) kind = CatalogueKind::kMolding;
    if (HasItems(description, "Model")) {
        const KeyDataList& model = *description.GetSublist("Model");
        if (SaysYes(model, "Inslab"))
            kind = CatalogueKind::kInSlabModel;
        else if (!shiftMinus && SaysYes(model, "Onslab"))
            kind = CatalogueKind::kOnSlabModel;
        else if (SaysYes(model, "Asymmetric"))
            kind = CatalogueKind::kAsymmetricModel;
        else if (SaysYes(model, "Skylight"))
            kind = CatalogueKind::kSkylightModel;
        else
            kind = CatalogueKind::kModel;
    }
    if (HasItems(description, "LightSource")) kind = CatalogueKind::kLightSource;
    return kind;
}

const char* CatalogueSublistName(CatalogueKind kind) {
    switch (kind) {
        case CatalogueKind::kMaterial:
            return "Material";
        case CatalogueKind::kFence:
            return "Fence";
        case CatalogueKind::kColumn:
            return "Column";
        case CatalogueKind::kMolding:
            return "Molding";
        case CatalogueKind::kInSlabModel:
        case CatalogueKind::kOnSlabModel:
        case CatalogueKind::kAsymmetricModel:
        case CatalogueKind::kSkylightModel:
        case CatalogueKind::kModel:
            return "Model";
        case CatalogueKind::kLightSource:
            return "LightSource";
        case CatalogueKind::kNone:
            break;
    }
    return "";
}

std::unique_ptr<BaseCommandHandler> MakeCatalogueCommand(KeyDataList& description,
                                                         const char* domain, bool shiftMinus) {
    const CatalogueKind kind = ChooseCatalogueKind(description, shiftMinus);
    if (kind == CatalogueKind::kNone) {
        TraceWrite("Catalogue item of no known kind.");
        return nullptr;
    }
    KeyDataList* item = description.TakeSublist(CatalogueSublistName(kind));
    if (!item) return nullptr;
    switch (kind) {
        case CatalogueKind::kMaterial:
            return std::make_unique<MaterialCommand>(item, domain);
        case CatalogueKind::kInSlabModel:
        case CatalogueKind::kOnSlabModel:
        case CatalogueKind::kAsymmetricModel:
        case CatalogueKind::kSkylightModel:
            return std::make_unique<SlabChildModelCommand>(item, domain, SlabModelKindMask(kind));
        case CatalogueKind::kFence:
        case CatalogueKind::kColumn:
            return std::make_unique<FenceCommand>(item, domain);
        case CatalogueKind::kMolding:
            return std::make_unique<MoldingProfileCommand>(item, domain);
        case CatalogueKind::kLightSource:
            return std::make_unique<LightSourceCommand>(item, domain);
        default:
            return std::make_unique<ModelCommand>(item, domain);
    }
}

DragDropCommand::DragDropCommand(DragDropHandler* target) : target_(target) {}

DragDropCommand::~DragDropCommand() {
    CancelDownload();
}

std::unique_ptr<BaseCommandHandler> DragDropCommand::TakeCommand() {
    return std::move(built_);
}

int DragDropCommand::OnDownloadComplete() {
    if (!PRECONDITION(decompressedFile[0] != '\0', "Decompressed file name empty")) return 1;
    FILE* file = std::fopen(decompressedFile, "rb");
    if (!file) return 1;
    KeyDataList description;
    TraceWrite("ADP brl");
    // What a damaged stream gave before its fault still counts.
    if (!description.ReadBinary(file)) TraceWrite("Catalogue description read in part.");
    TraceWrite("ADP brl");
    std::fclose(file);
    const bool shiftMinus =
        platform::IsKeyDown(platform::VK_SHIFT) && platform::IsKeyDown(platform::VK_OEM_MINUS);
    built_ = MakeCatalogueCommand(description, hostPart, shiftMinus);
    return 1;
}
