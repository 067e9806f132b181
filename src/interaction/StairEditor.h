#pragma once

#include <cstdint>
#include <vector>

#include "geometry/Vector.h"
#include "interaction/BaseEditor.h"

class Stairs;
class PickableObject;

// The mouse mode that draws and edits stairs. Drawing: a press fixes the middle of the
// bottom edge, the drag stretches a rectangle of the default width towards the pointer
// (its direction in 45-degree steps unless Shift is held), the release ends the drawing.
// Editing a selected stair: its corners, sides, start handle (turns the whole stair),
// height handle, the control's altitude handle, the arrow (turns the direction) and its
// parts (move it); Ctrl at the release deletes a grabbed corner or inserts one on a part;
// Ctrl with the arrow keys nudges the selected stairs.
class StairEditor : public BaseEditor {
public:
    static constexpr int kDrawCursor = 491;
    static constexpr int kCtrlCursor = 477;
    // Height-handle snapping reaches this far from a floor level.
    static constexpr double kLevelReach = 15.0;

    StairEditor() = default;
    ~StairEditor() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnLButtonDblClk(intptr_t packedPoint) override;
    void OnSingleClick(intptr_t packedPoint) override;
    void OnKeyDown(unsigned virtualKey) override;
    void OnKeyUp(unsigned virtualKey) override;
    void Activate() override;
    void Deactivate() override;
    void SetEditLock(bool locked) override;
    void ReleaseTarget() override;
    bool HandlesObject(PickableObject* object) override;

    Stairs* GetStairs() const { return stairs; }

private:
    void StartNewStair();
    // The grabbed handle, looked up by its pick name (null once it went).
    PickableObject* Grabbed() const;
    // The pointer's angle about turnCentre on its horizontal plane; false when the ray
    // misses that plane.
    bool PointerAngle(int x, int y, double& angle) const;
    // Closes the undo steps of the open nudge as one group.
    void CloseStairNudge();

    Stairs* stairs = nullptr;
    uint32_t grabbedName = 0;
    double turnAngle = 0.0;
    Vector turnCentre;
    uint64_t pendingTypeMask = 0;
    // The height at which a grabbed part is dragged.
    double grabHeight = 0.0;
    bool nudging = false;
    std::vector<uint32_t> nudgedStairs;
};
