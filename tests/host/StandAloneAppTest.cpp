#include <gtest/gtest.h>

#include "foundation/Common.h"
#include "foundation/Registry.h"
#include "host/CommandLine.h"
#include "host/HostFixture.h"
#include "host/HostResources.h"
#include "host/StandAloneApp.h"

namespace {

class StandAloneAppTest : public HostWorld {};

TEST_F(StandAloneAppTest, EveryStartWritesItsVersionAndTheDefaultServerUnlessDIsGiven) {
    RegistrySetString("", "address", "left.over:1");
    ASSERT_TRUE(SetBufferedFileName("old.kvp"));
    {
        StandAloneApp app;
        EXPECT_EQ(GetServerAddress(), kDefaultServerDomain);
        EXPECT_EQ(BufferedFileName(), "");
        char version[32] = "";
        RegistryGetString("", "ExeVS", version, sizeof version);
        EXPECT_STREQ(version, "1,0,0,27");
        EXPECT_TRUE(app.ParseCommandLine("-d http://content.example:81/ plan.kvp"));
        EXPECT_EQ(GetServerAddress(), "content.example:81");
        EXPECT_EQ(BufferedFileName(), "plan.kvp");
    }
    StandAloneApp next;
    EXPECT_EQ(GetServerAddress(), kDefaultServerDomain);
}

TEST_F(StandAloneAppTest, CommandLinesAreReadAsTheSwitchesSay) {
    struct Case {
        const char* line;
        bool goesOn;
        const char* address;
        const char* plan;
    };
    const Case cases[] = {
        {"", true, kDefaultServerDomain, ""},
        {"-d", true, kDefaultServerDomain, ""},
        {"a.kvp \"/x y/b.kvp\"", true, kDefaultServerDomain, "/x y/b.kvp"},
        {"\"/x y/b.kvp\" -D other.example", true, "other.example", "/x y/b.kvp"},
        // Uninstalling ends the program; here no installer is registered, so it fails.
        {"-u", false, kDefaultServerDomain, ""},
        // "-i" installs after every token was read and ends the program.
        {"-i -d other.example", false, "other.example", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        StandAloneApp app;
        EXPECT_EQ(app.ParseCommandLine(c.line), c.goesOn);
        EXPECT_EQ(GetServerAddress(), c.address);
        EXPECT_EQ(BufferedFileName(), c.plan);
    }
    // Neither the uninstall nor the install could start without their components: no
    // update window stays behind, and no question was asked.
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
