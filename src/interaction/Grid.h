#pragma once

#include <cstdint>

#include "geometry/Vector.h"
#include "model/ObjectTypes.h"
#include "model/SelectableObject.h"
#include "model/TopLevelObject.h"

class BaseSlab;
class KeyDataList;

// A slab's work grid: a square lattice in the slab's plane, through `position` and
// turned by `angle` degrees about the slab's normal. Points placed on the slab snap to it.
class Grid : public TopLevelObject, public SelectableObject {
public:
    explicit Grid(BaseSlab* owner);

    uint64_t GetTypeMask() const override { return TypeMask::kGridObject; }
    // The kind code of the owner slab.
    int GetKindCode() const override;

    // The lattice point nearest a point of the slab's plane. A grid size that is not a
    // positive finite number snaps with a size of one inch.
    void SnapToGrid(Vector& point) const;

    // A sublist `name` with "gridSize", "Locked", "position" and "angle".
    void Write(KeyDataList& list, const char* name) const;
    // The keys present in `list`; a missing or unreadable key leaves its field.
    void Read(const KeyDataList& list);

    Vector position{0.0, 0.0, 0.0};
    // Inches between lines.
    double size = 1.0;
    // Degrees about the slab normal, in (-45, 45].
    double angle = 0.0;
    // The grid's drawing must be rebuilt.
    uint8_t changed = 1;

private:
    // Not owned.
    BaseSlab* owner;
};
