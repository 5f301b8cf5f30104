// Mipmap level generation: one 512 x 512 level computed from a 1024 x 1024 one, per filter.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "plugkit/graphics/MipmapFilters.h"
#include "plugkit/graphics/OwnedImage.h"

using namespace plugkit::graphics;

namespace {

constexpr int kSize = 1024;

template <class T>
void fillPattern(OwnedImage<T>& img) {
    std::uint32_t seed = 1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            for (int c = 0; c < T::numComponents; ++c) {
                seed = seed * 1664525u + 1013904223u;
                img.pixel(x, y)[c] = static_cast<typename T::Component>(seed >> 16);
            }
}

template <class T, void (*Filter)(Box, const ImageRef<T>&, const ImageRef<T>&)>
void BM_GenerateLevel(benchmark::State& state) {
    OwnedImage<T> src, dst;
    src.size(kSize, kSize);
    dst.size(kSize / 2, kSize / 2);
    fillPattern(src);
    for (auto _ : state) {
        Filter(dst.bounds(), src.toRef(), dst.toRef());
        benchmark::DoNotOptimize(dst.pixels());
        benchmark::ClobberMemory();
    }
    // Destination pixels produced per second.
    state.counters["pixels/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * (kSize / 2) * (kSize / 2), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_GenerateLevel<RGBA8, generateLevelBoxRGBA>)->Name("mipmap/box/RGBA8");
BENCHMARK(BM_GenerateLevel<RGBA8, generateLevelCubicRGBA>)->Name("mipmap/cubic/RGBA8");
BENCHMARK(BM_GenerateLevel<RGBA8, generateLevelBoxAlphaCovRGBA>)->Name("mipmap/boxAlphaCov/RGBA8");
BENCHMARK(BM_GenerateLevel<RGBA8, generateLevelBoxAlphaCovIntoPremulRGBA>)
    ->Name("mipmap/boxAlphaCovIntoPremul/RGBA8");
BENCHMARK(BM_GenerateLevel<L16, generateLevelBoxL16>)->Name("mipmap/box/L16");
BENCHMARK(BM_GenerateLevel<L16, generateLevelCubicL16>)->Name("mipmap/cubic/L16");

BENCHMARK_MAIN();
