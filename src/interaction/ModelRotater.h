#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "interaction/BaseEditor.h"

class BaseRotationHandle;
class RenderableObject;

// Mode 6: turns a model, group, text, light or slab child by dragging one of its
// rotation handles, in 22.5-degree steps unless Shift is held (lights always turn
// freely); a press on the camera icon's arrow aims the main view. One drag is one undo
// group, closed however the drag ends.
class ModelRotater : public BaseEditor {
public:
    static constexpr double kSnapStep = 22.5;
    // Below this |axis . view| the handle's plane is seen edge-on (15 degrees).
    static constexpr double kEdgeOnLimit = 0.2617993877991494;
    static constexpr int kRotateCursor = 478;

    ModelRotater() = default;
    ~ModelRotater() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    // Ends the turn: the turn so far stays and its undo group is closed.
    void OnRButtonDown(intptr_t packedPoint) override;
    void Activate() override;
    // A turn still running is closed.
    void Deactivate() override;
    void ReleaseTarget() override;
    // The model editor's test.
    bool HandlesObject(PickableObject* object) override;

    // One step of the drag.
    void RotateDrag();

    RenderableObject* GetRotatedObject() const { return rotated; }
    BaseRotationHandle* GetHandle() const;
    double GetAccumulatedAngle() const { return accumulated; }
    double GetLastAngle() const { return lastAngle; }

private:
    // Closes the step(s) and the group the press opened; with `keep` false the steps
    // are dropped.
    void CloseTurn(bool keep);

    RenderableObject* rotated = nullptr;
    double accumulated = 0.0;
    double savedSlabAngle = 0.0;
    Vector startVector;
    Vector currentVector;
    double lastAngle = 0.0;
    // By pick name: the handle goes with its owner.
    uint32_t handleName = 0;
    uint8_t savedLightFlag = 0;
    // The objects whose undo steps the press opened (the object, a skylight's hole),
    // by pick name, and whether the group is open.
    uint32_t stepObjects[2] = {0, 0};
    bool groupOpen = false;
};
