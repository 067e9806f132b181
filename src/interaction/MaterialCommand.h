#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "interaction/BaseCommandHandler.h"

class BaseSlab;
class PickableObject;

// Applies a catalogue material to what it is dropped on: one part of an object, a whole
// wall or slab (Alt), every slab of the same kind (Alt+Ctrl), or a spotlight, whose
// projected picture it becomes. Locked objects change only when the user agrees.
class MaterialCommand : public BaseCommandHandler {
public:
    static constexpr uint32_t kBeginPrompt = 286;

    // Takes ownership of `keys`, the item's "Material" list; `domain` is the item's host.
    MaterialCommand(KeyDataList* keys, const char* domain);

    void Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void DragOver(uint32_t, platform::ScreenPoint, uint32_t*) override {}
    void Cancel() override {}
    void Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;

    // The work of Drop on the objects of a pick (top-level object first, the innermost
    // part last); the caller holds the render lock.
    void ApplyToHits(const std::vector<PickableObject*>& hits, uint32_t keyState);

    // Set when the material comes with a paint colour: its object information travels as
    // the material's paint information.
    void SetPaint(bool paint) { paint_ = paint; }
    const char* GetDomain() const { return domain_; }

private:
    // The key list with the domain of its relative addresses.
    void AddDomainKeys();

    char domain_[kTextSize] = {};
    bool paint_ = false;
};

// The slab under a part, as a pick gives it: hit n-2 when it is a slab, else hit n-3
// when `deeper` and there is one; null when neither is.
BaseSlab* SlabOfHits(const std::vector<PickableObject*>& hits, bool deeper);
// Runs `apply` on `slab`, or with Ctrl on every slab of the scene whose type mask equals
// the slab's, each in its own undo step; locked slabs only after the user agreed. False
// when the user cancelled.
bool ApplyToSlabs(BaseSlab& slab, bool everySlabOfKind,
                  const std::function<void(BaseSlab&)>& apply);
// Whether `object` may change: unlocked, or the user answered Yes to the locked-object
// question.
bool MayChange(PickableObject* object);
