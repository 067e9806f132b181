#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "model/ObjectTypes.h"
#include "model/SelectableObject.h"
#include "model/TopLevelObject.h"

class BoundingBox;
class KeyDataList;
class Outline;

// What a work grid reads of the slab it lies on.
class GridOwner {
public:
    virtual ~GridOwner() = default;
    // The slab's outline: its plane, its normal and the way from the screen onto it.
    virtual const Outline& GetGridOutline() const = 0;
    virtual const BoundingBox& GetGridBounds() const = 0;
    // The radius of the grid's origin handle.
    virtual double GetGridHandleSize() const = 0;
    // The mouse mode that edits the slab.
    virtual int GetGridKindCode() const = 0;
};

// The work grid of a slab: a lattice in the slab's plane through the grid's origin,
// turned by its angle about the slab's normal. Points placed on the slab snap to it.
// It is drawn as faint lines inside a circle over the slab, with a green sphere at its
// origin that can be dragged. Its menu turns it by 45 degrees and makes it coarser or
// finer.
class Grid : public SelectableObject, public TopLevelObject {
public:
    static constexpr uint32_t kRotateCommand = 800;
    static constexpr uint32_t kCoarserCommand = 801;
    static constexpr uint32_t kFinerCommand = 802;
    // The finest spacing: an inch, or a centimetre where lengths show in metric.
    static constexpr double kMinSizeInches = 1.0;
    static constexpr double kMinSizeMetric = 1.0 / 2.54;

    explicit Grid(GridOwner* owner);
    ~Grid() override;

    uint64_t GetTypeMask() const override { return TypeMask::kGridObject; }
    int GetKindCode() const override;
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;

    // Replaces a point of the slab's plane by the nearest point of the lattice.
    void SnapToGrid(Vector& point) const;
    // Moves the origin by a drag from screen point 2 to screen point 1 of the active
    // view; a move that takes it beyond the slab's reach is taken back.
    void DragGridOrigin(int x1, int y1, int x2, int y2);
    // Draws the lines (from the next pass after a change) and the origin handle.
    void Draw();

    // The sublist `name` of `list` with "gridSize", "Locked", "position" and "angle".
    void Write(KeyDataList& list, const char* name) const;
    // Takes the keys that are present; a size that is not a positive number is refused
    // with a trace.
    void Read(const KeyDataList& keys);

    // The spacing that snapping and drawing use: the size, never finer than an inch (a
    // centimetre in metric).
    double GetSpacing() const;
    // An inch, or a centimetre while lengths show in metric.
    static double MinSpacing();
    // The spacing of the drawn lines: at least 5, in whole units.
    int GetLineStep() const;
    // Scene point -> grid coordinates (the slab's plane is z = const there) and back.
    Vector ToGrid(Vector point) const;
    Vector ToScene(Vector point) const;

    GridOwner* owner;
    Vector position{0.0, 0.0, 0.0};
    double size = 1.0;
    // Degrees about the slab's normal, kept in (-45, 45].
    double angle = 0.0;
    int32_t displayList = -1;
    uint8_t rebuild = 1;
    uint8_t shown = 1;

private:
    // The axis and angle (radians) that turn the slab's plane into the x-y plane.
    void PlaneTurn(Vector& axis, double& tilt) const;
    void DrawLines() const;
};
