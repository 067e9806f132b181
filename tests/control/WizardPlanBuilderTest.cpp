#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "building/Roof.h"
#include "building/RoofGroup.h"
#include "building/Wall.h"
#include "control/WizardPlanBuilder.h"
#include "slabs/Floor.h"
#include "foundation/KeyDataList.h"
#include "foundation/WizardXMLProcessor.h"
#include "support/TestControl.h"
#include "support/TraceLogTail.h"

namespace {

// Builds a "planXML" tree: top-level answers, and the shape's type and sizes.
struct Answers {
    std::map<std::string, std::string> plan;
    std::string type;
    std::map<std::string, double> sizes;

    std::unique_ptr<KeyDataList> Tree() const {
        auto tree = std::make_unique<KeyDataList>();
        KeyDataList* planXML = tree->AddSublist("planXML");
        for (const auto& [key, value] : plan) planXML->AddSublist(key)->AddString("value", value);
        KeyDataList* shape = planXML->AddSublist("shapeData")->AddSublist("shape");
        shape->AddString("type", type);
        for (const auto& [key, value] : sizes) shape->AddSublist(key)->AddDouble("value", value);
        return tree;
    }
};

class WizardPlanBuilding : public ::testing::Test {
protected:
    void SetUp() override {
        control.wallState.SetDouble(9, 6.0);
        control.wallState.SetDouble(5, 96.0);
        control.floorState.SetDouble(0, 4.0);
        control.globalState.SetBoolean(5, true);
    }

    WizardPlan Plan(const Answers& answers) {
        WizardPlanBuilder builder(control);
        return builder.Plan(*answers.Tree());
    }

    static std::vector<std::pair<double, double>> Corners(const WizardPlan& plan) {
        std::vector<std::pair<double, double>> corners;
        for (const Vector& v : plan.corners) {
            EXPECT_EQ(v.y, 0.0);
            corners.emplace_back(v.x, v.z);
        }
        return corners;
    }

    TestControl control;
};

using Corner = std::pair<double, double>;

}  // namespace

TEST_F(WizardPlanBuilding, FootprintsAreCentredOnTheOrigin) {
    struct Case {
        const char* type;
        std::map<std::string, double> sizes;
        std::vector<Corner> corners;
    } cases[] = {
        {"square",
         {{"width", 200}, {"height", 100}},
         {{-100, -50}, {100, -50}, {100, 50}, {-100, 50}}},
        // Sides below three wall thicknesses grow to it.
        {"Square", {{"width", 1}, {"height", 100}}, {{-9, -50}, {9, -50}, {9, 50}, {-9, 50}}},
        {"L",
         {{"partWidth", 100}, {"partHeight", 60}, {"totalWidth", 300}, {"totalHeight", 200}},
         {{-150, -100}, {150, -100}, {150, -40}, {-50, -40}, {-50, 100}, {-150, 100}}},
        {"Left",
         {{"partWidth", 100}, {"partHeight", 60}, {"totalWidth", 300}, {"totalHeight", 200}},
         {{-150, -100}, {150, -100}, {150, 100}, {-50, 100}, {-50, -40}, {-150, -40}}},
        // The totals are at least the parts plus the minimum side.
        {"L",
         {{"partWidth", 100}, {"partHeight", 60}, {"totalWidth", 10}, {"totalHeight", 10}},
         {{-59, -39}, {59, -39}, {59, 21}, {41, 21}, {41, 39}, {-59, 39}}},
        {"U",
         {{"leftWidth", 50},
          {"rightWidth", 70},
          {"partHeight", 80},
          {"totalWidth", 300},
          {"totalHeight", 200}},
         {{-150, -100},
          {150, -100},
          {150, 100},
          {80, 100},
          {80, 20},
          {-100, 20},
          {-100, 100},
          {-150, 100}}},
    };
    for (const Case& c : cases) {
        const WizardPlan plan = Plan({{}, c.type, c.sizes});
        EXPECT_EQ(Corners(plan), c.corners) << c.type;
    }
}

TEST_F(WizardPlanBuilding, StoreysWallHeightAndFloors) {
    struct Case {
        std::map<std::string, std::string> plan;
        bool addFloors;
        int stories;
        double wallHeight;
        std::vector<double> floors;
    } cases[] = {
        {{{"numStories", "0"}}, true, 1, 96, {0}},
        {{{"numStories", "2.9"}, {"wallHeight", "100"}}, true, 2, 100, {0, 100}},
        {{{"numStories", "2"}, {"wallHeight", "100"}, {"topLevelFloor", "yes"}},
         true,
         2,
         100,
         {0, 100, 200}},
        // Not above twice the floor thickness: twice the floor thickness.
        {{{"wallHeight", "8"}}, true, 1, 8, {0}},
        {{{"wallHeight", "3"}}, true, 1, 8, {0}},
        // Numbers from outside are bounded.
        {{{"numStories", "1e12"}, {"wallHeight", "1e400"}},
         false,
         WizardPlanBuilder::kMaxStories,
         96,
         {}},
        {{{"numStories", "3"}}, false, 3, 96, {}},
    };
    for (const Case& c : cases) {
        control.globalState.SetBoolean(5, c.addFloors);
        const WizardPlan plan = Plan({c.plan, "square", {}});
        EXPECT_EQ(plan.numStories, c.stories);
        EXPECT_EQ(plan.wallHeight, c.wallHeight);
        EXPECT_EQ(plan.totalWallHeight, c.stories * c.wallHeight);
        EXPECT_EQ(plan.floorElevations, c.floors);
    }
}

TEST_F(WizardPlanBuilding, RoofsFollowStyleAndLayout) {
    const std::map<std::string, double> l = {
        {"partWidth", 100}, {"partHeight", 60}, {"totalWidth", 300}, {"totalHeight", 200}};
    const std::map<std::string, double> u = {{"leftWidth", 50},
                                             {"rightWidth", 70},
                                             {"partHeight", 80},
                                             {"totalWidth", 300},
                                             {"totalHeight", 200}};
    struct Case {
        const char* type;
        const char* style;
        std::map<std::string, double> sizes;
        WizardRoofStyle roof;
        int roofs;
        std::vector<int> peaks;
    } cases[] = {
        {"square", "Gable", {{"width", 300}, {"height", 150}}, WizardRoofStyle::kGable, 1, {1, 3}},
        {"square", "hipped", {{"width", 300}, {"height", 150}}, WizardRoofStyle::kHipped, 1, {}},
        {"square", "flat", {{"width", 300}, {"height", 150}}, WizardRoofStyle::kNone, 0, {}},
        {"L", "gable", l, WizardRoofStyle::kGable, 2, {1, 4}},
        {"Lx", "gable", l, WizardRoofStyle::kGable, 2, {5, 2}},
        {"U", "gable", u, WizardRoofStyle::kGable, 3, {2, 6}},
        // A lower-case u builds walls but its roof layout is not known.
        {"u", "gable", u, WizardRoofStyle::kNone, 0, {}},
    };
    for (const Case& c : cases) {
        const WizardPlan plan =
            Plan({{{"roofStyle", c.style}, {"numStories", "2"}}, c.type, c.sizes});
        EXPECT_FALSE(plan.corners.empty()) << c.type;
        EXPECT_EQ(plan.roofStyle, c.roof) << c.type << c.style;
        EXPECT_EQ(plan.roofCount, c.roofs) << c.type << c.style;
        EXPECT_EQ(plan.gablePeakWalls, c.peaks) << c.type << c.style;
        if (c.roofs) {
            EXPECT_EQ(plan.roofBaseHeight, 2 * 96.0);
            const int last = static_cast<int>(plan.corners.size()) - 1;
            EXPECT_DOUBLE_EQ(plan.roofRise,
                             std::min(plan.WallLength(1), plan.WallLength(last)) / 3.0);
        }
    }
    // A 300 by 150 square: rise 50; insets min(150, 0.45 x side).
    const WizardPlan hipped =
        Plan({{{"roofStyle", "hipped"}}, "square", {{"width", 300}, {"height", 150}}});
    EXPECT_DOUBLE_EQ(hipped.roofRise, 50.0);
    EXPECT_DOUBLE_EQ(hipped.hipInsetX, 135.0);
    EXPECT_DOUBLE_EQ(hipped.hipInsetZ, 67.5);
}

TEST_F(WizardPlanBuilding, UnknownShapeBuildsNothingAndChangesNoFlag) {
    for (const char* type : {"circle", "", "Ux"}) {
        control.globalState.SetBoolean(0, false);
        WizardPlanBuilder builder(control);
        const WizardPlan plan = builder.Build(*Answers{{{"roofStyle", "gable"}}, type, {}}.Tree());
        EXPECT_TRUE(plan.corners.empty()) << type;
        EXPECT_TRUE(plan.floorElevations.empty()) << type;
        EXPECT_EQ(plan.roofCount, 0) << type;
        EXPECT_FALSE(control.globalState.GetBoolean(0)) << type;
    }
}

TEST_F(WizardPlanBuilding, TexturesAndDefaultsAroundTheBuild) {
    std::snprintf(control.contentDomain, sizeof control.contentDomain, "http://content/");
    control.wallState.SetString(6, "interior.png");
    control.wallState.SetString(9, "exterior.png");
    control.globalState.SetBoolean(0, false);
    {
        WizardPlanBuilder builder(control);
        EXPECT_EQ(builder.GetHalfWallThickness(), 3.0);
        builder.Build(*Answers{
            {{"floorTex", "/tex/oak.png"}, {"wallIntTex", "tex/paint.png"}},
            "square",
            {}}.Tree());
        for (int i = 0; i <= 2; ++i)
            EXPECT_EQ(control.floorState.GetString(i), "http://content/tex/oak.png");
        for (int i = 6; i <= 9; ++i)
            EXPECT_EQ(control.wallState.GetString(i), "http://content/tex/paint.png");
        EXPECT_FALSE(control.wallState.GetBoolean(9));
        EXPECT_TRUE(control.wallState.GetBoolean(8));
        EXPECT_TRUE(control.globalState.GetBoolean(0)) << "walls were made";
    }
    // The exterior material goes back once the builder is gone.
    EXPECT_EQ(control.wallState.GetString(9), "exterior.png");

    {
        WizardPlanBuilder builder(control);
        control.wallState.SetString(6, "inside.png");
        builder.Build(*Answers{{}, "square", {}}.Tree());
        // Without an interior texture the exterior takes the interior's material.
        EXPECT_EQ(control.wallState.GetString(9), "inside.png");
    }
    EXPECT_EQ(control.wallState.GetString(9), "exterior.png");
}

namespace {

// A reader whose download already arrived at `path`.
class ArrivedAnswers : public WizardXMLProcessor {
public:
    explicit ArrivedAnswers(const std::string& path) {
        std::snprintf(cacheFile, sizeof cacheFile, "%s", path.c_str());
    }
};

}  // namespace

TEST_F(WizardPlanBuilding, ArrivedAnswersAreReadAndBuilt) {
    TempFolder folder;
    const std::string path = folder.Path() + "answers.xml";
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs(
        "<planXML>\n <shapeData><shape type='square'/></shapeData>\n"
        " <wallIntTex value='paint.png'/>\n</planXML>\n",
        file);
    std::fclose(file);
    std::snprintf(control.contentDomain, sizeof control.contentDomain, "http://content/");
    control.wallState.SetString(9, "exterior.png");
    control.globalState.SetBoolean(0, false);

    ArrivedAnswers answers(path);
    EXPECT_EQ(answers.OnDownloadComplete(), 1);
    EXPECT_STREQ(
        answers.GetTree().GetSublist("planXML")->GetSublist("wallIntTex")->GetString("value"),
        "paint.png");
    EXPECT_TRUE(control.globalState.GetBoolean(0)) << "the walls were made";
    EXPECT_EQ(control.scene.GetCount(), 5u) << "four walls and the ground floor";
    EXPECT_EQ(control.wallState.GetString(6), "http://content/paint.png");
    EXPECT_EQ(control.wallState.GetString(9), "exterior.png");

    TraceLogTail log;
    WizardXMLProcessor nowhere;
    EXPECT_FALSE(nowhere.Download(""));
    EXPECT_TRUE(log.Contains("Download failed"));
}

namespace {

template <class T>
std::vector<T*> InScene(BaseControl& control) {
    std::vector<T*> found;
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (auto* object = dynamic_cast<T*>(node)) found.push_back(object);
    return found;
}

}  // namespace

TEST_F(WizardPlanBuilding, TemplatesBuildWallsFloorsAndRoofsOfEachLayout) {
    control.contentDomain[0] = 0;
    const std::map<std::string, double> square = {{"width", 300}, {"height", 150}};
    const std::map<std::string, double> l = {
        {"partWidth", 100}, {"partHeight", 60}, {"totalWidth", 300}, {"totalHeight", 200}};
    const std::map<std::string, double> u = {{"leftWidth", 50},
                                             {"rightWidth", 70},
                                             {"partHeight", 80},
                                             {"totalWidth", 300},
                                             {"totalHeight", 200}};
    struct Case {
        const char* type;
        std::map<std::string, double> sizes;
        const char* stories;
        const char* style;
        size_t walls;
        size_t floors;
        size_t roofs;
        size_t planes;
        size_t peaks;  // walls with a fifth node
    } cases[] = {
        {"square", square, "1", "gable", 4, 1, 1, 2, 2},
        {"square", square, "2", "hipped", 4, 2, 1, 4, 0},
        {"L", l, "1", "gable", 6, 1, 2, 4, 3},
        {"L", l, "2", "hipped", 6, 2, 2, 8, 0},
        {"Lx", l, "2", "gable", 6, 2, 2, 4, 3},
        {"U", u, "1", "gable", 8, 1, 3, 6, 2},
        {"U", u, "2", "hipped", 8, 2, 3, 12, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.stories + " " + c.style);
        control.scene.DeleteAll();
        control.undoList.Clear();
        control.globalState.SetBoolean(0, false);
        const WizardPlan plan = WizardPlanBuilder(control).Build(
            *Answers{{{"numStories", c.stories}, {"wallHeight", "100"}, {"roofStyle", c.style}},
                     c.type,
                     c.sizes}
                 .Tree());
        EXPECT_TRUE(control.globalState.GetBoolean(0));
        const auto walls = InScene<Wall>(control);
        for (size_t i = 0; i < walls.size(); ++i)
            EXPECT_EQ(walls[i]->GetLinkedEnd(), walls[(i + 1) % walls.size()]) << i;
        const auto floors = InScene<Floor>(control);
        const auto roofs = InScene<RoofGroup>(control);
        const auto planes = InScene<Roof>(control);
        ASSERT_EQ(walls.size(), c.walls);
        ASSERT_EQ(floors.size(), c.floors);
        ASSERT_EQ(roofs.size(), c.roofs);
        EXPECT_EQ(planes.size(), c.planes);
        size_t peaks = 0;
        const double height = plan.totalWallHeight;
        for (size_t i = 0; i < walls.size(); ++i) {
            Wall* wall = walls[i];
            // A closed ring: every wall's end joins the next one's begin.
            EXPECT_EQ(wall->GetLinkedEnd(), walls[(i + 1) % walls.size()]);
            EXPECT_DOUBLE_EQ(wall->GetOutline().GetPrimaryPoints()[0].position.y, 0.0);
            EXPECT_NEAR(wall->BeginHeight(), height, 1e-9);
            if (wall->GetOutline().GetPrimaryCount() == 5) {
                ++peaks;
                EXPECT_NEAR(wall->GetBoundingBox().max.y, height + plan.roofRise, 1e-6);
            }
        }
        EXPECT_EQ(peaks, c.peaks);
        for (size_t k = 0; k < floors.size(); ++k) {
            EXPECT_NEAR(floors[k]->GetTop(), 1.0 + 100.0 * k, 1e-9);
            EXPECT_EQ(floors[k]->GetOutline().GetPrimaryCount(), c.walls);
            EXPECT_GT(floors[k]->GetOutline().normal.y, 0.0);
        }
        for (RoofGroup* roof : roofs) {
            // The ridge stands the rise over the tops of the walls.
            EXPECT_NEAR(roof->GetPeakCenter().position.y, height + plan.roofRise, 1e-6);
            EXPECT_GE(roof->CountPlanes(), 2);
            for (int i = 0; i < roof->CountPlanes(); ++i) {
                Roof* plane = roof->GetPlane(i);
                ASSERT_NE(plane, nullptr);
                EXPECT_LT(plane->GetOutline().normal.y, 0.0);
                EXPECT_LT(plane->GetBoundingBox().min.y, height);
            }
        }
        // The build is one step: undone, the scene is empty again.
        control.Undo();
        EXPECT_TRUE(InScene<Wall>(control).empty());
        EXPECT_TRUE(InScene<Floor>(control).empty());
        control.deletedObjects.DeleteAll();
    }
    control.scene.DeleteAll();
}
