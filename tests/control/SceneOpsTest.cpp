#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "control/SceneObjectKinds.h"
#include "foundation/Transaction.h"
#include "model/Group.h"
#include "model/Model.h"
#include "platform/MessageBox.h"
#include "render/EditorObjectKinds.h"
#include "render/LightSource.h"
#include "render/Window.h"
#include "support/SceneFixtures.h"

namespace {

// The editor's own answers, with a record of what the building elements (stairs, roof
// groups, walls, slabs) were asked, which the editor does not have yet, and a dimmer for
// stand-ins of lights that are not fully on.
struct BuildingKinds : EditorObjectKinds {
    double LightOnValue(const RenderableObject& light) const override {
        auto found = onValues.find(&light);
        return found == onValues.end() ? EditorObjectKinds::LightOnValue(light) : found->second;
    }
    void RebuildStairs(RenderableObject&) const override { ++stairsRebuilt; }
    void UpdateRoofGroupPeak(RenderableObject&) const override { ++peaksUpdated; }
    void RefreshDimensions(RenderableObject&) const override { ++wallsRefreshed; }
    void PassBlueprintScheme(RenderableObject&, int scheme) const override {
        schemes.push_back(scheme);
    }
    int CountChildren(const RenderableObject& object) const override {
        auto found = children.find(&object);
        return found == children.end() ? EditorObjectKinds::CountChildren(object)
                                       : found->second;
    }

    std::map<const RenderableObject*, double> onValues;
    std::map<const RenderableObject*, int> children;
    mutable int stairsRebuilt = 0;
    mutable int peaksUpdated = 0;
    mutable int wallsRefreshed = 0;
    mutable std::vector<int> schemes;
};

class SceneOpsTest : public ::testing::Test {
protected:
    SceneOpsTest() {
        SetSceneObjectKinds(&kinds);
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& box) {
            boxes.push_back(box);
            return answer;
        });
    }
    ~SceneOpsTest() override {
        platform::SetMessageBoxResponder(nullptr);
        SetSceneObjectKinds(nullptr);
        control.scene.DeleteAll();
        control.deletedObjects.DeleteAll();
        control.undoList.Clear();
    }

    TestItem* Add(uint64_t mask) {
        auto* item = new TestItem(mask);
        control.scene.Append(item);
        return item;
    }
    uint64_t Hidden() { return control.view->renderState.GetInt64(0); }

    ScopedProgramFolder programFolder;
    SceneTestControl control;
    BuildingKinds kinds;
    std::vector<platform::MessageBoxRequest> boxes;
    platform::MessageAnswer answer = platform::MessageAnswer::Ok;
};

TEST_F(SceneOpsTest, SavedViewsAreStoredRestoredAndWrittenWithThePlan) {
    Window main;
    control.mainWindow = &main;
    main.camera.SetVector(0, Vector(1, 2, 3));
    main.fieldOfView = 35.0;
    main.viewFlags.SetInteger(0, Window::kBlueprintView);

    EXPECT_FALSE(control.GoToSceneState(4));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "No Data Saved");
    EXPECT_EQ(main.viewFlags.GetInteger(0), Window::kBlueprintView) << "nothing changed";

    control.SaveSceneStateAs(4);
    EXPECT_EQ(boxes.size(), 1u) << "an empty entry is stored without asking";
    main.camera.SetVector(0, Vector(9, 9, 9));
    main.fieldOfView = 60.0;
    main.viewFlags.SetInteger(0, Window::kPerspectiveView);

    // Overwriting asks; Cancel keeps the stored view.
    answer = platform::MessageAnswer::Cancel;
    control.SaveSceneStateAs(4);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, "Overwrite Existing");
    EXPECT_EQ(boxes[1].buttons, platform::MessageButtons::OkCancel);

    EXPECT_TRUE(control.GoToSceneState(4));
    EXPECT_EQ(main.camera.GetVector(0).x, 1.0);
    EXPECT_EQ(main.fieldOfView, 35.0);
    EXPECT_EQ(main.viewFlags.GetInteger(0), Window::kBlueprintView);

    // Through a plan element into an entry of another control's stack.
    SceneState& stored = control.sceneStates[4];
    stored.number = 4;
    stored.WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(stored.TakeElement());
    ASSERT_TRUE(element);
    EXPECT_STREQ(element->GetName(), "SceneState4");
    SceneState loaded;
    loaded.ReadKeyData(*element->GetChildren());
    EXPECT_EQ(loaded.initialised, 1);
    EXPECT_EQ(loaded.viewState.GetVector(0).z, 3.0);
    EXPECT_EQ(loaded.viewState.GetDouble(0), 35.0);
    EXPECT_EQ(loaded.renderState.GetInteger(0), Window::kBlueprintView);

    // Out of range: refused without a box or an element.
    EXPECT_FALSE(control.GoToSceneState(10));
    control.SaveSceneStateAs(-1);
    EXPECT_EQ(boxes.size(), 2u);
    loaded.number = 10;
    loaded.WriteKeyData();
    EXPECT_EQ(loaded.TakeElement(), nullptr);
    control.mainWindow = nullptr;
}

TEST_F(SceneOpsTest, DeletingTheSelectionIsOneUndoGroup) {
    auto* first = new Model;
    control.scene.Append(first);
    TestItem* kept = Add(TypeMask::kWall);
    auto* second = new Group;
    second->AddMember(new Model);
    second->AddMember(new Model);
    control.scene.Append(second);
    first->SetSelected(true);
    second->SetSelected(true);
    control.globalState.SetBoolean(18, true);

    control.DeleteSelectedObjects();
    EXPECT_EQ(control.scene.GetCount(), 1u);
    EXPECT_TRUE(control.scene.Contains(kept));
    EXPECT_TRUE(control.deletedObjects.Contains(first));
    EXPECT_TRUE(control.deletedObjects.Contains(second));
    EXPECT_FALSE(first->IsSelected());
    EXPECT_FALSE(control.globalState.GetBoolean(18));
    EXPECT_EQ(control.undoList.GroupDepth(), 0);

    control.Undo();
    EXPECT_EQ(control.scene.GetCount(), 3u) << "both come back in one step";
    control.Redo();
    EXPECT_EQ(control.scene.GetCount(), 1u);
}

TEST_F(SceneOpsTest, HiddenTypesAreQueuedAndShownAgain) {
    TestItem* wall = Add(TypeMask::kWall);
    TestItem* model = Add(TypeMask::kModelObject);

    control.SetVisibilityByTypeMask(TypeBit::kWall, false, true);
    control.SetVisibilityByTypeMask(TypeBit::kWall, false, true);
    EXPECT_FALSE(wall->IsVisible());
    EXPECT_TRUE(model->IsVisible());
    EXPECT_EQ(Hidden(), TypeBit::kWall);
    EXPECT_EQ(control.hiddenQueue.GetCount(), 2u) << "each hiding is queued";

    control.AddToSecondTypeMask(TypeBit::kWall | TypeBit::kFloor);
    control.ApplyPendingVisibility();
    EXPECT_TRUE(wall->IsVisible());
    EXPECT_EQ(Hidden(), 0u);
    EXPECT_EQ(control.hiddenQueue.GetCount(), 0u) << "showing the type takes all its entries";
    EXPECT_EQ(control.view->renderState.GetInt64(1), TypeBit::kFloor);
    control.ApplyPendingVisibility();  // an empty queue: nothing

    // A hidden object entry shows just that object.
    model->SetVisible(false);
    control.QueueHiddenObject(model);
    control.ApplyPendingVisibility();
    EXPECT_TRUE(model->IsVisible());

    control.ToggleVisibilityByTypeMask(TypeBit::kModel);
    EXPECT_FALSE(model->IsVisible());
    control.ToggleVisibilityByTypeMask(TypeBit::kModel);
    EXPECT_TRUE(model->IsVisible());
}

TEST_F(SceneOpsTest, ShowingEveryTypeEmptiesTheQueueAndRebuildsStairsAndRoofs) {
    Add(TypeMask::kStairs);
    Add(TypeMask::kRoofGroup);
    TestItem* wall = Add(TypeMask::kWall);
    control.SetVisibilityByTypeMask(TypeBit::kWall, false, false);
    control.QueueHiddenObject(wall);
    control.QueueHiddenTypes(TypeBit::kText);

    control.SetVisibilityByTypeMask(TypeMask::kAllTypes, true, false);
    EXPECT_EQ(control.hiddenQueue.GetCount(), 0u);
    EXPECT_TRUE(wall->IsVisible());
    EXPECT_EQ(Hidden(), 0u);
    EXPECT_EQ(kinds.stairsRebuilt, 1);
    EXPECT_EQ(kinds.peaksUpdated, 1);
}

TEST_F(SceneOpsTest, OnlyLightsFullyOnAndUnlockedBecomeActive) {
    auto light = [this] {
        auto* made = new LightSource;
        control.scene.Append(made);
        return made;
    };
    LightSource* dimmed = light();
    LightSource* locked = light();
    LightSource* on = light();
    kinds.onValues[dimmed] = 0.5;
    locked->SetLocked(true);

    EXPECT_FALSE(control.SetActiveLight(dimmed));
    EXPECT_FALSE(control.SetActiveLight(locked));
    EXPECT_EQ(control.FindActiveLight(), on);
    EXPECT_EQ(control.activeLight, on);
    EXPECT_TRUE(control.SetActiveLight(nullptr));
    EXPECT_EQ(control.activeLight, nullptr);
    EXPECT_TRUE(control.HasSwitchedLight());
    kinds.onValues[dimmed] = 1.0;
    EXPECT_FALSE(control.HasSwitchedLight());

    // Depth maps: made at once, or flagged for later.
    control.globalState.SetBoolean(12, true);
    control.RebuildDisplayData();
    for (LightSource* each : {dimmed, locked, on}) EXPECT_TRUE(each->IsDepthMapStale());
    control.globalState.SetBoolean(12, false);
    control.RebuildDisplayData();
    for (LightSource* each : {dimmed, locked, on}) EXPECT_FALSE(each->IsDepthMapStale());
}

TEST_F(SceneOpsTest, CountsRefreshesAndSchemesFollowTheTypes) {
    TestItem* wall = Add(TypeMask::kWall);
    // A group of a model and a nested group of two counts its three models.
    auto* inner = new Group;
    inner->AddMember(new Model);
    inner->AddMember(new Model);
    auto* group = new Group;
    group->AddMember(new Model);
    group->AddMember(inner);
    control.scene.Append(group);
    control.scene.Append(new LightSource);
    TestItem* dimension = Add(TypeMask::kDimensionObject);
    Add(TypeMask::kRoofGroup);
    control.scene.Append(new Model);
    kinds.children[wall] = 3;
    EXPECT_EQ(control.CountItems(), 1 + 3 + 1 + 2 + 1);

    control.RefreshTypedObjects();
    EXPECT_TRUE(dimension->NeedsRebuild());
    EXPECT_EQ(kinds.wallsRefreshed, 1);

    control.SetBlueprintColorScheme(3);
    EXPECT_EQ(control.blueprintColorScheme, 3);
    EXPECT_EQ(kinds.schemes, std::vector<int>{3}) << "the slab passes it on";
    control.SetBlueprintColorScheme(6);
    EXPECT_EQ(control.blueprintColorScheme, 3);
}

TEST(ScenePolygon, EvenOddTestInThePlan) {
    const Vector square[4] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    struct Case {
        double x, z;
        bool inside;
    };
    for (const Case& c : {Case{5, 5, true}, Case{15, 5, false}, Case{5, -1, false}}) {
        EXPECT_EQ(BaseControl::PointInPolygon(c.x, c.z, square, 4), c.inside) << c.x << "," << c.z;
    }
    EXPECT_FALSE(BaseControl::PointInPolygon(5, 5, square, 0));
    EXPECT_FALSE(BaseControl::PointInPolygon(5, 5, nullptr, 4));
}

TEST_F(SceneOpsTest, OnceMessagesShowOnlyWhileTheirFlagIsSet) {
    control.globalState.SetBoolean(30, true);
    EXPECT_TRUE(control.ShowOnceMessage(273, "Hint", 30));
    EXPECT_FALSE(control.ShowOnceMessage(273, "Hint", 30));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(control.globalState.GetBoolean(30));
}

}  // namespace
