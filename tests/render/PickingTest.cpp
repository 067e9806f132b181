#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "model/PickableObject.h"
#include "model/RenderableObject.h"
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

// Something a pick can name, of a given type.
struct Named : PickableObject {
    explicit Named(uint64_t type) : mask(type) {}
    uint64_t GetTypeMask() const override { return mask; }
    uint64_t mask;
};

TEST(PickNames, NameObjectsUntilTheyGo) {
    auto* first = new Named(TypeMask::kWall);
    Named second(TypeMask::kFloor);
    const uint32_t name = first->GetPickName();
    EXPECT_NE(name, 0u);
    EXPECT_EQ(first->GetPickName(), name) << "an object keeps its name";
    EXPECT_NE(second.GetPickName(), name);
    EXPECT_EQ(PickableObject::FromPickName(name), first);
    EXPECT_EQ(PickableObject::FromPickName(second.GetPickName()), &second);

    Named copy(*first);
    EXPECT_NE(copy.GetPickName(), name) << "a copy is named on its own";
    delete first;
    EXPECT_EQ(PickableObject::FromPickName(name), nullptr) << "the name of a gone object";
    EXPECT_EQ(PickableObject::FromPickName(0), nullptr);
}

// Hit records written into a window's selection buffer as OpenGL leaves them.
class HitChoice : public ::testing::Test {
protected:
    struct Record {
        uint32_t depth;
        std::vector<const Named*> names;
    };

    int Choose(const std::vector<Record>& records) {
        std::vector<uint32_t> words;
        for (const Record& r : records) {
            words.push_back(static_cast<uint32_t>(r.names.size()));
            words.push_back(r.depth);
            words.push_back(r.depth + 10);
            for (const Named* n : r.names) words.push_back(const_cast<Named*>(n)->GetPickName());
        }
        std::copy(words.begin(), words.end(), window.selectionBuffer);
        return window.ChooseHit(static_cast<int>(records.size()));
    }
    const PickableObject* Picked(int i) const { return window.GetPickedObject(i); }

    ScopedProgramFolder programFolder;
    TestControl control;
    Window window;
    Named slab{TypeMask::kFloor};
    Named covering{TypeMask::kSlabCovering};
    Named model{TypeMask::kModelObject};
    Named part{TypeMask::kPart};
    Named otherPart{TypeMask::kPart};
    Named wall{TypeMask::kWall};
};

TEST_F(HitChoice, TheNearestRecordWinsAndTheLaterOneAmongEquals) {
    EXPECT_EQ(Choose({{500, {&wall}}, {200, {&model, &part}}, {300, {&slab}}}), 2);
    EXPECT_EQ(Picked(0), &model);
    EXPECT_EQ(Picked(1), &part);
    EXPECT_EQ(Picked(2), nullptr) << "past the record's names";
    EXPECT_EQ(Picked(-1), nullptr);

    EXPECT_EQ(Choose({{200, {&wall}}, {200, {&slab}}}), 1);
    EXPECT_EQ(Picked(0), &slab);
}

TEST_F(HitChoice, ACoveringGivesWayToWhatLiesBehindIt) {
    struct Case {
        const char* name;
        std::vector<Record> records;
        int count;
        const PickableObject* first;
    };
    const Case cases[] = {
        {"a covering alone picks nothing", {{100, {&slab, &covering, &part}}}, 0, nullptr},
        {"a wall behind it wins", {{100, {&slab, &covering, &part}}, {400, {&wall}}}, 1, &wall},
        {"a part of another object wins",
         {{100, {&slab, &covering, &part}}, {400, {&model, &otherPart}}},
         2,
         &model},
        {"a part of the covering does not",
         {{100, {&slab, &covering, &part}}, {400, {&covering, &otherPart}}},
         3,
         &slab},
        {"nor a part of the covering's slab",
         {{100, {&slab, &covering, &part}}, {400, {&slab, &otherPart}}},
         3,
         &slab},
        {"a record whose covering is not second to last stays",
         {{100, {&covering, &slab, &part}}, {400, {&wall}}},
         3,
         &covering},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Choose(c.records), c.count) << c.name;
        EXPECT_EQ(Picked(0), c.first) << c.name;
    }
}

TEST_F(HitChoice, RecordsRunningPastTheBufferAreLeftOut) {
    window.selectionBuffer[0] = 1;
    window.selectionBuffer[1] = 50;
    window.selectionBuffer[2] = 60;
    window.selectionBuffer[3] = wall.GetPickName();
    // A second record claiming more names than the buffer holds.
    window.selectionBuffer[4] = 1000;
    window.selectionBuffer[5] = 0;
    EXPECT_EQ(window.ChooseHit(2), 1);
    EXPECT_EQ(Picked(0), &wall);
}

// Scene objects with settable visibility bits.
struct Flagged : RenderableObject {
    uint64_t GetTypeMask() const override { return TypeMask::kWall; }
    void Render() override {}
    void Translate(const Vector&) override {}
};

TEST_F(PickPolygon, LayerMaskClearsTheBitsOfDeeperReflections) {
    auto* object = new Flagged;
    control.scene.Append(object);
    object->SetFlags(0xFF);
    window.layerCounter = 2;
    window.ApplyLayerMask();
    EXPECT_EQ(object->GetFlags(), 0x3u);
    window.layerCounter = 0;
    window.ApplyLayerMask();
    EXPECT_EQ(object->GetFlags(), 0u);
    control.scene.DeleteNode(object);
}

TEST_F(PickPolygon, PolygonTestOfAnObjectAgainstTheWindow) {
    auto* object = new Flagged;
    control.scene.Append(object);
    BoundingBox box;
    box.min.Set(-0.1, -0.1, -0.5, 1.0);
    box.max.Set(0.1, 0.1, -0.5, 1.0);
    object->SetBoundingBox(box);
    InstallSquare();
    const Vector beside[4] = {{0.6, 0.6, 0}, {0.9, 0.6, 0}, {0.9, 0.9, 0}, {0.6, 0.9, 0}};
    EXPECT_TRUE(window.HitTestWithPolygon(object, square, 4)) << "the box lies in the square";
    EXPECT_FALSE(window.HitTestWithPolygon(object, beside, 4));
    EXPECT_EQ(window.pickPolygonSource, square) << "the installed polygon is put back";
    EXPECT_EQ(window.pickPolygonCount, 4);
    EXPECT_EQ(control.currentWindow, nullptr);
    // Fewer than three points: the bit the last test left.
    EXPECT_FALSE(window.HitTestWithPolygon(object, square, 2));
    control.scene.DeleteNode(object);
}

}  // namespace
