#pragma once

#include "building/Wall.h"
#include "control/Defaults.h"
#include "geometry/Vector.h"
#include "render/Window.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

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

// A control with the factory defaults and one headless window as its main, active and
// current view, for tests of walls in a scene. There is no content server: the wall
// defaults name no catalogue material to fetch.
class WallScene {
public:
    WallScene() {
        control.contentDomain[0] = 0;
        SetFactoryDefaults(control);
        control.mainWindow = control.activeWindow = control.currentWindow = &window;
    }
    ~WallScene() {
        control.scene.DeleteAll();
        control.mainWindow = control.activeWindow = control.currentWindow = nullptr;
    }
    WallScene(const WallScene&) = delete;
    WallScene& operator=(const WallScene&) = delete;

    // MakeWall, appended to the scene.
    Wall* Add(const Vector& from, const Vector& to, double height = 100.0,
              double thickness = 10.0) {
        Wall* wall = MakeWall(from, to, height, thickness);
        control.scene.Append(wall);
        return wall;
    }
    static Vector& Node(Wall* wall, int i) {
        return wall->GetOutline().GetPrimaryPoints()[i].position;
    }

    ScopedRegistry registry;
    TestControl control;
    Window window;
};
