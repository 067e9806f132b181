#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "building/BaseMolding.h"
#include "building/Column.h"
#include "building/Fence.h"
#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "interaction/DragDropHandler.h"
#include "interaction/FenceCommand.h"
#include "interaction/KivoraDropCommand.h"
#include "interaction/MoldingProfileCommand.h"
#include "model/Group.h"
#include "model/Model.h"
#include "platform/DragDrop.h"
#include "platform/Input.h"
#include "platform/MessageBox.h"
#include "render/LightSource.h"
#include "render/Window.h"
#include "slabs/ParametricShape.h"
#include "support/ContentServer.h"
#include "support/LiveControl.h"

namespace {

int UndoEntries(BaseControl& control) {
    control.LockRender();
    const int entries = static_cast<int>(control.GetUndoList().UndoEntries().GetCount());
    control.UnlockRender();
    return entries;
}

template <class T>
std::vector<T*> SceneOf(BaseControl& control) {
    std::vector<T*> found;
    control.LockRender();
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (auto* object = dynamic_cast<T*>(node)) found.push_back(object);
    control.UnlockRender();
    return found;
}

// A catalogue link as a page's text carries it.
platform::RefPtr<platform::DataObject> Link(const std::string& address) {
    auto data = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    data->SetText("x?" + address + "?");
    return data;
}

// A catalogue server with a model description for fence and column parts, and a running
// control; the left button counts as held for drags played through the drop target.
class DropCommandsNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        KeyDataList part;
        part.AddSublist("Model")->AddString("URLwithoutDomain", "3d/box.3c_");
        content.ServeTree("/parts/post.3c_", part);
        content.ServeTree("/parts/cap.3c_", part);
        content.ServeTree("/parts/other.3c_", part);
        for (auto [path, kind, key, value] :
             {std::tuple{"/picket.3c_", "Fence", "BetweenPostURLWithoutDomain", "parts/post.3c_"},
              std::tuple{"/doric.3c_", "Column", "columnCapURLWithoutDomain", "parts/cap.3c_"},
              std::tuple{"/ionic.3c_", "Column", "columnCapURLWithoutDomain", "parts/other.3c_"}}) {
            KeyDataList item;
            item.AddSublist(kind)->AddString(key, value);
            content.ServeTree(path, item);
        }
        KeyDataList crown;
        crown.AddSublist("Molding")->AddString("urlWithoutDomain", "profiles/crown.3c_");
        content.ServeTree("/crown.3c_", crown);
        KeyDataList lamp;
        KeyDataList* light = lamp.AddSublist("LightSource");
        light->AddString("URLwithoutDomain", "3d/box.3c_");
        light->AddString("Name", "lamp");
        content.ServeTree("/lamp.3c_", lamp);
        ASSERT_TRUE(content.Start());
        platform::SetMessageBoxResponder(
            [](const platform::MessageBoxRequest&) { return platform::MessageAnswer::No; });
        ASSERT_TRUE(live.PumpUntilRunning());
    }
    void TearDown() override {
        platform::SetKeyState(platform::VK_LBUTTON, false);
        platform::SetMessageBoxResponder(nullptr);
    }

    // A screen point of the main view's client point.
    platform::ScreenPoint At(int x, int y) {
        live.control->mainWindow->ClientToScreen(x, y);
        return {x, y};
    }
    DragDropHandler& Target() { return *live.control->mainWindow->dropTarget; }
    // Enters the drag of `data`, with the left button held.
    void Enter(platform::IDataObject* data) {
        platform::SetKeyState(platform::VK_LBUTTON, true);
        uint32_t effect = platform::DROPEFFECT_COPY;
        Target().DragEnter(data, platform::MK_LBUTTON, At(20, 20), &effect);
    }

    // A model with a 10-inch box at x, selected, in the scene.
    Model* AddModel(double x) {
        auto* model = new Model;
        KeyDataList keys;
        Vector(0, 0, 0).WriteChild(keys, "BoundingBoxMin");
        Vector(10, 10, 10).WriteChild(keys, "BoundingBoxMax");
        model->ReadKeyData(keys);
        model->SetPosition(Vector(x, 0, 0));
        model->SetSelected(true);
        live.control->LockRender();
        live.control->scene.Append(model);
        live.control->UnlockRender();
        return model;
    }
    // Saves the scene as a plan in the temporary folder and empties the scene.
    std::string SavePlanAndClear(const char* name) {
        char path[BaseControl::kPathSize];
        std::snprintf(path, sizeof path, "%s%s", live.TemporaryFolder().c_str(), name);
        EXPECT_TRUE(live.control->WriteSceneGraphFile(path, sizeof path, false));
        live.control->LockRender();
        live.control->ClearScene();
        live.control->UnlockRender();
        return path;
    }
    // Enters the drag of the plan file and waits for its load.
    KivoraDropCommand* EnterPlan(const std::string& path) {
        auto file = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
        file->SetFiles({path});
        Enter(file.Get());
        auto* drop = dynamic_cast<KivoraDropCommand*>(Target().GetCommand());
        if (drop) EXPECT_TRUE(LiveControl::PumpUntil([&] { return drop->IsLoadFinished(); }));
        return drop;
    }

    ContentServer content;
    LiveControl live;
};

TEST_F(DropCommandsNetTest, ADroppedLightJoinsTheSceneAtItsHeightAsOneUndoStep) {
    BaseControl& control = *live.control;
    const size_t lightsBefore = SceneOf<LightSource>(control).size();
    const int entriesBefore = UndoEntries(control);

    auto lamp = Link(content.Domain() + "lamp.3c_");
    platform::PlayDrag(live.window, lamp.Get(), {{10, 10}, {20, 30}, {32, 30}});
    std::vector<LightSource*> lights = SceneOf<LightSource>(control);
    ASSERT_EQ(lights.size(), lightsBefore + 1);
    LightSource* dropped = nullptr;
    for (LightSource* light : lights)
        if (std::string(light->GetURL()) == content.Domain() + "3d/box.3c_") dropped = light;
    ASSERT_NE(dropped, nullptr);
    EXPECT_EQ(dropped, lights.front()) << "lights lead the scene";
    EXPECT_NEAR(dropped->GetPosition().y, 200.0, 1e-6);
    EXPECT_EQ(Target().GetCommand(), nullptr);
    EXPECT_EQ(UndoEntries(control), entriesBefore + 3);
    // Undo takes the scene's last spotlight away only after the user agreed.
    platform::SetMessageBoxResponder(
        [](const platform::MessageBoxRequest&) { return platform::MessageAnswer::Yes; });
    ASSERT_TRUE(control.Undo());
    EXPECT_EQ(SceneOf<LightSource>(control).size(), lightsBefore);

    // A drag that leaves takes its light out again and records nothing.
    platform::PlayDrag(live.window, lamp.Get(), {{10, 10}, {30, 20}}, false);
    EXPECT_EQ(SceneOf<LightSource>(control).size(), lightsBefore);
}

TEST_F(DropCommandsNetTest, FenceAndColumnItemsRestyleWhatTheyAreDroppedOn) {
    BaseControl& control = *live.control;
    auto* fence = new Fence;
    auto* column = new Column(true);
    control.LockRender();
    for (Fence* run : {fence, static_cast<Fence*>(column)}) {
        run->InsertPostAt(Vector(0, 0, 0));
        run->InsertPostAt(Vector(100, 0, 0));
        control.scene.Append(run);
    }
    control.UnlockRender();
    BaseModel* posts = fence->GetPostModel();

    // The fence item names the rails only: the posts stay.
    auto picket = Link(content.Domain() + "picket.3c_");
    Enter(picket.Get());
    auto* restyle = dynamic_cast<FenceCommand*>(Target().GetCommand());
    ASSERT_NE(restyle, nullptr);
    control.LockRender();
    EXPECT_FALSE(restyle->ApplyToHits({fence})) << "a hit without its part";
    EXPECT_TRUE(restyle->ApplyToHits({fence, fence}));
    control.UnlockRender();
    Target().DragLeave();
    ASSERT_NE(fence->GetBetweenPostModel(), nullptr);
    EXPECT_EQ(std::string(fence->GetBetweenPostModel()->GetURL()),
              content.Domain() + "3d/box.3c_");
    EXPECT_EQ(fence->GetPostModel(), posts);

    // A column item dropped on the shaft changes both ends; on the capital only that.
    auto doric = Link(content.Domain() + "doric.3c_");
    Enter(doric.Get());
    restyle = dynamic_cast<FenceCommand*>(Target().GetCommand());
    ASSERT_NE(restyle, nullptr);
    control.LockRender();
    EXPECT_TRUE(restyle->ApplyToHits({column, column}));
    control.UnlockRender();
    Target().DragLeave();
    BaseModel* cap = column->GetCapModel();
    BaseModel* base = column->GetBaseModel();
    ASSERT_NE(cap, nullptr);
    ASSERT_NE(base, nullptr);
    EXPECT_NE(cap, base);
    EXPECT_EQ(std::string(cap->GetURL()), content.Domain() + "3d/box.3c_");

    auto ionic = Link(content.Domain() + "ionic.3c_");
    Enter(ionic.Get());
    restyle = dynamic_cast<FenceCommand*>(Target().GetCommand());
    ASSERT_NE(restyle, nullptr);
    control.LockRender();
    EXPECT_TRUE(restyle->ApplyToHits({column, cap}));
    control.UnlockRender();
    Target().DragLeave();
    EXPECT_NE(column->GetCapModel(), cap);
    EXPECT_EQ(column->GetBaseModel(), base);
    EXPECT_EQ(content.Requests("/parts/other.3c_"), 1) << "one new model, for the capital";

    // A molding item gives the molding under the part its profile file, in the step of
    // the column it belongs to.
    BaseMolding* molding = column->GetPostMolding();
    ASSERT_NE(molding, nullptr);
    auto crown = Link(content.Domain() + "crown.3c_");
    Enter(crown.Get());
    auto* profile = dynamic_cast<MoldingProfileCommand*>(Target().GetCommand());
    ASSERT_NE(profile, nullptr);
    const int entries = UndoEntries(control);
    control.LockRender();
    EXPECT_FALSE(profile->ApplyToHits({fence, fence}));
    EXPECT_TRUE(profile->ApplyToHits({column, molding, &molding->GetSurface()}));
    control.UnlockRender();
    Target().DragLeave();
    ASSERT_NE(molding->GetShape(), nullptr);
    EXPECT_EQ(molding->GetShape()->GetType(), ParametricShape::kIrregular);
    EXPECT_EQ(molding->GetState()->GetString(0), content.Domain() + "profiles/crown.3c_");
    EXPECT_GT(UndoEntries(control), entries);
}

TEST_F(DropCommandsNetTest, ADroppedPlanOfOneGroupMergesAndIsPlacedAsOneUndoStep) {
    CDuzazododiza& control = *live.control;
    // A plan of one group of two models.
    AddModel(0.0);
    AddModel(40.0);
    ASSERT_EQ(control.CreateGroup(), platform::S_OK);
    const std::string path = SavePlanAndClear("group.kvp");
    ASSERT_TRUE(SceneOf<Group>(control).empty());
    const int entriesBefore = UndoEntries(control);

    KivoraDropCommand* drop = EnterPlan(path);
    ASSERT_NE(drop, nullptr);
    EXPECT_TRUE(KivoraDropCommand::IsLoadBusy()) << "until the command ends too";
    ASSERT_NE(drop->GetMergedGroup(), nullptr);

    // A second plan meanwhile is ignored.
    KivoraDropCommand second(path.c_str(), true);
    second.Begin(0, At(20, 20), nullptr);
    EXPECT_FALSE(second.IsLoadFinished());

    uint32_t effect = platform::DROPEFFECT_COPY;
    Target().DragOver(platform::MK_LBUTTON, At(25, 25), &effect);
    Target().Drop(nullptr, platform::MK_LBUTTON, At(25, 25), &effect);
    EXPECT_FALSE(KivoraDropCommand::IsLoadBusy());
    std::vector<Group*> groups = SceneOf<Group>(control);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]->CountObjects(), 2);
    EXPECT_EQ(UndoEntries(control), entriesBefore + 3);
    ASSERT_EQ(control.Undo(), platform::S_OK);
    EXPECT_TRUE(SceneOf<Group>(control).empty());
}

TEST_F(DropCommandsNetTest, ADroppedPlanOfSeveralObjectsReplacesTheSceneUnmodified) {
    CDuzazododiza& control = *live.control;
    AddModel(0.0);
    AddModel(40.0);
    const std::string path = SavePlanAndClear("two.kvp");
    AddModel(200.0);

    KivoraDropCommand* drop = EnterPlan(path);
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(drop->GetMergedGroup(), nullptr);
    uint32_t effect = platform::DROPEFFECT_COPY;
    Target().Drop(nullptr, platform::MK_LBUTTON, At(25, 25), &effect);
    std::vector<Model*> models;
    for (Model* model : SceneOf<Model>(control))
        if (!dynamic_cast<LightSource*>(model)) models.push_back(model);
    ASSERT_EQ(models.size(), 2u);
    EXPECT_EQ(models[0]->GetPosition().x, 0.0);
    EXPECT_EQ(models[1]->GetPosition().x, 40.0);
    EXPECT_FALSE(control.globalState.GetBoolean(0)) << "no save question at the next load";
    EXPECT_FALSE(KivoraDropCommand::IsLoadBusy());
}

}  // namespace
