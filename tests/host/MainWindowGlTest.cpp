#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/Common.h"
#include "foundation/KeyDataList.h"
#include "foundation/Registry.h"
#include "host/CommandLine.h"
#include "host/HostFixture.h"
#include "host/HostResources.h"
#include "host/MainWindow.h"
#include "platform/WebView.h"

// The main window with the real editor and web pane, created by class identifier from
// the built libraries, on the headless layer and OSMesa.
namespace {

class MainWindowGlTest : public HostWorld {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterLibrary(KIVORA_EDITOR_LIBRARY));
        ASSERT_TRUE(RegisterLibrary(KIVORA_PAGEPANE_LIBRARY));
        SetServerAddress("127.0.0.1:9");
        platform::SetWebViewMakerForTesting([this](platform::IWebView** out) {
            auto* view = new platform::StandInWebView;
            view->AddRef();
            views_.push_back(view);
            *out = view;
            return platform::S_OK;
        });
    }
    void TearDown() override {
        window.reset();
        DrainQuit();
        platform::SetWebViewMakerForTesting(nullptr);
        for (platform::StandInWebView* view : views_) view->Release();
    }

    // Serves this thread's messages for a while, or until `done`.
    template <class Done>
    bool ServeUntil(Done done, int seconds = 60) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            platform::PumpUntilIdle();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    // Until the editor has started (it may be asked whether it can close).
    bool EditorRunning() {
        return ServeUntil([this] {
            int32_t ready = 0;
            window->Editor()->Editor()->get_isReadyToClose(&ready);
            return ready != 0;
        });
    }
    // A quit left by a destroyed window.
    static void DrainQuit() {
        platform::PumpUntilIdle();
        platform::Message message;
        while (platform::PeekMessage(message))
            if (message.message == platform::WM_QUIT) break;
    }
    platform::Rect RectOf(BaseWindow* w) { return platform::GetWindowRect(w->Window()); }

    // An empty plan file.
    std::string PlanFile(const std::string& name) {
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

    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>();
    std::vector<platform::StandInWebView*> views_;
};

TEST_F(MainWindowGlTest, TheWindowHoldsTheEditorTheSplitterAndTheDirectory) {
    ASSERT_EQ(window->Main(), platform::S_OK);
    const platform::Size client = platform::GetClientSize(window->Window());
    EXPECT_EQ(client.width, 819);
    EXPECT_EQ(client.height, 614);
    EXPECT_EQ(platform::GetWindowText(window->Window()), "Kivora");
    auto expect = [&](BaseWindow* w, int x, int width) {
        const platform::Rect r = RectOf(w);
        EXPECT_EQ(r.left, x);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right - r.left, width);
        EXPECT_EQ(r.bottom - r.top, 614);
    };
    expect(window->Editor(), 0, 522);
    expect(window->Bar(), 522, 7);
    expect(window->Pane(), 529, 290);
    // The editor's own window fills its part.
    const platform::Size editor = platform::GetClientSize(window->Editor()->ObjectWindow());
    EXPECT_EQ(editor.width, 522);
    EXPECT_EQ(editor.height, 614);

    // The pane shows the directory, and its page reaches the editor.
    ASSERT_EQ(views_.size(), 1u);
    EXPECT_EQ(views_[0]->Navigations().back(), "http://127.0.0.1:9/directory/directory.aspx");
    EXPECT_EQ(views_[0]->PlayExternalCall("SelectAll", {}), platform::S_OK);

    // A click on the bar collapses the pane; the editor takes its place. Another opens it.
    auto click = [&] {
        platform::SendMessage(window->Bar()->Window(), platform::WM_LBUTTONDOWN, 0,
                              platform::MakeLParam(3, 100));
        platform::PumpUntilIdle();
    };
    click();
    EXPECT_TRUE(window->IsDirectoryCollapsed());
    EXPECT_FALSE(platform::IsWindowVisible(window->Pane()->Window()));
    expect(window->Editor(), 0, 812);
    expect(window->Bar(), 812, 7);
    double collapsed = 0.0;
    RegistryGetDouble("", "DirectoryCollapsed", &collapsed);
    EXPECT_EQ(collapsed, 1.0);
    click();
    EXPECT_FALSE(window->IsDirectoryCollapsed());
    EXPECT_TRUE(platform::IsWindowVisible(window->Pane()->Window()));
    expect(window->Editor(), 0, 522);

    // The bar is painted: a black edge, a white line, then its face.
    platform::UpdateWindow(window->Bar()->Window());
    const std::vector<uint8_t> bar = platform::GetWindowPixels(window->Bar()->Window());
    const size_t row = 200 * 7 * 3;
    EXPECT_EQ(bar[row + 0], 0);
    EXPECT_EQ(bar[row + 3], 255);
    EXPECT_EQ(bar[row + 6 * 3], 212);
}

TEST_F(MainWindowGlTest, TheWindowComesBackAtItsStoredSizeAndKeepsItsLastOne) {
    RegistrySetDouble("", "WindowSize", 700.0 * 65536 + 1024);
    ASSERT_EQ(window->Main(), platform::S_OK);
    const platform::Size client = platform::GetClientSize(window->Window());
    EXPECT_EQ(client.width, 1024);
    EXPECT_EQ(client.height, 700);
    platform::SetClientSize(window->Window(), 900, 650);
    double stored = 0.0;
    RegistryGetDouble("", "WindowSize", &stored);
    EXPECT_EQ(stored, 650.0 * 65536 + 900);
    EXPECT_EQ(RectOf(window->Pane()).left, 610);
    platform::ShowWindow(window->Window(), platform::ShowState::Maximized);
    RegistryGetDouble("", "WindowSize", &stored);
    EXPECT_EQ(stored, 650.0 * 65536 + 900);
}

TEST_F(MainWindowGlTest, APlanNamedAtTheStartAndOneHandedOverLaterOpen) {
    ASSERT_TRUE(SetBufferedFileName(PlanFile("first")));
    ASSERT_EQ(window->Main(), platform::S_OK);
    ASSERT_TRUE(
        ServeUntil([&] { return platform::GetWindowText(window->Window()) == "Kivora -- first"; }));
    ASSERT_TRUE(EditorRunning());

    // A later start hands its command line over: the plan opens in this window.
    const std::string line = JoinArguments({PlanFile("second one")});
    platform::CopyData record;
    record.data = kHandOverCommandLine;
    record.size = static_cast<uint32_t>(line.size() + 1);
    record.bytes = line.c_str();
    platform::SendMessage(window->Window(), platform::WM_COPYDATA, 0,
                          reinterpret_cast<platform::LParam>(&record));
    EXPECT_TRUE(ServeUntil(
        [&] { return platform::GetWindowText(window->Window()) == "Kivora -- second one"; }));

    // Records of another kind, or without their terminating zero, open nothing.
    const std::string third = PlanFile("third");
    record.bytes = third.c_str();
    record.size = static_cast<uint32_t>(third.size());
    platform::SendMessage(window->Window(), platform::WM_COPYDATA, 0,
                          reinterpret_cast<platform::LParam>(&record));
    record.size = static_cast<uint32_t>(third.size() + 1);
    record.data = 11;
    platform::SendMessage(window->Window(), platform::WM_COPYDATA, 0,
                          reinterpret_cast<platform::LParam>(&record));
    ServeUntil([] { return false; }, 1);
    EXPECT_EQ(platform::GetWindowText(window->Window()), "Kivora -- second one");
}

TEST_F(MainWindowGlTest, APageThatClosesItselfAsksTheEditorBeforeTheProgramEnds) {
    // A returning user: a slow machine's frame-rate hint asks nothing in between.
    RegistrySetDouble("", "returnUser", 1.0);
    ASSERT_EQ(window->Main(), platform::S_OK);
    ASSERT_TRUE(EditorRunning());
    IDuzazododiza* editor = window->Editor()->Editor();
    editor->put_booleanParameter(6, 0, 1);  // the plan has unsaved changes

    // The person cancels the save question: everything stays.
    answers = {platform::MessageAnswer::Cancel};
    views_[0]->PlayWindowClosing();
    ServeUntil([&] { return !Boxes().empty(); });
    ServeUntil([] { return false; }, 1);
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(platform::IsWindow(window->Window()));
    EXPECT_TRUE(platform::IsWindow(window->Pane()->Window()));

    // Not saving lets it close; the message loop then ends.
    answers = {platform::MessageAnswer::No};
    views_[0]->PlayWindowClosing();
    EXPECT_TRUE(ServeUntil([&] { return !platform::IsWindow(window->Window()); }));
    EXPECT_EQ(Boxes().size(), 2u);
    platform::Message message;
    bool quit = false;
    while (platform::PeekMessage(message)) quit = quit || message.message == platform::WM_QUIT;
    EXPECT_TRUE(quit);
}

}  // namespace
