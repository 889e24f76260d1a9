// PNG decode of a 2048x2048 RGBA texture page: our decoder (PNG_Decode / PNG_Release) against
// libpng's simplified read of the same bytes into the same blue-green-red-alpha layout.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "assets/ImageDecode.h"

namespace {

constexpr int kSide = 2048;

// A page as a packer leaves it: smooth sprites with some grain, and transparent gaps between them.
std::vector<uint8_t> MakePage() {
    std::vector<uint8_t> rgba((size_t)kSide * kSide * 4);
    uint32_t seed = 2101988;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            uint8_t* p = &rgba[((size_t)y * kSide + x) * 4];
            seed = seed * 214013 + 2531011;
            const int grain = (seed >> 16) & 7;
            const bool gap = (x % 256) > 240 || (y % 256) > 240;
            p[0] = (uint8_t)(x / 8 + grain);
            p[1] = (uint8_t)(y / 8 + grain);
            p[2] = (uint8_t)((x + y) / 16);
            p[3] = gap ? 0 : (uint8_t)(255 - ((x * y) & 31));
        }
    }
    return rgba;
}

const std::vector<uint8_t>& PageFile() {
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> rgba = MakePage();
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        image.width = kSide;
        image.height = kSide;
        image.format = PNG_FORMAT_RGBA;
        png_alloc_size_t size = 0;
        png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
        std::vector<uint8_t> out(size);
        if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr)) std::abort();
        out.resize(size);
        return out;
    }();
    return file;
}

void BM_PngDecode_Ours(benchmark::State& state) {
    const std::vector<uint8_t>& file = PageFile();
    for (auto _ : state) {
        int32_t w = 0, h = 0;
        uint8_t* pixels = PNG_Decode(file.data(), (int32_t)file.size(), &w, &h);
        if (!pixels || w != kSide) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(pixels);
        PNG_Release();
    }
}

void BM_PngDecode_LibpngSimplified(benchmark::State& state) {
    const std::vector<uint8_t>& file = PageFile();
    for (auto _ : state) {
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
            state.SkipWithError("begin failed");
        image.format = PNG_FORMAT_BGRA;
        std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(pixels.data());
    }
}

BENCHMARK(BM_PngDecode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngDecode_LibpngSimplified)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::printf("page: %dx%d RGBA, %zu bytes of PNG\n", kSide, kSide, PageFile().size());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double ours = reporter.Time("BM_PngDecode_Ours");
    double theirs = reporter.Time("BM_PngDecode_LibpngSimplified");
    if (ours > 0 && theirs > 0) std::printf("ratio ours / libpng simplified read: %.2f\n", ours / theirs);
    benchmark::Shutdown();
    return 0;
}
