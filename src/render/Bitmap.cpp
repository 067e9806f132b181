#include "render/Bitmap.h"

#include <algorithm>
#include <cmath>

#include "foundation/Trace.h"

namespace {

bool IsPowerOfTwo(uint32_t n) {
    return n != 0 && (n & (n - 1)) == 0;
}

// floor(log2(n)) for n > 0.
uint32_t FloorLog2(uint32_t n) {
    uint32_t log = 0;
    while (n >>= 1) ++log;
    return log;
}

}  // namespace

TextureLayout ComputeTextureLayout(uint32_t width, uint32_t height) {
    TextureLayout layout;
    if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
        layout.size = 0;
        return layout;
    }
    if (width == height && IsPowerOfTwo(width) && width <= 2048) {
        layout.size = width;
        return layout;
    }
    layout.resample = true;
    layout.size = 1u << (FloorLog2(std::max(width, height)) + 1);
    if (layout.size > kMaxTextureSide) {
        layout.step = layout.size >> 10;
        layout.size = kMaxTextureSide;
    }
    return layout;
}

std::vector<uint8_t> ResamplePixels(const uint8_t* source, size_t sourceBytes, uint32_t width,
                                    uint32_t height, size_t stride, uint32_t pixelBytes,
                                    uint32_t size, uint32_t step) {
    if (!source || width == 0 || height == 0 || pixelBytes == 0 || size == 0 || step == 0)
        return {};
    if (stride < size_t(width) * pixelBytes) return {};
    // The last row need not carry its padding.
    const size_t needed = stride * (height - 1) + size_t(width) * pixelBytes;
    if (sourceBytes < needed) return {};

    std::vector<uint8_t> texels(size_t(size) * size * pixelBytes, 0);
    if (step == 1) {
        for (uint32_t r = 0; r < size; ++r) {
            const uint8_t* row = source + stride * (r % height);
            uint8_t* out = texels.data() + size_t(r) * size * pixelBytes;
            for (uint32_t c = 0; c < size; ++c)
                std::copy_n(row + size_t(c % width) * pixelBytes, pixelBytes,
                            out + size_t(c) * pixelBytes);
        }
        return texels;
    }
    const uint32_t rows = std::min(height / step, size);
    const uint32_t cols = std::min(width / step, size);
    for (uint32_t r = 0; r < rows; ++r) {
        const uint8_t* row = source + stride * (size_t(r) * step);
        uint8_t* out = texels.data() + size_t(r) * size * pixelBytes;
        for (uint32_t c = 0; c < cols; ++c)
            std::copy_n(row + size_t(c) * step * pixelBytes, pixelBytes,
                        out + size_t(c) * pixelBytes);
    }
    return texels;
}

std::vector<uint8_t> ScalePixelsNearest(const uint8_t* source, uint32_t width, uint32_t height,
                                        uint32_t pixelBytes, uint32_t newWidth,
                                        uint32_t newHeight) {
    if (!source || width == 0 || height == 0 || newWidth == 0 || newHeight == 0) return {};
    std::vector<uint8_t> out(size_t(newWidth) * newHeight * pixelBytes);
    for (uint32_t r = 0; r < newHeight; ++r) {
        const uint32_t sr = uint32_t(uint64_t(r) * height / newHeight);
        for (uint32_t c = 0; c < newWidth; ++c) {
            const uint32_t sc = uint32_t(uint64_t(c) * width / newWidth);
            std::copy_n(source + (size_t(sr) * width + sc) * pixelBytes, pixelBytes,
                        out.data() + (size_t(r) * newWidth + c) * pixelBytes);
        }
    }
    return out;
}

std::vector<uint8_t> AddAlphaChannel(const uint8_t* rgb, uint32_t rows, uint32_t cols,
                                     const uint8_t* alphaSource) {
    if (!rgb) return {};
    const size_t count = size_t(rows) * cols;
    std::vector<uint8_t> out(count * 4);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* in = rgb + i * 3;
        uint8_t* px = out.data() + i * 4;
        px[0] = in[0];
        px[1] = in[1];
        px[2] = in[2];
        if (alphaSource)
            px[3] = alphaSource[i * 3];
        else
            px[3] = (in[0] >= 227 && in[1] >= 227 && in[2] >= 227) ? 0 : 255;
    }
    return out;
}

void ClearTexelBorder(uint8_t* texels, uint32_t side, uint32_t pixelBytes) {
    if (!texels || side == 0 || pixelBytes < 3) return;
    auto clear = [&](uint32_t r, uint32_t c) {
        uint8_t* px = texels + (size_t(r) * side + c) * pixelBytes;
        px[0] = px[1] = px[2] = 0;
    };
    for (uint32_t i = 0; i < side; ++i) {
        clear(0, i);
        clear(side - 1, i);
        clear(i, 0);
        clear(i, side - 1);
    }
}

std::vector<uint8_t> MakeFalloffTexels(int& size, int& innerRadius, const float colour[3]) {
    if (size == 0) size = 256;
    if (innerRadius == 0) innerRadius = 70;
    size = std::clamp(size, 2, int(kMaxTextureSide));
    const int half = size / 2;
    // An inner radius at or past the edge would divide by zero or turn the ramp over.
    innerRadius = std::clamp(innerRadius, 0, half - 1);

    float rgb[3];
    for (int k = 0; k < 3; ++k) rgb[k] = std::clamp(colour ? colour[k] : 1.0f, 0.0f, 1.0f);

    std::vector<uint8_t> texels(size_t(size) * size * 3);
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j) {
            double d = std::hypot(double(i - half), double(j - half));
            d = std::min(d, double(half));
            const double intensity =
                d < innerRadius ? 0.6 : 0.6 * (half - d) / double(half - innerRadius);
            uint8_t* px = texels.data() + (size_t(i) * size + j) * 3;
            for (int k = 0; k < 3; ++k) px[k] = uint8_t(rgb[k] * 255.0 * intensity);
        }
    }
    return texels;
}
