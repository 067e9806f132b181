#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "building/Wall.h"
#include "foundation/KeyDataList.h"
#include "interaction/MouseHandler.h"
#include "model/Model.h"
#include "platform/Menu.h"
#include "render/Material.h"
#include "render/Window.h"
#include "support/SceneFixtures.h"
#include "support/WallFixtures.h"

namespace {

// A wall along the x axis from (x0, 0, z) to (x1, 0, z), 100 high.
Wall* TestWall(double x0, double x1, double thick, double z = 0.0) {
    return MakeWall(Vector(x0, 0, z), Vector(x1, 0, z), 100.0, thick);
}

// A model with a box of the given size whose minimum corner stands at `at`.
Model* MakeModel(const Vector& at, double sx = 10, double sy = 10, double sz = 10) {
    auto* model = new Model;
    BoundingBox box;
    box.min.Set(0, 0, 0, 1);
    box.max.Set(sx, sy, sz, 1);
    model->SetBoundingBox(box);
    model->SetPosition(at);
    return model;
}

double SmallestCornerGap(Model& a, Model& b) {
    double best = 1e300;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
            best = std::min(best, a.GetWorldCorners()[i].Distance(b.GetWorldCorners()[j]));
    return best;
}

class ModelTest : public ::testing::Test {
protected:
    Model* Add(Model* model) {
        control.scene.Append(model);
        return model;
    }

    SceneTestControl control;
};

TEST_F(ModelTest, WorldCornersFollowPositionRotationAndScale) {
    std::unique_ptr<Model> model(MakeModel(Vector(100, 0, 0), 10, 20, 4));
    model->scale.Set(2, 1, 1, 1);
    model->RotateAboutAxis(1, 90.0);
    const Vector* c = model->GetWorldCorners();
    // Corner 1 (10, 20, 4): turned a quarter about y about mid-height, x doubled, moved.
    Vector expected(10, 20, 4);
    Matrix turn;
    turn.SetRotation(1, 90.0);
    expected.y -= 10;
    turn.TransformVector4(expected, expected);
    expected.y += 10;
    EXPECT_NEAR(c[1].x, expected.x * 2 + 100, 1e-9);
    EXPECT_NEAR(c[1].y, expected.y, 1e-9);
    EXPECT_NEAR(c[1].z, expected.z, 1e-9);
    EXPECT_EQ(model->GetCorners(), model->GetCenter());
}

TEST_F(ModelTest, SnapsCornerToCornerWithinTheDistance) {
    struct Case {
        double distance;
        const char* mode;
        bool answer;
        bool moves;
    };
    for (const Case& c : {Case{5.0, nullptr, true, true}, Case{2.0, nullptr, true, false},
                          Case{5.0, "none", false, false}}) {
        SCOPED_TRACE(c.distance);
        control.scene.DeleteAll();
        Model* table = Add(MakeModel(Vector(0, 0, 0)));
        Model* chair = Add(MakeModel(Vector(13, 0, 0)));
        KeyDataList keys;
        if (c.mode) keys.AddString("canBeSnappedTo", c.mode);
        chair->ReadSnapMode(keys);
        EXPECT_EQ(chair->SnapToObjects(c.distance), c.answer);
        EXPECT_EQ(chair->SnapToWall(c.distance), false);  // no wall
        EXPECT_NEAR(SmallestCornerGap(*chair, *table), c.moves ? 0.0 : 3.0, 1e-9);
        EXPECT_EQ(chair->GetPosition().y, 0.0);
    }
}

TEST_F(ModelTest, HiddenObjectsAndObjectsBehindAWallAreNoTargets) {
    Model* table = Add(MakeModel(Vector(0, 0, 0)));
    Model* chair = Add(MakeModel(Vector(13, 0, 0)));
    table->SetVisible(false);
    chair->SnapToObjects(5.0);
    EXPECT_EQ(chair->GetPosition().x, 13.0);

    // Visible again, but a wall now runs between the two centres.
    table->SetVisible(true);
    chair->SetPosition(Vector(0, 0, 13));
    control.scene.Append(TestWall(-50, 50, 1.0, 11.5));
    chair->SnapToObjects(5.0);
    EXPECT_EQ(chair->GetPosition().z, 13.0);
    EXPECT_TRUE(WallBetween(Vector(5, 5, 5), Vector(5, 5, 18)));
    EXPECT_FALSE(WallBetween(Vector(5, 5, 5), Vector(5, 5, 6)));
    EXPECT_FALSE(WallBetween(Vector(5, 5, 5), Vector(5, 200, 18)));  // above the wall
}

TEST_F(ModelTest, SnapsFlushAgainstTheWallFace) {
    control.scene.Append(TestWall(-50, 50, 4.0));
    Model* cupboard = Add(MakeModel(Vector(0, 30, 5), 10, 20, 10));
    // Above the wall's box by 30: still overlapping it vertically (wall is 100 high).
    EXPECT_TRUE(cupboard->SnapToWall(6.0));
    // Its nearest side now lies on the face, half the thickness from the centre line.
    EXPECT_NEAR(cupboard->GetWorldCorners()[0].z, 2.0, 1e-9);
    EXPECT_EQ(cupboard->GetPosition().y, 30.0);

    // Too far off, and a view that hides walls: nothing moves.
    cupboard->SetPosition(Vector(0, 0, 20));
    EXPECT_FALSE(cupboard->SnapToWall(6.0));
    control.view->renderState.SetInt64(0, TypeBit::kWall);
    cupboard->SetPosition(Vector(0, 0, 5));
    EXPECT_FALSE(cupboard->SnapToWall(6.0));
    EXPECT_EQ(cupboard->GetPosition().z, 5.0);
}

TEST_F(ModelTest, SlabObjectsSnapToObjectsOnTheirSideOfTheWall) {
    Wall* wall = TestWall(-50, 50, 4.0);
    control.scene.Append(wall);
    // A shelf already on the wall's front side, and one behind it.
    Model* front = MakeModel(Vector(20, 0, 2));
    Model* back = MakeModel(Vector(-22, 0, -12));
    wall->GetOnSlabList().Append(front);
    wall->GetOnSlabList().Append(back);
    Model* cabinet = Add(MakeModel(Vector(-10, 0, 4)));
    KeyDataList keys;
    keys.AddString("canBeSnappedTo", "slabObjects");
    cabinet->ReadSnapMode(keys);
    EXPECT_TRUE(cabinet->SnapToWall(50.0));
    // Corner to corner with the front shelf, not with the nearer one behind the wall.
    EXPECT_NEAR(SmallestCornerGap(*cabinet, *front), 0.0, 1e-9);
    EXPECT_GT(SmallestCornerGap(*cabinet, *back), 1.0);
}

TEST_F(ModelTest, KeysRoundTripWithSnapModeAndLockCodes) {
    std::unique_ptr<Model> model(MakeModel(Vector(1, 2, 3)));
    model->RotateAboutAxis(1, 30.0);
    model->SetLocked(true);
    KeyDataList codes;
    codes.AddString("code", "Oak");
    KeyDataList source;
    source.AddSublist("lockCodes")->AppendCopiesOf(codes);
    source.AddString("canBeSnappedTo", "slabObjects");
    model->ReadKeyData(source);
    model->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(model->TakeWrittenElement());
    ASSERT_TRUE(element);
    KeyDataList& keys = *element->GetChildren();
    EXPECT_STREQ(keys.GetString("canBeSnappedTo"), "slabObjects");
    EXPECT_EQ(keys.GetNumber("Locked"), 1.0);

    Model copy;
    KeyDataList own;
    own.AddString("code", "Pine");
    KeyDataList first;
    first.AddSublist("lockCodes")->AppendCopiesOf(own);
    copy.ReadKeyData(first);
    copy.ReadKeyData(keys);
    EXPECT_EQ(copy.GetPosition().z, 3.0);
    EXPECT_NEAR(copy.GetRotation().m[8], model->GetRotation().m[8], 1e-12);
    EXPECT_TRUE(copy.IsLocked());
    EXPECT_EQ(copy.GetSnapMode(), SnappableObject::kSnapSlabObjects);
    // The copy had codes already: it keeps its own.
    EXPECT_STREQ(copy.GetLockCodes()->GetString("code"), "Pine");
}

TEST_F(ModelTest, LockCodesDecideWhichMaterialsFit) {
    Model free;
    Model locked;
    KeyDataList codes;
    codes.AddSublist("lockCodes")->AddString("code", "Oak");
    locked.ReadKeyData(codes);
    ASSERT_TRUE(locked.HasLockCodes());

    KeyDataList plain;
    plain.AddString("name", "paint");
    KeyDataList matching;
    matching.AddSublist("lockCodes")->AddString("c", "oAK");
    KeyDataList other;
    other.AddSublist("lockCodes")->AddString("c", "Pine");
    KeyDataList empty;
    EXPECT_TRUE(free.AcceptsLockCodes(plain));
    EXPECT_FALSE(free.AcceptsLockCodes(empty));
    EXPECT_FALSE(locked.AcceptsLockCodes(plain));
    EXPECT_TRUE(locked.AcceptsLockCodes(matching));
    EXPECT_FALSE(locked.AcceptsLockCodes(other));
}

TEST_F(ModelTest, CloneWithOffsetStandsOneBoxWidthAlong) {
    Model* model = Add(MakeModel(Vector(5, 1, 2), 30, 10, 10));
    Model* copy = model->Clone(true, true);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetOwner(), &control.scene);
    EXPECT_EQ(copy->GetPosition().x, 35.0);
    EXPECT_EQ(copy->GetPosition().z, 2.0);
    EXPECT_NE(copy->GetObjectId(), model->GetObjectId());
    EXPECT_NEAR(copy->GetWorldCorners()[1].x, 65.0, 1e-9);
}

TEST_F(ModelTest, TitleShowsSizesOrTheLock) {
    std::unique_ptr<Model> model(MakeModel(Vector(0, 0, 0), 10, 20, 30));
    model->loaded = 1;
    model->SetInformationValue("title", "Chair");
    model->UpdateTitle();
    const std::string title = control.statusBar.caption;
    EXPECT_EQ(title.rfind("Depth ", 0), 0u) << title;
    EXPECT_NE(title.find("Height "), std::string::npos);
    EXPECT_NE(title.find("  - Chair"), std::string::npos);
    model->SetLocked(true);
    model->UpdateTitle();
    EXPECT_STREQ(control.statusBar.caption, "LOCKED (right click to unlock)");
}

TEST_F(ModelTest, HeightRangeTakesThePositionAndGroups) {
    control.floorState.SetDouble(4, 0.0);
    control.wallState.SetDouble(5, 100.0);
    std::unique_ptr<Model> model(MakeModel(Vector(0, 150, 0)));
    EXPECT_FALSE(model->IsInVisibleHeightRange());
    model->SetPosition(Vector(0, 50, 0));
    EXPECT_TRUE(model->IsInVisibleHeightRange());
    model->SetVisible(false);
    EXPECT_FALSE(model->IsShownInCurrentView());
}

TEST_F(ModelTest, MenuCommands) {
    Model* model = Add(MakeModel(Vector(0, 0, 0)));
    platform::Menu& menu = SelectableObject::CreateContextMenu();
    model->BuildPropertyMenu(menu);
    EXPECT_NE(menu.FindItem(ModelMenuCommand::kSnapTo), nullptr);
    EXPECT_NE(menu.FindItem(BaseModelMenuCommand::kReverseDirection), nullptr);
    ASSERT_NE(menu.FindItem(BaseModelMenuCommand::kRestoreOriginalSize), nullptr);
    EXPECT_TRUE(menu.FindItem(BaseModelMenuCommand::kRestoreOriginalSize)->greyed);

    // Snap To toggles the setting and is not reported as handled; so does Reverse.
    EXPECT_FALSE(model->ProcessPropertyMenu(ModelMenuCommand::kSnapTo));
    EXPECT_TRUE(control.globalState.GetBoolean(3));
    EXPECT_FALSE(model->ProcessPropertyMenu(BaseModelMenuCommand::kReverseDirection));
    EXPECT_EQ(model->reverseDirection, 1);

    // Restore Original Size takes the world box back with the scale.
    model->scale.Set(2, 2, 2, 1);
    model->Refresh();
    EXPECT_TRUE(model->ProcessPropertyMenu(BaseModelMenuCommand::kRestoreOriginalSize));
    EXPECT_EQ(model->scale.x, 1.0);
    EXPECT_EQ(model->GetWorldCorners()[1].x, 10.0);

    // The web page: product address first.
    model->SetInformationValue("name", "Chair");
    EXPECT_TRUE(model->ProcessPropertyMenu(BaseModelMenuCommand::kObjectWebPage));
    EXPECT_EQ(control.globalState.GetString(3), "name='Chair'");
    model->SetInformationValue("productURL", "http://p/1");
    model->ProcessPropertyMenu(BaseModelMenuCommand::kObjectWebPage);
    EXPECT_EQ(control.globalState.GetString(3), "http://p/1");
    ASSERT_EQ(control.hostMessages.size(), 2u);
    EXPECT_EQ(control.hostMessages[0], BaseModelMenuCommand::kShowObjectPage);

    // Rotate commands refresh the world box.
    EXPECT_TRUE(model->ProcessPropertyMenu(MenuCommand::kRotate90Clockwise));
    // Corner (0, 0, 10) turns a quarter onto the x axis.
    EXPECT_NEAR(std::fabs(model->GetWorldCorners()[2].x), 10.0, 1e-9);
    EXPECT_NEAR(model->GetWorldCorners()[2].z, 0.0, 1e-9);

    // Delete takes the model out of the scene and frees it.
    model->loaded = 1;
    EXPECT_TRUE(model->ProcessPropertyMenu(ModelMenuCommand::kDelete));
    EXPECT_TRUE(control.scene.IsEmpty());
}

TEST_F(ModelTest, HandleNamesPickTheModelOrItsRotationHandle) {
    auto model = std::make_unique<Model>();
    PickableObject* asPicked = model.get();
    const uint32_t names[] = {model->GetPickName(),          model->GetResizeHandleName(),
                              model->GetMarkerName(),        model->GetRotateHandleName(0),
                              model->GetRotateHandleName(1), model->GetRotateHandleName(2)};
    for (int i = 0; i < 6; ++i) {
        EXPECT_NE(names[i], 0u);
        for (int j = 0; j < i; ++j) EXPECT_NE(names[i], names[j]) << i << " " << j;
    }
    EXPECT_EQ(model->GetResizeHandleName(), names[1]) << "a handle keeps its name";
    for (int i = 0; i < 3; ++i) EXPECT_EQ(PickableObject::FromPickName(names[i]), asPicked);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(PickableObject::FromPickName(names[3 + axis]), &model->GetHandle(axis));
    model.reset();
    for (uint32_t name : names) EXPECT_EQ(PickableObject::FromPickName(name), nullptr);
}

TEST_F(ModelTest, ModelXmlSaysWhetherTheModelWasResized) {
    Model model;
    model.LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
    model.materials[0].isExportable = 1;
    std::string xml;
    model.WriteModelXml(xml, 12.5);
    EXPECT_EQ(xml.rfind("<model url=\"\" height=\"12.500000\" resized=\"y\">", 0), 0u) << xml;
    EXPECT_NE(xml.find("<Material0 "), std::string::npos) << xml;
    EXPECT_EQ(xml.substr(xml.size() - 8), "</model>");
    model.scale.Set(1.01, 1, 1, 1);
    xml.clear();
    model.WriteModelXml(xml, 0);
    EXPECT_NE(xml.find("resized=\"n\""), std::string::npos);
}

TEST_F(ModelTest, DragResizeChoosesTheAxisThenScalesByThePixels) {
    // Window points land on the floor plane as (x, 0, y).
    auto project = [](double x, double y, const Vector&, const Vector&) { return Vector(x, 0, y); };
    struct Case {
        Vector current;
        int axis;
        double Vector::*scaled;
    };
    for (const Case& c :
         {Case{Vector(20, 0, 0), 1, &Vector::x}, Case{Vector(0, 30, 0), 3, &Vector::z},
          Case{Vector(5, 5, 0), 0, nullptr}}) {
        SCOPED_TRACE(c.axis);
        std::unique_ptr<Model> model(MakeModel(Vector(0, 0, 0)));
        int axis = 0;
        Vector previous;
        model->DragResize(Vector(0, 0, 0), previous, c.current, axis, false, project);
        EXPECT_EQ(axis, c.axis);
        if (!c.scaled) {
            EXPECT_TRUE(model->HasOriginalSize());
            continue;
        }
        // At most 10 pixels a step, 1% each.
        EXPECT_NEAR(std::fabs(model->scale.*c.scaled - 1.0), 0.1, 1e-12);
    }
}

}  // namespace

namespace {

TEST_F(ModelTest, FitOfAViewTakesTheWorldBoxCorners) {
    SetFitPointReader(&ModelFitPointReader());
    Window window([](int) { return new MouseHandler; });
    window.OnSize({0, 0, 400, 300});
    Model* model = Add(MakeModel(Vector(100, 0, 0)));
    model->RotateAboutAxis(1, 45.0);
    const std::vector<Vector> points = window.CollectFitPoints();
    ASSERT_EQ(points.size(), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(points[i].Equals(model->GetWorldCorners()[i]));
}

}  // namespace
