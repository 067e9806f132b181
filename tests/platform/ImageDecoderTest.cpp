#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ImageDecoder.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

using Bytes = std::vector<uint8_t>;
using platform::DecodedImage;
using platform::DecodeImage;
using platform::ImageFormat;

// 16 x 8: the left 8 x 8 block one colour, the right one another.
Bytes TwoBlocks() {
    Bytes rgb;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            rgb.insert(rgb.end(), x < 8 ? std::initializer_list<uint8_t>{200, 40, 30}
                                        : std::initializer_list<uint8_t>{20, 90, 220});
    return rgb;
}

void Append(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

Bytes Bmp(const Bytes& rgb) {
    Bytes out;
    stbi_write_bmp_to_func(Append, &out, 16, 8, 3, rgb.data());
    return out;
}

Bytes Jpeg(const Bytes& rgb) {
    Bytes out;
    stbi_write_jpg_to_func(Append, &out, 16, 8, 3, rgb.data(), 100);
    return out;
}

// A GIF of the same picture with a 4-entry palette. Each pixel's code follows a clear
// code, so the codes stay 3 bits wide.
Bytes Gif(const Bytes& rgb) {
    Bytes out = {'G', 'I', 'F', '8', '9', 'a', 16, 0, 8, 0, 0x81, 0, 0};
    out.insert(out.end(), {200, 40, 30, 20, 90, 220, 0, 0, 0, 255, 255, 255});
    out.insert(out.end(), {0x2C, 0, 0, 0, 0, 16, 0, 8, 0, 0, 2});
    Bytes codes;
    uint32_t bits = 0, count = 0;
    auto put = [&](uint32_t code) {
        bits |= code << count;
        for (count += 3; count >= 8; count -= 8, bits >>= 8) codes.push_back(uint8_t(bits));
    };
    for (size_t i = 0; i < rgb.size(); i += 3) {
        put(4);
        put(rgb[i] == 200 ? 0 : 1);
    }
    put(5);
    if (count) codes.push_back(uint8_t(bits));
    for (size_t at = 0; at < codes.size(); at += 255) {
        size_t n = std::min<size_t>(255, codes.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), codes.begin() + at, codes.begin() + at + n);
    }
    out.insert(out.end(), {0, 0x3B});
    return out;
}

TEST(ImageDecoder, DetectsFormatsBySignature) {
    const Bytes rgb = TwoBlocks();
    struct Case {
        Bytes data;
        ImageFormat format;
    } cases[] = {
        {Bmp(rgb), ImageFormat::Bmp},
        {Jpeg(rgb), ImageFormat::Jpeg},
        {Gif(rgb), ImageFormat::Gif},
        {{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0}, ImageFormat::Png},
        {{'G', 'I', 'F', '8', '8', 'a'}, ImageFormat::Unknown},
        {{0xFF, 0xD8}, ImageFormat::Unknown},
        {{}, ImageFormat::Unknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::DetectImageFormat(c.data.data(), c.data.size()), c.format);
}

TEST(ImageDecoder, DecodesJpegGifAndBmp) {
    const Bytes rgb = TwoBlocks();
    struct Case {
        const char* name;
        Bytes data;
        int tolerance;
    } cases[] = {{"bmp", Bmp(rgb), 0}, {"gif", Gif(rgb), 0}, {"jpeg", Jpeg(rgb), 6}};
    for (const Case& c : cases) {
        for (int channels : {3, 4}) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(channels));
            DecodedImage image;
            std::string error;
            ASSERT_TRUE(DecodeImage(c.data.data(), c.data.size(), channels, image, &error))
                << error;
            ASSERT_EQ(image.width, 16);
            ASSERT_EQ(image.height, 8);
            ASSERT_EQ(image.channels, channels);
            ASSERT_EQ(image.pixels.size(), size_t(16 * 8 * channels));
            for (size_t p = 0; p < 16 * 8; ++p) {
                for (int k = 0; k < 3; ++k)
                    ASSERT_NEAR(image.pixels[p * channels + k], rgb[p * 3 + k], c.tolerance)
                        << "pixel " << p;
                if (channels == 4) {
                    ASSERT_EQ(image.pixels[p * 4 + 3], 255);
                }
            }
        }
    }
}

TEST(ImageDecoder, RefusesWhatItCannotDecode) {
    const Bytes bmp = Bmp(TwoBlocks());
    Bytes truncated(bmp.begin(), bmp.begin() + 20);  // inside the header
    Bytes garbage = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
    for (const Bytes* data : {&truncated, &garbage, &png}) {
        DecodedImage image{1, 1, 3, {1, 2, 3}};
        std::string error;
        EXPECT_FALSE(DecodeImage(data->data(), data->size(), 3, image, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(image.pixels.empty());
        EXPECT_EQ(image.width, 0);
    }
    DecodedImage image;
    EXPECT_FALSE(DecodeImage(bmp.data(), bmp.size(), 2, image));
    EXPECT_FALSE(DecodeImage(nullptr, 0, 3, image));
}

TEST(ImageDecoder, DecodesFiles) {
    const Bytes bmp = Bmp(TwoBlocks());
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("decoder-test-" + std::to_string(::getpid()) + ".bmp"))
                                 .string();
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bmp.data(), 1, bmp.size(), out);
    std::fclose(out);
    DecodedImage image;
    EXPECT_TRUE(platform::DecodeImageFile(path, 3, image));
    EXPECT_EQ(image.pixels, TwoBlocks());
    std::filesystem::remove(path);
    EXPECT_FALSE(platform::DecodeImageFile(path, 3, image));
}

}  // namespace
