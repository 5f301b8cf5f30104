// Drawing a value label with the product font: after the first call every glyph variant is cached,
// so this measures layout plus blending.
#include <benchmark/benchmark.h>

#include <vector>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/graphics/TextRendering.h"
#include "tolva_resources.h"

using namespace plugkit::graphics;

namespace {
// The product font, destroyed with the benchmark.
struct FontRef {
    Font* font = Font::tryCreate(tolva::resources::VeraBd_ttf.data, tolva::resources::VeraBd_ttf.size);
    ~FontRef() { plugkit::core::destroyFree(font); }
};
}  // namespace

static void BM_FillTextLabel(benchmark::State& state) {
    FontRef held;
    Font& font = *held.font;
    std::vector<RGBA8> pixels(160 * 24, RGBA8{20, 20, 24, 255});
    const ImageRef<RGBA8> target{160, 24, 160 * 4, pixels.data()};
    const float size = static_cast<float>(state.range(0));
    for (auto _ : state) {
        fillText(target, font, "Threshold -24.5 dB", size, 0, RGBA8{230, 230, 230, 255}, 80.25f, 12.5f,
                 HorizontalAlignment::center, VerticalAlignment::center);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * 18);
}
BENCHMARK(BM_FillTextLabel)->Arg(11)->Arg(14)->Arg(20);

static void BM_MeasureText(benchmark::State& state) {
    FontRef held;
    Font& font = *held.font;
    for (auto _ : state) benchmark::DoNotOptimize(font.measureText("Release 150 ms", 13, 0));
}
BENCHMARK(BM_MeasureText);

BENCHMARK_MAIN();
