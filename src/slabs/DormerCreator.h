#pragma once

#include "slabs/SlabHoleCreator.h"

// "Draw Dormer": draws a dormer as a rectangle on a roof plane. A press on any other
// slab draws nothing.
class DormerCreator : public SlabHoleCreator {
public:
    static constexpr int kMode = 22;

    DormerCreator();
    ~DormerCreator() override;

    void OnLButtonDown(intptr_t packedPoint) override;
    void OnMouseMove(intptr_t packedPoint) override;
    void Activate() override;
    void ReleaseTarget() override;
    bool HandlesObject(PickableObject* object) override;
    EditableSlabChild* CreateChild(const Vector* corners) override;
};
