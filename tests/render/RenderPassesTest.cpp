#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "interaction/MouseHandler.h"
#include "model/MoveableObject.h"
#include "model/RenderableObject.h"
#include "model/ShadowLight.h"
#include "render/Window.h"
#include "support/TestControl.h"

namespace {

// A scene object that notes its drawing in a shared log.
class StubObject : public RenderableObject {
public:
    StubObject(uint64_t mask, std::vector<StubObject*>* log = nullptr) : mask(mask), log(log) {}
    uint64_t GetTypeMask() const override { return mask; }
    void Render() override {
        if (log) log->push_back(this);
    }
    void Translate(const Vector&) override {}
    bool HasTransparentPart() const override { return transparent; }
    int GetPolygonCount() const override { return polygons; }
    void Hide() { shownInView = 0; }
    void SetBox(const Vector& low, const Vector& high) {
        box.min = low;
        box.max = high;
    }

    uint64_t mask;
    std::vector<StubObject*>* log;
    bool transparent = false;
    int polygons = 0;
};

class PlacedStub : public StubObject, public MoveableObject {
public:
    using StubObject::StubObject;
};

class StubLight : public StubObject, public ShadowLight {
public:
    explicit StubLight(double shadow) : StubObject(TypeMask::kLightSource), shadow(shadow) {}
    double GetShadowValue() const override { return shadow; }
    bool OverlapsObject(const RenderableObject&) const override { return false; }
    void FlagForRebuild() override {}
    double shadow;
};

std::vector<double> Keys(const std::vector<Window::DepthEntry>& list) {
    std::vector<double> keys;
    for (const auto& entry : list) keys.push_back(entry.key);
    return keys;
}

TEST(DepthSortTest, AscendingAndStableLikeTheStandardStableSort) {
    std::mt19937 random(7);
    std::vector<std::unique_ptr<StubObject>> objects;
    for (int i = 0; i < 200; ++i)
        objects.push_back(std::make_unique<StubObject>(TypeMask::kModelObject));
    for (int n : {0, 1, 2, 3, 17, 200}) {
        SCOPED_TRACE(n);
        std::vector<Window::DepthEntry> list;
        // Few distinct keys, so that ties are common.
        for (int i = 0; i < n; ++i)
            list.push_back({objects[i].get(), static_cast<double>(random() % 5) - 2.0});
        std::vector<Window::DepthEntry> expected = list;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.key < b.key; });
        Window::SortByDepth(list.data(), n);
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(list[i].object, expected[i].object) << i;
            EXPECT_EQ(list[i].key, expected[i].key) << i;
        }
    }
}

class RenderPassesTest : public ::testing::Test {
protected:
    ScopedProgramFolder programFolder;
    TestControl control;
};

TEST_F(RenderPassesTest, TransparentPassTakesShownSeeThroughObjectsUpToTheCap) {
    std::vector<StubObject*> added;
    for (int i = 0; i < Window::kMaxSortedObjects + 1; ++i) {
        auto* object = new StubObject(TypeMask::kModelObject);
        object->transparent = true;
        object->SetBox(Vector(i, 0, 0), Vector(i + 2, 2, 2));
        control.scene.Append(object);
        added.push_back(object);
    }
    auto* opaque = new StubObject(TypeMask::kModelObject);
    auto* hidden = new StubObject(TypeMask::kModelObject);
    hidden->transparent = true;
    hidden->Hide();
    control.scene.Prepend(opaque);
    control.scene.Prepend(hidden);

    const auto list = Window::CollectTransparentObjects(control.scene, Vector(1, 0, 0),
                                                        Window::kMaxSortedObjects);
    ASSERT_EQ(list.size(), 500u);
    EXPECT_EQ(list.front().object, added.front());
    EXPECT_EQ(list.back().object, added[499]);
    // Keyed by the middle of the box along the axis.
    EXPECT_DOUBLE_EQ(list[3].key, 4.0);
}

TEST_F(RenderPassesTest, TransparentKeyIsThePositionExceptForSlabs) {
    auto* placed = new PlacedStub(TypeMask::kModelObject);
    placed->transparent = true;
    placed->SetPosition(Vector(0, 0, -30));
    placed->SetBox(Vector(0, 0, 0), Vector(10, 10, 10));
    auto* slab = new PlacedStub(TypeMask::kFloor);
    slab->transparent = true;
    slab->SetPosition(Vector(0, 0, -30));
    slab->SetBox(Vector(0, 0, 0), Vector(10, 10, 10));
    control.scene.Append(placed);
    control.scene.Append(slab);
    const auto list = Window::CollectTransparentObjects(control.scene, Vector(0, 0, 1), 500);
    EXPECT_EQ(Keys(list), (std::vector<double>{-30.0, 5.0}));
}

TEST_F(RenderPassesTest, GroupedPassDrawsGroupsInOrderAndDeferredTypesLastOnce) {
    std::vector<StubObject*> log;
    auto add = [&](uint64_t mask) {
        auto* object = new StubObject(mask, &log);
        control.scene.Append(object);
        return object;
    };
    // Scene order mixes the groups up.
    StubObject* roof = add(TypeMask::kRoof);
    StubObject* wall = add(TypeMask::kWall);
    StubObject* model = add(TypeMask::kModelObject);
    StubObject* floor = add(TypeMask::kFloor);
    StubObject* text = add(TypeMask::kTextObject);
    StubObject* counter = add(TypeMask::kCounter);
    StubObject* stairs = add(TypeMask::kStairs);
    StubObject* shaft = add(TypeMask::kShaftSide);
    StubObject* dimension = add(TypeMask::kDimensionObject);  // in no group

    struct Case {
        uint64_t deferred;
        bool picking;
        std::vector<StubObject*> order;
    };
    const Case cases[] = {
        {0, false, {model, text, floor, counter, stairs, shaft, wall, roof}},
        // Deferred floors come after the roofs.
        {TypeBit::kFloor, false, {model, text, counter, stairs, shaft, wall, roof, floor}},
        // Deferred models: the texts of the first group are not drawn a second time.
        {TypeBit::kCatalogueModel, false, {text, floor, counter, stairs, shaft, wall, roof, model}},
        // Deferred types are left out of picking.
        {TypeBit::kWall, true, {model, text, floor, counter, stairs, shaft, roof}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deferred);
        log.clear();
        for (RenderableObject* object :
             Window::GroupedDrawOrder(control.scene, c.deferred, c.picking))
            object->Render();
        EXPECT_EQ(log, c.order);
        EXPECT_EQ(std::count(log.begin(), log.end(), dimension), 0);
    }
}

TEST_F(RenderPassesTest, GridSpacingFallsBackToTheUnitAndIsBounded) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double stored;
        bool metric;
        double spacing;
    };
    for (const Case& c : {Case{24.0, false, 24.0}, Case{-1.0, false, 12.0},
                          Case{-1.0, true, 39.37008}, Case{0.0, false, 12.0},
                          Case{nan, true, 39.37008}, Case{1e-9, false, Window::kMinGridSpacing}}) {
        SCOPED_TRACE(c.stored);
        GlobalState global;
        // Stored directly: plans and the registry bring values the setter refuses.
        global.BaseParameterState::SetDouble(12, c.stored);
        global.SetBoolean(7, c.metric);
        EXPECT_DOUBLE_EQ(Window::WorkGridSpacing(global), c.spacing);
    }
}

TEST_F(RenderPassesTest, FloorLabelNamesTheGroundFloorOrTheGridLevel) {
    struct Case {
        double gridHeight;
        double ground;
        double storey;
        bool fps;
        const char* label;
        bool warning;
    };
    const Case cases[] = {
        {1.0, 0.0, 120.0, false, "Ground Floor ", false},
        {25.0, 24.0, 120.0, false, "Ground Floor (24\")", false},
        {121.0, 0.0, 120.0, false, "Grid Level 2 (10'1\")", true},
        {181.0, 0.0, 120.0, false, "Grid Level 2.50 (15'1\")", true},
        {1.0, 0.0, 120.0, true, "Ground Floor    FPS:  12.50", false},
        // No storey height: no division by zero, the ground floor.
        {50.0, 0.0, 0.0, false, "Ground Floor ", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        GlobalState global;
        FloorState floor;
        WallState wall;
        floor.BaseParameterState::SetDouble(4, c.gridHeight);
        floor.BaseParameterState::SetDouble(9, c.ground);
        wall.BaseParameterState::SetDouble(5, c.storey);
        global.SetBoolean(33, c.fps);
        bool warning = !c.warning;
        EXPECT_EQ(Window::FloorLabel(global, floor, wall, 12.5, warning), c.label);
        EXPECT_EQ(warning, c.warning);
    }
}

TEST_F(RenderPassesTest, LightsSwitchedOnFollowTheShadowAndLightSettings) {
    auto* casting = new StubLight(1.0);
    auto* plain = new StubLight(0.0);
    auto* second = new StubLight(0.5);
    control.scene.Append(casting);
    control.scene.Append(plain);
    control.scene.Append(second);
    control.scene.Append(new StubObject(TypeMask::kModelObject));
    struct Case {
        bool lightsOff;
        bool shadows;
        std::vector<ShadowLight*> on;
    };
    for (const Case& c :
         {Case{false, true, {plain, second}}, Case{false, false, {casting, plain, second}},
          Case{true, false, {plain}}}) {
        control.globalState.SetBoolean(12, c.lightsOff);
        control.globalState.SetBoolean(10, c.shadows);
        EXPECT_EQ(Window::LightsToSwitchOn(control.scene, control.globalState), c.on);
    }
}

TEST_F(RenderPassesTest, SelectedPolygonsCountModelsUntilTheFirstSelectedSlab) {
    auto add = [&](uint64_t mask, int polygons, bool selected) {
        auto* object = new StubObject(mask);
        object->polygons = polygons;
        object->SetSelected(selected);
        control.scene.Append(object);
    };
    add(TypeMask::kModelObject, 10, true);
    add(TypeMask::kModelObject, 100, false);
    add(TypeMask::kModelObject, 5, true);
    add(TypeMask::kWall, 1000, true);
    add(TypeMask::kModelObject, 7, true);
    Window window([](int) { return new MouseHandler; });
    EXPECT_EQ(window.CountSelectedPolygons(), 15);
}

}  // namespace
