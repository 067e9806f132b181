#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "building/BaseMolding.h"
#include "building/Column.h"
#include "building/Stairs.h"
#include "foundation/KeyDataList.h"
#include "interaction/ColorCommand.h"
#include "interaction/MaterialCommand.h"
#include "model/Model.h"
#include "model/Part.h"
#include "platform/Input.h"
#include "platform/MessageBox.h"
#include "render/Material.h"
#include "support/WallFixtures.h"

namespace {

KeyDataList* Paint(double red, double green, double blue) {
    auto* keys = new KeyDataList;
    KeyDataList* color = keys->AddSublist("Color");
    color->AddDouble("Red", red);
    color->AddDouble("Green", green);
    color->AddDouble("Blue", blue);
    return keys;
}

double Red(Wall* wall, int surface) {
    return wall->GetSurface(surface)->material->red;
}

// Two walls of a scene and the answers to the control's questions.
class SurfaceDropTest : public ::testing::Test {
protected:
    SurfaceDropTest() {
        a = scene.Add(Vector(0, 0, 0), Vector(100, 0, 0));
        b = scene.Add(Vector(100, 0, 0), Vector(100, 0, 100));
        for (Wall* wall : {a, b})
            for (int s :
                 {BaseSlab::kInsideSurface, BaseSlab::kOutsideSurface, BaseSlab::kEdgeSurface})
                wall->GetSurface(s)->material->SetColor(0.5, 0.5, 0.5, 1.0);
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& box) {
            questions.push_back(box.text);
            return answer;
        });
    }
    ~SurfaceDropTest() override { platform::SetMessageBoxResponder(nullptr); }

    // The command's work on a pick of `wall` and its surface, as one undo group.
    template <class Command>
    void DropOn(Command& command, Wall* wall, int surface, uint32_t keys = 0) {
        scene.control.BeginUndoGroup();
        command.ApplyToHits({wall, wall->GetSurface(surface)}, keys);
        scene.control.EndUndoGroup();
    }

    // The same on any pick of an object, something inside it and the part hit.
    template <class Command>
    void DropOn(Command& command, PickableObject* object, PickableObject* inner, Part* part) {
        scene.control.BeginUndoGroup();
        command.ApplyToHits({object, inner, part}, 0);
        scene.control.EndUndoGroup();
    }

    WallScene scene;
    Wall* a = nullptr;
    Wall* b = nullptr;
    std::vector<std::string> questions;
    platform::MessageAnswer answer = platform::MessageAnswer::Yes;
};

TEST_F(SurfaceDropTest, AMaterialChangesThePartItIsDroppedOnAndUndoTakesItBack) {
    MaterialCommand command(Paint(0.25, 0.5, 0.75), "h");
    DropOn(command, a, BaseSlab::kOutsideSurface);
    EXPECT_DOUBLE_EQ(Red(a, BaseSlab::kOutsideSurface), 0.25);
    EXPECT_DOUBLE_EQ(a->GetSurface(BaseSlab::kOutsideSurface)->material->blue, 0.75);
    EXPECT_DOUBLE_EQ(Red(a, BaseSlab::kInsideSurface), 0.5);
    EXPECT_DOUBLE_EQ(Red(b, BaseSlab::kOutsideSurface), 0.5);

    ASSERT_TRUE(scene.control.Undo());
    Wall* restored = dynamic_cast<Wall*>(scene.control.scene.GetHead());
    ASSERT_NE(restored, nullptr);
    EXPECT_DOUBLE_EQ(Red(restored, BaseSlab::kOutsideSurface), 0.5);
    ASSERT_TRUE(scene.control.Redo());
    restored = dynamic_cast<Wall*>(scene.control.scene.GetHead());
    EXPECT_DOUBLE_EQ(Red(restored, BaseSlab::kOutsideSurface), 0.25);
}

TEST_F(SurfaceDropTest, AltTakesTheWholeWallAndCtrlEveryWall) {
    MaterialCommand whole(Paint(0.1, 0.1, 0.1), "h");
    DropOn(whole, a, BaseSlab::kOutsideSurface, platform::MK_ALT);
    for (int s : {BaseSlab::kInsideSurface, BaseSlab::kOutsideSurface, BaseSlab::kEdgeSurface}) {
        EXPECT_DOUBLE_EQ(Red(a, s), 0.1);
        EXPECT_DOUBLE_EQ(Red(b, s), 0.5);
    }

    // Every wall; a locked one only when the user agrees for all of them.
    b->SetLocked(true);
    answer = platform::MessageAnswer::No;
    MaterialCommand every(Paint(0.2, 0.2, 0.2), "h");
    DropOn(every, a, BaseSlab::kInsideSurface, platform::MK_ALT | platform::MK_CONTROL);
    EXPECT_DOUBLE_EQ(Red(a, BaseSlab::kEdgeSurface), 0.2);
    EXPECT_DOUBLE_EQ(Red(b, BaseSlab::kEdgeSurface), 0.5);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("One or more of these objects are locked"), std::string::npos);

    answer = platform::MessageAnswer::Cancel;
    MaterialCommand cancelled(Paint(0.3, 0.3, 0.3), "h");
    DropOn(cancelled, a, BaseSlab::kInsideSurface, platform::MK_ALT | platform::MK_CONTROL);
    EXPECT_DOUBLE_EQ(Red(a, BaseSlab::kEdgeSurface), 0.2);

    answer = platform::MessageAnswer::Yes;
    DropOn(cancelled, a, BaseSlab::kInsideSurface, platform::MK_ALT | platform::MK_CONTROL);
    EXPECT_DOUBLE_EQ(Red(b, BaseSlab::kEdgeSurface), 0.3);
}

TEST_F(SurfaceDropTest, ALockedObjectChangesOnlyAfterYes) {
    a->SetLocked(true);
    answer = platform::MessageAnswer::No;
    MaterialCommand material(Paint(0.25, 0.25, 0.25), "h");
    DropOn(material, a, BaseSlab::kOutsideSurface);
    ColorCommand colour("color;0.75;0.75;0.75");
    DropOn(colour, a, BaseSlab::kOutsideSurface);
    EXPECT_DOUBLE_EQ(Red(a, BaseSlab::kOutsideSurface), 0.5);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0],
              "This object is locked.  Do you still want to apply the texure changes?");

    answer = platform::MessageAnswer::Yes;
    DropOn(colour, a, BaseSlab::kOutsideSurface);
    EXPECT_DOUBLE_EQ(Red(a, BaseSlab::kOutsideSurface), 0.75);
    // Fewer than two hits, or a hit that is no part, apply nothing.
    material.ApplyToHits({a}, 0);
    material.ApplyToHits({a, b}, 0);
    EXPECT_DOUBLE_EQ(Red(a, BaseSlab::kOutsideSurface), 0.75);
}

TEST_F(SurfaceDropTest, ColoursGoOnOnePartOrWithAltOnTheWholeWall) {
    ColorCommand colour("color,0.25,0.5,0.75,0.5");
    DropOn(colour, b, BaseSlab::kEdgeSurface);
    const Material& edge = *b->GetSurface(BaseSlab::kEdgeSurface)->material;
    EXPECT_DOUBLE_EQ(edge.red, 0.25);
    EXPECT_DOUBLE_EQ(edge.blue, 0.75);
    EXPECT_DOUBLE_EQ(edge.alpha, 0.5);
    EXPECT_TRUE(edge.modulateTexture);
    EXPECT_DOUBLE_EQ(Red(b, BaseSlab::kInsideSurface), 0.5);

    ColorCommand whole("color;0.125;0.125;0.125");
    DropOn(whole, b, BaseSlab::kEdgeSurface, platform::MK_ALT);
    for (int s : {BaseSlab::kInsideSurface, BaseSlab::kOutsideSurface, BaseSlab::kEdgeSurface})
        EXPECT_DOUBLE_EQ(Red(b, s), 0.125);
    EXPECT_DOUBLE_EQ(Red(a, BaseSlab::kInsideSurface), 0.5);
}

TEST_F(SurfaceDropTest, AltTakesEveryPartOfStairsInOneUndoStep) {
    auto* stairs = new Stairs;
    scene.control.scene.Append(stairs);
    Part* parts[] = {&stairs->GetStringerPart(), stairs->StairPartAt(1), stairs->StairPartAt(2)};
    for (Part* part : parts) {
        ASSERT_NE(part, nullptr);
        ASSERT_NE(part->material, nullptr);
        part->material->SetColor(0.5, 0.5, 0.5, 1.0);
    }
    ColorCommand colour("color;0.25;0.25;0.25");
    scene.control.BeginUndoGroup();
    colour.ApplyToHits({stairs, stairs, parts[1]}, platform::MK_ALT);
    scene.control.EndUndoGroup();
    for (Part* part : parts) EXPECT_DOUBLE_EQ(part->material->red, 0.25);

    MaterialCommand material(Paint(0.75, 0.75, 0.75), "h");
    scene.control.BeginUndoGroup();
    material.ApplyToHits({stairs, stairs, parts[0]}, platform::MK_ALT);
    scene.control.EndUndoGroup();
    for (Part* part : parts) EXPECT_DOUBLE_EQ(part->material->red, 0.75);

    ASSERT_TRUE(scene.control.Undo());
    auto* restored = dynamic_cast<Stairs*>(scene.control.scene.GetTail());
    ASSERT_NE(restored, nullptr);
    EXPECT_DOUBLE_EQ(restored->StairPartAt(2)->material->red, 0.25);
}

TEST_F(SurfaceDropTest, AMoldingTakesColourAndMaterialInItsOwnersUndoStep) {
    auto* column = new Column(true);
    column->InsertPostAt(Vector(0, 0, 0));
    scene.control.scene.Append(column);
    BaseMolding* molding = column->GetPostMolding();
    ASSERT_NE(molding, nullptr);
    Part* surface = &molding->GetSurface();
    ASSERT_NE(surface->material, nullptr);
    molding->SetColor(0.5, 0.5, 0.5, 1.0);

    ColorCommand colour("color;0.25;0.25;0.25");
    DropOn(colour, column, molding, surface);
    EXPECT_DOUBLE_EQ(molding->GetMaterial().red, 0.25);
    MaterialCommand material(Paint(0.75, 0.75, 0.75), "h");
    DropOn(material, column, molding, surface);
    EXPECT_DOUBLE_EQ(molding->GetMaterial().red, 0.75);
}

TEST(ColorTextTest, FieldsGiveTheFourValues) {
    struct Case {
        const char* text;
        const char* values[4];
    } cases[] = {
        {"color;255;0;0", {"255", "0", "0", "1"}},
        {"color,10,20,30,40", {"10", "20", "30", "40"}},
        {"color;;10;;20;30", {"10", "20", "30", "1"}},
        {"color;7", {"1", "1", "1", "1"}},
        {"", {"1", "1", "1", "1"}},
    };
    for (const Case& c : cases) {
        ColorCommand command(c.text);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(command.Value(i), c.values[i]) << c.text << " " << i;
    }
    ColorCommand nothing(nullptr);
    EXPECT_EQ(nothing.Value(3), "1");
}

TEST(ModelPartDropTest, ModelsWithLockCodesRefuseOtherMaterials) {
    WallScene scene;
    std::vector<std::string> messages;
    platform::SetMessageBoxResponder([&](const platform::MessageBoxRequest& box) {
        messages.push_back(box.text);
        return platform::MessageAnswer::Ok;
    });
    auto* model = new Model;
    scene.control.scene.Append(model);
    model->LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
    Part* part = new Part(model);
    part->material = &model->materials[0];
    model->GetParts().Append(part);
    KeyDataList codes;
    codes.AddSublist("lockCodes")->AddString("code", "vendor-a");
    model->ReadKeyData(codes);

    MaterialCommand material(Paint(0.0, 1.0, 0.0), "h");
    material.ApplyToHits({model, part}, 0);
    EXPECT_NE(part->material->green, 1.0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Vendor limits material changes on this object");
    platform::SetMessageBoxResponder(nullptr);
}

}  // namespace
