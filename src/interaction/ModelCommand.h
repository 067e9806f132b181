#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "interaction/BaseCommandHandler.h"
#include "platform/Thread.h"

class Model;

// Places a free-standing catalogue model dragged into a view: the model joins the scene
// as the drag enters, follows the surface under the pointer (snapping unless Shift is
// held or snapping is off) and is selected and recorded as created when dropped. A model
// naming a sub-object slot becomes the sub-object of a model with that slot it is
// dropped on.
class ModelCommand : public BaseCommandHandler, public BaseModelCommand {
public:
    // Takes ownership of `keys`, the item's "Model" list; `domain` is the item's host.
    ModelCommand(KeyDataList* keys, const char* domain);
    ~ModelCommand() override;

    void Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void DragOver(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void Cancel() override;
    void Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;

    Model* GetModel() const { return model_; }
    const char* GetSubObjectName() const { return subObjectName_; }
    const char* GetDomain() const { return domain_; }

private:
    void RestorePriority();
    // Snaps the model when snapping is on, Shift is up and the view is no elevation.
    void Snap(uint32_t keyState);

    char domain_[kTextSize] = {};
    platform::ThreadPriority savedPriority_ = platform::ThreadPriority::Normal;
    // In the scene from Begin until Cancel; null when the drop was refused.
    Model* model_ = nullptr;
    bool priorityChanged_ = false;
    Vector lastDropPoint_;
    bool hasDropPoint_ = false;
    char subObjectName_[kTextSize] = {};
    bool dropped_ = false;
};
