#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>

#include "platform/SingleInstance.h"
#include "platform/Window.h"
#include "support/TempFolder.h"

namespace {

constexpr const char* kName = "TestApplication{1}";

class SingleInstanceTest : public ::testing::Test {
protected:
    TempFolder runtime_;
    ScopedEnv env_{"KIVORA_RUNTIME_DIR", runtime_.Path()};
};

// Hands a record over from another thread while this thread serves its messages.
bool HandOverServed(const std::string& text, uint32_t kind = 10) {
    auto sent = std::async(std::launch::async, [&] {
        return platform::HandOverToFirstCopy(kName, kind, text.c_str(),
                                             static_cast<uint32_t>(text.size() + 1));
    });
    while (sent.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        platform::PumpUntilIdle();
    return sent.get();
}

TEST_F(SingleInstanceTest, OneCopyHoldsTheLockAndTakesTheRecordsOfLaterOnes) {
    auto first = std::make_unique<platform::SingleInstance>(kName);
    ASSERT_TRUE(first->IsFirst());
    EXPECT_FALSE(platform::SingleInstance(kName).IsFirst());
    // Before the first copy serves, a later one finds nobody to take its record.
    EXPECT_FALSE(platform::HandOverToFirstCopy(kName, 10, "x", 2));

    std::vector<std::pair<uintptr_t, std::string>> received;
    platform::WindowCreateInfo info;
    info.proc = [&](platform::WindowHandle w, uint32_t message, platform::WParam wParam,
                    platform::LParam lParam) -> platform::LResult {
        if (message == platform::WM_COPYDATA) {
            const auto* data = reinterpret_cast<const platform::CopyData*>(lParam);
            received.emplace_back(data->data,
                                  std::string(static_cast<const char*>(data->bytes), data->size));
            return 1;
        }
        return platform::DefaultWindowProc(w, message, wParam, lParam);
    };
    const platform::WindowHandle window = platform::CreateWindow(info);
    ASSERT_TRUE(first->ServeHandOvers(window));
    EXPECT_TRUE(HandOverServed("\"/plans/a b.kvp\""));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].first, 10u);
    EXPECT_EQ(received[0].second, std::string("\"/plans/a b.kvp\"", 17));

    // Records that are empty or too long are not sent.
    const std::string lengthy(platform::kMaxHandOverBytes, 'x');
    EXPECT_FALSE(HandOverServed(lengthy));
    EXPECT_FALSE(platform::HandOverToFirstCopy(kName, 10, "", 0));
    EXPECT_EQ(received.size(), 1u);

    // Once the window is gone nobody takes them.
    platform::DestroyWindow(window);
    EXPECT_FALSE(HandOverServed("late.kvp"));
    first->StopServing();
    EXPECT_FALSE(platform::HandOverToFirstCopy(kName, 10, "x", 2));

    first.reset();
    EXPECT_TRUE(platform::SingleInstance(kName).IsFirst());
}

}  // namespace
