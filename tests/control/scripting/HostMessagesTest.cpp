#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/PageScript.h"
#include "platform/Window.h"
#include "support/RunningControl.h"
#include "support/TraceLogTail.h"

namespace {

// The control inside a page: the page's document window holds the control's window,
// and the page's script records the functions it runs.
class HostMessages : public ::testing::Test {
protected:
    HostMessages() {
        platform::WindowCreateInfo document;
        document.caption = "page";
        page = platform::CreateWindow(document);
        platform::WindowCreateInfo own;
        own.parent = page;
        own.proc = [this](platform::WindowHandle w, uint32_t m, platform::WParam wp,
                          platform::LParam lp) -> platform::LResult {
            if (m == CDuzazododiza::kMsgHostMessage || m == CDuzazododiza::kMsgLowResources)
                return control.WindowProc(w, m, wp, lp);
            return platform::DefaultWindowProc(w, m, wp, lp);
        };
        controlWindow = platform::CreateWindow(own);
        control.AttachWindowForTesting(controlWindow);
        platform::SetPageScript(page, script);
    }
    ~HostMessages() override {
        control.AttachWindowForTesting(platform::kNoWindow);
        platform::SetPageScript(page, nullptr);
        platform::DestroyWindow(page);
    }

    size_t PageCalls() const { return script->CallCount("checkKVRMessage"); }
    double Read() {
        double value = 0.0;
        EXPECT_EQ(control.get_KVRMessage(&value), platform::S_OK);
        return value;
    }

    RunningControl running;
    CDuzazododiza& control = *running.control;
    platform::WindowHandle page = platform::kNoWindow;
    platform::WindowHandle controlWindow = platform::kNoWindow;
    std::shared_ptr<platform::RecordingPageScript> script =
        std::make_shared<platform::RecordingPageScript>();
};

TEST_F(HostMessages, UnhandledIdsAskThePageOnceAndItReadsTheNewest) {
    EXPECT_EQ(Read(), -1.0);

    control.PostHostMessage(9001);
    control.PostHostMessage(9002);
    EXPECT_EQ(PageCalls(), 1u);
    EXPECT_EQ(Read(), 9002.0);
    EXPECT_EQ(Read(), -1.0);

    // After the read the next code asks again.
    control.PostHostMessage(9003);
    EXPECT_EQ(PageCalls(), 2u);
    EXPECT_EQ(Read(), 9003.0);
}

TEST_F(HostMessages, HandledAndSwallowedIdsNeverReachThePage) {
    control.PostHostMessage(232);  // multiple select
    running.Busy();
    control.PostHostMessage(9001);
    EXPECT_EQ(PageCalls(), 0u);
    EXPECT_EQ(Read(), -1.0);
}

TEST_F(HostMessages, WritingTheCodeDoesNotCallThePage) {
    struct Case {
        double written;
        double read;
    };
    // Values that do not fit a code count as nothing pending.
    for (const Case& c : {Case{5.7, 5.0}, Case{-3.9, -3.0}, Case{1e12, -1.0},
                          Case{std::numeric_limits<double>::quiet_NaN(), -1.0}}) {
        EXPECT_EQ(control.put_KVRMessage(c.written), platform::S_OK);
        EXPECT_EQ(Read(), c.read) << c.written;
    }
    EXPECT_EQ(PageCalls(), 0u);
}

TEST_F(HostMessages, AnotherThreadDoesNotWaitForThePage) {
    std::thread other([this] { control.PostHostMessage(9005); });
    other.join();
    // The code waits for the window's own thread.
    EXPECT_EQ(PageCalls(), 0u);
    platform::PumpUntilIdle();
    EXPECT_EQ(PageCalls(), 1u);
    EXPECT_EQ(Read(), 9005.0);
}

TEST_F(HostMessages, WithoutAPageTheCodeStaysPending) {
    TraceLogTail log;
    platform::SetParent(controlWindow, platform::kNoWindow);
    control.PostHostMessage(9006);
    EXPECT_EQ(PageCalls(), 0u);
    EXPECT_EQ(Read(), 9006.0);
    EXPECT_TRUE(log.Contains("Begin OnKVRMessage  9006"));
    EXPECT_TRUE(log.Contains(" e  n OnKVRMessage  9006"));
}

TEST_F(HostMessages, LowResourcesOffersTheHints) {
    std::vector<platform::MessageBoxRequest> boxes;
    platform::SetMessageBoxResponder([&](const platform::MessageBoxRequest& box) {
        boxes.push_back(box);
        return platform::MessageAnswer::Yes;
    });
    TraceLogTail log;
    platform::SendMessage(controlWindow, CDuzazododiza::kMsgLowResources);
    control.activeWindow = nullptr;
    platform::SendMessage(controlWindow, CDuzazododiza::kMsgLowResources);
    platform::SetMessageBoxResponder(nullptr);

    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "3D Editing Hints");
    EXPECT_EQ(boxes[0].text, control.LoadResourceString(308));
    EXPECT_EQ(boxes[0].buttons, platform::MessageButtons::YesNo);
    // Yes opens the hints page, a command of the control: the page is not asked.
    EXPECT_EQ(PageCalls(), 0u);
    EXPECT_TRUE(log.Contains("No active Window for low resource"));
    EXPECT_TRUE(log.Contains("End OnLowResources"));
}

TEST(HostText, AnsiToBstrTakesTheGivenLengthOrAll) {
    platform::ScopedBstr all(CDuzazododiza::AnsiToBSTR("caf\xC3\xA9 menu", -1));
    EXPECT_EQ(all.Utf8(), "caf\xC3\xA9 menu");
    platform::ScopedBstr part(CDuzazododiza::AnsiToBSTR("caf\xC3\xA9 menu", 5));
    EXPECT_EQ(part.Utf8(), "caf\xC3\xA9");
    EXPECT_EQ(CDuzazododiza::AnsiToBSTR(nullptr, -1), nullptr);
}

}  // namespace
