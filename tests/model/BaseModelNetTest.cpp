#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "model/BaseModel.h"
#include "model/Model.h"
#include "model/Part.h"
#include "model/SubObject.h"
#include "support/GeometryFile.h"
#include "support/LocalHttpServer.h"
#include "support/RecordingControl.h"
#include "support/TempFolder.h"

// Models fetching their description and geometry cabinets from a local content server.
namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class BaseModelNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        Serve("/chair.3c_", Cabinet("chair.geo", GeometryOf(2)));
        KeyDataList description;
        KeyDataList* model = description.AddSublist("Model");
        model->AddString("URLwithoutDomain", "chair.3c_");
        model->AddString("Name", "chair");
        const std::string tree = build_.Path() + "desc.bin";
        FILE* file = std::fopen(tree.c_str(), "wb");
        ASSERT_TRUE(file && description.WriteBinary(file));
        std::fclose(file);
        Serve("/desc.3c_", Cabinet("desc.bin", ReadWhole(tree)));
        Serve("/cushion.3c_", Cabinet("cushion.geo", GeometryOf(3)));
        ASSERT_TRUE(server_.Start());
    }

    std::string GeometryOf(int parts) {
        GeometryFile g;
        for (int i = 0; i < parts; ++i) g.Triangle(i).PartEnd();
        g.End();
        return std::string(g.bytes.begin(), g.bytes.end());
    }

    std::string Cabinet(const std::string& member, const std::string& content) {
        const std::string path = build_.Path() + member;
        std::ofstream(path, std::ios::binary) << content;
        const std::string cab = path + ".cab";
        const char* files[] = {path.c_str()};
        EXPECT_TRUE(CreateCabinet(1, files, cab.c_str()));
        return ReadWhole(cab);
    }

    void Serve(const std::string& path, const std::string& body) {
        server_.Server().Get(path, [body](const httplib::Request&, httplib::Response& res) {
            res.set_content(body, "application/octet-stream");
        });
    }

    std::string Url(const std::string& path) const { return "http://" + server_.Address() + path; }

    TempFolder build_;
    TempFolder temp_;
    ScopedEnv tmpdir_{"TMPDIR", temp_.Path()};
    TempFolder cache_;
    ScopedEnv cacheEnv_{"KIVORA_URL_CACHE", cache_.Path()};
    ScopedProgramFolder programFolder_;
    RecordingControl control_;
    LocalHttpServer server_;
};

TEST_F(BaseModelNetTest, AModelWithoutAFileDownloadsAndUnpacksItsCabinet) {
    for (bool synchronous : {true, false}) {
        SCOPED_TRACE(synchronous ? "at once" : "on its thread");
        if (!synchronous) control_.Run();
        KeyDataList keys;
        keys.AddString("URL", Url("/chair.3c_"));
        BaseModel model;
        model.LoadDecompressedFile(keys, synchronous);
        model.WaitForDownload();
        EXPECT_TRUE(model.IsLoaded());
        EXPECT_EQ(model.GetParts().GetCount(), 2u);
        EXPECT_NE(std::string(model.GetDecompressedFile()).find("chair.geo"), std::string::npos);
    }
}

TEST_F(BaseModelNetTest, AlwaysDownloadAgainIgnoresTheLocalFile) {
    const std::string local = build_.Path() + "old.geo";
    std::ofstream(local, std::ios::binary) << GeometryOf(1);
    for (bool again : {false, true}) {
        SCOPED_TRACE(again);
        control_.globalState.SetBoolean(19, again);
        KeyDataList keys;
        keys.AddString("URL", Url("/chair.3c_"));
        keys.AddString("DecompressedFile", local);
        BaseModel model;
        model.LoadDecompressedFile(keys, true);
        EXPECT_EQ(model.GetParts().GetCount(), again ? 2u : 1u);
    }
    control_.globalState.SetBoolean(19, false);
}

TEST_F(BaseModelNetTest, ADescriptionNamesTheGeometryRelativeToItsOwnHost) {
    BaseModel model;
    EXPECT_TRUE(model.LoadDescription(Url("/desc.3c_").c_str()));
    EXPECT_EQ(std::string(model.GetURL()), Url("/chair.3c_"));
    EXPECT_EQ(std::string(model.GetDomain()), server_.Address());
    EXPECT_EQ(model.GetParts().GetCount(), 2u);
    EXPECT_EQ(model.materialCount, 1u);  // no material list: one grey material
}

// A plan's sub-object entry fetches its replacement on the model's side: on a thread of
// its own while the editor runs, at once otherwise. Its material count is bounded by the
// materials it lists; a replacement that does not arrive is not kept.
TEST_F(BaseModelNetTest, SubObjectEntriesFetchTheirReplacement) {
    GeometryFile chairFile;
    chairFile.Triangle().PartEnd().SubObject("Seat").Triangle().PartEnd().LevelEnd().End();
    const std::string chairPath = build_.Path() + "seat.geo";
    ASSERT_TRUE(chairFile.Save(chairPath));
    RefusingPort refusing;
    struct Case {
        const char* name;
        bool running;
        std::string address;
        uint32_t seatParts;
    };
    const Case cases[] = {
        {"on its thread", true, Url("/cushion.3c_"), 3},
        {"at once", false, Url("/cushion.3c_"), 3},
        {"refused, on its thread", true, "http://" + refusing.Address() + "/x.3c_", 1},
        {"refused, at once", false, "http://" + refusing.Address() + "/x.3c_", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        control_.deletedObjects.DeleteAll();
        control_.initialised = c.running ? 1 : 0;
        control_.waitScreenLevel = c.running ? 0.0 : 1.0;
        Model chair;
        chair.LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        chair.StartDownload("http://h/seat.3c_", chairPath.c_str(), true);
        KeyDataList keys;
        KeyDataList* seat = keys.AddSublist("SubObjectList")->AddSublist("Seat");
        seat->AddString("SubObjectURL", c.address);
        seat->AddDouble("MaterialCount", 100000000.0);
        seat->AddSublist("MaterialList")->AddSublist("Material")->AddString("Shininess", "2");
        chair.ReadKeyData(keys);
        // The replacement leaves for the deleted objects once it is done, or at once.
        // The download thread appends under the list's lock: read it under the same lock.
        const auto handedOverHead = [&](uint32_t* count) {
            platform::LockHolder hold(control_.deletedObjects.GetLock());
            *count = control_.deletedObjects.GetCount();
            return control_.deletedObjects.GetHead();
        };
        const bool handedOver = c.running || c.seatParts == 3;
        uint32_t count = 0;
        LinkedListObject* head = handedOverHead(&count);
        for (int i = 0; i < 500 && handedOver && count == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            head = handedOverHead(&count);
        }
        EXPECT_EQ(count, handedOver ? 1u : 0u);
        if (head) {
            auto* sub = dynamic_cast<SubObject*>(head);
            ASSERT_NE(sub, nullptr);
            sub->WaitForDownload();
        }
        SubObject finder("Seat");
        int counter = 0;
        SubObjectPart* part = finder.FindSectionPart(chair.GetParts(), 0, counter);
        ASSERT_NE(part, nullptr);
        EXPECT_EQ(part->GetMembers().GetCount(), c.seatParts);
        if (c.seatParts == 3)
            EXPECT_EQ(part->GetSubObjectMaterialCount(), 1u) << "bounded by the list";
    }
    control_.deletedObjects.DeleteAll();
}

}  // namespace
