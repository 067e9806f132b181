// Decodes the same PNG images with our reader and with stb_image in one run. Each
// benchmark times both on every iteration; the "ratio" counter is ours / stb_image.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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
using Clock = std::chrono::steady_clock;

Bytes DecodeOurs(const Bytes& file) {
    PNGparse png;
    if (png.OpenFromMemory(file.data(), file.size()) != 0) return {};
    if (png.ConvertToRGB(png.HasAlpha()) != 0) return {};
    return png.TakePixels();
}

Bytes DecodeStb(const Bytes& file, int channels) {
    int w, h, n;
    stbi_uc* p = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &n, channels);
    if (!p) return {};
    Bytes out(p, p + size_t(w) * h * channels);
    stbi_image_free(p);
    return out;
}

// A 256 x 256 photo-like tile repeated, as a tiling texture is.
PngImage MakeTexture(uint32_t size) {
    PngImage tile = MakePhotoImage(256, 256, 7);
    PngImage image = tile;
    image.width = image.height = size;
    image.rows.resize(size_t(size) * size * 3);
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; x += 256)
            std::copy_n(tile.rows.begin() + (y % 256) * 256 * 3, 256 * 3,
                        image.rows.begin() + (size_t(y) * size + x) * 3);
    return image;
}

void Decode(benchmark::State& state, const Bytes& file, int channels) {
    const Bytes reference = DecodeStb(file, channels);
    if (reference.empty() || DecodeOurs(file) != reference) {
        state.SkipWithError("the decoders disagree");
        return;
    }
    double ours = 0, stb = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        benchmark::DoNotOptimize(DecodeOurs(file));
        auto t1 = Clock::now();
        benchmark::DoNotOptimize(DecodeStb(file, channels));
        auto t2 = Clock::now();
        ours += std::chrono::duration<double>(t1 - t0).count();
        stb += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["ours_ms"] = benchmark::Counter(ours * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["stb_ms"] = benchmark::Counter(stb * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = ours / stb;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(reference.size()));
}

struct Sample {
    const char* name;
    Bytes file;
    int channels;
};

std::vector<Sample> MakeSamples() {
    std::vector<Sample> samples;
    samples.push_back({"icon_32_rgba", WritePng(MakePatternImage(32, 32, 6, 8)), 4});
    samples.push_back({"icon_16_palette4", WritePng(MakePatternImage(16, 16, 3, 4)), 3});
    samples.push_back({"icon_48_rgb", WritePng(MakePhotoImage(48, 48, 3)), 3});
    samples.push_back({"photo_1024_rgb", WritePng(MakePhotoImage(1024, 1024, 1)), 3});
    samples.push_back(
        {"photo_1024_rgb_paeth", WritePng(MakePhotoImage(1024, 1024, 2), {.filter = 4}), 3});
    samples.push_back({"texture_4096_rgb", WritePng(MakeTexture(4096), {.filter = 2}), 3});
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    static const std::vector<Sample> samples = MakeSamples();
    for (const Sample& s : samples)
        benchmark::RegisterBenchmark(s.name, [&s](benchmark::State& state) {
            Decode(state, s.file, s.channels);
        })->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
