#pragma once

#include <cstdint>

#include "interaction/BaseCommandHandler.h"

class LightSource;

// Inserts a catalogue light: it joins the scene as the drag enters, follows the pointer
// at a fixed height and is recorded as created when dropped; a drag that leaves takes it
// out again.
class LightSourceCommand : public BaseCommandHandler {
public:
    // The height at which the light follows the pointer.
    static constexpr double kHeight = 200.0;

    // Takes ownership of `keys`, the item's "LightSource" list; `domain` is the item's host.
    LightSourceCommand(KeyDataList* keys, const char* domain);
    // A light neither dropped nor cancelled leaves the scene.
    ~LightSourceCommand() override;

    void Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void DragOver(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void Cancel() override;
    void Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;

    LightSource* GetLight() const { return light_; }
    const char* GetDomain() const { return domain_; }

private:
    // Moves the light to where the pointer's ray meets the plane at kHeight.
    void Follow(platform::ScreenPoint point);

    char domain_[kTextSize] = {};
    // In the scene from Begin until Cancel or Drop.
    LightSource* light_ = nullptr;
};
