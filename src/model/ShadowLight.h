#pragma once

#include <cstdint>

class RenderableObject;

// A light as objects that move or change see it: when an object changes inside the
// volume a light casts shadows in, that light must rebuild its shadow data.
class ShadowLight {
public:
    virtual ~ShadowLight() = default;

    // The light's shadow value: 1.0 for a light that casts shadows (a positional one).
    virtual double GetShadowValue() const = 0;
    // Whether the light's lit volume overlaps the object.
    virtual bool OverlapsObject(const RenderableObject& object) const = 0;
    // Asks the light to rebuild its shadow data at its next pass.
    virtual void FlagForRebuild() = 0;
    // Switches the light's OpenGL light on for the frame, taking the next light number;
    // and off again.
    virtual void SwitchOn(uint32_t& nextLight) {}
    virtual void SwitchOff() {}
};
