// Feeds arbitrary bytes to the PNG reader and runs every step a texture load takes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/PNGparse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PNGparse png;
    if (png.OpenFromMemory(data, size) != 0) return 0;
    png.FlipRows();
    std::vector<uint8_t> alpha = png.ExtractAlpha();
    png.ConvertToRGB(size & 1);
    std::vector<uint8_t> pixels = png.TakePixels();
    return 0;
}
