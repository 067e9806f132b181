#pragma once

#include <cstdint>

#include "interaction/BaseEditor.h"

class BaseSlab;
class SlabMolding;

// The mouse mode that draws a molding along a face of a slab: press on the face, drag
// along it, release. Each drawing makes one slab molding with the profile kind of the
// molding defaults, kept on the slab's edges unless Shift or Q is held. The drawing is one
// undo step of the slab, inside one undo group.
class MoldingEditor : public BaseEditor {
public:
    MoldingEditor() = default;
    ~MoldingEditor() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnLButtonDblClk(intptr_t packedPoint) override;
    void Activate() override;
    void Deactivate() override;
    void ReleaseTarget() override;
    bool HandlesObject(PickableObject* object) override;

    SlabMolding* GetMolding() const { return molding; }
    // Whether the one-time tip is still to come in this run.
    static bool TipPending();
    static void ResetTip();

private:
    // Makes the molding at the press point on the parent's picked face.
    void StartMolding();

    uint64_t pendingHidden = 0;
    SlabMolding* molding = nullptr;
    BaseSlab* slab = nullptr;
    void* third = nullptr;
};
