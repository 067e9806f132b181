#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Image formats told apart by their first bytes.
enum class ImageFormat { Unknown, Png, Jpeg, Gif, Bmp };

ImageFormat DetectImageFormat(const uint8_t* data, size_t size);

// A decoded image: 8-bit samples, `channels` per pixel, rows top to bottom.
struct DecodedImage {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint8_t> pixels;
};

// Decodes a JPEG, GIF (its first frame) or BMP image into `channels` (3 or 4) bytes per
// pixel. PNG images are not decoded here. On failure answers false, leaves `image`
// empty and, when `error` is given, says why.
bool DecodeImage(const uint8_t* data, size_t size, int channels, DecodedImage& image,
                 std::string* error = nullptr);
// The same for a file.
bool DecodeImageFile(const std::string& path, int channels, DecodedImage& image,
                     std::string* error = nullptr);

}  // namespace platform
