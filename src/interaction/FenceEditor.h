#pragma once

#include <cstdint>

#include "interaction/BaseEditor.h"

class Fence;
class PickableObject;
class RenderableObject;

// The mouse mode for fences. In creation mode the first drag on the ground extends an
// existing fence from an end near the press or starts a new one of two posts and drags
// the second. Otherwise it edits the fence under the cursor: a dragged post follows the
// pointer (the end posts of an open fence in 22.5-degree steps about their neighbour
// unless Shift is held), a dragged mid-segment handle moves its segment, Ctrl at the
// release inserts a post on a segment or deletes a post, and the last post dropped onto
// the first closes the fence.
class FenceEditor : public BaseEditor {
public:
    static constexpr int kDrawCursor = 489;
    static constexpr int kCtrlCursor = 477;
    // Shorter new fences are dropped; ends this close to the press are extended.
    static constexpr double kShortest = 10.0;
    static constexpr double kEndReach = 10.0;
    static constexpr double kExtendReach = 50.0;
    static constexpr double kCloseReach = 25.0;

    FenceEditor() = default;
    ~FenceEditor() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnRButtonUp(intptr_t packedPoint) override;
    void Activate() override;
    void SetEditLock(bool locked) override;
    void ReleaseTarget() override;
    bool HandlesObject(PickableObject* object) override;

    // A new fence of exactly two posts closer than kShortest is taken out inside its undo
    // step, and the editor forgets it.
    virtual void DropDegenerate();
    virtual Fence* CreateObject();
    virtual bool IsOwnKind(PickableObject* object);

    Fence* GetFence() const { return fence; }

protected:
    void StartOrExtend();
    PickableObject* Grabbed() const;

    uint64_t showTypeMask = 0;
    Fence* fence = nullptr;
    uint32_t grabbedName = 0;
    double pressHeight = 0.0;
    // The open undo group is this editor's (closed at the release).
    bool groupOpen = false;
};
