#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <fstream>
#include <sstream>
#include <string>

#include "building/BaseMolding.h"
#include "foundation/Cabinet.h"
#include "slabs/ParametricShape.h"
#include "support/GeometryFile.h"
#include "support/LocalHttpServer.h"
#include "support/TempFolder.h"
#include "support/WallFixtures.h"

// Irregular profiles fetched from a local content server on the shapes' own threads.
namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ParametricShapeNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A profile drawn in the x-y plane, 6 across and 2 high.
        GeometryFile g;
        g.Triangle(0).PartEnd();
        g.OutlinePoints({{-3, 0, 0}, {3, 0, 0}, {3, 2, 0}, {-3, 2, 0}});
        g.End();
        Serve("/profiles/crown.ge_",
              Cabinet("crown.geo", std::string(g.bytes.begin(), g.bytes.end())));
        GeometryFile slow;
        slow.Triangle(0).PartEnd();
        slow.OutlinePoints({{0, 0, -9}, {0, 0, 9}, {0, 5, 9}, {0, 5, -9}});
        slow.End();
        const std::string slowCab =
            Cabinet("slow.geo", std::string(slow.bytes.begin(), slow.bytes.end()));
        server_.Server().Get("/profiles/slow.ge_", [slowCab](const httplib::Request&,
                                                               httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            res.set_content(slowCab, "application/octet-stream");
        });
        ASSERT_TRUE(server_.Start());
        url_ = "http://" + server_.Address() + "/profiles/crown.ge_";
        // The last profile used: new irregular shapes start with it.
        s.control.baseMoldingState.SetString(0, url_.c_str());
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

    TempFolder build_;
    TempFolder temp_;
    ScopedEnv tmpdir_{"TMPDIR", temp_.Path()};
    TempFolder cache_;
    ScopedEnv cacheEnv_{"KIVORA_URL_CACHE", cache_.Path()};
    WallScene s;
    LocalHttpServer server_;
    std::string url_;
};

TEST_F(ParametricShapeNetTest, AFetchedProfileReachesTheMoldingAndItsChain) {
    BaseMolding a(true), b(true);
    Vector ground(0, 1, 0);
    ground.w = 0.0;
    for (BaseMolding* m : {&a, &b}) m->SetParentPlane(ground, Vector(0, 0, 0));
    a.SetEndPoint(BaseMolding::kBegin, Vector(0, 0, 0));
    a.SetEndPoint(BaseMolding::kEnd, Vector(40, 0, 0));
    b.SetEndPoint(BaseMolding::kBegin, Vector(40, 0, 0));
    b.SetEndPoint(BaseMolding::kEnd, Vector(40, 0, 40));
    a.SetShapeType(ParametricShape::kRect);
    b.SetShapeType(ParametricShape::kRect);
    ASSERT_TRUE(a.LinkTo(&b, BaseMolding::kEnd, BaseMolding::kBegin));

    a.SetProfileFromURL(url_.c_str());
    auto* mine = dynamic_cast<ParametricIrregularShape*>(a.GetShape());
    auto* theirs = dynamic_cast<ParametricIrregularShape*>(b.GetShape());
    ASSERT_NE(mine, nullptr);
    ASSERT_NE(theirs, nullptr);
    mine->WaitForLoads();
    theirs->WaitForLoads();
    // The file's outline, turned into the profile plane, in both moldings of the chain.
    ASSERT_EQ(mine->GetCount(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(mine->GetPoints()[i].x, 0.0);
    EXPECT_DOUBLE_EQ(mine->GetExtent().y, 2.0);
    EXPECT_DOUBLE_EQ(mine->GetExtent().z, 3.0);
    ASSERT_EQ(theirs->GetCount(), 4);
    EXPECT_STREQ(theirs->GetUrl(), url_.c_str());
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(theirs->GetPoints()[i].y, mine->GetPoints()[i].y);
    EXPECT_STREQ(s.control.baseMoldingState.GetString(0).c_str(), url_.c_str());
}

TEST_F(ParametricShapeNetTest, AMoldingGoingWhileItsProfileLoadsWaitsForTheLoad) {
    for (int round = 0; round < 5; ++round) {
        auto molding = std::make_unique<BaseMolding>(true);
        molding->SetProfileFromURL(url_.c_str());
        // Gone at once, with the render lock held as the editor holds it.
        s.control.LockRender();
        molding.reset();
        s.control.UnlockRender();
    }
    SUCCEED();
}

TEST_F(ParametricShapeNetTest, AFileAskedForEarlierNeverReplacesALaterOne) {
    ParametricIrregularShape shape;
    shape.WaitForLoads();
    const std::string slow = "http://" + server_.Address() + "/profiles/slow.ge_";
    shape.LoadShapeAsync(slow.c_str());
    shape.LoadShapeAsync(url_.c_str());
    shape.WaitForLoads();
    ASSERT_EQ(shape.GetCount(), 4);
    EXPECT_DOUBLE_EQ(shape.GetExtent().y, 2.0);
    EXPECT_DOUBLE_EQ(shape.GetExtent().z, 3.0);
}

}  // namespace
