// The editor's redraw loop at 800 x 450: a full first frame (every widget drawn, all mipmap levels
// regenerated, the window composited where it shows and converted) and a steady frame where one
// 50 x 50 raw widget changed. Counts the allocations of the steady frame, on every thread. Then the
// plug-in's own editor: a full frame, and the first one after opening.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>

#include "gui/MultibandCompGUI.h"
#include "plugin/MultibandComp.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/gui/GUIGraphics.h"

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
}

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocs{0};
inline void countAlloc() {
    if (gCounting.load(std::memory_order_relaxed)) gAllocs.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(std::size_t n) {
    countAlloc();
    return __libc_malloc(n);
}
void* calloc(std::size_t a, std::size_t b) {
    countAlloc();
    return __libc_calloc(a, b);
}
void* realloc(void* p, std::size_t n) {
    countAlloc();
    return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}

using namespace plugkit::gui;

namespace {

constexpr int kWidth = 800, kHeight = 450;

// An opaque raw background, like the editor's flat background image.
struct Background : UIElement {
    Background(UIContext* c, bool opaque) : UIElement(c, flagRaw | flagPBR), opaque(opaque) {}
    void onDrawRaw(ImageRef<RGBA8> map, const plugkit::core::Vec<Box>& rects) override {
        for (const Box& r : rects)
            for (int y = r.min.y; y < r.max.y; ++y)
                for (int x = r.min.x; x < r.max.x; ++x)
                    map.pixel(x, y) =
                        RGBA8{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 40, 255};
    }
    // Every pixel is set: the composited image never shows through. Without saying so, the whole
    // lit window is composited under it.
    Box opaqueRawArea() const override { return opaque ? position() : Box(); }
    bool opaque;
};

// A 50 x 50 raw widget: a filled disc whose colour changes with its value.
struct Knob : UIElement {
    explicit Knob(UIContext* c) : UIElement(c, flagRaw) {}
    void onDrawRaw(ImageRef<RGBA8> map, const plugkit::core::Vec<Box>& rects) override {
        const int cx = width() / 2, cy = height() / 2;
        for (const Box& r : rects)
            for (int y = r.min.y; y < r.max.y; ++y)
                for (int x = r.min.x; x < r.max.x; ++x) {
                    const int dx = x - cx, dy = y - cy;
                    if (dx * dx + dy * dy < 22 * 22) map.pixel(x, y) = RGBA8{value, 200, 100, 255};
                }
    }
    std::uint8_t value = 0;
};

struct BenchEditor : GUIGraphics {
    explicit BenchEditor(bool opaqueBackground = true) : GUIGraphics(kWidth, kHeight) {
        setUpdateMargin(0);
        addNew<Background>(context(), opaqueBackground);
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 10; ++col) knobs[row * 10 + col] = addNew<Knob>(context());
    }
    void reflow(Box space) override {
        GUIGraphics::reflow(space);
        for (int i = 0; i < 40; ++i) {
            const int x = 40 + (i % 10) * 72, y = 60 + (i / 10) * 90;
            knobs[i]->reflow(Box(x, y, x + 50, y + 50));
        }
    }
    // One window tick and repaint, as the window drives them.
    void frame() {
        plugkit::window::IWindowListener* l = windowListener();
        l->onAnimate(1.0 / 60, 1.0);
        l->recomputeDirtyAreas();
        if (!l->getDirtyRectangle().empty()) l->onDraw(WindowPixelFormat::bgra);
    }
    Knob* knobs[40];
};

// CPU time of the whole process (every thread) in milliseconds: on a shared, loaded machine the
// wall time mostly measures the wait for a core.
double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

void BM_FirstFrame(benchmark::State& state) {
    BenchEditor editor(state.range(0) != 0);
    editor.doResize(kWidth, kHeight);
    const double cpu0 = processCpuMs();
    for (auto _ : state) {
        editor.setDirtyWhole(UILayer::allLayers);
        editor.frame();
        benchmark::ClobberMemory();
    }
    state.counters["cpu_ms/frame"] = (processCpuMs() - cpu0) / static_cast<double>(state.iterations());
}
// Argument 1: the background says it hides the composited image; 0: the whole window is lit.
BENCHMARK(BM_FirstFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OneRawWidgetChanged(benchmark::State& state) {
    BenchEditor editor;
    editor.doResize(kWidth, kHeight);
    editor.setDirtyWhole(UILayer::allLayers);
    editor.frame();
    Knob* knob = editor.knobs[13];
    knob->value = 1;
    knob->setDirtyWhole();
    editor.frame();  // lets every list reach its steady capacity
    gAllocs = 0;
    gCounting = true;
    const double cpu0 = processCpuMs();
    for (auto _ : state) {
        ++knob->value;
        knob->setDirtyWhole();
        editor.frame();
        benchmark::ClobberMemory();
    }
    gCounting = false;
    state.counters["cpu_us/frame"] = (processCpuMs() - cpu0) * 1e3 / static_cast<double>(state.iterations());
    state.counters["allocs/frame"] =
        static_cast<double>(gAllocs.load()) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_OneRawWidgetChanged)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_EditorFirstFrame(benchmark::State& state) {
    auto* plugin = plugkit::client::Client::create<plugin::MultibandComp>();
    auto* editor = static_cast<tolvagui::MultibandCompGUI*>(plugin->getOrCreateEditor());
    plugkit::window::IWindowListener* l = editor->windowListener();
    l->onResized(kWidth, kHeight);
    const double cpu0 = processCpuMs();
    for (auto _ : state) {
        editor->setDirtyWhole(UILayer::allLayers);
        l->onAnimate(1.0 / 60, 1.0);
        l->recomputeDirtyAreas();
        l->onDraw(WindowPixelFormat::bgra);
        benchmark::ClobberMemory();
    }
    state.counters["cpu_ms/frame"] = (processCpuMs() - cpu0) / static_cast<double>(state.iterations());
    plugkit::core::destroyFree(plugin);  // the client ends its editor
}
BENCHMARK(BM_EditorFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The frame a user waits for when the editor opens: sizing the maps and buffers, then the first
// full frame into pages never touched before.
void BM_EditorOpening(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto* plugin = plugkit::client::Client::create<plugin::MultibandComp>();
        auto* editor = static_cast<tolvagui::MultibandCompGUI*>(plugin->getOrCreateEditor());
        plugkit::window::IWindowListener* l = editor->windowListener();
        state.ResumeTiming();
        l->onResized(kWidth, kHeight);
        editor->setDirtyWhole(UILayer::allLayers);
        l->onAnimate(1.0 / 60, 1.0);
        l->recomputeDirtyAreas();
        l->onDraw(WindowPixelFormat::bgra);
        benchmark::ClobberMemory();
        state.PauseTiming();
        plugkit::core::destroyFree(plugin);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EditorOpening)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
