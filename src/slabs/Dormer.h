#pragma once

#include <cstdint>
#include <string>

#include "foundation/Transaction.h"
#include "model/ObjectTypes.h"
#include "slabs/SlabHole.h"

class DormerWall;
class KeyDataList;
class Roof;

// An opening in a roof plane with three walls standing on the roof around it: two
// triangular side walls and a front wall. The hole cuts the roof and is edited corner by
// corner; the dormer builds its walls from the corners of its outline, moves them with
// the outline and writes them in its own element.
//
// A new dormer is in outline mode: its outline is edited and the walls it would get are
// shown as lines. Leaving outline mode the first time builds the walls; from then on each
// toggle only switches whether the outline is edited.
//
// The walls stand in the scene list and point back to the dormer. A destroyed wall
// clears its slot (ForgetWall); a destroyed dormer takes its remaining walls out of the
// scene and destroys them, so no wall is left pointing at it.
class Dormer : public SlabHole {
public:
    static constexpr int kWalls = 3;
    // Outline corners that differ by less than this in height are level.
    static constexpr double kLevelTolerance = 0.001;
    // How far the sides' back corners reach below the roof surface.
    static constexpr double kFootDepth = 0.25;

    Dormer();
    ~Dormer() override;

    uint64_t GetTypeMask() const override { return TypeMask::kDormer; }

    // ---- selection, menu and lists ----
    // Also while one of its walls is selected.
    bool IsSelected() const override;
    // Deselecting a selected dormer toggles its option.
    bool SetSelected(bool flag) override;
    // "Delete" (104) takes the dormer out of its roof once and hands it to the deleted
    // list; a refused removal leaves it in place. Other commands are the hole's.
    bool ProcessPropertyMenu(uint32_t id) override;
    // Refused while a wall is locked (the roof is); a selected wall is deleted alone and
    // the dormer stays. Otherwise the walls are destroyed and the dormer leaves its roof.
    bool RemoveFromList(LinkedList& list) override;
    // A dormer is not copied.
    RenderableObject* Clone() override;

    // ---- moves ----
    void TranslateWithAttached(const Vector& offset) override;
    // The hole's move; the walls follow when the result is valid, else the hole goes
    // back.
    void MoveBy(const Vector& offset) override;
    // The drag of an outline edge: the walls follow the dragged edge.
    OutlinePoint* DragEdge(const ViewProjection& view, int x, int y, int px, int py,
                           OutlinePoint* a, OutlinePoint* b) override;
    // The drag of the whole dormer between two screen points on its plane; mode 1 keeps
    // the part along the roof's slope, mode 2 the part across it.
    void DragOnRoof(const ViewProjection& view, int x1, int y1, int x2, int y2, bool flag,
                    int mode);

    // ---- key data ----
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;
    void WriteObjectInformation(std::string& buffer) override;

    // ---- drawing ----
    void DrawOutlineHandles() override;
    // The move handles show in outline mode only.
    void RenderFaceMarkers() override;
    // The walls to come as lines, in outline mode.
    void DrawWallPreview();

    // ---- walls ----
    void ToggleOption();
    void FindCornerIndices();
    void BuildWalls();
    void BuildWall(int i);
    // The wall is going: its slot is cleared.
    void ForgetWall(DormerWall* wall);
    // Every wall leaves the scene and is destroyed (the roof is going).
    void DropWalls();
    // A wall taken away by undo: the wall with that transaction id leaves the scene and
    // is destroyed. False when no wall has it.
    bool RemoveWallById(TransactionId id);

    DormerWall* GetWall(int i) const { return i >= 0 && i < kWalls ? walls[i] : nullptr; }
    bool IsOutlineMode() const { return outlineMode != 0; }
    bool AreWallsBuilt() const { return wallsBuilt != 0; }
    // Upper corner 0, low corner A, upper corner 2, low corner B; -1 when not found.
    int GetCornerIndex(int i) const { return i >= 0 && i < 4 ? corners[i] : -1; }
    Roof* GetRoof() const;

private:
    // The wall leaves the scene and is destroyed (to the deleted list when there is a
    // control); its slot is cleared.
    void DestroyWall(int i);
    Vector CornerPosition(int i) const;

    DormerWall* walls[kWalls] = {};
    uint8_t outlineMode = 1;
    uint8_t wallsBuilt = 0;
    int32_t corners[4] = {-1, -1, -1, -1};
};

// A new, empty dormer for a roof's child list.
SlabHole* MakeDormer();
