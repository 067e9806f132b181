#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "introcard/IntrocardResources.h"
#include "introcard/KVRSplash.h"
#include "platform/Clock.h"
#include "platform/Window.h"
#include "support/ComponentLibrary.h"

using namespace platform;

namespace {

// Waits (in real time) for what another thread does; only reached in full when
// something hangs.
bool Eventually(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A splash object on a clock that moves only when told to.
class SplashTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto factory = KVRSplash::MakeFactory();
        ASSERT_EQ(
            factory->CreateInstance(IKVRSplash::kIid, reinterpret_cast<void**>(splash.OutParam())),
            S_OK);
    }
    void TearDown() override {
        splash.Reset();
        EXPECT_EQ(KVRSplash::LiveObjects(), 0);
        SetWorkAreaForTesting(Rect{});
        SetBitmapSourceForTesting({});
    }

    KVRSplash& Object() { return *static_cast<KVRSplash*>(splash.Get()); }
    SplashScreen* Showing() { return Object().Showing(); }
    // True when the showing splash ends within a short real time.
    bool EndsSoon(SplashScreen* s, int64_t ms = 5000) { return s->WaitUntilFinished(ms); }

    ManualCounter clock;
    RefPtr<IKVRSplash> splash;
};

TEST_F(SplashTest, ShowsTheBitmapCentredAndTopmostOnAThreadOfItsOwn) {
    SetWorkAreaForTesting(Rect{0, 0, 1001, 700});
    EXPECT_EQ(splash->CloseWindow(), S_OK);  // nothing to close yet
    ASSERT_EQ(splash->CreateSplash(), S_OK);
    SplashScreen* shown = Showing();
    ASSERT_NE(shown, nullptr);
    const WindowHandle w = shown->Window();
    ASSERT_TRUE(IsWindow(w));
    EXPECT_NE(GetWindowThread(w), std::this_thread::get_id());
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_TRUE(IsWindowTopmost(w));
    EXPECT_TRUE(IsWindowFrameless(w));

    DecodedImage bitmap;
    ASSERT_TRUE(LoadBitmapResource(kSplashBitmapId, bitmap));
    const Rect r = GetWindowRect(w);
    EXPECT_EQ(r.left, (1001 - bitmap.width) / 2);
    EXPECT_EQ(r.top, (700 - bitmap.height) / 2);
    EXPECT_EQ(r.right - r.left, bitmap.width);
    EXPECT_EQ(r.bottom - r.top, bitmap.height);
    EXPECT_EQ(GetWindowPixels(w), bitmap.pixels);
    EXPECT_EQ(GetTimerPeriod(w, SplashScreen::kMinimumTimeTimer), 3000u);

    // A second call while it shows changes nothing.
    ASSERT_EQ(splash->CreateSplash(), S_OK);
    EXPECT_EQ(Showing(), shown);
    EXPECT_EQ(shown->Window(), w);
}

TEST_F(SplashTest, CloseBeforeTheTimeIsOverWaitsForIt) {
    ASSERT_EQ(splash->CreateSplash(), S_OK);
    SplashScreen* shown = Showing();
    clock.AdvanceMilliseconds(1000);
    ASSERT_EQ(splash->CloseWindow(), S_OK);
    EXPECT_TRUE(shown->IsCloseRequested());
    EXPECT_FALSE(EndsSoon(shown, 100));
    EXPECT_TRUE(IsWindow(shown->Window()));

    clock.AdvanceMilliseconds(2000);
    EXPECT_TRUE(EndsSoon(shown));
    EXPECT_EQ(Showing(), nullptr);
}

TEST_F(SplashTest, CloseAfterTheTimeClosesAtOnce) {
    ASSERT_EQ(splash->CreateSplash(), S_OK);
    SplashScreen* shown = Showing();
    const WindowHandle w = shown->Window();
    clock.AdvanceMilliseconds(3000);
    ASSERT_TRUE(Eventually([&] { return shown->IsElapsed(); }));
    EXPECT_TRUE(IsWindow(w));  // the time alone does not close it

    ASSERT_EQ(splash->CloseWindow(), S_OK);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_TRUE(EndsSoon(shown));
}

TEST_F(SplashTest, SetTimerRestartsTheMinimumTimeFromTheCall) {
    ASSERT_EQ(splash->CreateSplash(), S_OK);
    SplashScreen* shown = Showing();
    const WindowHandle w = shown->Window();
    clock.AdvanceMilliseconds(200);
    ASSERT_EQ(splash->SetTimer(500), S_OK);
    EXPECT_EQ(GetTimerPeriod(w, SplashScreen::kMinimumTimeTimer), 500u);
    ASSERT_EQ(splash->CloseWindow(), S_OK);
    clock.AdvanceMilliseconds(499);
    EXPECT_FALSE(EndsSoon(shown, 100));
    clock.AdvanceMilliseconds(1);
    EXPECT_TRUE(EndsSoon(shown));

    // A negative time counts as none at all.
    ASSERT_EQ(splash->CreateSplash(), S_OK);
    shown = Showing();
    ASSERT_EQ(splash->SetTimer(-5), S_OK);
    EXPECT_EQ(shown->MinimumTimeMs(), 0u);
    clock.AdvanceMilliseconds(10);
    EXPECT_TRUE(Eventually([&] { return shown->IsElapsed(); }));
}

TEST_F(SplashTest, ParentComesToTheTopAfterTheSplashAndASplashShowsAgain) {
    WindowCreateInfo info;
    info.caption = "Kivora";
    const WindowHandle parent = CreateWindow(info);
    ASSERT_EQ(splash->CreateSplash(), S_OK);
    SplashScreen* first = Showing();
    const WindowHandle w = first->Window();
    ASSERT_EQ(splash->SetParent(static_cast<int32_t>(ToWParam(parent))), S_OK);
    EXPECT_EQ(GetParent(w), parent);
    EXPECT_EQ(first->Parent(), parent);

    ASSERT_EQ(splash->CloseWindowNOW(), S_OK);  // before its time
    EXPECT_FALSE(IsWindow(w));
    EXPECT_TRUE(EndsSoon(first));
    EXPECT_EQ(GetTopWindow(), parent);

    // Members find no splash now.
    EXPECT_EQ(splash->SetTimer(100), S_OK);
    EXPECT_EQ(splash->CloseWindowNOW(), S_OK);

    ASSERT_EQ(splash->CreateSplash(), S_OK);
    SplashScreen* second = Showing();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(IsWindow(second->Window()));
    EXPECT_NE(second->Window(), w);
    EXPECT_EQ(second->Parent(), kNoWindow);
    DestroyWindow(parent);
}

TEST_F(SplashTest, ASplashWithoutItsBitmapShowsNothingAndCanBeTriedAgain) {
    SetBitmapSourceForTesting([](uint32_t, DecodedImage&) { return false; });
    ASSERT_EQ(splash->CreateSplash(), S_OK);
    EXPECT_EQ(Showing(), nullptr);
    EXPECT_EQ(splash->CloseWindow(), S_OK);

    SetBitmapSourceForTesting({});
    ASSERT_EQ(splash->CreateSplash(), S_OK);
    ASSERT_NE(Showing(), nullptr);
    EXPECT_TRUE(IsWindow(Showing()->Window()));
}

// Releasing the object while its splash shows closes the splash and waits for its
// thread before the object goes.
TEST_F(SplashTest, ReleaseWhileShowingClosesAndJoins) {
    ASSERT_EQ(splash->CreateSplash(), S_OK);
    const WindowHandle w = Showing()->Window();
    splash.Reset();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(KVRSplash::LiveObjects(), 0);
}

TEST_F(SplashTest, ScriptCallsTheMembersByName) {
    const char16_t* names[] = {u"settimer"};
    DISPID id = 0;
    ASSERT_EQ(splash->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, IKVRSplash::kDispidSetTimer);

    DISPPARAMS none;
    ASSERT_EQ(splash->Invoke(IKVRSplash::kDispidCreateSplash, DISPATCH_METHOD, &none, nullptr),
              S_OK);
    VARIANT time;
    SetVariantInt32(&time, 750);
    DISPPARAMS one{&time, nullptr, 1, 0};
    ASSERT_EQ(splash->Invoke(id, DISPATCH_METHOD, &one, nullptr), S_OK);
    EXPECT_EQ(GetTimerPeriod(Showing()->Window(), SplashScreen::kMinimumTimeTimer), 750u);

    SetVariantUtf8(&time, "750");
    EXPECT_EQ(splash->Invoke(id, DISPATCH_METHOD, &one, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(splash->Invoke(id, DISPATCH_METHOD, &none, nullptr), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(splash->Invoke(9, DISPATCH_METHOD, &none, nullptr), DISP_E_MEMBERNOTFOUND);
    ClearVariant(&time);
}

}  // namespace

TEST(IntrocardLibraryTest, RegistersAndServesTheSplashObject) {
    CheckComponentLibrary(INTROCARD_LIBRARY, kClsidKVRSplash, kProgIdKVRSplash);
}
