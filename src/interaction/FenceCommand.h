#pragma once

#include <cstdint>
#include <vector>

#include "interaction/BaseCommandHandler.h"

class BaseModel;
class PickableObject;

// Restyles the fence or column it is dropped on with the models of a catalogue fence or
// column item: the post ("PostURLWithoutDomain"; a column's post profile), the piece
// between posts ("BetweenPostURLWithoutDomain") and a column's capital and base
// ("columnCapURLWithoutDomain"). A drop on anything else changes nothing.
class FenceCommand : public BaseCommandHandler {
public:
    static constexpr uint32_t kBeginPrompt = 284;

    // Takes ownership of `keys`, the item's "Fence" or "Column" list; `domain` is the
    // item's host.
    FenceCommand(KeyDataList* keys, const char* domain);

    void Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void DragOver(uint32_t, platform::ScreenPoint, uint32_t*) override {}
    void Cancel() override { keys_.reset(); }
    void Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;

    // The work of Drop on the objects of a pick (top-level object first, the innermost
    // part last), in the object's undo step; the caller holds the render lock. True when
    // a fence or column was restyled.
    bool ApplyToHits(const std::vector<PickableObject*>& hits);

    const char* GetDomain() const { return domain_; }

private:
    // "http://<domain>/<relative>" of the key's value; empty without the key.
    std::string AddressOf(const char* key) const;
    // A model loaded from the description at `address`; null when that gave no model.
    static BaseModel* LoadModel(const std::string& address);

    char domain_[kTextSize] = {};
};
