#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "interaction/MouseHandler.h"

class KeyDataList;
class PickableObject;

// Picks up the material of a clicked part and puts it on the parts clicked after: the
// first click loads the dropper, the next applies and returns to the selection mode
// (Shift keeps the dropper loaded). With Alt a surface material goes on the whole slab
// (Alt+Ctrl: every slab of its kind). Texture scale is not carried between surface and
// other parts.
class EyeDropperMode : public MouseHandler {
public:
    static constexpr int kEmptyCursor = 546;
    static constexpr int kLoadedCursor = 547;
    // Owners of surface parts: slabs, walls, floors, counters, stairs, moldings.
    static constexpr uint64_t kSurfaceKinds = 0x2060000801ull;

    void Activate() override;
    void Deactivate() override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnSingleClick(intptr_t packedPoint) override;

    // A click on the objects of a pick (top-level object first, the part last), with the
    // modifier keys of the shared input state.
    void ClickHits(const std::vector<PickableObject*>& hits);

    bool IsLoaded() const { return held_ != 0; }
    const KeyDataList* GetHeldMaterial() const { return heldMaterial_.get(); }

private:
    int32_t held_ = 0;
    int32_t sourceKind_ = 0;
    int32_t targetKind_ = 0;
    std::unique_ptr<KeyDataList> heldMaterial_;
};
