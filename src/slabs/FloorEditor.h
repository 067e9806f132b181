#pragma once

#include <cstdint>

#include "slabs/SlabEditor.h"

class BaseSlab;
class Window;

// The mouse mode that draws new floors and edits existing ones. While drawing, the
// hover point follows the pointer on the current level (or on top of the floor or the
// ground under it); a drag from a press draws an axis-aligned rectangle, and a release
// with a rectangle narrower than 6.0 on either axis leaves no floor and no undo step.
// While editing, the slab editor drags floors; Q with a press on a floor leaves a raised
// copy, and Ctrl+Up / Ctrl+Down raise or lower the selected floor, every nudge up to the
// release of the last arrow key being one undo step.
class FloorEditor : public SlabEditor {
public:
    static constexpr int kMode = 1;
    static constexpr int kDrawCursor = 468;
    // A drawn rectangle narrower than this on either plan axis is removed.
    static constexpr double kSmallestSide = 6.0;

    FloorEditor() = default;
    ~FloorEditor() override;

    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnKeyDown(unsigned virtualKey) override;
    void SetEditLock(bool locked) override;
    bool HandlesObject(PickableObject* object) override;
    void StartNewSlab() override;
    void TrackDrawingPoint(intptr_t packedPoint) override;

    // Whether the last press left a copy of the pressed floor.
    bool MadeCopy() const { return copyMade != 0; }

protected:
    // Whether the slab this press drew is too small to keep.
    virtual bool IsTooSmall(const BaseSlab& slab) const;
    // The world point under the window pixel; false over the background.
    static bool PointUnder(Window& window, int x, int y, Vector& point);

    // The pick name of the slab this press created; 0 when the press created none.
    uint32_t newSlab = 0;
    uint8_t copyMade = 0;
};
