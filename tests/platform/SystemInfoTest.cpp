#include <gtest/gtest.h>

#include "platform/SystemInfo.h"

namespace {

TEST(SystemInfoTest, ProcessorClockFromTheFirstProcessor) {
    const struct {
        const char* table;
        int32_t mhz;
    } cases[] = {
        {"processor\t: 0\nvendor_id\t: GenuineIntel\ncpu MHz\t\t: 2399.998\ncache size\t: 1 KB\n"
         "\nprocessor\t: 1\ncpu MHz\t\t: 800.000\n",
         2400},
        // The first processor has no figure; the second one's is not taken for it.
        {"processor\t: 0\nBogoMIPS\t: 48.00\n\nprocessor\t: 1\ncpu MHz\t\t: 800.000\n", 0},
        {"cpu MHz : 1000.4\n", 1000},
        {"cpu MHz\t: fast\n", 0},
        {"cpu MHz\t: -5\n", 0},
        {"cpu MHz\t: 1e300\n", 0},
        {"cpu MHz\t:\n", 0},
        {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::ProcessorMHzFromCpuInfo(c.table), c.mhz) << c.table;
}

TEST(SystemInfoTest, ProcessorTypesAndMachineFigures) {
    EXPECT_EQ(platform::ProcessorTypeForMachine("x86_64"), 8664);
    EXPECT_EQ(platform::ProcessorTypeForMachine("i686"), 586);
    EXPECT_EQ(platform::ProcessorTypeForMachine("i386"), 386);
    EXPECT_EQ(platform::ProcessorTypeForMachine("riscv64"), 0);
    EXPECT_GT(platform::PhysicalMemoryKB(), 1024);
    EXPECT_GE(platform::ProcessorMHz(), 0);
    int bits = 0;
    EXPECT_TRUE(platform::DisplayColorBits(&bits));
    EXPECT_EQ(bits, 24);
}

}  // namespace
