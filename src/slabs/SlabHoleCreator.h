#pragma once

#include "slabs/EditableSlabChildCreator.h"

// "Draw Hole": draws a hole through a wall, floor, counter or roof. Coverings are left
// out of the press's pick, so the hole is cut into the slab under a covering. With the
// draw-window (GlobalState boolean 31) or draw-door (32) setting, the hole gets a window
// frame or a door leaf; both settings end with the hole or with the mode.
class SlabHoleCreator : public EditableSlabChildCreator {
public:
    static constexpr int kMode = 5;
    static constexpr int kDrawHoleCursor = 513;
    static constexpr int kDrawWindowCursor = 514;
    static constexpr int kDrawDoorCursor = 515;

    SlabHoleCreator();
    ~SlabHoleCreator() override;

    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void Activate() override;
    void Deactivate() override;
    EditableSlabChild* CreateChild(const Vector* corners) override;
    void RefreshChild() override;
};
