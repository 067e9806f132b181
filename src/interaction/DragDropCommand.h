#pragma once

#include <cstdint>
#include <memory>

#include "foundation/DownloadableObject.h"

class BaseCommandHandler;
class DragDropHandler;
class KeyDataList;

// The kinds of catalogue item a description can hold, by the command each makes.
enum class CatalogueKind {
    kNone,
    kMaterial,
    kFence,
    kColumn,
    kMolding,
    // Models set into a slab, standing on one, not symmetric about one, or a skylight.
    kInSlabModel,
    kOnSlabModel,
    kAsymmetricModel,
    kSkylightModel,
    kModel,
    kLightSource,
};

// The item a catalogue description stands for: of the kinds it holds (each a non-empty
// sublist), the one latest in the order material, fence, column, molding, model, light.
// A model's kind comes from its first key "Inslab", "Onslab" (not while `shiftMinus`:
// Shift and the minus key held), "Asymmetric" or "Skylight" that says "yes".
CatalogueKind ChooseCatalogueKind(const KeyDataList& description, bool shiftMinus);
// The class mask a slab-model drop command is made with (0 for other kinds).
uint64_t SlabModelKindMask(CatalogueKind kind);
// The name of the description's sublist of that kind ("Material", "Model" ...).
const char* CatalogueSublistName(CatalogueKind kind);
// The drop command for the item: it takes the item's sublist out of `description`.
// Null, with a trace, for a description without a known kind, or for kinds whose
// command is not available.
std::unique_ptr<BaseCommandHandler> MakeCatalogueCommand(KeyDataList& description,
                                                         const char* domain, bool shiftMinus);

// The download of a dragged catalogue item: fetches the item's cabinet on the calling
// thread, reads the description inside it and builds the command of its kind, which the
// drop target then takes and begins.
class DragDropCommand : public DownloadableObject {
public:
    explicit DragDropCommand(DragDropHandler* target);
    ~DragDropCommand() override;

    // Fetches, unpacks and reads `url` on the calling thread; true when it arrived.
    bool DownloadBlocking(const char* address) { return DownloadNow(address); }
    int OnDownloadComplete() override;
    // The command the description made (null when none); the caller owns it.
    std::unique_ptr<BaseCommandHandler> TakeCommand();

private:
    DragDropHandler* target_;
    std::unique_ptr<BaseCommandHandler> built_;
};
