#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interaction/BaseCommandHandler.h"

class PickableObject;

// Gives the molding it is dropped on the cross-section profile of a catalogue molding
// item ("urlWithoutDomain", a profile file), in the undo step of the object the molding
// belongs to. A drop on anything else changes nothing.
class MoldingProfileCommand : public BaseCommandHandler {
public:
    static constexpr uint32_t kBeginPrompt = 285;

    // Takes ownership of `keys`, the item's "Molding" list; `domain` is the item's host.
    MoldingProfileCommand(KeyDataList* keys, const char* domain);

    void Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void DragOver(uint32_t, platform::ScreenPoint, uint32_t*) override {}
    void Cancel() override { keys_.reset(); }
    void Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;

    // The work of Drop on the objects of a pick (top-level object first, the innermost
    // part last); the caller holds the render lock. True when a molding took the profile.
    bool ApplyToHits(const std::vector<PickableObject*>& hits);

    const char* GetDomain() const { return domain_; }

private:
    char domain_[kTextSize] = {};
};
