#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "foundation/Registry.h"
#include "platform/Window.h"
#include "probe/PreContrl.h"
#include "support/LocalHttpServer.h"
#include "support/TempFolder.h"
#include "support/TraceLogTail.h"

namespace {

using namespace std::chrono_literals;

constexpr int kSize = 64;

double Stored(const char* name) {
    double value = -1.0;
    EXPECT_TRUE(RegistryGetDouble("oglSettings\\", name, &value)) << name;
    return value;
}

template <typename Condition>
bool WaitFor(Condition condition) {
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

bool Ready(PreContrl& probe) {
    int32_t ready = 0;
    probe.get_isReadyForQuery(&ready);
    return ready == 1;
}

// The probe on the software renderer, with a server that refuses the settings request.
class ProbeOnMesa : public ::testing::Test {
protected:
    void SetUp() override {
        probe_ = platform::RefPtr<PreContrl>::Adopt(new PreContrl);
        probe_->SetDomainText(server_.Address().c_str());
    }
    PreContrl& Probe() { return *probe_.Get(); }

    ScopedRegistry registry_;
    RefusingPort server_;
    platform::RefPtr<PreContrl> probe_;
};

TEST_F(ProbeOnMesa, MeasuresStoresThenDrawsUntilDestroyed) {
    TraceLogTail log;
    Probe().SetBackground("#FF8000");
    platform::WindowHandle window = platform::kNoWindow;
    ASSERT_EQ(Probe().CreateObjectWindow(platform::kNoWindow, kSize, kSize, &window),
              platform::S_OK);
    ASSERT_TRUE(WaitFor([&] { return Ready(Probe()); }));

    // What the driver and the machine report, as stored for the editor.
    EXPECT_EQ(Stored("accelerated"), 0.0) << "software rendering";
    EXPECT_EQ(Stored("depthBits"), 24.0);
    EXPECT_EQ(Stored("stencilBits"), 8.0);
    EXPECT_EQ(Stored("desktopBits"), 24.0);
    EXPECT_EQ(Stored("cpuType"), 8664.0);
    EXPECT_GT(Stored("maxWidth"), 0.0);
    EXPECT_EQ(Stored("maxWidth"), Probe().maxViewportWidth);
    EXPECT_GT(Stored("memorySize"), 1024.0);
    EXPECT_GE(Stored("speed"), 0.0);
    char text[PreContrl::kTextSize] = {};
    ASSERT_TRUE(RegistryGetString("oglSettings\\", "renderer", text, sizeof text));
    EXPECT_STREQ(text, Probe().renderer);
    EXPECT_GT(std::strlen(text), 0u);
    ASSERT_TRUE(RegistryGetString("oglSettings\\", "vendor", text, sizeof text));
    EXPECT_STREQ(text, Probe().vendor);
    ASSERT_TRUE(RegistryGetString("oglSettings\\", "version", text, sizeof text));
    EXPECT_STREQ(text, Probe().version);
    // The refused request leaves zeros, and the server's height replaces the viewport's.
    for (const char* name :
         {"sglPass", "oglLighting", "dynamicShadow", "depthFactor", "depthUnits", "offsetFactor",
          "offsetUnits", "maxDepth", "maxHeight", "defaultWidth", "defaultHeight"})
        EXPECT_EQ(Stored(name), 0.0) << name;

    platform::VARIANT v;
    platform::InitVariant(&v);
    Probe().get_StencilBits(&v);
    EXPECT_EQ(v.shortValue, 8);
    Probe().get_Version(&v);
    EXPECT_GE(v.doubleValue, 1.0);
    Probe().get_DesktopColorBits(&v);
    EXPECT_EQ(v.intValue, 24);
    platform::VARIANT index;
    platform::InitVariant(&index);
    platform::SetVariantInt32(&index, kExtMultitexture);
    Probe().get_IsExtensionSupported(index, &v);
    EXPECT_TRUE(v.boolValue) << "the software renderer has multitexturing";

    // The box stands on the background colour; a new colour shows in a later frame.
    const auto corner = [&] {
        const auto pixels = Probe().deviceContext->PresentedPixels();
        return pixels.size() >= 4 ? std::vector<uint8_t>(pixels.begin(), pixels.begin() + 3)
                                  : std::vector<uint8_t>{};
    };
    EXPECT_TRUE(WaitFor([&] { return corner() == std::vector<uint8_t>{255, 128, 0}; }));
    const auto pixels = Probe().deviceContext->PresentedPixels();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(kSize * kSize * 4));
    int boxPixels = 0;
    for (size_t i = 0; i < pixels.size(); i += 4)
        if (pixels[i] != 255 || pixels[i + 1] != 128 || pixels[i + 2] != 0) ++boxPixels;
    EXPECT_GT(boxPixels, kSize * kSize / 20) << "the box is drawn";
    Probe().SetBackground("#0000FF");
    EXPECT_TRUE(WaitFor([&] { return corner() == std::vector<uint8_t>{0, 0, 255}; }));

    EXPECT_TRUE(platform::DestroyWindow(window));
    EXPECT_EQ(Probe().deviceContext, nullptr);
    EXPECT_EQ(Probe().renderingContext, nullptr);
    const std::string trace = log.Text();
    EXPECT_NE(trace.find("Rendering mode found and set."), std::string::npos);
    EXPECT_NE(trace.find("Thread ending."), std::string::npos);
    EXPECT_LT(trace.find("Thread ending."), trace.find("Rendering thread destroyed."));
}

// A host that lets go of the probe at once, while its thread is still starting, without
// destroying the window itself.
TEST_F(ProbeOnMesa, ReleasedDuringStartUpStopsItsThread) {
    platform::WindowHandle window = platform::kNoWindow;
    ASSERT_EQ(Probe().CreateObjectWindow(platform::kNoWindow, 1, 1, &window), platform::S_OK);
    probe_.Reset();
    EXPECT_FALSE(platform::IsWindow(window));
}

}  // namespace

namespace {

// A settings page that keeps its answer back until it is let go (or a long while passed).
class HeldSettingsPage {
public:
    HeldSettingsPage() {
        server_.Server().Get("/kvrQueryEntrance.aspx",
                             [this](const httplib::Request&, httplib::Response& response) {
                                 std::unique_lock<std::mutex> hold(mutex_);
                                 asked_ = true;
                                 changed_.notify_all();
                                 changed_.wait_for(hold, 20s, [&] { return released_; });
                                 answered_ = true;
                                 response.set_content("T", "text/plain");
                             });
        EXPECT_TRUE(server_.Start());
    }
    ~HeldSettingsPage() { Release(); }
    std::string Address() const { return server_.Address(); }
    bool WaitUntilAsked() {
        std::unique_lock<std::mutex> hold(mutex_);
        return changed_.wait_for(hold, 30s, [&] { return asked_; });
    }
    bool Pending() {
        std::lock_guard<std::mutex> hold(mutex_);
        return asked_ && !answered_;
    }
    void Release() {
        std::lock_guard<std::mutex> hold(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool asked_ = false;
    bool released_ = false;
    bool answered_ = false;
    LocalHttpServer server_;
};

// The window's size and destruction do not wait for the server's settings.
TEST(ProbeServerWait, TheWindowIsServedWhileTheSettingsAreAsked) {
    ScopedRegistry registry;
    HeldSettingsPage page;
    auto probe = platform::RefPtr<PreContrl>::Adopt(new PreContrl);
    probe->SetDomainText(page.Address().c_str());
    platform::WindowHandle window = platform::kNoWindow;
    ASSERT_EQ(probe->CreateObjectWindow(platform::kNoWindow, kSize, kSize, &window),
              platform::S_OK);
    ASSERT_TRUE(page.WaitUntilAsked());
    platform::SendMessage(window, platform::WM_SIZE, 0,
                          static_cast<platform::LParam>((32 << 16) | 48));
    EXPECT_TRUE(page.Pending()) << "the size was taken while the request was still open";
    page.Release();
    EXPECT_TRUE(WaitFor([&] { return Ready(*probe.Get()); }));
    EXPECT_TRUE(platform::DestroyWindow(window));
}

}  // namespace
