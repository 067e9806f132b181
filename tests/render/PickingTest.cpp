#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "render/Window.h"
#include "support/TestControl.h"

namespace {

// A window whose cached matrices are the identity over a 100 x 100 viewport: world x and
// y in -1..1 map onto the window, y counted from the top, and the eye looks down -z.
class PickPolygon : public ::testing::Test {
protected:
    PickPolygon() {
        const int viewport[4] = {0, 0, 100, 100};
        std::copy(viewport, viewport + 4, window.viewportCache.get());
        for (double* m : {window.modelViewCache.get(), window.projectionCache.get()})
            for (int i = 0; i < 16; ++i) m[i] = i % 5 == 0 ? 1.0 : 0.0;
    }

    // The square (-0.5, -0.5)..(0.5, 0.5) in the plane z = 0, counter-clockwise.
    void InstallSquare() { window.SetPickPolygon(square, 4); }

    ScopedProgramFolder programFolder;
    TestControl control;
    Window window;
    const Vector square[4] = {{-0.5, -0.5, 0}, {0.5, -0.5, 0}, {0.5, 0.5, 0}, {-0.5, 0.5, 0}};
};

TEST_F(PickPolygon, ProjectsThePolygonAndFacesItsPlaneTowardTheViewer) {
    InstallSquare();
    ASSERT_EQ(window.pickPolygonCount, 4);
    EXPECT_DOUBLE_EQ(window.pickPolygon[0].x, 25.0);
    EXPECT_DOUBLE_EQ(window.pickPolygon[0].y, 75.0) << "y counted from the top";
    EXPECT_DOUBLE_EQ(window.pickPlane.z, 1.0);
    EXPECT_DOUBLE_EQ(window.pickPlane.w, 0.0);
    EXPECT_DOUBLE_EQ(window.GetSectionPlane().z, 1.0);

    // Inside a reflection the plane turns round.
    window.layerCounter = 1;
    InstallSquare();
    EXPECT_DOUBLE_EQ(window.pickPlane.z, -1.0);

    window.SetPickPolygon(nullptr, 0);
    EXPECT_EQ(window.pickPolygonCount, 0);
    EXPECT_EQ(window.pickPolygonSource, nullptr);
}

TEST_F(PickPolygon, ShapesOutsideOrBeforeThePolygonAreCulled) {
    struct Case {
        const char* name;
        std::vector<Vector> shape;
        bool boxTest;
        bool culled;
    };
    const Case cases[] = {
        {"a point inside, beyond the plane", {{0, 0, -0.5}, {2, 2, -0.5}}, true, false},
        {"inside but before the plane", {{0, 0, 0.5}, {0.1, 0, 0.5}}, true, true},
        {"one point beyond the plane is enough", {{0, 0, 0.5}, {0.1, 0, -0.5}}, true, false},
        {"beside the polygon", {{0.8, 0, -0.5}, {0.9, 0.2, -0.5}}, true, true},
        {"round the polygon", {{-0.9, -0.9, -0.5}, {0.9, 0.9, -0.5}}, true, false},
        {"round it without the box test", {{-0.9, -0.9, -0.5}, {0.9, 0.9, -0.5}}, false, true},
        {"no points", {}, true, true},
    };
    EXPECT_FALSE(window.HitTestPolygon(cases[1].shape.data(), 2, true))
        << "nothing is culled while no polygon is installed";
    InstallSquare();
    for (const Case& c : cases)
        EXPECT_EQ(
            window.HitTestPolygon(c.shape.data(), static_cast<int>(c.shape.size()), c.boxTest),
            c.culled)
            << c.name;

    // In a reflection the far side is the other one.
    window.layerCounter = 1;
    InstallSquare();
    EXPECT_TRUE(window.HitTestPolygon(cases[0].shape.data(), 2, true));
    EXPECT_FALSE(window.HitTestPolygon(cases[1].shape.data(), 2, true));
}

TEST_F(PickPolygon, OnlyTheFirst255PointsTakePart) {
    // 300 points beside the polygon, of which only the last lies inside it.
    std::vector<Vector> points(300, Vector(0.9, 0.9, -0.5));
    points.back() = Vector(0, 0, -0.5);
    window.SetPickPolygon(points.data(), 300);
    EXPECT_EQ(window.pickPolygonCount, Window::kPickPolygonSize);

    InstallSquare();
    EXPECT_TRUE(window.HitTestPolygon(points.data(), 300, true));
    EXPECT_FALSE(window.HitTestPolygon(points.data() + 299, 1, true));
}

}  // namespace
