#include "render/PNGparse.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "foundation/Trace.h"

namespace {

// Table k gives the CRC of a byte followed by k zero bytes, so that eight bytes can be
// folded in at once.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables MakeCrcTables() {
    CrcTables t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n)
        for (size_t k = 1; k < 8; ++k) t[k][n] = t[0][t[k - 1][n] & 0xFF] ^ (t[k - 1][n] >> 8);
    return t;
}

constexpr CrcTables kCrc = MakeCrcTables();

constexpr uint8_t kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
// zlib is fed, and writes, at most this much per call.
constexpr size_t kBlock = 0x20000;
// Largest decoded image (and largest RGBA conversion of it) we accept.
constexpr uint64_t kMaxImageBytes = 0x7FFFFFFF;
// Deflate cannot expand data by more than 258 bytes per 2 bits.
constexpr uint64_t kMaxInflateRatio = 1032;

bool Fail(const char* why) {
    std::string line = std::string("PNGparse: ") + why;
    TraceWrite(line.c_str());
    return false;
}

uint32_t ReadBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

uint32_t ChannelsOf(uint8_t colourType) {
    switch (colourType) {
        case 0:
        case 3:
            return 1;
        case 2:
            return 3;
        case 4:
            return 2;
        case 6:
            return 4;
        default:
            return 0;
    }
}

bool DepthAllowed(uint8_t colourType, uint8_t depth) {
    switch (colourType) {
        case 0:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case 3:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case 2:
        case 4:
        case 6:
            return depth == 8 || depth == 16;
        default:
            return false;
    }
}

// Bytes of one packed row (rows start on a byte boundary).
uint64_t RowBytesOf(uint64_t width, uint8_t colourType, uint8_t depth) {
    return (width * ChannelsOf(colourType) * depth + 7) / 8;
}

// One sample of depth 1, 2 or 4, most significant bits first.
inline uint32_t SmallSample(const uint8_t* row, uint32_t x, uint8_t depth) {
    uint32_t bit = x * depth;
    uint32_t shift = 8 - depth - (bit & 7);
    return (row[bit >> 3] >> shift) & ((1u << depth) - 1);
}

// The predictor closest to a + b - c, ties going to a, then b. Written without
// branches: p - a = b - c, p - b = a - c, p - c = a + b - 2c.
inline uint8_t Paeth(int a, int b, int c) {
    int pa = std::abs(b - c);
    int pb = std::abs(a - c);
    int pc = std::abs(a + b - 2 * c);
    int bc = pb <= pc ? b : c;
    return uint8_t(pa <= pb && pa <= pc ? a : bc);
}

// Paeth for whole pixels of `Unit` bytes, keeping the left and upper-left pixel in
// registers.
template <size_t Unit>
void PaethRow(const uint8_t* in, const uint8_t* prior, uint8_t* out, size_t n) {
    uint8_t a[Unit], c[Unit];
    for (size_t k = 0; k < Unit; ++k) {
        a[k] = out[k] = uint8_t(in[k] + prior[k]);
        c[k] = prior[k];
    }
    for (size_t i = Unit; i + Unit <= n; i += Unit) {
        for (size_t k = 0; k < Unit; ++k) {
            uint8_t b = prior[i + k];
            a[k] = out[i + k] = uint8_t(in[i + k] + Paeth(a[k], b, c[k]));
            c[k] = b;
        }
    }
}

// Reconstructs one row. `prior` is the reconstructed row above (all zero for the first).
bool UnfilterRow(uint8_t type, const uint8_t* in, const uint8_t* prior, uint8_t* out, size_t n,
                 size_t unit) {
    size_t first = std::min(unit, n);
    switch (type) {
        case 0:
            std::memcpy(out, in, n);
            return true;
        case 1:
            std::memcpy(out, in, first);
            for (size_t i = first; i < n; ++i) out[i] = uint8_t(in[i] + out[i - unit]);
            return true;
        case 2:
            for (size_t i = 0; i < n; ++i) out[i] = uint8_t(in[i] + prior[i]);
            return true;
        case 3:
            for (size_t i = 0; i < first; ++i) out[i] = uint8_t(in[i] + (prior[i] >> 1));
            for (size_t i = first; i < n; ++i)
                out[i] = uint8_t(in[i] + ((out[i - unit] + prior[i]) >> 1));
            return true;
        case 4:
            // Rows hold whole pixels whenever the unit is above 1.
            if (unit == 3) return PaethRow<3>(in, prior, out, n), true;
            if (unit == 4) return PaethRow<4>(in, prior, out, n), true;
            for (size_t i = 0; i < first; ++i) out[i] = uint8_t(in[i] + prior[i]);
            for (size_t i = first; i < n; ++i)
                out[i] = uint8_t(in[i] + Paeth(out[i - unit], prior[i], prior[i - unit]));
            return true;
        default:
            return false;
    }
}

// Writes a row of 8-bit samples as RGB (Out 3) or RGBA (Out 4, alpha 0 where the
// image has none).
template <size_t Out>
void ConvertRow(uint8_t type, const uint8_t* in, uint32_t width, const uint8_t (*palette)[3],
                uint8_t* out) {
    auto put = [](uint8_t* o, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
        o[0] = r;
        o[1] = g;
        o[2] = b;
        if constexpr (Out == 4) o[3] = a;
    };
    switch (type) {
        case 0:
            for (uint32_t x = 0; x < width; ++x, out += Out) put(out, in[x], in[x], in[x], 0);
            break;
        case 2:
            for (uint32_t x = 0; x < width; ++x, out += Out, in += 3)
                put(out, in[0], in[1], in[2], 0);
            break;
        case 3:
            for (uint32_t x = 0; x < width; ++x, out += Out) {
                const uint8_t* entry = palette[in[x]];
                put(out, entry[0], entry[1], entry[2], 0);
            }
            break;
        case 4:
            for (uint32_t x = 0; x < width; ++x, out += Out, in += 2)
                put(out, in[0], in[0], in[0], in[1]);
            break;
        case 6:
            for (uint32_t x = 0; x < width; ++x, out += Out, in += 4)
                put(out, in[0], in[1], in[2], in[3]);
            break;
    }
}

}  // namespace

uint32_t Crc32(const uint8_t* bytes, size_t length) {
    uint32_t c = 0xFFFFFFFFu;
    for (; length >= 8; length -= 8, bytes += 8) {
        uint32_t low = c ^ (uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                            uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
        c = kCrc[7][low & 0xFF] ^ kCrc[6][(low >> 8) & 0xFF] ^ kCrc[5][(low >> 16) & 0xFF] ^
            kCrc[4][low >> 24] ^ kCrc[3][bytes[4]] ^ kCrc[2][bytes[5]] ^ kCrc[1][bytes[6]] ^
            kCrc[0][bytes[7]];
    }
    for (; length > 0; --length, ++bytes) c = kCrc[0][(c ^ *bytes) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

size_t PNGparse::RowBytes() const {
    return size_t(RowBytesOf(width_, pixelColourType_, pixelDepth_));
}

void PNGparse::Clear() {
    pixels_.clear();
    pixels_.shrink_to_fit();
    pixelColourType_ = 0;
    pixelDepth_ = 0;
}

int PNGparse::Open(const char* path) {
    if (opened_) return Fail("the reader already holds an image"), 1;
    FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) return Fail("cannot open the file"), 1;
    std::vector<uint8_t> data;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        data.resize(size_t(size));
        ok = std::fread(data.data(), 1, data.size(), file) == data.size();
    }
    std::fclose(file);
    if (!ok) return Fail("cannot read the file"), 1;
    return OpenFromMemory(data.data(), data.size());
}

int PNGparse::OpenFromMemory(const uint8_t* data, size_t size) {
    if (opened_) return Fail("the reader already holds an image"), 1;
    opened_ = true;
    std::vector<Span> compressed;
    std::unique_ptr<uint8_t[]> inflated;
    bool ok = false;
    try {
        ok = ReadChunks(data, size, compressed) && Inflate(compressed, inflated) &&
             Unfilter(inflated.get()) && PaletteIndexesValid();
    } catch (const std::bad_alloc&) {
        Fail("out of memory");
    }
    if (!ok) {
        Clear();
        width_ = height_ = 0;
        hasAlpha_ = false;
        return 1;
    }
    return 0;
}

bool PNGparse::ReadChunks(const uint8_t* data, size_t size, std::vector<Span>& compressed) {
    if (!data || size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0)
        return Fail("not a PNG file");
    size_t pos = sizeof kSignature;
    for (;;) {
        if (size - pos < 8) return Fail("the file ends inside a chunk");
        uint32_t length = ReadBE32(data + pos);
        if (length > 0x7FFFFFFFu) return Fail("chunk length out of range");
        if (size - pos - 8 < uint64_t(length) + 4) return Fail("the file ends inside a chunk");
        const uint8_t* type = data + pos + 4;
        const uint8_t* body = type + 4;
        if (Crc32(type, size_t(length) + 4) != ReadBE32(body + length))
            return Fail("chunk CRC mismatch");
        pos += size_t(length) + 12;

        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (!ReadHeader(body, length)) return false;
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            paletteEntries_ = std::min<uint32_t>(length / 3, 256);
            std::memcpy(palette_, body, size_t(paletteEntries_) * 3);
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (length > 0) compressed.push_back({body, length});
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
    }
    if (!haveHeader_) return Fail("no header chunk");
    return true;
}

bool PNGparse::ReadHeader(const uint8_t* data, uint32_t length) {
    if (length != 13) return Fail("header chunk of the wrong length");
    width_ = ReadBE32(data);
    height_ = ReadBE32(data + 4);
    bitDepth_ = data[8];
    colourType_ = data[9];
    compressionMethod_ = data[10];
    filterMethod_ = data[11];
    interlaceMethod_ = data[12];
    channels_ = ChannelsOf(colourType_);
    if (channels_ == 0) return Fail("unknown colour type");
    if (!DepthAllowed(colourType_, bitDepth_)) return Fail("bit depth invalid for the colour type");
    if (width_ == 0 || height_ == 0 || width_ > 0x7FFFFFFFu || height_ > 0x7FFFFFFFu)
        return Fail("image size out of range");
    if (interlaceMethod_ != 0) return Fail("interlaced images are not supported");
    hasAlpha_ = colourType_ == 4 || colourType_ == 6;
    filterUnit_ = std::max<uint32_t>(1, channels_ * bitDepth_ / 8);
    // The decoded image and its RGBA conversion must both stay within bounds.
    uint64_t rowBytes = RowBytesOf(width_, colourType_, bitDepth_);
    uint64_t count = uint64_t(width_) * height_;
    if (count > kMaxImageBytes / 4 || uint64_t(height_) > kMaxImageBytes / (rowBytes + 1))
        return Fail("image too large");
    haveHeader_ = true;
    return true;
}

bool PNGparse::Inflate(const std::vector<Span>& compressed,
                       std::unique_ptr<uint8_t[]>& inflated) const {
    uint64_t compressedSize = 0;
    for (const Span& span : compressed) compressedSize += span.size;
    if (compressedSize == 0) return Fail("no image data");
    const uint64_t need = uint64_t(height_) * (RowBytesOf(width_, colourType_, bitDepth_) + 1);
    // Data that cannot possibly inflate to the rows is refused before allocating them.
    if (need > compressedSize * kMaxInflateRatio + 1024) return Fail("image data too short");

    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return Fail("zlib refused to start");
    inflated.reset(new (std::nothrow) uint8_t[size_t(need)]);
    if (!inflated) {
        inflateEnd(&zs);
        return Fail("out of memory");
    }
    size_t produced = 0;
    int result = Z_OK;
    // The chunks' data is fed in blocks of at most 128 KiB.
    for (size_t chunk = 0, offset = 0; chunk < compressed.size() && produced < need;) {
        const Span& span = compressed[chunk];
        const size_t block = std::min(kBlock, span.size - offset);
        zs.next_in = const_cast<Bytef*>(span.data + offset);
        zs.avail_in = uInt(block);
        // Draw output until a call leaves output space free with the block used up, or
        // the rows are complete: nothing past them is ever inflated.
        while (produced < need) {
            zs.next_out = inflated.get() + produced;
            zs.avail_out = uInt(std::min<uint64_t>(kBlock, need - produced));
            result = inflate(&zs, Z_NO_FLUSH);
            produced = size_t(zs.next_out - inflated.get());
            if (result != Z_OK || (zs.avail_in == 0 && zs.avail_out > 0)) break;
        }
        if (result == Z_BUF_ERROR && zs.avail_in == 0) result = Z_OK;  // wants more input
        // The stream ended, failed or can make no more progress.
        if (result != Z_OK) break;
        offset += block;
        if (offset == span.size) ++chunk, offset = 0;
    }
    inflateEnd(&zs);
    // Whatever zlib says about bytes past the complete rows does not matter.
    if (produced < need &&
        (result == Z_NEED_DICT || result == Z_DATA_ERROR || result == Z_MEM_ERROR))
        return Fail("corrupt image data");
    if (produced < need) return Fail("image data too short");
    return true;
}

bool PNGparse::Unfilter(const uint8_t* inflated) {
    const size_t rowBytes = size_t(RowBytesOf(width_, colourType_, bitDepth_));
    pixels_.resize(rowBytes * height_);
    pixelColourType_ = colourType_;
    pixelDepth_ = bitDepth_;
    std::vector<uint8_t> zeros(rowBytes, 0);
    const uint8_t* in = inflated;
    const uint8_t* prior = zeros.data();
    uint8_t* out = pixels_.data();
    for (uint32_t y = 0; y < height_; ++y) {
        if (!UnfilterRow(in[0], in + 1, prior, out, rowBytes, filterUnit_))
            return Fail("unknown filter type");
        prior = out;
        out += rowBytes;
        in += rowBytes + 1;
    }
    return true;
}

bool PNGparse::PaletteIndexesValid() const {
    if (colourType_ != 3) return true;
    if (paletteEntries_ == 0) return Fail("palette image without a palette");
    if (paletteEntries_ >= (1u << bitDepth_)) return true;
    const size_t rowBytes = RowBytes();
    for (uint32_t y = 0; y < height_; ++y) {
        const uint8_t* row = pixels_.data() + y * rowBytes;
        for (uint32_t x = 0; x < width_; ++x) {
            uint32_t index = bitDepth_ == 8 ? row[x] : SmallSample(row, x, bitDepth_);
            if (index >= paletteEntries_) return Fail("palette index past the palette");
        }
    }
    return true;
}

int PNGparse::FlipRows() {
    const size_t rowBytes = RowBytes();
    if (pixels_.empty() || rowBytes == 0) return 0;
    for (size_t top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(pixels_.begin() + top * rowBytes, pixels_.begin() + (top + 1) * rowBytes,
                         pixels_.begin() + bottom * rowBytes);
    return 0;
}

int PNGparse::ConvertToRGB(bool withFourthByte) {
    if (pixels_.empty()) return 1;
    const uint8_t type = pixelColourType_;
    const uint8_t depth = pixelDepth_;
    if (ChannelsOf(type) == 0 || !DepthAllowed(type, depth)) return 1;
    if (depth == 8 && type == (withFourthByte ? 6 : 2)) return 0;  // already in that form

    const size_t rowBytes = RowBytes();
    const size_t outRow = size_t(width_) * (withFourthByte ? 4 : 3);
    const size_t rowSamples = size_t(width_) * ChannelsOf(type);
    std::vector<uint8_t> converted, samples;
    try {
        converted.resize(outRow * height_);
        samples.resize(depth == 8 ? 0 : rowSamples);
    } catch (const std::bad_alloc&) {
        return Fail("out of memory"), 1;
    }
    for (uint32_t y = 0; y < height_; ++y) {
        const uint8_t* row = pixels_.data() + y * rowBytes;
        // Every sample as one byte first: grey of small depths scaled to 0..255, palette
        // indexes as they are, the high byte of 16-bit samples.
        if (depth < 8) {
            const uint32_t scale = type == 0 ? 255 / ((1u << depth) - 1) : 1;
            const uint32_t mask = (1u << depth) - 1;
            for (uint32_t x = 0, i = 0; x < width_; ++i) {
                uint32_t bits = row[i];
                for (uint32_t k = 8 / depth; k > 0 && x < width_; --k, ++x, bits <<= depth)
                    samples[x] = uint8_t(((bits >> (8 - depth)) & mask) * scale);
            }
            row = samples.data();
        } else if (depth == 16) {
            for (size_t i = 0; i < rowSamples; ++i) samples[i] = row[2 * i];
            row = samples.data();
        }
        uint8_t* out = converted.data() + y * outRow;
        if (withFourthByte)
            ConvertRow<4>(type, row, width_, palette_, out);
        else
            ConvertRow<3>(type, row, width_, palette_, out);
    }
    pixels_ = std::move(converted);
    pixelColourType_ = withFourthByte ? 6 : 2;
    pixelDepth_ = 8;
    return 0;
}

std::vector<uint8_t> PNGparse::ExtractAlpha() const {
    std::vector<uint8_t> alpha;
    if (!hasAlpha_ || pixels_.empty() || (pixelColourType_ != 4 && pixelColourType_ != 6))
        return alpha;
    const size_t step = pixelDepth_ / 8;
    const size_t pixelBytes = ChannelsOf(pixelColourType_) * step;
    const size_t alphaOffset = pixelBytes - step;
    const size_t count = size_t(width_) * height_;
    try {
        alpha.resize(count * 3);
    } catch (const std::bad_alloc&) {
        Fail("out of memory");
        return alpha;
    }
    const uint8_t* in = pixels_.data() + alphaOffset;
    for (size_t i = 0; i < count; ++i, in += pixelBytes)
        alpha[3 * i] = alpha[3 * i + 1] = alpha[3 * i + 2] = *in;
    return alpha;
}

std::vector<uint8_t> PNGparse::TakePixels() {
    std::vector<uint8_t> taken = std::move(pixels_);
    Clear();
    return taken;
}
