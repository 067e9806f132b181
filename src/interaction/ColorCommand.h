#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interaction/BaseCommandHandler.h"

// Applies a plain colour, given as a text "color;r;g;b[;a]" (fields separated by ';' or
// ','), to the part it is dropped on, or with Alt to a whole slab (Alt+Ctrl: every slab
// of its kind). A text without red, green and blue applies "1" to all four values; a
// missing fourth value is "1".
class ColorCommand : public BaseCommandHandler {
public:
    static constexpr uint32_t kBeginPrompt = 288;
    static constexpr size_t kColorTextSize = 200;

    explicit ColorCommand(const char* colorText);

    void Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void DragOver(uint32_t, platform::ScreenPoint, uint32_t*) override {}
    void Cancel() override {}
    void Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;

    // The work of Drop on the objects of a pick; the caller holds the render lock.
    void ApplyToHits(const std::vector<PickableObject*>& hits, uint32_t keyState);

    // Red, green, blue and the fourth value as texts.
    const std::string& Value(int i) const { return values_[i]; }

private:
    std::string values_[4];
};
