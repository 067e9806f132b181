#pragma once

#include "control/dialogs/DialogOwner.h"
#include "foundation/UndoableObject.h"
#include "geometry/Vector.h"
#include "model/ObjectTypes.h"
#include "model/StateObject.h"
#include "model/TopLevelObject.h"

// A flight of stairs.
class Stairs : public UndoableObject,
               public TopLevelObject,
               public StateObject,
               public DialogOwner {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kStairs; }
    int GetKindCode() const override { return KindCode::kStairs; }

    // The slope a walker climbs: a point at the foot of the flight, the unit horizontal
    // direction of its run and the rise per unit of run. False while the flight has no
    // steps to walk on.
    virtual bool GetWalkingSlope(Vector& origin, Vector& run, double& rise) const {
        (void)origin;
        (void)run;
        (void)rise;
        return false;
    }
};
