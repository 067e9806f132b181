#include <gtest/gtest.h>

#include <string>

#include "foundation/KeyDataList.h"
#include "model/BaseModel.h"
#include "model/Part.h"
#include "platform/Menu.h"
#include "render/Material.h"
#include "support/GeometryFile.h"
#include "support/SceneFixtures.h"
#include "support/TempFolder.h"

namespace {

std::vector<uint32_t> Ids(const platform::Menu& menu) {
    std::vector<uint32_t> ids;
    for (size_t i = 0; i < menu.GetItemCount(); ++i) {
        const platform::MenuItem& item = menu.GetItem(i);
        if (item.submenu) {
            auto inner = Ids(*item.submenu);
            ids.insert(ids.end(), inner.begin(), inner.end());
        } else if (!item.separator) {
            ids.push_back(item.id);
        }
    }
    return ids;
}

class PartTest : public ::testing::Test {
protected:
    void SetUp() override {
        model.LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        part.material = &model.materials[0];
    }
    SceneTestControl control;
    BaseModel model;
    Part part{&model};
};

TEST_F(PartTest, PassFilterByMaterial) {
    struct Case {
        const char* what;
        double alpha;
        bool alphaMap;
        bool transparentFlag;
        bool opaquePass, transparentPass, alphaMapPass;
    };
    const Case cases[] = {
        {"opaque", 1.0, false, false, true, false, false},
        {"half alpha", 0.5, false, false, false, true, false},
        {"half alpha flagged transparent", 0.5, false, true, true, true, false},
        {"alpha map", 1.0, true, false, false, false, true},
    };
    Material& m = *part.material;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m.alpha = c.alpha;
        m.hasAlphaMap = c.alphaMap;
        m.transparent = c.transparentFlag;
        RenderState& view = control.view->GetRenderState();
        view.SetBoolean(9, false);
        view.SetBoolean(13, false);
        EXPECT_EQ(part.PassAccepts(), c.opaquePass);
        view.SetBoolean(9, true);
        EXPECT_EQ(part.PassAccepts(), c.transparentPass);
        view.SetBoolean(9, false);
        view.SetBoolean(13, true);
        EXPECT_EQ(part.PassAccepts(), c.alphaMapPass);
        part.alwaysDraw = 1;
        view.SetBoolean(13, false);
        view.SetBoolean(9, true);
        EXPECT_TRUE(part.PassAccepts());
        part.alwaysDraw = 0;
    }
}

TEST_F(PartTest, MaterialMenuAndCommands) {
    auto animation = std::make_unique<PartAnimation>();
    part.SetAnimation(std::move(animation));
    platform::Menu menu;
    part.BuildPropertyMenu(menu);
    EXPECT_EQ(Ids(menu),
              (std::vector<uint32_t>{300, 301, 302, 507, 508, 500, 501, 502, 503, 504, 506, 505}));
    // Greyed and hidden in orthographic views.
    control.view->GetRenderState().SetInteger(0, 1);
    platform::Menu ortho;
    part.BuildPropertyMenu(ortho);
    EXPECT_EQ(ortho.GetItemCount(), 0u);
    control.view->GetRenderState().SetInteger(0, 0);

    // Each material command opens the owner's undo step.
    EXPECT_TRUE(part.ProcessPropertyMenu(500));
    EXPECT_TRUE(part.ProcessPropertyMenu(503));
    EXPECT_TRUE(part.ProcessPropertyMenu(504));
    EXPECT_EQ(part.material->textureRotation, 135.0);
    EXPECT_TRUE(model.HasOpenStep());
    EXPECT_TRUE(part.ProcessPropertyMenu(505));
    EXPECT_TRUE(part.ProcessPropertyMenu(506));
    EXPECT_EQ(part.material->showColor, 0);
    EXPECT_EQ(part.material->showTexture, 0);
    platform::Menu checked;
    part.BuildPropertyMenu(checked);
    EXPECT_TRUE(checked.FindItem(505)->checked);
    EXPECT_FALSE(part.ProcessPropertyMenu(999));
    model.CancelUndoStep();
}

TEST_F(PartTest, AnimationCommands) {
    part.SetAnimation(std::make_unique<PartAnimation>());
    PartAnimation& a = *part.GetAnimation();
    a.state = PartAnimation::kHeldOpen;
    ASSERT_TRUE(part.ProcessPropertyMenu(300));  // "Animate Once" on an open part closes it
    EXPECT_EQ(a.state, PartAnimation::kClosing);
    ASSERT_TRUE(part.ProcessPropertyMenu(300));  // nothing while it moves
    EXPECT_EQ(a.state, PartAnimation::kClosing);
    a.state = PartAnimation::kClosed;
    part.ProcessPropertyMenu(302);
    EXPECT_EQ(a.forwardOnly, 1);
    part.ProcessPropertyMenu(301);  // continuous replaces forward-only
    EXPECT_EQ(a.forwardOnly, 0);
    EXPECT_EQ(a.continuous, 1);
    part.ProcessPropertyMenu(301);  // and a second choice turns it off
    EXPECT_EQ(a.continuous, 0);
    Part plain(&model);
    EXPECT_FALSE(plain.BasePart::ProcessPropertyMenu(300));
}

TEST_F(PartTest, SubObjectPartsAreReplacedAndWriteTheirEntries) {
    TempFolder folder;
    GeometryFile g;
    g.SubObject("Seat").Triangle().PartEnd().LevelEnd();
    g.GroupBegin().SubObject("seat").Triangle().PartEnd().LevelEnd().LevelEnd().End();
    const std::string path = folder.Path() + "chair.geo";
    g.Save(path);
    auto* chair = new BaseModel;
    ASSERT_TRUE(chair->StartDownload("http://h/chair.3c_", path.c_str(), true));

    GeometryFile cushion;
    cushion.Triangle().PartEnd().Triangle().PartEnd().End();
    const std::string cushionPath = folder.Path() + "cushion.geo";
    cushion.Save(cushionPath);
    BaseModel replacement;
    replacement.LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
    ASSERT_TRUE(replacement.StartDownload("http://h/cushion.3c_", cushionPath.c_str(), false));
    replacement.WaitForDownload();
    replacement.GetParts().DeleteAll();

    // Both parts of that name take the other file's parts and share its materials.
    chair->ReplaceSubObject("SEAT", &replacement);
    Material* brought = replacement.ReleaseMaterials();
    auto* seat = dynamic_cast<SubObjectPart*>(chair->GetParts().GetHead());
    ASSERT_NE(seat, nullptr);
    EXPECT_EQ(seat->built, 1);
    EXPECT_EQ(seat->GetMembers().GetCount(), 2u);
    EXPECT_EQ(static_cast<BasePart*>(seat->GetMembers().GetHead())->GetOwnerObject(), chair);
    EXPECT_EQ(chair->FindSubObjectMaterials("seat"), brought);
    auto* group = dynamic_cast<PartGroup*>(seat->GetNext());
    auto* nested = dynamic_cast<SubObjectPart*>(group->GetMembers().GetHead());
    EXPECT_EQ(nested->GetSubObjectMaterials(), brought);
    EXPECT_EQ(nested->GetMembers().GetCount(), 2u);

    // The entry of a name is written once, with the address and the materials.
    chair->WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(chair->TakeWrittenElement());
    const KeyDataList* entries = element->GetChildren()->GetSublist("SubObjectList");
    EXPECT_EQ(entries->GetCount(), 1u);
    const KeyDataList* entry = entries->GetSublist("Seat");
    EXPECT_STREQ(entry->GetString("SubObjectURL"), "http://h/cushion.3c_");
    EXPECT_EQ(entry->GetNumber("MaterialCount"), 1.0);
    EXPECT_EQ(entry->GetSublist("MaterialList")->GetCount(), 1u);

    // The model frees the shared array once (the sanitizer sees a second free).
    delete chair;
}

}  // namespace
