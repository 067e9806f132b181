#pragma once

// Builds PNG files in memory for tests, benchmarks and fuzz seeds, independently of
// the reader: zlib for deflate and CRC-32, filters written here.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t colourType = 0;
    uint8_t bitDepth = 8;
    // Rows top to bottom, each PngRowBytes() long, samples big-endian, without the
    // filter byte.
    std::vector<uint8_t> rows;
    std::vector<uint8_t> palette;       // red, green, blue per entry
    std::vector<uint8_t> transparency;  // written as a "tRNS" chunk when not empty
};

struct PngWriteOptions {
    // Filter type 0..4 for every row, or -1 for each row in turn 0, 1, 2, 3, 4, 0, ...
    int filter = -1;
    // The compressed data is split over this many "IDAT" chunks.
    int dataChunks = 1;
    int level = 6;
    uint8_t interlace = 0;  // written in the header as is
};

size_t PngRowBytes(uint32_t width, uint8_t colourType, uint8_t bitDepth);
// Appends a chunk (length, type, data, CRC) to a file.
void AppendPngChunk(std::vector<uint8_t>& file, const char* type, const uint8_t* data,
                    size_t length);
// The signature followed by the 13-byte header chunk.
std::vector<uint8_t> PngHeader(uint32_t width, uint32_t height, uint8_t colourType,
                               uint8_t bitDepth, uint8_t interlace = 0);
// The scan lines with their filter bytes, filtered as the options say.
std::vector<uint8_t> FilterPngRows(const PngImage& image, const PngWriteOptions& options);
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data, int level = 6);
std::vector<uint8_t> WritePng(const PngImage& image, const PngWriteOptions& options = {});

// Deterministic test pictures: every sample valid for the colour type and depth
// (palette images come with a palette of 2^depth entries).
PngImage MakePatternImage(uint32_t width, uint32_t height, uint8_t colourType, uint8_t bitDepth,
                          uint32_t seed = 1);
// A smooth picture with a little noise, 8-bit RGB, as a photograph would be.
PngImage MakePhotoImage(uint32_t width, uint32_t height, uint32_t seed = 1);
