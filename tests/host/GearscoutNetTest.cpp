#include <gtest/gtest.h>

#include <string>

#include "ContentServer.h"
#include "foundation/Common.h"
#include "foundation/Registry.h"
#include "host/Gearscout.h"
#include "host/HostFixture.h"
#include "host/HostResources.h"

namespace {

class GearscoutNetTest : public HostWorld {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        SetServerAddress(server_.Address().c_str());
        SetUserID("1001");
    }
    // What the probe stores.
    void StoreFindings() {
        const char* numbers[] = {"accelerated", "sglPass",     "cpuType",   "depthBits",
                                 "stencilBits", "desktopBits", "maxHeight", "maxWidth",
                                 "memorySize",  "speed"};
        double value = 1.0;
        for (const char* name : numbers) RegistrySetDouble("oglSettings\\", name, value++);
        RegistrySetString("oglSettings\\", "renderer", "Mesa & Co=fast");
        RegistrySetString("oglSettings\\", "vendor", "Mesa/X.org");
        RegistrySetString("oglSettings\\", "version", "4.5 (Compatibility Profile)");
    }
    std::string Sent() {
        std::error_code error;
        for (const auto& entry :
             std::filesystem::directory_iterator(Root() + "uploads/probe", error))
            return ReadText(entry.path().string());
        return {};
    }

    ContentServer server_{KIVORA_CONTENT_SITE, Root() + "uploads"};
};

TEST_F(GearscoutNetTest, TheFindingsGoToTheServerAsFormFields) {
    StoreFindings();
    ASSERT_TRUE(WritePCSettingsToDB());
    const std::string body = Sent();
    EXPECT_EQ(
        body.rfind("isAcc=1&shad=1&cpu=3&depth=4&desk=6&mxHgt=7&mxWd=8&mem=9&spd=10&stncl=5", 0),
        0u)
        << body;
    httplib::Params fields;
    httplib::detail::parse_query_text(body, fields);
    EXPECT_EQ(fields.find("rnd")->second, "Mesa & Co=fast");
    EXPECT_EQ(fields.find("vnd")->second, "Mesa/X.org");
    EXPECT_EQ(fields.find("vrs")->second, "4.5 (Compatibility Profile)");
}

TEST_F(GearscoutNetTest, FindingsThatAreMissingOrNoNumbersAreNotSent) {
    StoreFindings();
    RegistrySetString("oglSettings\\", "speed", "fast");
    EXPECT_FALSE(WritePCSettingsToDB());
    RegistrySetDouble("oglSettings\\", "speed", 1e300);
    EXPECT_FALSE(WritePCSettingsToDB());
    EXPECT_EQ(server_.UploadCount("probe"), 0);
}

TEST_F(GearscoutNetTest, TheServersReplyDecidesAndTroubleIsShown) {
    struct Case {
        const char* reply;
        uint32_t button;  // what the person presses in the result dialog, 0 when none shows
        bool goesOn;
        const char* caption;
    };
    const Case cases[] = {
        {"SUCCESS", 0, true, ""},
        {"failed\r\n", 0, false, ""},
        {"nothing to say", 0, true, ""},
        {"DR=1", kIdCancel, true, "Old Video Card Or Driver:"},
        {"DR=1&GDI=1", kIdOk, false, "Video Card Not Configured:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        std::string caption;
        std::string advice;
        play = [&](BaseWindow& d, uint32_t id) {
            if (id != kProbeResultDialog) return;
            caption = d.Dialog()->GetCaption();
            advice = d.Dialog()->GetText(kIdProbeTrouble);
            d.Dialog()->Click(c.button);
        };
        EXPECT_EQ(HandleProbeReply(c.reply), c.goesOn);
        EXPECT_EQ(caption, c.caption);
        EXPECT_EQ(advice.empty(), c.button == 0);
    }
    // Closing the dialog is no choice to go on.
    play = nullptr;
    EXPECT_FALSE(HandleProbeReply("GDI=1"));
}

}  // namespace
