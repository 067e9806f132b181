#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Standard CRC-32 (reflected polynomial 0xEDB88320): starts at 0xFFFFFFFF, ends with
// the complement. The table behind it is a compile-time constant, so any number of
// threads may use it at once.
uint32_t Crc32(const uint8_t* bytes, size_t length);

// Decodes a non-interlaced PNG image into bytes for the texture layer. Use: `Open`,
// then `FlipRows` for OpenGL's bottom-up order, then either `ConvertToRGB` and
// `TakePixels`, or `ExtractAlpha`.
//
// Until converted, the pixels are the image's own samples, rows packed and starting on
// a byte boundary. After `ConvertToRGB` they are 8-bit RGB or RGBA.
class PNGparse {
public:
    PNGparse() = default;
    virtual ~PNGparse() = default;
    PNGparse(const PNGparse&) = delete;
    PNGparse& operator=(const PNGparse&) = delete;

    // Reads the whole file, checks every chunk, inflates and unfilters the image.
    // 0 on success, 1 on any failure (the reader then holds no image). A reader opens
    // one image only: a second call fails.
    int Open(const char* path);
    // The same for a file already in memory.
    int OpenFromMemory(const uint8_t* data, size_t size);

    // Reverses the order of the rows. Always 0.
    int FlipRows();
    // Replaces the pixels by 8-bit RGB, or RGBA when `withFourthByte` (alpha 0 where
    // the image has none). 0 on success, 1 when there are no pixels.
    int ConvertToRGB(bool withFourthByte);
    // The alpha channel as three equal bytes per pixel (the high byte of 16-bit
    // samples); empty when the pixels carry no alpha.
    std::vector<uint8_t> ExtractAlpha() const;
    // Hands the pixels over; the reader keeps none afterwards.
    std::vector<uint8_t> TakePixels();

    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    uint8_t BitDepth() const { return bitDepth_; }
    uint8_t ColourType() const { return colourType_; }
    bool HasAlpha() const { return hasAlpha_; }
    // Bytes per row of the current pixels.
    size_t RowBytes() const;

private:
    // The data of one image-data chunk, inside the file's bytes.
    struct Span {
        const uint8_t* data;
        size_t size;
    };
    bool ReadChunks(const uint8_t* data, size_t size, std::vector<Span>& compressed);
    bool ReadHeader(const uint8_t* data, uint32_t length);
    bool Inflate(const std::vector<Span>& compressed, std::unique_ptr<uint8_t[]>& inflated) const;
    bool Unfilter(const uint8_t* inflated);
    bool PaletteIndexesValid() const;
    void Clear();

    // Header.
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint8_t bitDepth_ = 0;
    uint8_t colourType_ = 0;
    uint8_t compressionMethod_ = 0;
    uint8_t filterMethod_ = 0;
    uint8_t interlaceMethod_ = 0;
    bool haveHeader_ = false;

    uint8_t palette_[256][3] = {};
    uint32_t paletteEntries_ = 0;

    bool opened_ = false;
    uint32_t channels_ = 0;
    uint32_t filterUnit_ = 0;
    bool hasAlpha_ = false;

    // The current pixels and their layout (the image's own until converted).
    std::vector<uint8_t> pixels_;
    uint8_t pixelColourType_ = 0;
    uint8_t pixelDepth_ = 0;
};
