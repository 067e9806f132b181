#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "render/Bitmap.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An RGB picture whose pixel (r, c) is (r, c, 7), rows `stride` bytes apart with the
// padding filled with 0xEE.
Bytes Picture(uint32_t width, uint32_t height, size_t stride) {
    Bytes bytes(stride * height, 0xEE);
    for (uint32_t r = 0; r < height; ++r)
        for (uint32_t c = 0; c < width; ++c) {
            uint8_t* px = bytes.data() + r * stride + c * 3;
            px[0] = uint8_t(r);
            px[1] = uint8_t(c);
            px[2] = 7;
        }
    return bytes;
}

const uint8_t* Texel(const Bytes& texels, uint32_t size, uint32_t r, uint32_t c) {
    return texels.data() + (size_t(r) * size + c) * 3;
}

TEST(TextureLayoutTest, SizesAndSteps) {
    struct Case {
        uint32_t width, height, size, step;
        bool resample;
    } cases[] = {
        {64, 64, 64, 1, false},      {2048, 2048, 2048, 1, false}, {1, 1, 1, 1, false},
        {64, 32, 128, 1, true},      {256, 128, 512, 1, true},     {300, 300, 512, 1, true},
        {3000, 3000, 1024, 4, true}, {1024, 512, 1024, 2, true},   {4096, 4096, 1024, 8, true},
        {513, 1, 1024, 1, true},     {1, 2, 4, 1, true},
    };
    for (const Case& c : cases) {
        TextureLayout layout = ComputeTextureLayout(c.width, c.height);
        EXPECT_EQ(layout.size, c.size) << c.width << " x " << c.height;
        EXPECT_EQ(layout.step, c.step) << c.width << " x " << c.height;
        EXPECT_EQ(layout.resample, c.resample) << c.width << " x " << c.height;
    }
}

TEST(TextureLayoutTest, EmptyAndHugePicturesAreRefused) {
    EXPECT_EQ(ComputeTextureLayout(0, 64).size, 0u);
    EXPECT_EQ(ComputeTextureLayout(64, 0).size, 0u);
    EXPECT_EQ(ComputeTextureLayout(kMaxPictureSide + 1, 8).size, 0u);
    EXPECT_EQ(ComputeTextureLayout(kMaxPictureSide, kMaxPictureSide).size, kMaxTextureSide);
}

TEST(ResampleTest, SmallPictureRepeatsAndSkipsRowPadding) {
    // 5 x 3 with the row padding a 24-bit system bitmap carries (5 mod 4 = 1 byte).
    const size_t stride = 5 * 3 + 1;
    Bytes source = Picture(5, 3, stride);
    Bytes texels = ResamplePixels(source.data(), source.size(), 5, 3, stride, 3, 8, 1);
    ASSERT_EQ(texels.size(), 8u * 8 * 3);
    for (uint32_t r = 0; r < 8; ++r)
        for (uint32_t c = 0; c < 8; ++c) {
            const uint8_t* t = Texel(texels, 8, r, c);
            EXPECT_EQ(t[0], r % 3);
            EXPECT_EQ(t[1], c % 5);
            EXPECT_EQ(t[2], 7) << "padding read at " << r << "," << c;
        }
}

TEST(ResampleTest, LargePictureIsDecimatedIntoTheCorner) {
    // 3000 x 3000 rounds to 4096: every fourth pixel of every fourth row, 750 x 750.
    const uint32_t side = 3000;
    TextureLayout layout = ComputeTextureLayout(side, side);
    Bytes source(size_t(side) * side * 3);
    for (uint32_t r = 0; r < side; ++r)
        for (uint32_t c = 0; c < side; ++c) {
            uint8_t* px = source.data() + (size_t(r) * side + c) * 3;
            px[0] = uint8_t(r / 4);
            px[1] = uint8_t(c / 4);
            px[2] = 1;
        }
    Bytes texels = ResamplePixels(source.data(), source.size(), side, side, side * 3, 3,
                                  layout.size, layout.step);
    ASSERT_EQ(texels.size(), 1024u * 1024 * 3);
    int written = 0;
    for (uint32_t r = 0; r < 1024; ++r)
        for (uint32_t c = 0; c < 1024; ++c) {
            const uint8_t* t = Texel(texels, 1024, r, c);
            if (r < 750 && c < 750) {
                ASSERT_EQ(t[0], uint8_t(r)) << r << "," << c;
                ASSERT_EQ(t[1], uint8_t(c)) << r << "," << c;
                written += t[2];
            } else {
                ASSERT_EQ(t[2], 0) << "outside the picture at " << r << "," << c;
            }
        }
    EXPECT_EQ(written, 750 * 750);
}

TEST(ResampleTest, ShortSourceIsRefused) {
    Bytes source = Picture(4, 4, 12);
    EXPECT_TRUE(ResamplePixels(source.data(), source.size() - 1, 4, 4, 12, 3, 8, 1).empty());
    EXPECT_TRUE(ResamplePixels(source.data(), source.size(), 4, 4, 11, 3, 8, 1).empty());
    EXPECT_TRUE(ResamplePixels(nullptr, 0, 4, 4, 12, 3, 8, 1).empty());
}

TEST(ScaleNearestTest, ScalesBothWays) {
    // 2 x 2 grey levels 0, 1 / 2, 3, one byte per pixel.
    const uint8_t source[] = {0, 1, 2, 3};
    Bytes up = ScalePixelsNearest(source, 2, 2, 1, 4, 4);
    EXPECT_EQ(up, (Bytes{0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3, 2, 2, 3, 3}));
    Bytes down = ScalePixelsNearest(up.data(), 4, 4, 1, 2, 2);
    EXPECT_EQ(down, (Bytes{0, 1, 2, 3}));
}

TEST(AlphaChannelTest, ColourKeyWithoutSource) {
    const uint8_t rgb[] = {255, 255, 255, 230, 228, 240, 226, 255, 255, 227, 227, 227, 0, 0, 0};
    Bytes rgba = AddAlphaChannel(rgb, 1, 5, nullptr);
    ASSERT_EQ(rgba.size(), 20u);
    const uint8_t expectedAlpha[] = {0, 0, 255, 0, 255};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rgba[i * 4 + 3], expectedAlpha[i]) << "pixel " << i;
        EXPECT_EQ(rgba[i * 4 + 0], rgb[i * 3 + 0]);
        EXPECT_EQ(rgba[i * 4 + 2], rgb[i * 3 + 2]);
    }
}

TEST(AlphaChannelTest, SourceGivesFirstByteOfEachPixel) {
    const uint8_t rgb[] = {255, 255, 255, 1, 2, 3};
    const uint8_t alpha[] = {10, 99, 99, 200, 99, 99};
    Bytes rgba = AddAlphaChannel(rgb, 2, 1, alpha);
    EXPECT_EQ(rgba, (Bytes{255, 255, 255, 10, 1, 2, 3, 200}));
}

TEST(ClearBorderTest, OuterRingBlackAlphaKept) {
    Bytes texels(4 * 4 * 4, 200);
    ClearTexelBorder(texels.data(), 4, 4);
    for (uint32_t r = 0; r < 4; ++r)
        for (uint32_t c = 0; c < 4; ++c) {
            const uint8_t* px = texels.data() + (r * 4 + c) * 4;
            const bool edge = r == 0 || c == 0 || r == 3 || c == 3;
            EXPECT_EQ(px[0], edge ? 0 : 200);
            EXPECT_EQ(px[3], 200);
        }
}

TEST(FalloffTest, DefaultsAndRamp) {
    int size = 0, inner = 0;
    const float white[3] = {1, 1, 1};
    Bytes texels = MakeFalloffTexels(size, inner, white);
    EXPECT_EQ(size, 256);
    EXPECT_EQ(inner, 70);
    ASSERT_EQ(texels.size(), 256u * 256 * 3);
    auto at = [&](int i, int j) { return texels[(size_t(i) * 256 + j) * 3]; };
    EXPECT_EQ(at(128, 128), uint8_t(255 * 0.6));
    EXPECT_EQ(at(128, 128 + 69), uint8_t(255 * 0.6));
    EXPECT_EQ(at(0, 0), 0);  // capped at the edge
    EXPECT_LT(at(128, 128 + 100), at(128, 128 + 80));
}

TEST(FalloffTest, OutOfRangeArgumentsStayWithinIntensityRange) {
    const float colour[3] = {2.0f, 0.5f, -1.0f};
    struct Case {
        int size, inner, usedSize, usedInner;
    } cases[] = {{64, 70, 64, 31}, {1, 0, 2, 0}, {5000, 10, 1024, 10}, {-3, -5, 2, 0}};
    for (const Case& c : cases) {
        int size = c.size, inner = c.inner;
        Bytes texels = MakeFalloffTexels(size, inner, colour);
        EXPECT_EQ(size, c.usedSize);
        EXPECT_EQ(inner, c.usedInner);
        ASSERT_EQ(texels.size(), size_t(size) * size * 3);
        for (size_t i = 0; i < texels.size(); i += 3) {
            ASSERT_LE(texels[i], uint8_t(255 * 0.6));
            ASSERT_LE(texels[i + 1], uint8_t(255 * 0.5 * 0.6) + 1);
            ASSERT_EQ(texels[i + 2], 0);
        }
    }
}

}  // namespace
