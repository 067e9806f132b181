#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>
#include <thread>

#include "foundation/KeyDataList.h"
#include "model/BaseModel.h"
#include "model/Part.h"
#include "render/Material.h"
#include "support/GeometryFile.h"
#include "support/SceneFixtures.h"
#include "support/TempFolder.h"
#include "support/TraceLogTail.h"

namespace {

using namespace std::chrono_literals;

class BaseModelTest : public ::testing::Test {
protected:
    // A geometry file of `parts` triangles.
    std::string GeometryPath(int parts, const char* name = "m.geo") {
        GeometryFile g;
        for (int i = 0; i < parts; ++i) g.Triangle(i).PartEnd();
        g.End();
        const std::string path = folder.Path() + name;
        g.Save(path);
        return path;
    }

    TempFolder folder;
    SceneTestControl control;
};

TEST_F(BaseModelTest, KeysRoundTrip) {
    BaseModel model;
    ASSERT_TRUE(model.StartDownload("http://h/m.3c_", GeometryPath(1).c_str(), true));
    model.scale.Set(2.0, 3.0, 4.0, 1.0);
    model.reverseDirection = 1;
    model.noBackFaceCulling = 1;
    model.resized = 1;
    model.SetOpenInBlueprint(true);
    model.LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
    model.materials[0].SetColor(0.25, 0.5, 0.75, 1.0);
    model.WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(model.TakeWrittenElement());
    ASSERT_TRUE(element);
    EXPECT_STREQ(element->GetName(), "Model");
    KeyDataList& keys = *element->GetChildren();
    EXPECT_STREQ(keys.GetString("URL"), "http://h/m.3c_");
    EXPECT_EQ(keys.GetNumber("MaterialCount"), 1.0);
    EXPECT_STREQ(keys.GetString("cullBackFace"), "no");
    EXPECT_EQ(keys.FindByName("SimulatePowerOfTwo"), nullptr);

    // Counts are written as "MaterialCount" and read as "materialCount".
    keys.AddDouble("materialCount", 1);
    BaseModel copy;
    ASSERT_TRUE(copy.ReadKeyData(keys));
    EXPECT_EQ(copy.scale.y, 3.0);
    EXPECT_EQ(copy.reverseDirection, 1);
    EXPECT_EQ(copy.noBackFaceCulling, 1);
    EXPECT_EQ(copy.resized, 1);
    EXPECT_EQ(copy.openInBlueprint, 1);
    ASSERT_EQ(copy.materialCount, 1u);
    EXPECT_EQ(copy.materials[0].green, 0.5);
    EXPECT_EQ(copy.GetObjectId(), model.GetObjectId());
}

TEST_F(BaseModelTest, FlagKeysCompareWordsIgnoringCase) {
    struct Case {
        const char* value;
        uint8_t resized;
    };
    for (const Case& c : {Case{"YES", 1}, Case{"yes", 1}, Case{"1", 0}, Case{"no", 0}}) {
        SCOPED_TRACE(c.value);
        KeyDataList keys;
        keys.AddString("resize", c.value);
        BaseModel model;
        model.ReadKeyData(keys);
        EXPECT_EQ(model.resized, c.resized);
    }
}

TEST_F(BaseModelTest, MaterialsFromTheListOrOneGrey) {
    BaseModel bare;
    bare.LoadMaterials(nullptr, 3, nullptr, nullptr, nullptr);
    ASSERT_EQ(bare.materialCount, 1u);
    EXPECT_EQ(bare.materials[0].red, 0.5);
    EXPECT_EQ(bare.materials[0].blue, 0.5);

    // Removed members are skipped; members beyond the count have nowhere to go.
    auto addMaterial = [](KeyDataList& list, const char* red) {
        KeyDataList* material = list.AddSublist("Material");
        material->AddSublist("Color")->AddString("Red", red);
        return material;
    };
    KeyDataList list;
    addMaterial(list, "0.1");
    addMaterial(list, "0.9")->AddString("removedTransactionId", "5");
    list.AddSublist("Other")->AddSublist("Color")->AddString("Red", "0.9");
    addMaterial(list, "0.2");
    addMaterial(list, "0.3");
    BaseModel model;
    model.LoadMaterials(&list, 2, nullptr, nullptr, "example.com");
    ASSERT_EQ(model.materialCount, 2u);
    EXPECT_DOUBLE_EQ(model.materials[0].red, 0.1);
    EXPECT_DOUBLE_EQ(model.materials[1].red, 0.2);

    // A second read keeps the array the parts point into, whatever count it names.
    Material* before = model.materials;
    model.LoadMaterials(&list, 4, nullptr, nullptr, nullptr);
    EXPECT_EQ(model.materials, before);
    EXPECT_EQ(model.materialCount, 2u);

    // A count from a plan or a description never sizes the array beyond the materials
    // listed: 100000000 of them would not fit in memory, 1000000 would take gigabytes.
    for (double count : {1000000.0, 100000000.0, 2147483647.0}) {
        KeyDataList keys;
        keys.AddDouble("materialCount", count);
        keys.AddSublist("MaterialList")->AppendCopiesOf(list);
        BaseModel read;
        read.ReadKeyData(keys);
        EXPECT_EQ(read.materialCount, 3u) << count;
        EXPECT_DOUBLE_EQ(read.materials[2].red, 0.3) << count;
    }
}

TEST_F(BaseModelTest, SizesFollowTheBoxAndTheScale) {
    BaseModel model;
    BoundingBox box;
    box.min.Set(0, 0, 0, 1);
    box.max.Set(10, 20, 0, 1);  // flat: no depth
    model.SetBoundingBox(box);
    EXPECT_EQ(model.SetDimensions(0.005, 1, 1), -1);
    EXPECT_EQ(model.scale.x, 1.0);
    EXPECT_EQ(model.SetDimensions(20, 10, 5), 0);
    EXPECT_EQ(model.scale.x, 2.0);
    EXPECT_EQ(model.scale.y, 0.5);
    EXPECT_EQ(model.scale.z, 1.0);  // no extent to divide by
    EXPECT_EQ(model.GetSizeX(), 20.0);
    // One size at a time keeps the other two; the flat model's depth of 0 refuses it.
    EXPECT_EQ(model.SetSizeY(40), -1);
    box.max.z = 5.0;
    model.SetBoundingBox(box);
    EXPECT_EQ(model.SetSizeY(40), 0);
    EXPECT_EQ(model.GetSizeY(), 40.0);
    EXPECT_EQ(model.GetSizeX(), 20.0);
    EXPECT_TRUE(model.NeedsRebuild());
}

TEST_F(BaseModelTest, ASecondModelOfOneAddressReusesTheFirstOnesFile) {
    auto* first = new BaseModel;
    ASSERT_TRUE(first->StartDownload("http://h/chair.3c_", GeometryPath(2).c_str(), true));
    control.scene.Append(first);
    ASSERT_EQ(first->GetParts().GetCount(), 2u);

    KeyDataList keys;
    keys.AddString("URL", "HTTP://h/CHAIR.3c_");
    BaseModel second;
    second.LoadDecompressedFile(keys, true);
    EXPECT_TRUE(second.IsLoaded());
    EXPECT_EQ(second.GetParts().GetCount(), 2u);
    EXPECT_STREQ(second.GetDecompressedFile(), first->GetDecompressedFile());
    EXPECT_EQ(control.globalState.GetDouble(16), 100.0);
    // The first load, the file lent and the second load: three downloads counted.
    EXPECT_EQ(control.globalState.GetInteger(11), 3);

    // A readable "DecompressedFile" of its own is read without looking further.
    KeyDataList own;
    own.AddString("URL", "http://h/chair.3c_");
    own.AddString("DecompressedFile", GeometryPath(1, "own.geo"));
    BaseModel third;
    third.LoadDecompressedFile(own, true);
    EXPECT_EQ(third.GetParts().GetCount(), 1u);
    control.scene.DeleteAll();
}

TEST_F(BaseModelTest, ThreadedLoadEndsBeforeTheModelGoes) {
    auto model = std::make_unique<BaseModel>();
    ASSERT_TRUE(model->StartDownload("http://h/a.3c_", GeometryPath(3).c_str(), false));
    model->WaitForDownload();
    EXPECT_TRUE(model->IsLoaded());
    EXPECT_EQ(model->GetParts().GetCount(), 3u);
}

TEST_F(BaseModelTest, AModelReleasedWhileLoadingGoesToTheDeletedObjects) {
    // The load blocks on a pipe until the test writes the geometry.
    const std::string pipe = folder.Path() + "slow.geo";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    auto* model = new BaseModel;
    ASSERT_TRUE(model->StartDownload("http://h/slow.3c_", pipe.c_str(), false));
    model->ReleaseModel();
    EXPECT_EQ(model->deleteWhenLoaded, 1);
    // The load thread appends to the list: it is read under the list's lock.
    auto deleted = [&] {
        control.deletedObjects.Lock();
        std::vector<LinkedListObject*> nodes;
        for (LinkedListObject* n = control.deletedObjects.GetHead(); n; n = n->GetNext())
            nodes.push_back(n);
        control.deletedObjects.Unlock();
        return nodes;
    };
    EXPECT_TRUE(deleted().empty());

    GeometryFile g;
    g.Triangle().PartEnd().End();
    ASSERT_TRUE(g.Save(pipe));
    for (int i = 0; i < 500 && deleted().empty(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(deleted(), std::vector<LinkedListObject*>{model});
    // The render thread's turn: the model goes, after its load thread.
    control.deletedObjects.DeleteAll();
}

TEST_F(BaseModelTest, ALoadedModelIsReleasedAtOnceAndPartsSeeTheBlueprintFlag) {
    auto* model = new BaseModel;
    GeometryFile g;
    g.GroupBegin().Animation(2, {0, 0, 0}, {0, 0, 1}, 1.0, {0, 0, 0}).Triangle().PartEnd();
    g.LevelEnd().End();
    const std::string path = folder.Path() + "door.geo";
    g.Save(path);
    ASSERT_TRUE(model->StartDownload("http://h/door.3c_", path.c_str(), true));
    auto* group = dynamic_cast<PartGroup*>(model->GetParts().GetHead());
    ASSERT_NE(group, nullptr);
    ASSERT_NE(group->GetAnimation(), nullptr);
    EXPECT_EQ(group->GetAnimation()->showOpen, 0);
    model->SetOpenInBlueprint(true);
    EXPECT_EQ(group->GetAnimation()->showOpen, 1);
    TraceLogTail trace;
    model->ReleaseModel();
    EXPECT_TRUE(trace.Contains("~BM"));
    EXPECT_TRUE(control.deletedObjects.IsEmpty());
}

}  // namespace
