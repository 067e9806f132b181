#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "host/HostFixture.h"
#include "host/HostResources.h"
#include "host/UpdateWindow.h"

namespace {

class UpdateWindowTest : public HostWorld {};

TEST_F(UpdateWindowTest, TheWindowShowsUntilItIsClosedAndItsThreadIsWaitedFor) {
    std::atomic<bool> up{false};
    play = [&](BaseWindow& dialog, uint32_t id) {
        if (id != kUpdateDialog) return;
        EXPECT_EQ(dialog.Dialog()->GetCaption(), "Updating");
        up = true;
    };
    auto window = std::make_unique<UpdateWindow>();
    EXPECT_EQ(window->Start(), 0);
    while (!up) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // It stays up until closed: the close ends its dialog and waits for its thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(window->IsModal());
    window->Close();
    EXPECT_FALSE(window->IsModal());
    window.reset();
    EXPECT_EQ(Shown(kUpdateDialog), 1);
}

TEST_F(UpdateWindowTest, ACloseBeforeTheWindowIsUpKeepsItFromShowing) {
    {
        UpdateWindow window;
        window.Close();
        window.Start();
    }
    EXPECT_EQ(Shown(kUpdateDialog), 0);
    // Deleting a started window closes it and waits for its thread.
    {
        UpdateWindow window;
        window.Start();
    }
}

}  // namespace
