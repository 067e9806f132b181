#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "building/Wall.h"
#include "control/dialogs/SlabCoveringPropertyDialog.h"
#include "foundation/KeyDataList.h"
#include "platform/Menu.h"
#include "support/WallFixtures.h"

namespace {

std::string Keys(Wall* wall) {
    wall->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(wall->TakeWrittenElement());
    std::string text;
    element->GetChildren()->WriteXML(text);
    return text;
}

TEST(WallCommandsTest, PropertiesEditThePickedSurface) {
    WallScene s;
    Wall* wall = s.Add(Vector(0, 0, 0), Vector(100, 0, 0));
    struct Case {
        int surface;
        double percent;
        double opacity;
        bool transparent;
    };
    for (const Case& c : {Case{1000, 30.0, 0.7, true}, Case{1001, 0.0, 1.0, false}}) {
        SCOPED_TRACE(c.surface);
        ASSERT_TRUE(s.control.globalState.SetInteger(4, c.surface));
        BaseSlabPropertyDialog dialog(wall);
        dialog.thickness = 6.0;
        dialog.height = 100.0;
        dialog.reflectivity = c.percent;
        dialog.scale = Vector(2, 3, 0);
        EXPECT_EQ(wall->OnDialogNotify(&dialog, 1), 0);
        const Material& m = *wall->GetSurface(c.surface)->material;
        EXPECT_NEAR(m.opacity, c.opacity, 1e-9);
        EXPECT_EQ(m.transparent != 0, c.transparent);
        EXPECT_DOUBLE_EQ(m.granularity.y, 3.0);
        EXPECT_DOUBLE_EQ(wall->GetThickness(), 6.0);
    }
    // A pick that hit no surface is recorded as 0, and then no material changes.
    ASSERT_TRUE(s.control.globalState.SetInteger(4, 0));
    EXPECT_EQ(wall->PickedSurface(), 0);
    const double before = wall->GetSurface(1000)->material->opacity;
    BaseSlabPropertyDialog dialog(wall);
    dialog.thickness = 6.0;
    dialog.height = 100.0;
    dialog.reflectivity = 90.0;
    wall->OnDialogNotify(&dialog, 1);
    EXPECT_DOUBLE_EQ(wall->GetSurface(1000)->material->opacity, before);
}

TEST(WallCommandsTest, BillOfMaterials) {
    WallScene s;
    Wall* wall = s.Add(Vector(0, 0, 0), Vector(100, 0, 0), 50.0, 10.0);
    std::string xml;
    wall->WriteObjectInformation(xml);
    EXPECT_EQ(xml.rfind("<wall  area=\"", 0), 0u) << xml;
    EXPECT_NE(xml.find("thickness=\"10.0000\""), std::string::npos);
    // The edge surface's area: the outline's perimeter (100 x 50) times the thickness.
    EXPECT_NE(xml.find("<edgesurface area=\"3000.00\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<holeList></holeList>"), std::string::npos);
    EXPECT_NE(xml.find("<nodeList><node coord="), std::string::npos);
    EXPECT_EQ(xml.substr(xml.size() - 7), "</wall>");
}

TEST(WallCommandsTest, DeleteHandsTheWallToTheDeletedListAndUndoBringsItBack) {
    WallScene s;
    Wall* wall = s.Add(Vector(0, 0, 0), Vector(100, 0, 0));
    s.control.BeginUndoGroup();
    wall->BeginUndoStep();
    EXPECT_TRUE(wall->ProcessPropertyMenu(104));
    s.control.EndUndoGroup();
    EXPECT_EQ(s.control.scene.GetCount(), 0u);
    EXPECT_EQ(wall->GetOwner(), &s.control.deletedObjects);
    s.control.Undo();
    EXPECT_EQ(s.control.scene.GetCount(), 1u);
    // A locked wall stays.
    Wall* locked = s.Add(Vector(0, 0, 50), Vector(100, 0, 50));
    locked->SetLocked(true);
    locked->BeginUndoStep();
    EXPECT_TRUE(locked->ProcessPropertyMenu(104));
    locked->CancelUndoStep();
    EXPECT_EQ(locked->GetOwner(), &s.control.scene);
}

TEST(WallCommandsTest, ThicknessOfAChainIsUndoneForEveryWall) {
    WallScene s;
    Wall* w[4] = {
        s.Add(Vector(0, 0, 0), Vector(100, 0, 0)), s.Add(Vector(100, 0, 0), Vector(100, 0, 80)),
        s.Add(Vector(100, 0, 80), Vector(0, 0, 80)), s.Add(Vector(0, 0, 80), Vector(0, 0, -40))};
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(w[i]->LinkWith(w[i + 1], 2, 1));
    std::string before[4];
    for (int i = 0; i < 4; ++i) before[i] = Keys(w[i]);
    s.control.BeginUndoGroup();
    w[0]->BeginUndoStep();
    EXPECT_EQ(w[0]->SetSizeX(6.0), 0);
    w[0]->EndUndoStep();
    s.control.EndUndoGroup();
    for (Wall* wall : w) EXPECT_DOUBLE_EQ(wall->GetThickness(), 6.0);
    s.control.Undo();
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(w[i]->GetThickness(), 10.0) << i;
        EXPECT_EQ(Keys(w[i]), before[i]) << i;
    }
    EXPECT_EQ(w[0]->SetSizeZ(-5.0), -1);
}

TEST(WallCommandsTest, CloneInTheSceneTakesOverTheLinks) {
    WallScene s;
    Wall* a = s.Add(Vector(0, 0, 0), Vector(100, 0, 0));
    Wall* b = s.Add(Vector(100, 0, 0), Vector(100, 0, 100));
    Wall* c = s.Add(Vector(0, 0, -100), Vector(0, 0, 0));
    ASSERT_TRUE(a->LinkWith(b, 2, 1));
    ASSERT_TRUE(c->LinkWith(a, 2, 1));
    // A copy kept outside the scene leaves the links where they were.
    std::unique_ptr<Wall> loose(a->Clone(false, false));
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(a->GetLinkedEnd(), b);
    EXPECT_EQ(loose->GetLinkedEnd(), nullptr);
    loose.reset();
    EXPECT_EQ(b->GetLinkedBegin(), a);

    Wall* copy = a->Clone(true, true);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetOwner(), &s.control.scene);
    EXPECT_EQ(copy->GetLinkedEnd(), b);
    EXPECT_EQ(copy->GetLinkedBegin(), c);
    EXPECT_EQ(b->GetLinkedBegin(), copy);
    EXPECT_EQ(c->GetLinkedEnd(), copy);
    EXPECT_EQ(a->GetLinkedBegin(), nullptr);
    EXPECT_EQ(a->GetLinkedEnd(), nullptr);
    EXPECT_EQ(a->GetChainHead(), a);
    EXPECT_EQ(copy->GetChainHead(), b->GetChainHead());
}

TEST(WallCommandsTest, MenuEntriesAndTheirCommands) {
    WallScene s;
    s.control.globalState.SetBoolean(4, true);
    s.window.viewFlags.SetInteger(0, 1);
    Wall* a = s.Add(Vector(0, 0, 0), Vector(100, 0, 0));
    Wall* b = s.Add(Vector(100, 0, 0), Vector(100, 0, 100));
    ASSERT_TRUE(a->LinkWith(b, 2, 1));
    platform::Menu menu;
    a->BuildPropertyMenu(menu);
    ASSERT_NE(menu.FindItem(601), nullptr);
    EXPECT_TRUE(menu.FindItem(601)->greyed);  // not selected
    EXPECT_NE(menu.FindItem(607), nullptr);
    // Measure Other Side is one undo step.
    const bool side = a->IsShortSideMeasured();
    s.control.BeginUndoGroup();
    EXPECT_TRUE(a->ProcessPropertyMenu(607));
    s.control.EndUndoGroup();
    EXPECT_NE(a->IsShortSideMeasured(), side);
    s.control.Undo();
    EXPECT_EQ(a->IsShortSideMeasured(), side);
    // Hide Dimension hides all three; Disable Linking frees the neighbour for good.
    EXPECT_TRUE(a->ProcessPropertyMenu(1000));
    EXPECT_FALSE(a->GetHorizontalDimension().IsVisible());
    EXPECT_FALSE(a->GetChildDimension().IsVisible());
    EXPECT_TRUE(a->ProcessPropertyMenu(603));
    EXPECT_EQ(a->GetLinkedEnd(), nullptr);
    EXPECT_EQ(b->GetLinkedBegin(), nullptr);
    EXPECT_TRUE(a->ProcessPropertyMenu(603));
    EXPECT_EQ(a->GetLinkedEnd(), nullptr);
}

}  // namespace
