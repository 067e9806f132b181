#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Pixel work that turns a decoded picture into texels for OpenGL, on plain buffers.
// Pictures are three bytes per pixel (RGB) unless said otherwise.

// Largest picture side taken in; anything larger is refused before it is resampled.
constexpr uint32_t kMaxPictureSide = 16384;
// Largest texture side made by resampling.
constexpr uint32_t kMaxTextureSide = 1024;

// How a picture becomes a square power-of-two texture.
struct TextureLayout {
    // Side of the square texture; 0 when the picture is refused (empty or too large).
    uint32_t size = 0;
    // Every step-th texel of every step-th row is taken (1: the picture is repeated).
    uint32_t step = 1;
    // False when the picture is used as it is (square, power of two, at most 2048).
    bool resample = false;
};

// A square picture whose side is a power of two up to 2048 is used as it is. Any other
// gets the power of two above its larger side (256 x 128 gives 512, 300 x 300 gives
// 512); past 1024 every step-th texel is taken so that the texture stays 1024.
TextureLayout ComputeTextureLayout(uint32_t width, uint32_t height);

// Resamples a picture of width x height pixels, `pixelBytes` bytes each, whose rows are
// `stride` bytes apart (padding at their ends skipped), into size x size. With step 1
// the picture repeats: texel (r, c) = pixel (r mod height, c mod width). With a larger
// step every step-th pixel of every step-th row is packed from the first texel; the
// rest of the texture is black. Answers the texels, or an empty buffer when the source
// is shorter than its layout says or an argument is 0.
std::vector<uint8_t> ResamplePixels(const uint8_t* source, size_t sourceBytes, uint32_t width,
                                    uint32_t height, size_t stride, uint32_t pixelBytes,
                                    uint32_t size, uint32_t step);

// Scales a picture to another size by taking the nearest pixel (no filtering).
std::vector<uint8_t> ScalePixelsNearest(const uint8_t* source, uint32_t width, uint32_t height,
                                        uint32_t pixelBytes, uint32_t newWidth, uint32_t newHeight);

// Four bytes per pixel from rows x cols RGB pixels. Alpha is the first byte of each
// pixel of `alphaSource` (three bytes per pixel, the same rows x cols) when given; else
// the colour key: 0 where all three components are 227 or more, 255 elsewhere.
std::vector<uint8_t> AddAlphaChannel(const uint8_t* rgb, uint32_t rows, uint32_t cols,
                                     const uint8_t* alphaSource);

// Paints the outermost ring of a square of side x side texels black, leaving alpha.
void ClearTexelBorder(uint8_t* texels, uint32_t side, uint32_t pixelBytes);

// The radial fall-off light texture, RGB, size x size. A size of 0 means 256 and an inner
// radius of 0 means 70; the size is kept within 2..1024 and the inner radius below half
// the size, so the intensity runs from 0.6 inside the inner radius down to 0 at the
// edge. Colour components are taken within 0..1. `size` and `innerRadius` answer what
// was used.
std::vector<uint8_t> MakeFalloffTexels(int& size, int& innerRadius, const float colour[3]);
