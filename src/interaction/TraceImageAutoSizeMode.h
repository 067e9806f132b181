#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "interaction/MouseHandler.h"

class TraceImageModel;

// Scales the active window's trace image from one known length: the user enters the
// length of a wall that the picture shows, then draws a line along that wall's picture
// at the working elevation. The image's scale is multiplied by entered / drawn length,
// as one undo step, and the mode returns to selection whatever happened.
class TraceImageAutoSizeMode : public MouseHandler {
public:
    static constexpr int kCursor = 560;
    static constexpr double kPresetLength = 240.0;
    // Pointer moves a line needs to count.
    static constexpr int kMinimumMoves = 6;
    // Global-state double that keeps the entered length.
    static constexpr int kLengthSlot = 13;
    static constexpr uint32_t kNoImageMessage = 260;
    static constexpr uint32_t kSuccessMessage = 298;
    static constexpr uint32_t kFailureMessage = 299;
    static constexpr uint32_t kPromptString = 312;

    void Activate() override;
    void Deactivate() override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;

    bool IsArmed() const { return armed_ != 0; }
    const Vector& GetStartPoint() const { return start_; }
    const Vector& GetEndPoint() const { return end_; }

private:
    // Where the ray under window point (x, y) meets the working elevation; false where
    // it meets nothing.
    bool ProjectPointer(int x, int y, Vector& out) const;
    // Multiplies the image's scale by entered / drawn length; the message id to show.
    uint32_t ApplyScale(TraceImageModel& image);

    uint8_t armed_ = 0;
    Vector start_;
    Vector end_;
};
