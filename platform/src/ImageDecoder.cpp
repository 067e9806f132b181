#include "platform/ImageDecoder.h"

#include <cstring>
#include <fstream>
#include <iterator>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
// Images larger than this on a side are refused before any allocation.
#define STBI_MAX_DIMENSIONS (1 << 15)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include "stb_image.h"
#pragma GCC diagnostic pop

namespace platform {

namespace {

bool Failed(DecodedImage& image, std::string* error, const std::string& why) {
    image = DecodedImage{};
    if (error) *error = why;
    return false;
}

}  // namespace

ImageFormat DetectImageFormat(const uint8_t* data, size_t size) {
    auto starts = [&](const char* magic, size_t n) {
        return data && size >= n && std::memcmp(data, magic, n) == 0;
    };
    if (starts("\x89PNG\r\n\x1a\n", 8)) return ImageFormat::Png;
    if (starts("\xff\xd8\xff", 3)) return ImageFormat::Jpeg;
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) return ImageFormat::Gif;
    if (starts("BM", 2)) return ImageFormat::Bmp;
    return ImageFormat::Unknown;
}

bool DecodeImage(const uint8_t* data, size_t size, int channels, DecodedImage& image,
                 std::string* error) {
    if (channels != 3 && channels != 4) return Failed(image, error, "channels must be 3 or 4");
    ImageFormat format = DetectImageFormat(data, size);
    if (format == ImageFormat::Unknown || format == ImageFormat::Png)
        return Failed(image, error, "not a JPEG, GIF or BMP image");
    if (size > size_t(INT32_MAX)) return Failed(image, error, "image file too large");
    int width = 0, height = 0, own = 0;
    stbi_uc* pixels = stbi_load_from_memory(data, int(size), &width, &height, &own, channels);
    if (!pixels) return Failed(image, error, stbi_failure_reason());
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.pixels.assign(pixels, pixels + size_t(width) * size_t(height) * size_t(channels));
    stbi_image_free(pixels);
    return true;
}

bool DecodeImageFile(const std::string& path, int channels, DecodedImage& image,
                     std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Failed(image, error, "cannot open " + path);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    return DecodeImage(data.data(), data.size(), channels, image, error);
}

}  // namespace platform
