#pragma once

#include "slabs/EditableSlabChildCreator.h"

// "Draw Material": draws a covering on a face of a wall, floor, counter or roof.
class SlabCoveringCreator : public EditableSlabChildCreator {
public:
    static constexpr int kMode = 4;
    static constexpr int kDrawMaterialCursor = 516;

    SlabCoveringCreator();
    ~SlabCoveringCreator() override;

    void Activate() override;
    EditableSlabChild* CreateChild(const Vector* corners) override;
    void RefreshChild() override;
};
