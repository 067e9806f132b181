#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "interaction/DragDropHandler.h"
#include "model/Model.h"
#include "platform/DragDrop.h"
#include "platform/MessageBox.h"
#include "render/Window.h"
#include "support/ContentServer.h"
#include "support/LiveControl.h"

namespace {

// The free-standing catalogue models of the scene (lights and the sky left out).
std::vector<Model*> PlacedModels(BaseControl& control) {
    std::vector<Model*> models;
    control.LockRender();
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext()) {
        auto* model = dynamic_cast<Model*>(node);
        if (model && model->GetTypeMask() == TypeMask::kModelObject) models.push_back(model);
    }
    control.UnlockRender();
    return models;
}

int UndoEntries(BaseControl& control) {
    control.LockRender();
    const int entries = static_cast<int>(control.GetUndoList().UndoEntries().GetCount());
    control.UnlockRender();
    return entries;
}

TEST(CatalogueDropNetTest, ADraggedItemIsFetchedPlacedUndoneAndSavedWithThePlan) {
    ContentServer content;
    KeyDataList chair;
    KeyDataList* item = chair.AddSublist("Model");
    item->AddString("URLwithoutDomain", "3d/box.3c_");
    item->AddString("Name", "chair");
    content.ServeTree("/catalogue/furniture/chair.3c_", chair);
    ASSERT_TRUE(content.Start());
    platform::SetMessageBoxResponder(
        [](const platform::MessageBoxRequest&) { return platform::MessageAnswer::No; });

    LiveControl live;
    ASSERT_TRUE(live.PumpUntilRunning());
    BaseControl& control = *live.control;
    const int entriesBefore = UndoEntries(control);

    // The directory page's item as the page's HTML carries it.
    auto data = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    data->SetHtml("<div class=\"item\"><img src=\"/thumbs/chair.png\" alt=\"" + content.Domain() +
                      "catalogue/furniture/chair.3c_\" title=\"Chair\" width=\"48\" height=\"48\" "
                      "draggable=\"true\"><br></div>",
                  content.Domain() + "directory/directory.aspx");
    platform::PlayDrag(live.window, data.Get(), {{10, 10}, {20, 30}, {32, 30}});
    EXPECT_EQ(content.Requests("/catalogue/furniture/chair.3c_"), 1);

    std::vector<Model*> placed = PlacedModels(control);
    ASSERT_EQ(placed.size(), 1u);
    Model* model = placed[0];
    EXPECT_EQ(std::string(model->GetURL()), content.Domain() + "3d/box.3c_");
    ASSERT_TRUE(LiveControl::PumpUntil([&] { return model->IsLoaded(); }));
    EXPECT_TRUE(model->IsSelected());
    const Vector at = model->GetPosition();
    EXPECT_TRUE(std::isfinite(at.x) && std::isfinite(at.z));
    EXPECT_NEAR(at.y, control.GetCurrentFloorElevation(), 1e-6) << "on the floor";
    EXPECT_EQ(live.control->mainWindow->dropTarget->GetCommand(), nullptr);
    // One group: its start, the model's creation and its end.
    EXPECT_EQ(UndoEntries(control), entriesBefore + 3);

    ASSERT_TRUE(control.Undo());
    EXPECT_TRUE(PlacedModels(control).empty());
    ASSERT_TRUE(control.Redo());
    placed = PlacedModels(control);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(std::string(placed[0]->GetURL()), content.Domain() + "3d/box.3c_");
    Model* redone = placed[0];
    ASSERT_TRUE(LiveControl::PumpUntil([&] { return redone->IsLoaded(); }));

    char path[BaseControl::kPathSize];
    std::snprintf(path, sizeof path, "%sdropped.kvp", live.TemporaryFolder().c_str());
    ASSERT_TRUE(control.WriteSceneGraphFile(path, sizeof path, false));
    // Clearing the scene deletes its models under the scene's list lock: none may still
    // be loading then.
    std::vector<BaseModel*> loading;
    control.LockRender();
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (auto* any = dynamic_cast<BaseModel*>(node)) loading.push_back(any);
    control.UnlockRender();
    for (BaseModel* any : loading) any->WaitForDownload();
    control.LockRender();
    control.ClearScene();
    control.UnlockRender();
    EXPECT_TRUE(PlacedModels(control).empty());
    control.LoadPlanFile(path, false);
    placed = PlacedModels(control);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(std::string(placed[0]->GetURL()), content.Domain() + "3d/box.3c_");
    EXPECT_NEAR(placed[0]->GetPosition().x, at.x, 1e-6);
    EXPECT_NEAR(placed[0]->GetPosition().z, at.z, 1e-6);
    platform::SetMessageBoxResponder(nullptr);
}

TEST(CatalogueDropNetTest, ALeftDragRemovesItsModelAndAnUnreadableItemBuildsNothing) {
    ContentServer content;
    KeyDataList chair;
    chair.AddSublist("Model")->AddString("URLwithoutDomain", "3d/box.3c_");
    content.ServeTree("/chair.3c_", chair);
    content.Serve("/broken.3c_", "not a cabinet");
    ASSERT_TRUE(content.Start());
    LiveControl live;
    ASSERT_TRUE(live.PumpUntilRunning());
    BaseControl& control = *live.control;
    const int entriesBefore = UndoEntries(control);

    auto link = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    link->SetText("http://x/page.aspx?name=Chair&kvr=" + content.Domain() + "chair.3c_&userID=1");
    platform::PlayDrag(live.window, link.Get(), {{10, 10}, {30, 20}}, false);
    EXPECT_EQ(content.Requests("/chair.3c_"), 1);
    EXPECT_TRUE(PlacedModels(control).empty());
    EXPECT_EQ(UndoEntries(control), entriesBefore);

    auto broken = platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    broken->SetText("x?" + content.Domain() + "broken.3c_?");
    platform::PlayDrag(live.window, broken.Get(), {{10, 10}, {30, 20}});
    EXPECT_TRUE(PlacedModels(control).empty());
    EXPECT_EQ(live.control->mainWindow->dropTarget->GetCommand(), nullptr);
}

}  // namespace
