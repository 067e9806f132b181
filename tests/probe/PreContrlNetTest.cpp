#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>

#include "control/Defaults.h"
#include "foundation/Registry.h"
#include "probe/PreContrl.h"
#include "support/LocalHttpServer.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

namespace {

// A settings page that answers `reply` and records the parameters it was asked with.
class SettingsServer {
public:
    explicit SettingsServer(std::string reply) : reply_(std::move(reply)) {
        server_.Server().Get("/kvrQueryEntrance.aspx",
                             [this](const httplib::Request& request, httplib::Response& response) {
                                 std::lock_guard<std::mutex> hold(mutex_);
                                 ++requests_;
                                 card_ = request.get_param_value("cardName");
                                 vendor_ = request.get_param_value("vendorName");
                                 defaults_ = request.get_param_value("defSettings");
                                 response.set_content(reply_, "text/plain");
                             });
        EXPECT_TRUE(server_.Start());
    }
    std::string Address() const { return server_.Address(); }
    int Requests() {
        std::lock_guard<std::mutex> hold(mutex_);
        return requests_;
    }
    std::string card_, vendor_, defaults_;

private:
    LocalHttpServer server_;
    std::string reply_;
    std::mutex mutex_;
    int requests_ = 0;
};

class ProbeSettingsTest : public ::testing::Test {
protected:
    ProbeSettingsTest() : probe_(platform::RefPtr<PreContrl>::Adopt(new PreContrl)) {}
    PreContrl& Probe() { return *probe_.Get(); }

    ScopedRegistry registry_;
    ScopedProgramFolder folder_;
    platform::RefPtr<PreContrl> probe_;
};

TEST_F(ProbeSettingsTest, AsksForTheRenderersSettingsAndParsesThem) {
    SettingsServer server("T1 1 0 3 5 2 4 1024 2048 640 480");
    Probe().SetDomainText(server.Address().c_str());
    PreContrl::ServerSettings settings;
    // Names with characters that mean something in a page address arrive whole.
    ASSERT_TRUE(Probe().QueryDefaultSettings("Card #2 & more (1.0)", "Maker+Sons", &settings));
    EXPECT_EQ(server.card_, "Card #2 & more (1.0)");
    EXPECT_EQ(server.vendor_, "Maker+Sons");
    EXPECT_EQ(server.defaults_, "1");
    EXPECT_EQ(settings.flags[0], 1);
    EXPECT_EQ(settings.flags[2], 0);
    EXPECT_EQ(settings.values[0], 3);
    EXPECT_EQ(settings.values[7], 480);
}

TEST_F(ProbeSettingsTest, DecliningOrMissingServerGivesZeros) {
    SettingsServer declining("OF 1 1 1 1 1 1 1 1 1 1");
    Probe().SetDomainText(declining.Address().c_str());
    PreContrl::ServerSettings settings;
    settings.values[0] = 9;
    EXPECT_FALSE(Probe().QueryDefaultSettings("r", "v", &settings));
    EXPECT_EQ(settings.values[0], 0);
    EXPECT_EQ(declining.Requests(), 1);

    RefusingPort refusing;
    Probe().SetDomainText(refusing.Address().c_str());
    settings.flags[1] = 1;
    EXPECT_FALSE(Probe().QueryDefaultSettings("r", "v", &settings));
    EXPECT_EQ(settings.flags[1], 0);

    // A page too long for the request is not sent.
    SettingsServer server("T1 1 1 1 1 1 1 1 1 1 1");
    Probe().SetDomainText(server.Address().c_str());
    const std::string longName(PreContrl::kMaxQueryPage, 'x');
    EXPECT_FALSE(Probe().QueryDefaultSettings(longName.c_str(), "v", &settings));
    EXPECT_EQ(server.Requests(), 0);
}

// What the probe stores is what the editor reads at start.
TEST_F(ProbeSettingsTest, StoredSettingsAreWhatTheEditorReads) {
    SettingsServer server("T0 1 1 2 3 4 5 1024 700 640 480");
    Probe().SetDomainText(server.Address().c_str());
    std::strcpy(Probe().renderer, "Card");
    std::strcpy(Probe().vendor, "Maker");
    std::strcpy(Probe().version, "2.1");
    Probe().maxViewportWidth = 8192;
    Probe().maxViewportHeight = 8192;
    EXPECT_TRUE(Probe().StoreSettings());

    double value = 0;
    ASSERT_TRUE(RegistryGetDouble("oglSettings\\", "maxHeight", &value));
    EXPECT_EQ(value, 700.0) << "the server's height stays";
    ASSERT_TRUE(RegistryGetDouble("oglSettings\\", "maxWidth", &value));
    EXPECT_EQ(value, 8192.0);
    ASSERT_TRUE(RegistryGetDouble("oglSettings\\", "defaultHeight", &value));
    EXPECT_EQ(value, 480.0);
    EXPECT_EQ(server.card_, "Card");

    TestControl control;
    SetFactoryDefaults(control);
    EXPECT_TRUE(ReadProbeSettings(control));
    GlobalState& g = control.globalState;
    EXPECT_TRUE(g.GetBoolean(13)) << "dynamic shadows";
    EXPECT_EQ(g.GetInteger(8), 1024);
    EXPECT_EQ(g.GetDouble(17), 2.0);
    EXPECT_EQ(g.GetDouble(20), 5.0);
}

}  // namespace
