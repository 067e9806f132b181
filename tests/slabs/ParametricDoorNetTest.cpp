#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "building/Wall.h"
#include "model/Model.h"
#include "slabs/ParametricDoor.h"
#include "slabs/SlabHole.h"
#include "support/WallFixtures.h"

namespace {

// Doors fetch their knob on threads of their own; here the content server does not
// answer (nothing listens on the port), so the fetches fail.
TEST(ParametricDoorNetTest, DoorsShareOneKnobModelAndJoinTheirThreadsWhenTheyGo) {
    WallScene s;
    std::snprintf(s.control.contentDomain, sizeof s.control.contentDomain, "%s",
                  "http://127.0.0.1:9/");
    Wall* wall = s.Add(Vector(0, 0, 0), Vector(200, 0, 0), 100.0, 10.0);
    for (double x : {10.0, 60.0, 110.0}) {
        const Vector corners[4] = {Vector(x, 1, 0), Vector(x + 30, 1, 0), Vector(x + 30, 81, 0),
                                   Vector(x, 81, 0)};
        SlabHole* hole = wall->CreateHole(corners, 4);
        ASSERT_NE(hole, nullptr);
        hole->ShowDoorOrWindow(false);
        ASSERT_NE(dynamic_cast<ParametricDoor*>(hole->GetDoorOrWindow()), nullptr);
    }
    // The first fetch publishes the shared model (its download fails: it stays empty).
    Model* shared = nullptr;
    for (int i = 0; i < 200 && !shared; ++i) {
        s.control.LockRender();
        shared = s.control.doorKnobModel;
        s.control.UnlockRender();
        if (!shared) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_NE(shared, nullptr);
    // The doors go with their wall while their threads may still run: each joins its
    // own first.
    s.control.scene.DeleteAll();
    // One shared knob model, however many doors asked at once.
    EXPECT_EQ(s.control.doorKnobModel, shared);
    {
        Wall* again = s.Add(Vector(0, 0, 0), Vector(100, 0, 0), 100.0, 10.0);
        const Vector corners[4] = {Vector(10, 1, 0), Vector(40, 1, 0), Vector(40, 81, 0),
                                   Vector(10, 81, 0)};
        again->CreateHole(corners, 4)->ShowDoorOrWindow(false);
        s.control.scene.DeleteAll();
    }
    EXPECT_EQ(s.control.doorKnobModel, shared);
}

}  // namespace
