#pragma once

#include <cstdint>

#include "model/ObjectTypes.h"
#include "slabs/SlabHole.h"

class BaseSlab;
class Skylight;

// The lower end of a skylight's light shaft: a hole in the slab the shaft reaches (a
// ceiling, a floor or a wall), its outline the skylight's opening carried down the shaft
// onto that slab, optionally flared. It lives in that slab's hole list and belongs to one
// skylight: it is not edited corner by corner, and moving it moves the skylight.
class ShaftHole : public SlabHole {
public:
    // 15 degrees, the flare of a flared shaft.
    static constexpr double kFlareAngle = 0.2617993877991494;
    // How far below the skylight's lowest point the hole's highest point must stay.
    static constexpr double kClearance = 5.0;

    ShaftHole();
    // Tells a linked skylight that its hole is gone.
    ~ShaftHole() override;

    uint64_t GetTypeMask() const override { return TypeMask::kShaftHole; }

    // Moving the hole moves the skylight (which moves this hole through MoveHoleOnly).
    void MoveBy(const Vector& offset) override;
    void Translate(const Vector& offset) override;
    // Below the skylight by the clearance, then the hole's own rule.
    bool IsPositionValid() override;
    // The hole follows the skylight: no corner editing.
    OutlinePoint* InsertPoint(const ViewProjection& view, int x, int y) override;
    bool RemovePoint(OutlinePoint* node) override;
    void MovePoint(const ViewProjection& view, int x, int y, OutlinePoint* node,
                   bool snap) override;
    OutlinePoint* DragEdge(const ViewProjection& view, int x, int y, int px, int py,
                           OutlinePoint* a, OutlinePoint* b) override;
    // Any drag moves the whole skylight by the pointer's move on the hole's plane.
    void DragPointIn(Window& window, int x, int y, int px, int py, int pickDepth,
                     const Vector& grabOffset, bool constrain, int axis) override;
    // Handles only in the blueprint view of a wall.
    void DrawOutlineHandles() override;
    // The shaft's sides line the opening.
    void RenderReveal() override {}
    // The hole's polygons slanted along the shaft, then the skylight's sides.
    void RebuildGeometry() override;
    // 104 deletes the whole shaft through the skylight.
    bool ProcessPropertyMenu(uint32_t id) override;

    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;

    UndoableObject* GetLinkedObject() const override;
    void SetLinkedObject(UndoableObject* object) override;

    // The hole's own move, without the skylight.
    void MoveHoleOnly(const Vector& offset) { SlabHole::MoveBy(offset); }
    // Carries the skylight's opening down the shaft onto the parent's plane (flared by
    // the flare angle) and rebuilds. False, nothing moved, without a skylight or parent.
    bool ProjectSkylightOutline();
    // Stores the angle (radians), projects again and lets the skylight's opening follow.
    void SetFlareAngle(double radians);
    double GetFlareAngle() const { return flareAngle; }

    Skylight* GetSkylight() const { return skylight; }
    // Only the link; the skylight keeps its own side.
    void SetSkylight(Skylight* owner) { skylight = owner; }

    // A shaft hole on `slab` through the corners (null when the slab is locked or the
    // corners have no area), appended to the slab's hole list.
    static ShaftHole* CreateIn(BaseSlab& slab, const Vector* points, int count);

private:
    Skylight* skylight = nullptr;
    double flareAngle = 0.0;
};
