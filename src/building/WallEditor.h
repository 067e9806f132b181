#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "slabs/SlabEditor.h"

class Wall;

// The mouse mode that draws new walls and edits existing ones.
//
// Drawing (the edit lock set): a stroke starts a wall at the hover point on its first
// drag move; its begin links to a free wall end within 25.0, its end follows the pointer
// in 15-degree turns and whole lengths, and the release links the end to a nearby wall
// end. Successive strokes thus draw a chain; when a chain of exterior walls closes into
// a loop, the loop gets its floor. A stroke that leaves a wall shorter than 1.0 leaves
// no wall and no undo step.
//
// Editing: a drag of a wall's end moves that end (a linked end only with Alt, which
// unlinks it); Alt on a surface frees the wall from both neighbours. The whole edit is
// one undo group.
class WallEditor : public SlabEditor {
public:
    // Ends closer than this link; hover points snap to free ends within it.
    static constexpr double kLinkDistance = 25.0;
    // A wall stands on the current level when its lowest point lies this close to it.
    static constexpr double kLevelTolerance = 1.0;
    // A wall shorter than this at a release is removed.
    static constexpr double kMinimumLength = 1.0;
    // Drawing cursors by linked and interior walls, and the cursor over a free wall end.
    static constexpr int kLinkedInteriorCursor = 516;
    static constexpr int kLinkedExteriorCursor = 515;
    static constexpr int kUnlinkedInteriorCursor = 514;
    static constexpr int kUnlinkedExteriorCursor = 517;
    static constexpr int kNearWallEndCursor = 558;

    WallEditor() = default;
    ~WallEditor() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnLButtonDblClk(intptr_t packedPoint) override;
    void OnKeyDown(unsigned virtualKey) override;
    void OnKeyUp(unsigned virtualKey) override;
    // 1 draws walls, 0 edits them.
    void SetEditLock(bool locked) override;
    // Nothing while drawing; otherwise walls (and no object at all).
    bool HandlesObject(PickableObject* object) override;
    // Starts a wall at the hover point (StartNewWall).
    void StartNewSlab() override;
    // The hover point on the current level, snapped to a free wall end under the cursor.
    void TrackDrawingPoint(intptr_t packedPoint) override;

    // Whether a free end of another linkable wall on the point's level lies within 25.0
    // (horizontally); only while linked walls are drawn or Shift is held.
    bool IsNearFreeWallEnd(const Vector& point) const;
    // The drawing cursor of the wall kind being drawn.
    void ChooseDrawCursor();

    Wall* GetEditedWall() const;
    bool IsWallDrag() const { return wallDrag != 0; }

private:
    // Links the new wall's begin to the nearest free end within reach; true when linked.
    bool LinkNewWallBegin(Wall& wall, const Vector& start);
    // The release's linking walk; true when it stopped before the end of the scene.
    bool LinkReleasedWall(Wall& wall);
    // Takes a wall shorter than the minimum out of the scene and closes its edit.
    void RemoveShortWall(Wall& wall);

    // 1: dragged ends keep their links (the wall's own end drag); 0: the slab's drag.
    uint8_t wallDrag = 1;
};
