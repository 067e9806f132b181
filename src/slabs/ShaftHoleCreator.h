#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "slabs/SlabHoleCreator.h"

class BaseSlab;
class ShaftHole;
class Skylight;

// The mode that completes a skylight's "Create Shaft": one click on the surface the shaft
// is to reach (a ceiling, floor or wall other than the skylight's roof) cuts the shaft
// hole there and lines the shaft with its sides. The skylight and the shaft's direction
// are handed over by the skylight's command before the mode starts.
class ShaftHoleCreator : public SlabHoleCreator {
public:
    static constexpr int kMode = 30;
    static constexpr uint32_t kHintMessage = 264;
    static constexpr uint32_t kNotWallOrFloor = 265;
    static constexpr uint32_t kOwnRoof = 266;
    static constexpr uint32_t kNotBelow = 267;
    static constexpr uint32_t kVerticalOnWall = 268;
    static constexpr uint32_t kDoesNotFit = 269;
    static constexpr uint32_t kLockedSurface = 270;
    // How far the slab's top may come above the skylight's top.
    static constexpr double kHeightReach = 5.0;

    ShaftHoleCreator();
    ~ShaftHoleCreator() override;

    // No rubber rectangle: the press, the moves and the release are the base handler's.
    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    // The slab under the click becomes the shaft's bottom.
    void OnSingleClick(intptr_t packedPoint) override;
    void Activate() override;
    void Deactivate() override;
    void ReleaseTarget() override;
    EditableSlabChild* CreateChild(const Vector* corners) override;

    // The skylight whose shaft is drawn and the shaft type (1900, 1901, 1902).
    void SetSkylight(Skylight* skylight, int type);
    // Builds the shaft down to `bottom` inside one undo group: true when the skylight
    // has its shaft; otherwise the user is told why, nothing is left behind and every
    // step and the group are closed.
    bool BuildShaft(BaseSlab* bottom);

    Skylight* GetSkylight() const { return skylight; }
    int GetShaftType() const { return shaftType; }

private:
    // Shows string `id` in an information box with `caption`.
    static void Inform(uint32_t id, const char* caption);

    Skylight* skylight = nullptr;
    // The roof drawn see-through while the mode runs; made opaque again when it ends,
    // whatever released the skylight meanwhile.
    BaseSlab* seeThroughSlab = nullptr;
    BaseSlab* bottomSlab = nullptr;
    ShaftHole* created = nullptr;
    Vector lastPoint{-1.0, -1.0, -1.0};
    int shaftType = 1901;
};
