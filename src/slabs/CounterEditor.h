#pragma once

#include "slabs/FloorEditor.h"

// The mouse mode that draws new counters and edits existing ones. A counter starts 1.0
// above the surface under the press and is drawn as a floor's rectangle is; one whose box
// diagonal is below 4.0 at the release is removed. Presses with Q and Ctrl+arrow keys
// work on floors only, as in the floor editor.
class CounterEditor : public FloorEditor {
public:
    static constexpr int kMode = 10;
    static constexpr double kSmallestDiagonal = 4.0;

    CounterEditor() = default;
    ~CounterEditor() override;

    bool HandlesObject(PickableObject* object) override;
    void StartNewSlab() override;
    void TrackDrawingPoint(intptr_t packedPoint) override;

protected:
    bool IsTooSmall(const BaseSlab& slab) const override;
};
