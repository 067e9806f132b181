#pragma once

#include "building/Wall.h"
#include "geometry/Vector.h"

// A wall from `from` to `to` (both on its base), `height` high and `thickness` thick,
// made the way the wall editor makes one: started at a point, its end put down, placed.
// Not in any list.
inline Wall* MakeWall(const Vector& from, const Vector& to, double height = 100.0,
                      double thickness = 8.0) {
    auto* wall = new Wall(from);
    wall->MoveEndTo(to, wall->GetWallEndIndex());
    wall->SetThickness(thickness);
    wall->UpdateLinkedPoints();
    wall->SetSizeY(height);
    wall->SetSelected(false);
    return wall;
}
