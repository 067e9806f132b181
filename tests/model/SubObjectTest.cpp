#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "foundation/KeyDataList.h"
#include "model/ModelGeometry.h"
#include "model/Part.h"
#include "model/SubObject.h"
#include "render/Material.h"
#include "support/GeometryFile.h"
#include "support/SceneFixtures.h"
#include "support/TempFolder.h"

namespace {

class SubObjectTest : public ::testing::Test {
protected:
    SubObjectTest() {
        // A chair with a "Seat" at the top level and another inside a group. Empty vertex
        // and texture-coordinate tokens come first: they still carry their first entry,
        // ranges and offsets, which the section scan has to pass over whole. The last
        // offset's bytes would read as a token with a huge count to a scan that stops
        // short of them.
        GeometryFile g;
        g.Token(1).U32(0).Doubles({0, 0, 0}).Doubles({1, 1, 1}).Double(0).Double(0);
        g.U16(0).U16(GeometryToken::kVertices).U32(0x0FFFFFFF);
        g.Token(3).U32(0).Double(0).Double(0).Double(1).Double(1).Double(0);
        g.U32(0).U16(0).U16(GeometryToken::kFaces);
        g.Triangle().PartEnd();
        g.SubObject("Seat").Triangle().PartEnd().LevelEnd();
        g.GroupBegin().SubObject("seat").Triangle().PartEnd().Triangle().PartEnd().LevelEnd();
        g.LevelEnd().End();
        chairPath = folder.Path() + "chair.geo";
        g.Save(chairPath);

        GeometryFile cushion;
        cushion.Triangle().PartEnd().Triangle().PartEnd().Triangle().PartEnd().End();
        cushionPath = folder.Path() + "cushion.geo";
        cushion.Save(cushionPath);

        chair = std::make_unique<Model>();
        chair->LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        chair->StartDownload("http://h/chair.3c_", chairPath.c_str(), true);
    }

    // The two seats in file order.
    SubObjectPart* Seat(int k) {
        SubObject finder("seat");
        int counter = 0;
        return finder.FindSectionPart(chair->GetParts(), k, counter);
    }

    SubObject* NewCushion() {
        auto* sub = new SubObject("SEAT", cushionPath.c_str());
        sub->LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        return sub;
    }

    TempFolder folder;
    SceneTestControl control;
    std::string chairPath;
    std::string cushionPath;
    std::unique_ptr<Model> chair;
};

TEST_F(SubObjectTest, AReplacementReachesEverySeatAndFreesTheEarlierMaterials) {
    ASSERT_NE(Seat(0), nullptr);
    ASSERT_NE(Seat(1), nullptr);
    EXPECT_EQ(Seat(2), nullptr);

    SubObject* first = NewCushion();
    first->AttachTo(chair.get(), true);
    first->OnDownloadComplete();
    Material* brought = chair->FindSubObjectMaterials("seat");
    ASSERT_NE(brought, nullptr);
    for (int k : {0, 1}) {
        EXPECT_EQ(Seat(k)->GetMembers().GetCount(), 3u);
        EXPECT_EQ(Seat(k)->GetSubObjectMaterials(), brought);
    }
    // The carrier gave its materials up and waits for the render thread.
    EXPECT_EQ(first->materials, nullptr);
    EXPECT_EQ(first->GetOwner(), &control.deletedObjects);
    // Recorded inside an undo group that is closed again.
    EXPECT_GT(control.GetUndoList().UndoEntries().GetCount(), 0u);
    EXPECT_EQ(control.GetUndoList().GroupDepth(), 0);

    // A second replacement: already loaded, it builds as soon as it is attached; the first
    // array is freed (the sanitizer would see it leak or be freed twice).
    SubObject* second = NewCushion();
    second->loaded = 1;
    second->AttachTo(chair.get(), false);
    EXPECT_NE(chair->FindSubObjectMaterials("seat"), brought);
    EXPECT_EQ(second->GetOwner(), &control.deletedObjects);
}

TEST_F(SubObjectTest, SectionsAreReadAgainFromTheModelsOwnFileInFileOrder) {
    Seat(0)->GetMembers().DeleteAll();
    Seat(1)->GetMembers().DeleteAll();
    Seat(1)->built = 1;
    chair->ReadSubObjectSection("SEAT");
    EXPECT_EQ(Seat(0)->GetMembers().GetCount(), 1u);
    EXPECT_EQ(Seat(1)->GetMembers().GetCount(), 2u);
    EXPECT_EQ(Seat(1)->built, 0);
}

TEST_F(SubObjectTest, AnEntryWithoutAddressReadsTheSectionAgain) {
    Seat(0)->GetMembers().DeleteAll();
    Seat(1)->GetMembers().DeleteAll();
    KeyDataList keys;
    KeyDataList* entries = keys.AddSublist("SubObjectList");
    entries->AddSublist("Seat")->AddString("MaterialCount", "0");
    entries->AddSublist("Arm");  // empty: nothing
    chair->ReadKeyData(keys);
    EXPECT_EQ(Seat(0)->GetMembers().GetCount(), 1u);
    EXPECT_EQ(Seat(1)->GetMembers().GetCount(), 2u);
}

TEST_F(SubObjectTest, ADroppedModelReplacesItselfByASubObject) {
    auto* dropped = new Model;
    control.scene.Append(dropped);
    dropped->LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
    dropped->StartDownload("http://h/cushion.3c_", cushionPath.c_str(), true);
    dropped->AttachSubObject("seat", chair.get(), &control.scene);
    EXPECT_EQ(Seat(0)->GetMembers().GetCount(), 3u);
    EXPECT_STREQ(Seat(1)->GetSubObjectURL(), "http://h/cushion.3c_");
    EXPECT_TRUE(control.scene.IsEmpty());
    // The placeholder and the carrier both wait for the render thread.
    EXPECT_EQ(control.deletedObjects.GetCount(), 2u);
}

}  // namespace
