#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "host/HostFixture.h"
#include "host/HostResources.h"
#include "host/UpdateWindow.h"

namespace {

class UpdateWindowTest : public HostWorld {};

TEST_F(UpdateWindowTest, TheWindowShowsWhileTheWorkRunsAndClosesAfterIt) {
    std::atomic<bool> up{false};
    std::atomic<bool> workDone{false};
    play = [&](BaseWindow& dialog, uint32_t id) {
        EXPECT_EQ(dialog.Dialog()->GetCaption(), "Updating");
        up = true;
    };
    UpdateWindow window;
    window.ShowWhile([&] {
        // The work sees the window up, and the window stays until the work is done.
        while (!up) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_TRUE(window.IsModal());
        workDone = true;
    });
    EXPECT_TRUE(workDone);
    EXPECT_FALSE(window.IsModal());
    EXPECT_EQ(Shown(kUpdateDialog), 1);
}

TEST_F(UpdateWindowTest, ACloseBeforeTheWindowIsUpKeepsItFromShowing) {
    bool worked = false;
    UpdateWindow window;
    window.Close();
    window.ShowWhile([&] { worked = true; });
    EXPECT_TRUE(worked);
    EXPECT_EQ(Shown(kUpdateDialog), 0);
}

}  // namespace
