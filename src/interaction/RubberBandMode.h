#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "interaction/MouseHandler.h"

// Mode 7: a left drag spans a rectangle, and every model or group whose box it covers is
// selected while the rectangle changes (Shift adds to the selection instead of replacing
// it). A click without movement selects the single model or group under the pointer.
class RubberBandMode : public MouseHandler {
public:
    static constexpr int kCursor = 677;
    // What the band selects, and what it never selects (lights).
    static constexpr uint64_t kBandTypes = 0x80008;
    static constexpr uint64_t kNeverTypes = 0x400000;

    void Activate() override;
    void Deactivate() override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;

    // Window points (x, y, 0, 1): the press, (current x, press y), the current point,
    // (press x, current y).
    Vector corners[4];
};
