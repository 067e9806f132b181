#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/WebPopup.h"
#include "foundation/Registry.h"
#include "pagepane/KVRPagepane.h"
#include "platform/WebView.h"
#include "render/Window.h"
#include "support/ControlLife.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

namespace {

// The running control with the web pane made in this process and every browser it shows
// kept for the test, which plays the pages.
class WebPopupNetTest : public ::testing::Test {
protected:
    WebPopupNetTest() {
        RegistrySetDouble("webKeys", "TipStartup", 1.0);
        platform::RegisterClassFactory(kClsidKVRPagepane, KVRPagepane::MakeFactory().Get());
        platform::SetWebViewMakerForTesting([this](platform::IWebView** out) {
            auto* view = new platform::StandInWebView;
            std::lock_guard<std::mutex> guard(mutex_);
            view->AddRef();
            views_.push_back(platform::RefPtr<platform::StandInWebView>::Adopt(view));
            *out = view;
            return platform::S_OK;
        });
        life.server.Server().Get("/kvrHelp/kivora_Help.htm",
                                 [](const httplib::Request&, httplib::Response& response) {
                                     response.set_content("<html>Help</html>", "text/html");
                                 });
    }
    ~WebPopupNetTest() override {
        platform::SetWebViewMakerForTesting(nullptr);
        platform::RevokeClassFactory(kClsidKVRPagepane);
    }

    bool Start() { return life.Start("", 64, 48) && life.PumpUntilRunning(); }
    platform::StandInWebView* View(size_t i) {
        std::lock_guard<std::mutex> guard(mutex_);
        return i < views_.size() ? views_[i].Get() : nullptr;
    }
    // Until `count` pop-ups are open and each went from its blank start to its page.
    bool PumpUntilOpen(int count) {
        return PumpUntil([&] {
            if (WebPopup::OpenCount() != count) return false;
            for (int i = 0; i < count; ++i)
                if (!View(i) || View(i)->Navigations().size() < 2) return false;
            return true;
        });
    }

    ScopedRegistry registry;
    ScopedProgramFolder folder;
    ControlLife<> life;

private:
    std::mutex mutex_;
    std::vector<platform::RefPtr<platform::StandInWebView>> views_;
};

TEST_F(WebPopupNetTest, HelpPageOpensInAPopUpCallsTheEditorBackAndClosesItself) {
    ASSERT_TRUE(Start());
    CDuzazododiza& control = *life.control;
    control.PostHostMessage(500);
    ASSERT_TRUE(PumpUntilOpen(1));
    platform::StandInWebView* page = View(0);
    EXPECT_EQ(page->Navigations().back(),
              "http://" + life.server.Address() + "/kvrHelp/kivora_Help.htm");
    const platform::WindowHandle popup = WebPopup::OpenWindows()[0];
    EXPECT_EQ(platform::GetWindowText(popup), "Kivora");
    EXPECT_EQ(platform::GetClientSize(popup).width, 808);
    EXPECT_EQ(platform::GetClientSize(popup).height, 532);
    EXPECT_FALSE(platform::IsWindowTopmost(popup));
    EXPECT_NE(platform::GetWindowThread(popup), std::this_thread::get_id());

    // Script of the page, on a thread of its own, calls the editor: the call is carried
    // to the editor's thread.
    std::thread::id calledOn;
    platform::HRESULT answer = platform::E_FAIL;
    std::thread script([&] {
        platform::VARIANT angle;
        platform::SetVariantDouble(&angle, 30.0);
        answer = page->PlayExternalCall("SetCameraAngle", {angle});
    });
    ASSERT_TRUE(PumpUntil([&] { return control.mainWindow->fieldOfView == 30.0; }));
    script.join();
    EXPECT_EQ(answer, platform::S_OK);

    // window.close() in the page closes the pop-up, whose thread then ends.
    page->PlayWindowClosing();
    EXPECT_TRUE(PumpUntil([&] { return WebPopup::NoneOpen(); }));
    EXPECT_TRUE(PumpUntil([&] { return !platform::IsWindow(popup); }));
}

TEST_F(WebPopupNetTest, ClosingTheEditorClosesEveryPopUpFirst) {
    ASSERT_TRUE(Start());
    life.control->PostHostMessage(501);  // the next tip: topmost
    life.control->PostHostMessage(101);  // the building wizard
    ASSERT_TRUE(PumpUntilOpen(2));
    const std::vector<platform::WindowHandle> popups = WebPopup::OpenWindows();
    bool topmost = false;
    for (platform::WindowHandle popup : popups) topmost |= platform::IsWindowTopmost(popup);
    EXPECT_TRUE(topmost);

    EXPECT_TRUE(platform::DestroyWindow(life.window));
    EXPECT_TRUE(WebPopup::NoneOpen());
    for (platform::WindowHandle popup : popups) EXPECT_FALSE(platform::IsWindow(popup));
}

TEST(WebPopupAddress, TipsCountToFortyFourAndStartOver) {
    ScopedRegistry registry;
    ScopedProgramFolder folder;
    auto* control = new CDuzazododiza;
    std::snprintf(control->contentDomain, sizeof control->contentDomain, "http://host/");
    struct Case {
        double stored;
        bool present;
        int tip;
    };
    for (const Case& c : {Case{0, false, 1}, Case{0, true, 1}, Case{3, true, 4}, Case{43, true, 44},
                          Case{44, true, 1}, Case{-7, true, 1}, Case{1e300, true, 1}}) {
        if (c.present) RegistrySetDouble("webKeys", "curTip", c.stored);
        const std::string n = std::to_string(c.tip);
        EXPECT_EQ(control->NextTipAddress(),
                  "http://host/pages/Tips/Tips_" + n + ".aspx?curnum=" + n + "&totalnum=45\n")
            << c.stored;
    }
    control->Release();

    WebPopup popup(nullptr);
    EXPECT_STREQ(popup.GetURL(), "about:blank");
    popup.SetURL(std::string(600, 'a').c_str());
    EXPECT_EQ(std::string(popup.GetURL()).size(), 510u);
}

}  // namespace
