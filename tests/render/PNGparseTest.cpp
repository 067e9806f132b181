#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "render/PNGparse.h"
#include "support/PngWriter.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

using Bytes = std::vector<uint8_t>;

struct Format {
    uint8_t colourType;
    uint8_t depth;
};

// Every colour type with every depth it allows.
const Format kFormats[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                           {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

std::string Name(const Format& f) {
    return "type " + std::to_string(f.colourType) + " depth " + std::to_string(f.depth);
}

// Decodes `file`; answers Open's result and the pixels as the reader leaves them.
int Decode(const Bytes& file, Bytes* pixels = nullptr) {
    PNGparse png;
    int result = png.OpenFromMemory(file.data(), file.size());
    Bytes taken = png.TakePixels();
    if (pixels) *pixels = taken;
    return result;
}

Bytes DecodeWithStb(const Bytes& file, int channels) {
    int w = 0, h = 0, n = 0;
    stbi_uc* p = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &n, channels);
    if (!p) return {};
    Bytes out(p, p + size_t(w) * h * channels);
    stbi_image_free(p);
    return out;
}

// Rewrites the CRC of the chunk that starts at `at` after its bytes were changed.
void FixCrc(Bytes& file, size_t at) {
    uint32_t length =
        uint32_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
    uint32_t crc = uint32_t(crc32(0, file.data() + at + 4, length + 4));
    for (int i = 0; i < 4; ++i) file[at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
}

Bytes WithEnd(Bytes file) {
    AppendPngChunk(file, "IEND", nullptr, 0);
    return file;
}

// A file with the given header and raw (already filtered) scan-line data.
Bytes RawFile(uint32_t w, uint32_t h, uint8_t type, uint8_t depth, const Bytes& scanLines) {
    Bytes file = PngHeader(w, h, type, depth);
    Bytes data = Deflate(scanLines);
    AppendPngChunk(file, "IDAT", data.data(), data.size());
    return WithEnd(file);
}

TEST(PNGparse, Crc32IsTheStandardOne) {
    const char* check = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(check), 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(nullptr, 0), 0u);
    Bytes data = MakePatternImage(300, 1, 0, 8).rows;
    EXPECT_EQ(Crc32(data.data(), data.size()), uint32_t(crc32(0, data.data(), uInt(data.size()))));
}

// Every colour type and depth under every filter (each alone, first row included, and
// all five in turn) comes back sample for sample, from data split over several chunks.
TEST(PNGparse, UnfiltersEveryFormatAndFilter) {
    for (const Format& f : kFormats) {
        // 13 pixels: rows of sub-byte depths end in padding bits.
        PngImage image = MakePatternImage(13, 7, f.colourType, f.depth, f.depth);
        for (int filter = -1; filter <= 4; ++filter) {
            SCOPED_TRACE(Name(f) + " filter " + std::to_string(filter));
            Bytes pixels;
            ASSERT_EQ(Decode(WritePng(image, {.filter = filter, .dataChunks = 3}), &pixels), 0);
            EXPECT_EQ(pixels, image.rows);
        }
    }
}

TEST(PNGparse, ConvertsLikeAnIndependentDecoder) {
    for (const Format& f : kFormats) {
        SCOPED_TRACE(Name(f));
        Bytes file = WritePng(MakePatternImage(13, 7, f.colourType, f.depth, 3));
        PNGparse png;
        ASSERT_EQ(png.OpenFromMemory(file.data(), file.size()), 0);
        EXPECT_EQ(png.Width(), 13u);
        EXPECT_EQ(png.Height(), 7u);
        EXPECT_EQ(png.HasAlpha(), f.colourType == 4 || f.colourType == 6);
        const int channels = png.HasAlpha() ? 4 : 3;
        ASSERT_EQ(png.ConvertToRGB(channels == 4), 0);
        Bytes reference = DecodeWithStb(file, channels);
        ASSERT_FALSE(reference.empty());
        EXPECT_EQ(png.TakePixels(), reference);
    }
}

TEST(PNGparse, ScalesSmallSamplesAndKeepsHighBytes) {
    struct Case {
        const char* name;
        uint32_t width;
        uint8_t type, depth;
        Bytes row, rgb;
    } cases[] = {
        {"1-bit grey, 3 wide", 3, 0, 1, {0b10100000}, {255, 255, 255, 0, 0, 0, 255, 255, 255}},
        {"2-bit grey", 2, 0, 2, {0b01110000}, {85, 85, 85, 255, 255, 255}},
        {"4-bit grey", 2, 0, 4, {0x1F}, {17, 17, 17, 255, 255, 255}},
        {"16-bit RGB", 1, 2, 16, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, {0x12, 0x56, 0x9A}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes scanLine = {0};
        scanLine.insert(scanLine.end(), c.row.begin(), c.row.end());
        Bytes file = RawFile(c.width, 1, c.type, c.depth, scanLine);
        PNGparse png;
        ASSERT_EQ(png.OpenFromMemory(file.data(), file.size()), 0);
        EXPECT_EQ(png.RowBytes(), c.row.size());
        ASSERT_EQ(png.ConvertToRGB(false), 0);
        EXPECT_EQ(png.TakePixels(), c.rgb);
    }
}

TEST(PNGparse, ExtractsAlphaOnlyWhileThePixelsCarryIt) {
    for (const Format& f : kFormats) {
        SCOPED_TRACE(Name(f));
        Bytes file = WritePng(MakePatternImage(5, 4, f.colourType, f.depth, 9));
        PNGparse png;
        ASSERT_EQ(png.OpenFromMemory(file.data(), file.size()), 0);
        Bytes alpha = png.ExtractAlpha();
        if (!png.HasAlpha()) {
            EXPECT_TRUE(alpha.empty());
            // A fourth byte added to an opaque image is 0 and is no alpha channel.
            ASSERT_EQ(png.ConvertToRGB(true), 0);
            EXPECT_TRUE(png.ExtractAlpha().empty());
            Bytes rgba = png.TakePixels();
            for (size_t i = 3; i < rgba.size(); i += 4) ASSERT_EQ(rgba[i], 0);
            continue;
        }
        Bytes reference = DecodeWithStb(file, 4);
        ASSERT_EQ(alpha.size(), 5u * 4 * 3);
        for (size_t i = 0; i < 20; ++i)
            for (int k = 0; k < 3; ++k) ASSERT_EQ(alpha[3 * i + k], reference[4 * i + 3]) << i;
        ASSERT_EQ(png.ConvertToRGB(true), 0);
        EXPECT_EQ(png.ExtractAlpha(), alpha);
        ASSERT_EQ(png.ConvertToRGB(false), 0);
        EXPECT_TRUE(png.ExtractAlpha().empty());
    }
}

TEST(PNGparse, FlipRowsReversesPackedRows) {
    for (Format f : {Format{0, 1}, Format{2, 8}, Format{6, 16}}) {
        SCOPED_TRACE(Name(f));
        PngImage image = MakePatternImage(11, 5, f.colourType, f.depth);
        Bytes file = WritePng(image);
        PNGparse png;
        ASSERT_EQ(png.OpenFromMemory(file.data(), file.size()), 0);
        EXPECT_EQ(png.FlipRows(), 0);
        Bytes flipped = png.TakePixels();
        const size_t rowBytes = PngRowBytes(11, f.colourType, f.depth);
        for (uint32_t y = 0; y < 5; ++y)
            EXPECT_TRUE(std::equal(flipped.begin() + y * rowBytes,
                                   flipped.begin() + (y + 1) * rowBytes,
                                   image.rows.begin() + (4 - y) * rowBytes))
                << "row " << y;
    }
}

TEST(PNGparse, IgnoresTransparencyChunks) {
    PngImage image = MakePatternImage(4, 4, 3, 8);
    image.transparency = {0, 0, 0, 0};
    Bytes file = WritePng(image);
    PNGparse png;
    ASSERT_EQ(png.OpenFromMemory(file.data(), file.size()), 0);
    EXPECT_FALSE(png.HasAlpha());
    EXPECT_TRUE(png.ExtractAlpha().empty());
    ASSERT_EQ(png.ConvertToRGB(false), 0);
    EXPECT_EQ(png.TakePixels(), DecodeWithStb(WritePng(MakePatternImage(4, 4, 3, 8)), 3));
}

// Images larger than one 128 KiB block of input and of output, in one chunk and in
// many.
TEST(PNGparse, InflatesAcrossBlocksAndChunks) {
    const PngImage image = MakePatternImage(300, 260, 6, 8, 5);
    struct Case {
        const PngImage& image;
        PngWriteOptions options;
    } cases[] = {
        {image, {.dataChunks = 1, .level = 1}},
        {image, {.dataChunks = 2, .level = 1}},
        {image, {.dataChunks = 700, .level = 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.options.dataChunks) + " chunks");
        Bytes pixels;
        ASSERT_EQ(Decode(WritePng(c.image, c.options), &pixels), 0);
        EXPECT_EQ(pixels, c.image.rows);
    }
}

// An image-data chunk that ends exactly where 128 KiB of output are complete, with
// nothing left inside zlib: the next chunk must still be read.
TEST(PNGparse, ContinuesWhenAChunkEndsWithAFullOutputBlock) {
    PngImage image = MakePatternImage(256, 200, 6, 8);
    std::fill(image.rows.begin(), image.rows.begin() + 100 * 1024, 0);
    const Bytes scanLines = FilterPngRows(image, {.filter = 0});
    // Zeros compressed hard, then the rest stored, so that input and output advance
    // byte for byte there.
    const size_t head = 100 * 1025;
    Bytes data(scanLines.size() + 4096);
    z_stream zs{};
    ASSERT_EQ(deflateInit(&zs, 9), Z_OK);
    zs.next_in = const_cast<uint8_t*>(scanLines.data());
    zs.avail_in = uInt(head);
    zs.next_out = data.data();
    zs.avail_out = uInt(data.size());
    ASSERT_EQ(deflate(&zs, Z_FULL_FLUSH), Z_OK);
    ASSERT_EQ(deflateParams(&zs, 0, Z_DEFAULT_STRATEGY), Z_OK);
    zs.avail_in = uInt(scanLines.size() - head);
    ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    data.resize(zs.total_out);
    deflateEnd(&zs);
    // Where the stream has produced exactly 128 KiB.
    size_t split = 0;
    Bytes sink(scanLines.size());
    z_stream in{};
    ASSERT_EQ(inflateInit(&in), Z_OK);
    in.next_out = sink.data();
    in.avail_out = uInt(sink.size());
    for (size_t i = 0; i < data.size() && !split; ++i) {
        in.next_in = data.data() + i;
        in.avail_in = 1;
        inflate(&in, Z_NO_FLUSH);
        if (in.total_out == 0x20000) split = i + 1;
    }
    inflateEnd(&in);
    ASSERT_NE(split, 0u);
    Bytes file = PngHeader(256, 200, 6, 8);
    AppendPngChunk(file, "IDAT", data.data(), split);
    AppendPngChunk(file, "IDAT", data.data() + split, data.size() - split);
    Bytes pixels;
    ASSERT_EQ(Decode(WithEnd(file), &pixels), 0);
    EXPECT_EQ(pixels, image.rows);
}

// Only what the rows need is inflated: a stream that goes on (here into bytes zlib
// would reject) past the image is not read further.
TEST(PNGparse, StopsInflatingOnceTheRowsAreComplete) {
    PngImage image = MakePatternImage(20, 10, 2, 8);
    Bytes scanLines = FilterPngRows(image, {});
    Bytes data(compressBound(uLong(scanLines.size())) + 64);
    z_stream zs{};
    ASSERT_EQ(deflateInit(&zs, 6), Z_OK);
    zs.next_in = scanLines.data();
    zs.avail_in = uInt(scanLines.size());
    zs.next_out = data.data();
    zs.avail_out = uInt(data.size());
    ASSERT_EQ(deflate(&zs, Z_SYNC_FLUSH), Z_OK);
    data.resize(zs.total_out);
    deflateEnd(&zs);
    data.insert(data.end(), 64, 0xFF);
    Bytes file = PngHeader(20, 10, 2, 8);
    AppendPngChunk(file, "IDAT", data.data(), data.size());
    Bytes pixels;
    ASSERT_EQ(Decode(WithEnd(file), &pixels), 0);
    EXPECT_EQ(pixels, image.rows);
}

TEST(PNGparse, RefusesBrokenFiles) {
    const PngImage rgb = MakePatternImage(6, 4, 2, 8);
    const Bytes good = WritePng(rgb);
    const size_t ihdr = 8, idat = 8 + 25;  // where the header and data chunks start
    const Bytes rows = FilterPngRows(rgb, {.filter = 0});
    auto changed = [&](auto edit) {
        Bytes file = good;
        edit(file);
        return file;
    };
    auto header = [](uint32_t w, uint32_t h, uint8_t type, uint8_t depth, uint8_t interlace) {
        Bytes file = PngHeader(w, h, type, depth, interlace);
        Bytes data = Deflate(Bytes(64, 0));
        AppendPngChunk(file, "IDAT", data.data(), data.size());
        return WithEnd(file);
    };
    auto headerOfLength = [&](size_t n) {
        Bytes file(good.begin(), good.begin() + 8);
        Bytes body(good.begin() + ihdr + 8, good.begin() + ihdr + 8 + 13);
        body.resize(n, 0);
        AppendPngChunk(file, "IHDR", body.data(), body.size());
        file.insert(file.end(), good.begin() + idat, good.end());
        return file;
    };
    auto palette = [&](size_t entries, uint8_t index) {
        Bytes file = PngHeader(2, 1, 3, 8);
        Bytes plte(entries * 3, 7);
        if (entries) AppendPngChunk(file, "PLTE", plte.data(), plte.size());
        Bytes data = Deflate({0, 0, index});
        AppendPngChunk(file, "IDAT", data.data(), data.size());
        return WithEnd(file);
    };
    Bytes badFilter = rows;
    badFilter[(rows.size() / 4) * 2] = 5;  // the third row's filter byte
    Bytes corrupt = Deflate(rows);
    corrupt[3] ^= 0x55;
    corrupt[4] ^= 0xAA;

    struct Case {
        const char* name;
        Bytes file;
    } cases[] = {
        {"empty file", {}},
        {"eighth signature byte", changed([](Bytes& f) { f[7] = 0; })},
        {"CRC of the header", changed([&](Bytes& f) { f[ihdr + 8 + 13] ^= 1; })},
        {"data byte under a CRC", changed([&](Bytes& f) { f[idat + 10] ^= 1; })},
        {"header of 12 bytes", headerOfLength(12)},
        {"header of 14 bytes", headerOfLength(14)},
        {"colour type 5", header(4, 4, 5, 8, 0)},
        {"depth 4 for RGB", header(4, 4, 2, 4, 0)},
        {"depth 16 for a palette", header(4, 4, 3, 16, 0)},
        {"depth 3 for grey", header(4, 4, 0, 3, 0)},
        {"width 0", header(0, 4, 0, 8, 0)},
        {"height 0", header(4, 0, 0, 8, 0)},
        {"width over 2^31-1", header(0x80000000u, 1, 0, 8, 0)},
        {"interlaced", header(4, 4, 0, 8, 1)},
        {"far too large", header(0x7FFFFFFF, 0x7FFFFFFF, 6, 16, 0)},
        {"rows the data cannot hold", header(65535, 65535, 6, 16, 0)},
        {"filter type 5", RawFile(6, 4, 2, 8, badFilter)},
        {"data a row short", RawFile(6, 4, 2, 8, Bytes(rows.begin(), rows.end() - 19))},
        {"data a byte short", RawFile(6, 4, 2, 8, Bytes(rows.begin(), rows.end() - 1))},
        {"corrupt deflate data", RawFile(6, 4, 2, 8, corrupt)},
        {"no data chunk", WithEnd(PngHeader(4, 4, 0, 8))},
        {"no header chunk", changed([](Bytes& f) {
             std::memcpy(&f[12], "hEAD", 4);
             FixCrc(f, 8);
         })},
        {"palette index past the palette", palette(2, 2)},
        {"palette image without palette", palette(0, 0)},
        {"file cut inside the data", Bytes(good.begin(), good.begin() + idat + 20)},
        {"file cut before the end chunk", Bytes(good.begin(), good.end() - 12)},
        {"chunk length over 2^31-1",
         changed([&](Bytes& f) { f[idat] = 0x80, f[idat + 1] = f[idat + 2] = f[idat + 3] = 0; })},
        {"chunk length past the file", changed([&](Bytes& f) { f[idat + 1] = 1; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes pixels{1};
        EXPECT_EQ(Decode(c.file, &pixels), 1);
        EXPECT_TRUE(pixels.empty());
    }
    // The same palette image with a valid index decodes: the refusals above are exact.
    EXPECT_EQ(Decode(palette(2, 1)), 0);
    EXPECT_EQ(Decode(good), 0);
}

TEST(PNGparse, OpensFilesOnce) {
    const Bytes file = WritePng(MakePatternImage(3, 3, 0, 8));
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("png-test-" + std::to_string(::getpid()) + ".png"))
                                 .string();
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);

    PNGparse png;
    EXPECT_EQ(png.Open(path.c_str()), 0);
    EXPECT_EQ(png.Open(path.c_str()), 1);
    EXPECT_EQ(png.TakePixels().size(), 9u);
    std::filesystem::remove(path);

    PNGparse missing;
    EXPECT_EQ(missing.Open(path.c_str()), 1);
    EXPECT_EQ(missing.ConvertToRGB(false), 1);
}

}  // namespace
