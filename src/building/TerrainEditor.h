#pragma once

#include <cstdint>

#include "interaction/BaseEditor.h"

class TerrainNode;
class Terrain;
class Window;

// The mouse mode that shapes the ground. A press on a node handle picks the node and a
// drag lifts or lowers it (its neighbours follow within the slope limit); a drag on bare
// ground draws a band that selects the nodes inside it, and a later drag that starts in
// the band (or with Shift) lifts or lowers them together. Each drag is one undo step.
class TerrainEditor : public BaseEditor {
public:
    TerrainEditor() = default;
    ~TerrainEditor() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    // Clears the selection, shows the node handles, makes the ground pickable and
    // switches the main view to perspective.
    void Activate() override;
    // Hides the handles; a drag still open is ended as its undo step.
    void Deactivate() override;

    // How far the cursor moved the dragged node (or the band's nodes) up since the
    // previous mouse position.
    double GetDragAmount();
    bool IsCursorInBand();
    void UpdateBand();

    TerrainNode* GetDraggedNode() const { return draggedNode; }
    bool IsGroupDragArmed() const { return groupDrag != 0; }

private:
    static Terrain* GetTerrain();
    // Closes the terrain's open step inside an undo group.
    void EndStep();

    TerrainNode* draggedNode = nullptr;
    int32_t unused[4] = {};
    uint8_t groupDrag = 0;
};
