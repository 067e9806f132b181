#include "PngWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

uint32_t Channels(uint8_t colourType) {
    switch (colourType) {
        case 2:
            return 3;
        case 4:
            return 2;
        case 6:
            return 4;
        default:
            return 1;
    }
}

uint8_t Predict(int type, int a, int b, int c) {
    switch (type) {
        case 1:
            return uint8_t(a);
        case 2:
            return uint8_t(b);
        case 3:
            return uint8_t((a + b) / 2);
        case 4: {
            int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
        }
        default:
            return 0;
    }
}

// A small linear congruential generator, the same on every platform.
struct Random {
    uint32_t state;
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

}  // namespace

size_t PngRowBytes(uint32_t width, uint8_t colourType, uint8_t bitDepth) {
    return (size_t(width) * Channels(colourType) * bitDepth + 7) / 8;
}

void AppendPngChunk(std::vector<uint8_t>& file, const char* type, const uint8_t* data,
                    size_t length) {
    PutBE32(file, uint32_t(length));
    size_t start = file.size();
    file.insert(file.end(), type, type + 4);
    if (length) file.insert(file.end(), data, data + length);
    PutBE32(file, uint32_t(crc32(0, file.data() + start, uInt(length + 4))));
}

std::vector<uint8_t> PngHeader(uint32_t width, uint32_t height, uint8_t colourType,
                               uint8_t bitDepth, uint8_t interlace) {
    std::vector<uint8_t> file = {137, 'P', 'N', 'G', 13, 10, 26, 10};
    std::vector<uint8_t> ihdr;
    PutBE32(ihdr, width);
    PutBE32(ihdr, height);
    ihdr.insert(ihdr.end(), {bitDepth, colourType, 0, 0, interlace});
    AppendPngChunk(file, "IHDR", ihdr.data(), ihdr.size());
    return file;
}

std::vector<uint8_t> FilterPngRows(const PngImage& image, const PngWriteOptions& options) {
    const size_t rowBytes = PngRowBytes(image.width, image.colourType, image.bitDepth);
    const size_t unit = std::max<size_t>(1, Channels(image.colourType) * image.bitDepth / 8);
    if (image.rows.size() != rowBytes * image.height) throw std::invalid_argument("rows");
    std::vector<uint8_t> out;
    out.reserve((rowBytes + 1) * image.height);
    for (uint32_t y = 0; y < image.height; ++y) {
        const int type = options.filter >= 0 ? options.filter : int(y % 5);
        const uint8_t* row = image.rows.data() + y * rowBytes;
        const uint8_t* prior = y ? row - rowBytes : nullptr;
        out.push_back(uint8_t(type));
        for (size_t i = 0; i < rowBytes; ++i) {
            int a = i >= unit ? row[i - unit] : 0;
            int b = prior ? prior[i] : 0;
            int c = prior && i >= unit ? prior[i - unit] : 0;
            out.push_back(uint8_t(row[i] - Predict(type, a, b, c)));
        }
    }
    return out;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data, int level) {
    uLongf size = compressBound(uLong(data.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), uLong(data.size()), level) != Z_OK)
        throw std::runtime_error("compress2");
    out.resize(size);
    return out;
}

std::vector<uint8_t> WritePng(const PngImage& image, const PngWriteOptions& options) {
    std::vector<uint8_t> file =
        PngHeader(image.width, image.height, image.colourType, image.bitDepth, options.interlace);
    if (!image.palette.empty())
        AppendPngChunk(file, "PLTE", image.palette.data(), image.palette.size());
    if (!image.transparency.empty())
        AppendPngChunk(file, "tRNS", image.transparency.data(), image.transparency.size());
    std::vector<uint8_t> data = Deflate(FilterPngRows(image, options), options.level);
    const size_t chunks = size_t(std::max(1, options.dataChunks));
    const size_t piece = (data.size() + chunks - 1) / chunks;
    for (size_t at = 0; at < data.size(); at += piece)
        AppendPngChunk(file, "IDAT", data.data() + at, std::min(piece, data.size() - at));
    AppendPngChunk(file, "IEND", nullptr, 0);
    return file;
}

PngImage MakePatternImage(uint32_t width, uint32_t height, uint8_t colourType, uint8_t bitDepth,
                          uint32_t seed) {
    PngImage image;
    image.width = width;
    image.height = height;
    image.colourType = colourType;
    image.bitDepth = bitDepth;
    const size_t rowBytes = PngRowBytes(width, colourType, bitDepth);
    image.rows.resize(rowBytes * height);
    Random random{seed};
    // Gradients with noise: every filter then has something to predict.
    for (uint32_t y = 0; y < height; ++y)
        for (size_t i = 0; i < rowBytes; ++i)
            image.rows[y * rowBytes + i] = uint8_t(i * 7 + y * 13 + (random.Next() & 15));
    if (colourType == 3) {
        // Every index a row can hold must name an entry.
        for (uint32_t e = 0; e < (1u << bitDepth); ++e)
            image.palette.insert(image.palette.end(),
                                 {uint8_t(e * 37), uint8_t(255 - e), uint8_t(random.Next())});
    }
    return image;
}

PngImage MakePhotoImage(uint32_t width, uint32_t height, uint32_t seed) {
    PngImage image;
    image.width = width;
    image.height = height;
    image.colourType = 2;
    image.bitDepth = 8;
    image.rows.resize(size_t(width) * height * 3);
    Random random{seed};
    uint8_t* p = image.rows.data();
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            double u = double(x) / width, v = double(y) / height;
            double base =
                0.5 + 0.25 * std::sin(u * 9.0 + v * 4.0) + 0.2 * std::cos(v * 7.0 - u * 3);
            for (int c = 0; c < 3; ++c) {
                int value = int(base * (200 + 20 * c)) + int(random.Next() % 9) - 4;
                *p++ = uint8_t(std::clamp(value, 0, 255));
            }
        }
    }
    return image;
}
