#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "control/Duzazododiza.h"
#include "control/ServerPosts.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "support/LocalHttpServer.h"
#include "support/TempFolder.h"

namespace {

struct Received {
    std::string method;
    std::string path;
    std::string query;
    std::string body;
};

class ServerPostsTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto record = [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard<std::mutex> hold(mutex);
            // The form body is parsed into the parameters too; the query is the target's.
            const size_t mark = request.target.find('?');
            const std::string query =
                mark == std::string::npos ? std::string() : request.target.substr(mark + 1);
            received.push_back({request.method, request.path, query, request.body});
            response.set_content("ok", "text/plain");
        };
        server.Server().Post(".*", record);
        server.Server().Get(".*", record);
        ASSERT_TRUE(server.Start());
        control = new CDuzazododiza;
        std::snprintf(control->contentDomain, sizeof control->contentDomain, "%s",
                      server.Address().c_str());
        SetUserID("42");
    }
    void TearDown() override { control->Release(); }

    std::vector<Received> Requests() {
        std::lock_guard<std::mutex> hold(mutex);
        return received;
    }

    ScopedRegistry registry;
    LocalHttpServer server;
    CDuzazododiza* control = nullptr;
    std::mutex mutex;
    std::vector<Received> received;
};

TEST_F(ServerPostsTest, EmptySceneBillOfMaterialsIsTheFrameAlone) {
    std::snprintf(control->planName, sizeof control->planName, "%s", "/plans/caf\xC3\xA9 & co.kvp");
    control->floorState.SetDouble(9, 12.5);
    control->wallState.SetDouble(5, 96.0);
    control->globalState.SetBoolean(7, true);
    EXPECT_EQ(control->PostPlanXML(), platform::S_OK);

    const std::vector<Received> requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/kvrQueryEntrance.aspx");
    EXPECT_EQ(requests[0].query, "billMat=1&userID=42");
    EXPECT_EQ(requests[0].body,
              "<?xml version='1.0' ?><plan><defaultsList>"
              "<groundHeight default=\"12.5000\" /><wallHeight default=\"96.0000\" />"
              "</defaultsList><fileInformation name=\"/plans/caf&#233; &amp; co.kvp\" "
              "metric=\"y\" /></plan>");
}

TEST_F(ServerPostsTest, PreviousTraceSendsItsHeadAndTailThenGoes) {
    const std::string errorPath = theTrace().ErrorPath();
    ASSERT_FALSE(errorPath.empty());
    std::string log;
    for (int i = 0; i < 300; ++i) log += static_cast<char>('a' + i % 26);
    std::ofstream(errorPath, std::ios::binary) << log;

    control->UploadPreviousTrace(true);
    std::vector<Received> requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].query, "errPost=1&userID=42&fileName=Kivora_trace.txt");
    EXPECT_EQ(requests[0].body, log.substr(0, 256) + log) << "a short log is its own tail";
    EXPECT_FALSE(std::ifstream(errorPath).good());

    // Without the upload the file still goes; a missing file does nothing.
    std::ofstream(errorPath, std::ios::binary) << log;
    control->UploadPreviousTrace(false);
    control->UploadPreviousTrace(true);
    EXPECT_EQ(Requests().size(), 1u);
    EXPECT_FALSE(std::ifstream(errorPath).good());
}

TEST_F(ServerPostsTest, LongTraceSendsItsLast1024Bytes) {
    TempFolder folder;
    const std::string path = folder.Path() + "long.err";
    std::string log(5000, 'x');
    log.replace(0, 4, "HEAD");
    log.replace(log.size() - 4, 4, "TAIL");
    std::ofstream(path, std::ios::binary) << log;
    std::string body;
    ASSERT_TRUE(ReadTraceUploadBody(path.c_str(), &body));
    EXPECT_EQ(body, log.substr(0, 256) + log.substr(log.size() - 1024));
    EXPECT_FALSE(ReadTraceUploadBody((folder.Path() + "none").c_str(), &body));
}

TEST_F(ServerPostsTest, UserStatusAsksTheServerAndFailuresAreQuiet) {
    control->QueryUserStatus();
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0].method, "GET");
    EXPECT_EQ(Requests()[0].path, "/GetUserStatus.aspx");

    RefusingPort refusing;
    EXPECT_FALSE(PostToServer(refusing.Address().c_str(), "kvrQueryEntrance.aspx", "x"));
}

}  // namespace
