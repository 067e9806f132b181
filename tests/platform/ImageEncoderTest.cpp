#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/ImageEncoder.h"
#include "support/TempFolder.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

TEST(BmpFile, BottomUpRowsOfBlueGreenRedPaddedToFourBytes) {
    TempFolder folder;
    // 801 pixels make rows of 2403 bytes, 2404 in the file.
    const int width = 801;
    const int height = 2;
    std::vector<uint8_t> rgb(width * height * 3, 0);
    // The bottom row's first pixel red, the top row's last pixel blue.
    rgb[0] = 255;
    rgb[(width * 2 - 1) * 3 + 2] = 255;
    const std::string path = folder.Path() + "view.bmp";
    ASSERT_TRUE(platform::WriteBmpFile(path, width, height, rgb.data()));

    const std::vector<uint8_t> file = ReadFile(path);
    ASSERT_EQ(file.size(), 54u + 2404u * 2u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(U32(file, 2), file.size());
    EXPECT_EQ(U32(file, 10), 54u);
    EXPECT_EQ(U32(file, 14), 40u);
    EXPECT_EQ(static_cast<int32_t>(U32(file, 18)), width);
    EXPECT_EQ(static_cast<int32_t>(U32(file, 22)), height);  // positive: bottom-up
    EXPECT_EQ(file[28], 24);
    EXPECT_EQ(U32(file, 30), 0u);  // no compression
    // First row in the file is the bottom row: blue, green, red.
    EXPECT_EQ(file[54 + 2], 255);
    EXPECT_EQ(file[54 + 0], 0);
    const size_t lastOfTop = 54 + 2404 + (width - 1) * 3;
    EXPECT_EQ(file[lastOfTop], 255);
    EXPECT_EQ(file[lastOfTop + 2], 0);
}

TEST(BmpFile, FailedWriteLeavesNoFileAndKeepsTheOldOne) {
    TempFolder folder;
    const uint8_t pixel[3] = {1, 2, 3};
    std::string why;
    EXPECT_FALSE(platform::WriteBmpFile(folder.Path() + "missing/view.bmp", 1, 1, pixel, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(std::ifstream(folder.Path() + "missing/view.bmp.part").good());

    const std::string path = folder.Path() + "old.bmp";
    std::ofstream(path) << "old";
    EXPECT_FALSE(platform::WriteBmpFile(path, 0, 1, pixel));
    EXPECT_FALSE(platform::WriteBmpFile(path, 1, 1, nullptr));
    EXPECT_EQ(ReadFile(path).size(), 3u);
    EXPECT_FALSE(std::ifstream(path + ".part").good());
}

}  // namespace
