#pragma once

#include <cstdint>
#include <vector>

#include "interaction/BaseCommandHandler.h"
#include "platform/Thread.h"

class BaseModel;
class BaseSlab;
class PickableObject;
class SlabChildModel;

// Brings a catalogue door, window, skylight or other slab-bound model into a wall,
// floor, counter or roof: while the drag moves over the view the model is attached to
// the slab under the pointer (inside an undo step of that slab) and follows it; a drop
// keeps it there, or hands it to a model as a named sub-object; anything else takes it
// out and frees it. The slab's step is ended or cancelled on every path.
class SlabChildModelCommand : public BaseCommandHandler {
public:
    static constexpr uint32_t kOnSlabPrompt = 281;
    static constexpr uint32_t kBlueprintPrompt = 282;
    static constexpr uint32_t kInSlabPrompt = 283;
    static constexpr double kSnapDistance = 6.0;
    // The mask bits that choose the model's class.
    static constexpr uint64_t kInSlabKind = 0x10;
    static constexpr uint64_t kOnSlabKind = 0x20;
    static constexpr uint64_t kAsymmetricKind = 0x2000000;
    static constexpr uint64_t kSkylightKind = 0x100000000ull;

    // Takes ownership of `keys`, the item's "Model" list.
    SlabChildModelCommand(KeyDataList* keys, const char* domain, uint64_t kindMask);
    // A command that ends without Cancel or Drop cancels.
    ~SlabChildModelCommand() override;

    void Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void DragOver(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void Cancel() override;
    void Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;

    // The drag over the objects `hits` of the pick at client point (x, y) (the top-level
    // object first), render lock held: what DragOver does once it has picked.
    void DragOverHits(const std::vector<PickableObject*>& hits, int x, int y, bool shift,
                      uint32_t* effect);
    // The drop once the sub-object target (a model, or null) is known: keeps the model
    // on its slab when its place is valid, else frees it.
    void DropOn(BaseModel* subObjectTarget);
    // Whether the model may go into the target at the pick's second object.
    bool CanPlace(PickableObject* second, bool shift) const;
    void MoveTo(int x, int y, bool shift);
    // On a counter, an in-slab model whose place is not valid is turned in steps of 45
    // degrees to the first valid place.
    void FitOnCounter();

    SlabChildModel* GetModel() const { return model_; }
    BaseSlab* GetTarget() const { return target_; }
    uint64_t GetKindMask() const { return kindMask_; }
    const char* GetSubObjectName() const { return subObjectName_; }
    const char* GetDomain() const { return domain_; }

private:
    // The model leaves the target, whose step is cancelled; no target then.
    void LeaveTarget();
    // Waits for the model's download and frees it (it is in no list).
    void FreeModel();
    void RestorePriority();
    bool InBlueprint() const;

    char domain_[kTextSize] = {};
    char subObjectName_[kTextSize] = {};
    platform::ThreadPriority savedPriority_ = platform::ThreadPriority::Normal;
    bool priorityChanged_ = false;
    SlabChildModel* model_ = nullptr;
    BaseSlab* target_ = nullptr;
    uint64_t kindMask_ = 0;
    bool ended_ = false;
};
