#pragma once

#include <cstdint>

#include "model/MoveableObject.h"

class BoundingBox;
class KeyDataList;
class RenderableObject;
class Wall;

// A moved object that jumps into contact with what is near it: corner to corner with
// other snappable objects, or flush against a wall's face and then corner to corner with
// the objects already on that side of the wall. The modes that move objects call the two
// snap operations with a snap distance after each move.
//
// The corners of an object are its GetCorners points (world space); its centre is the
// position plus the middle of its box.
class SnappableObject : public MoveableObject {
public:
    enum SnapMode : int32_t { kSnapNone = 0, kSnapFloorObjects = 1, kSnapSlabObjects = 2 };

    SnappableObject() = default;

    // Finds the object's renderable part; called once the object is complete.
    void AttachRenderable();
    // "canBeSnappedTo": "none" or "slabObjects"; anything else leaves the mode.
    void ReadSnapMode(const KeyDataList& keys);
    void WriteSnapMode(KeyDataList& keys) const;
    Vector GetBoxCenterWorld() const;

    // Moves the object onto the nearest corner of another visible snappable object within
    // `distance` that no wall separates from it. False only when the object never snaps.
    virtual bool SnapToObjects(double distance);
    // Moves the object flush against the face of the nearest wall within `distance` (and,
    // for slab objects, onto the nearest corner of an object on that side of the wall).
    // False when the object never snaps or no wall is near.
    virtual bool SnapToWall(double distance);

    int32_t GetSnapMode() const { return snapMode; }
    void SetSnapMode(int32_t mode) { snapMode = mode; }

protected:
    // The nearest corner pair with another object: target and the offset that joins them.
    SnappableObject* FindObjectSnap(double distance, Vector& offset) const;
    // The nearest wall and the offset that takes the nearest corner to its centre line (or
    // its nearer end).
    Wall* FindWallSnap(double distance, Vector& offset) const;
    // The nearest corner pair with an object mounted on the wall's side the object is on.
    RenderableObject* FindWallObjectSnap(double distance, Vector& offset) const;

    RenderableObject* snapRenderable = nullptr;
    const BoundingBox* snapBox = nullptr;
    int32_t snapMode = kSnapFloorObjects;
};

// Whether a wall of the scene stands between the two points.
bool WallBetween(const Vector& a, const Vector& b);
