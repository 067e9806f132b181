#pragma once

#include <cstdint>
#include <memory>

#include "geometry/Vector.h"
#include "interaction/BaseEditor.h"

class MoveableObject;
class OffScreenWindow;
class UndoableObject;

// Mode 0, the default mode: selects and moves placed models, groups, lights, trace
// images and the camera icon, lifts them, resizes models by their grips or with Alt,
// and copies a model dragged with 'Q' held. A press on a rotation handle goes to the
// model rotater. Every drag is one undo group, closed however the drag ends: by the
// release, by the right button, by a change of mode or by the object going.
class ModelEditor : public BaseEditor {
public:
    static constexpr int kRotaterMode = 6;
    // Pixels of drag per per cent of scale.
    static constexpr double kScalePerPixel = 0.01;
    // Above this camera pitch (degrees) the drag follows the ground, else the view plane.
    static constexpr double kLevelPitch = 15.0;

    ModelEditor() = default;
    ~ModelEditor() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    // A right press ends the drag (its undo group is closed).
    void OnRButtonDown(intptr_t packedPoint) override;
    void Activate() override;
    // A drag still running is closed.
    void Deactivate() override;
    // The drag (closed first) and the edited object are forgotten.
    void ReleaseTarget() override;
    // Nothing, base models, groups and the camera icon.
    bool HandlesObject(PickableObject* object) override;

    // One step of the drag from the previous to the current point.
    void DragSelection();

    MoveableObject* GetDraggedObject() const { return dragged; }
    const Vector& GetGrabOffset() const { return grabOffset; }
    int GetGripNumber() const { return gripNumber; }
    bool HasDepthSnapshot() const { return snapshotWidth > 0; }

private:
    // Ends the undo step and group the press opened; with `keep` false the step is
    // dropped instead (nothing changed). Nothing when none is open.
    void CloseDrag(bool keep);
    // The depth of the scene without the dragged object, read from the off-screen buffer
    // within the active window's size. False when there is no buffer.
    bool TakeDepthSnapshot(SelectableObject& object);
    // The snapshot's depth at window point (x, y) (y from the top); false outside it or
    // where it saw the background.
    bool SnapshotDepth(int x, int y, double& depth) const;
    // The object's new place for a move step; false when the step moves nothing.
    bool MoveTarget(int x, int y, Vector& target);
    void ResizeStep(int x, int y, int px, int py);

    MoveableObject* dragged = nullptr;
    Vector grabOffset;
    OffScreenWindow* offScreen = nullptr;
    std::unique_ptr<float[]> snapshot;
    int snapshotWidth = 0;
    int snapshotHeight = 0;
    uint8_t savedLightFlag = 0;
    int32_t gripAxis = 0;
    int32_t gripNumber = 0;
    // The object whose undo step the press opened, by pick name (it may go meanwhile),
    // and whether the press's undo group is open.
    uint32_t stepObject = 0;
    bool groupOpen = false;
    // The press copied the object with 'Q'.
    bool copied = false;
};
