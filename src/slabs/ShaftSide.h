#pragma once

#include <cstdint>

#include "foundation/SlabState.h"
#include "model/ObjectTypes.h"
#include "slabs/BaseSlab.h"

class KeyDataList;
class ShaftHole;
class SlabHole;
class Skylight;

// One wall of a skylight's light shaft: a thin slab from edge i of the shaft hole in the
// slab below up to edge i of the skylight's opening. Sides are top-level objects of the
// scene, so they take materials and children like any slab, but their skylight makes,
// saves, moves and deletes them.
class ShaftSide : public BaseSlab {
public:
    static constexpr double kSideThickness = 3.5;

    // A new side of a shaft being made, from edge `index` of the hole and the opening.
    ShaftSide(ShaftHole* hole, Skylight* skylight, int index);
    // A side being read: its outline comes once the hole is attached.
    ShaftSide(Skylight* skylight, int index);
    // Tells the skylight that the side is gone.
    ~ShaftSide() override;

    uint64_t GetTypeMask() const override { return TypeMask::kShaftSide; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kShaftSide; }
    int GetKindCode() const override { return KindCode::kShaftSide; }

    // "Set Flare Angle" for a rectangular opening, then the slab's entries.
    void BuildPropertyMenu(platform::Menu& menu) override;
    // 104 deletes the whole shaft; 1904-1906 go to the skylight.
    bool ProcessPropertyMenu(uint32_t id) override;
    // The shaft hole's selection or any child's.
    bool IsSelected() const override;
    // Selecting a side selects the shaft hole; deselecting deselects the side as a slab.
    bool SetSelected(bool flag) override;
    // A side leaves the scene only with its skylight.
    bool RemoveFromList(LinkedList& list) override;

    void Render() override;
    // Sides move only with their skylight.
    void Translate(const Vector&) override {}

    // The steps of the slab below and of the roof.
    void BeginUndoStep() override;
    void EndUndoStep() override;
    void CancelUndoStep() override;

    // The skylight moves within the roof's plane and the hole within the bottom's plane;
    // a move that leaves the hole off its slab is taken back.
    void MoveSlabBy(double dx, double dy, double dz, bool constrained) override;
    void RenderOutline();
    // The two faces, mitred with the neighbouring sides.
    void RecomputeBounds() override;
    void UpdateFromPoints(OutlinePoint*) override {}

    // The skylight writes the side's element.
    void WriteKeyData() override {}
    void WriteObjectInformation(std::string&) override {}
    // The side's slab keys into a new "ShaftSide" sublist of `into`.
    void WriteSideKeys(KeyDataList& into);
    // Surface XML for the skylight's bill of materials (see the skylight).
    void WriteSurfaceXml(std::string& buffer, ShaftSide* reference);

    // Stores the hole; with `add`, a side that had no hole joins the scene.
    void SetShaftHole(ShaftHole* hole, bool add);
    void SetSkylight(Skylight* owner);
    // The skylight is going: it owns the side no more.
    void ReleaseSkylight() { skylight = nullptr; opening = nullptr; }
    // The four corners from the hole and the opening, the geometry and the bounds.
    void Rebuild();

    ShaftHole* GetShaftHole() const { return shaftHole; }
    Skylight* GetSkylight() const { return skylight; }
    int GetIndex() const { return index; }

private:
    void ResetSurfaces();
    // The corner of the hole (k 0, 1) or of the opening (k 2, 3), moved through its slab.
    Vector PlaceCorner(const Vector corners[4], int k) const;

    ShaftHole* shaftHole = nullptr;
    Skylight* skylight = nullptr;
    SlabHole* opening = nullptr;
    int index = 0;
    int nextIndex = 0;
    WallState sideState;
};
