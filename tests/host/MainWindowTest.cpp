#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/Registry.h"
#include "host/HostFixture.h"
#include "host/MainWindow.h"

namespace {

class MainWindowTest : public HostWorld {};

TEST_F(MainWindowTest, OnlyAUsableStoredSizeIsTakenBack) {
    int width = 0;
    int height = 0;
    EXPECT_FALSE(MainWindow::ReadStoredSize(&width, &height));
    RegistrySetDouble("", "WindowSize", 700.0 * 65536 + 1024);
    ASSERT_TRUE(MainWindow::ReadStoredSize(&width, &height));
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 700);
    for (double stored :
         {0.0, -5.0, 65537.0, 99.0 * 65536 + 800, 700.0 * 65536 + 50.5, 700.0 * 65536 + 40000, 1e12,
          std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        SCOPED_TRACE(stored);
        RegistrySetDouble("", "WindowSize", stored);
        EXPECT_FALSE(MainWindow::ReadStoredSize(&width, &height));
    }
    RegistrySetString("", "WindowSize", "1024x700");
    EXPECT_FALSE(MainWindow::ReadStoredSize(&width, &height));
}

}  // namespace
