#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ContentServer.h"
#include "foundation/Common.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "host/HostFixture.h"
#include "host/HostResources.h"
#include "host/HostTrace.h"

namespace {

class HostTraceNetTest : public HostWorld {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        SetServerAddress(server_.Address().c_str());
        SetUserID("1001");
    }
    void TearDown() override { SetHostTraceFlag(false); }

    double OpenMark(const char* name) {
        double open = -1.0;
        RegistryGetDouble("logs\\", name, &open);
        return open;
    }
    // The uploaded logs, by file name.
    std::vector<std::string> Uploads() {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry :
             std::filesystem::directory_iterator(Root() + "uploads/logs", error))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A log that a run left open.
    void LeaveUncleanLog(const std::string& text) {
        std::ofstream(TempPath(kHostTraceName)) << text;
        RegistrySetDouble("logs\\", kHostTraceName, 1.0);
    }

    ContentServer server_{KIVORA_CONTENT_SITE, Root() + "uploads"};
};

TEST_F(HostTraceNetTest, TheLogIsMarkedOpenWhileItRunsAndClosedAtItsEnd) {
    ASSERT_TRUE(OpenTraceLog(kHostTraceName));
    EXPECT_EQ(OpenMark(kHostTraceName), 1.0);
    TraceWrite("a line");
    TraceAssert(false, "Postcondition", "here.cpp", 7, "what failed");
    CloseTraceLog();
    EXPECT_EQ(OpenMark(kHostTraceName), 0.0);
    const std::string log = ReadText(TempPath(kHostTraceName));
    EXPECT_NE(log.find("CompID : StandAlone v.1,0,0,27\n"), std::string::npos);
    EXPECT_NE(log.find(" a line\n"), std::string::npos);
    EXPECT_NE(log.find(" Postcondition Failed\n"), std::string::npos);
    EXPECT_NE(log.find(" 7  ---  failure line\n"), std::string::npos);
    EXPECT_NE(log.find(" Closing logfile\n"), std::string::npos);
    // Writing with no log open goes nowhere.
    TraceWrite("after the end");
    EXPECT_EQ(ReadText(TempPath(kHostTraceName)), log);
    EXPECT_TRUE(Uploads().empty());
}

TEST_F(HostTraceNetTest, TheHostSetsAnUncleanLogAsideAndSendsItAfterTheSignIn) {
    LeaveUncleanLog("the last run's lines\n");
    SetHostTraceFlag(true);
    ASSERT_TRUE(OpenTraceLog(kHostTraceName));
    EXPECT_EQ(ReadText(TempPath("kvrStandalone_trace.err")), "the last run's lines\n");
    EXPECT_EQ(ReadText(TempPath(kHostTraceName)).find("the last run"), std::string::npos);
    EXPECT_TRUE(Uploads().empty());

    PostPendingTraceLog();
    ASSERT_EQ(Uploads().size(), 1u);
    EXPECT_EQ(Uploads()[0], "1-1001-kvrStandalone_trace.err");
    EXPECT_EQ(ReadText(Root() + "uploads/logs/" + Uploads()[0]), "the last run's lines\n");
    PostPendingTraceLog();
    EXPECT_EQ(Uploads().size(), 1u);
}

TEST_F(HostTraceNetTest, WithoutTheHostFlagAnUncleanLogIsSentAtOnce) {
    LeaveUncleanLog(std::string(1279, 'a'));
    ASSERT_TRUE(OpenTraceLog(kHostTraceName));
    ASSERT_EQ(Uploads().size(), 1u);
    EXPECT_EQ(ReadText(Root() + "uploads/logs/" + Uploads()[0]), std::string(1279, 'a'));
}

}  // namespace
