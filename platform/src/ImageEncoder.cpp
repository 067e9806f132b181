#include "platform/ImageEncoder.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/Files.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

namespace platform {

namespace {

constexpr int kLargestSide = 1 << 15;

bool Refuse(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

void Collect(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(context);
    const auto* from = static_cast<const uint8_t*>(data);
    bytes->insert(bytes->end(), from, from + size);
}

}  // namespace

bool WriteBmpFile(const std::string& path, int width, int height, const uint8_t* rgb,
                  std::string* error) {
    if (path.empty()) return Refuse(error, "no file name");
    if (!rgb || width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide)
        return Refuse(error, "no picture to write");
    // The encoder takes rows from the top.
    const size_t row = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> topDown(row * height);
    for (int y = 0; y < height; ++y)
        std::copy(rgb + row * (height - 1 - y), rgb + row * (height - y), topDown.data() + row * y);
    std::vector<uint8_t> file;
    if (!stbi_write_bmp_to_func(Collect, &file, width, height, 3, topDown.data()))
        return Refuse(error, "the picture could not be encoded");

    const std::string partial = path + ".part";
    FILE* out = std::fopen(partial.c_str(), "wb");
    if (!out) return Refuse(error, "the file could not be opened");
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed || !RenameFile(partial.c_str(), path.c_str())) {
        DeleteFile(partial.c_str());
        return Refuse(error, "the file could not be written");
    }
    return true;
}

}  // namespace platform
