#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "ContentServer.h"
#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/Common.h"
#include "foundation/KeyDataList.h"
#include "foundation/Registry.h"
#include "host/HostFixture.h"
#include "host/HostRegistry.h"
#include "host/HostResources.h"
#include "host/StandAloneApp.h"

// The whole program in this process, on the headless layer: setup, sign-in, install,
// probe, splash, main window, a second start's plan, and a clean end.
namespace {

class KivoraRunNetTest : public HostWorld {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        const std::string command =
            std::string(KIVORA_SETUP_PROGRAM) + " " + server_.Address() + " > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        // Signed in before, with "Don't show this dialog again".
        RegistrySetString("", "username", EncodeStoredText("demo@kivora.local").c_str());
        RegistrySetString("", "password", EncodeStoredText("demo").c_str());
        RegistrySetDouble("", "doAutoLogin", 1.0);
    }

    std::string EmptyPlan(const std::string& name) {
        const std::string tree = TempPath(name + ".bin");
        KeyDataList plan;
        FILE* file = std::fopen(tree.c_str(), "wb");
        EXPECT_TRUE(file && plan.WriteBinary(file));
        if (file) {
            std::fputc(kPlanStreamEnd, file);
            std::fclose(file);
        }
        const std::string path = Root() + name + ".kvp";
        const char* files[] = {tree.c_str()};
        EXPECT_TRUE(CreateCabinet(1, files, path.c_str()));
        return path;
    }

    ContentServer server_{KIVORA_CONTENT_SITE, Root() + "uploads"};
};

// The top-level windows that stand now whose title starts with `prefix`. Handles are
// small numbers handed out in order, so a scan of the first few thousand finds them all.
std::vector<platform::WindowHandle> TopWindowsTitled(const std::string& prefix) {
    std::vector<platform::WindowHandle> found;
    for (uint32_t n = 1; n < 4096; ++n) {
        const auto window = static_cast<platform::WindowHandle>(n);
        if (!platform::IsWindow(window) || platform::GetParent(window) != platform::kNoWindow)
            continue;
        if (platform::GetWindowText(window).rfind(prefix, 0) == 0) found.push_back(window);
    }
    return found;
}

// The main window once it carries the plan's title.
platform::WindowHandle MainWindowShowing(const std::string& title) {
    for (platform::WindowHandle window : TopWindowsTitled(title))
        if (platform::GetWindowText(window) == title) return window;
    return platform::kNoWindow;
}

TEST_F(KivoraRunNetTest, TheProgramStartsOpensPlansAndEndsCleanly) {
    const std::string first = EmptyPlan("first");
    const std::string second = EmptyPlan("second");
    std::atomic<bool> stop{false};
    auto person = std::async(std::launch::async, [&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        auto wait = [&](auto done) {
            while (!done() && !stop && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return done();
        };
        platform::WindowHandle main = platform::kNoWindow;
        if (!wait([&] {
                return (main = MainWindowShowing("Kivora -- first")) != platform::kNoWindow;
            })) {
            // Tell what stands instead, and let the program go so the test ends.
            std::string shown;
            for (platform::WindowHandle window : TopWindowsTitled("Kivora")) {
                shown += " \"" + platform::GetWindowText(window) + "\"";
                platform::PostMessage(window, platform::WM_CLOSE);
            }
            return "the first plan did not open; the windows are" + shown;
        }
        // A second start hands its plan over and ends at once.
        if (KivoraMain({second}) != 0) return std::string("the second start failed");
        if (!wait([&] { return platform::GetWindowText(main) == "Kivora -- second"; }))
            return std::string("the handed-over plan did not open");
        // Closing: the editor lets the window go once it has started.
        wait([&] {
            platform::PostMessage(main, platform::WM_CLOSE);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return !platform::IsWindow(main);
        });
        return platform::IsWindow(main) ? std::string("the window did not close") : std::string();
    });
    const int result = KivoraMain({"-d", server_.Address(), first});
    stop = true;
    EXPECT_EQ(person.get(), "") << ReadText(TempPath(kHostTraceName));
    EXPECT_EQ(result, 0);

    // Installed, probed, and ended cleanly: the editor's session is closed and the log
    // was opened again for the end.
    EXPECT_EQ(server_.UploadCount("probe"), 1);
    double session = -1.0;
    RegistryGetDouble("", "Session open", &session);
    EXPECT_EQ(session, 0.0);
    const std::string log = ReadText(TempPath(kHostTraceName));
    EXPECT_NE(log.find("Duzazododiza message loop completed"), std::string::npos) << log;
    EXPECT_NE(log.find("Closing logfile"), std::string::npos);
    EXPECT_EQ(Shown(kSignInDialog), 0);
}

}  // namespace
