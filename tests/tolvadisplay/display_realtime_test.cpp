// The plug-in's audio thread feeding an open display: no heap call and no mutex on the audio thread
// (counted by replacing the allocator, which operator new calls too, and the mutex lock in this
// executable, as the host's real-time test does), and, under ThreadSanitizer, no race while the
// editor thread animates and redraws and a host thread automates the thresholds and crossovers.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "TolvaDisplayFixture.h"

#if !defined(TOLVA_ASAN) && !defined(TOLVA_TSAN)
#define TOLVA_COUNT_CALLS 1
#endif

namespace {
thread_local bool tAudio = false;
std::atomic<int> gHeapCalls{0};
std::atomic<int> gLockCalls{0};
}  // namespace

#ifdef TOLVA_COUNT_CALLS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);

void* malloc(size_t n) {
    if (tAudio) gHeapCalls.fetch_add(1);
    return __libc_malloc(n);
}
void* calloc(size_t a, size_t b) {
    if (tAudio) gHeapCalls.fetch_add(1);
    return __libc_calloc(a, b);
}
void* realloc(void* p, size_t n) {
    if (tAudio) gHeapCalls.fetch_add(1);
    return __libc_realloc(p, n);
}
void free(void* p) {
    if (tAudio) gHeapCalls.fetch_add(1);
    __libc_free(p);
}
int pthread_mutex_lock(pthread_mutex_t* m) {
    if (tAudio) gLockCalls.fetch_add(1);
    static auto real = reinterpret_cast<int (*)(pthread_mutex_t*)>(::dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    return real(m);
}
}
#endif

namespace tolvadisplay::testing {
namespace {

// The plug-in with an editor object, so that the audio thread can take the editor and feed the
// display registered as its level sink.
struct StubEditor : plugkit::client::IGraphics {
    void* openUI(void*, void*, plugkit::client::DAW, plugkit::client::GraphicsBackend) override {
        return nullptr;
    }
    void closeUI() override {}
    void getGUISize(int* w, int* h) override { *w = 800, *h = 450; }
};

class DisplayFedByAudio : public TolvaDisplayFixture {
protected:
    struct WithEditor : MultibandComp {
        plugkit::client::IGraphics* createGraphics() override {
            return plugkit::core::mallocNew<StubEditor>();
        }
    };

    DisplayFedByAudio() : TolvaDisplayFixture(plugkit::client::Client::create<WithEditor>()) {
        plugin->getOrCreateEditor();
        plugin->setBandLevelSink(display);
        plugin->reset(48000.0, 256, 2, 2);
        for (int i = 0; i < 256; ++i) {
            in0[i] = 0.5f * std::sin(0.01f * static_cast<float>(i));
            in1[i] = 0.5f * std::sin(0.3f * static_cast<float>(i));
        }
    }
    ~DisplayFedByAudio() override { plugin->setBandLevelSink(nullptr); }

    void process(int frames) {
        const float* in[2] = {in0, in1};
        float* out[2] = {out0, out1};
        plugin->processAudio(in, out, frames, plugkit::client::TimeInfo{});
    }

    float in0[256], in1[256], out0[256], out1[256];
};

TEST_F(DisplayFedByAudio, AudioThreadFeedsTheDisplayWithoutHeapOrLock) {
    process(256);
    tAudio = true;
    for (int b = 0; b < 2000; ++b) process(b % 5 == 0 ? 0 : 256);  // empty blocks send levels too
    tAudio = false;
    EXPECT_GT(display->inputDb(0), -36.0f);
    EXPECT_GT(display->outputDb(3), -36.0f);
#ifdef TOLVA_COUNT_CALLS
    EXPECT_EQ(gHeapCalls.load(), 0);
    EXPECT_EQ(gLockCalls.load(), 0);
    // The hooks see what the same thread does outside the audio path.
    tAudio = true;
    display->onBeginDrag();  // the dirty list's lock
    delete new int(1);
    tAudio = false;
    EXPECT_GT(gLockCalls.load(), 0);
    EXPECT_GT(gHeapCalls.load(), 0);
    display->onStopDrag();
#endif
}

TEST_F(DisplayFedByAudio, AudioEditorAndHostThreadsRunTogether) {
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        while (!stop.load()) {
            process(64);
            blocks.fetch_add(1);
        }
    });
    std::thread automation([&] {
        for (int k = 0; !stop.load(); ++k) {
            plugin->param(5 * (k % 4))->setFromHost((k % 37) / 36.0);
            plugin->param(MultibandComp::kF1 + k % 3)->setFromHost(0.2 + 0.25 * (k % 3) + 0.001 * (k % 10));
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    OwnedImage<RGBA8> window;
    window.size(800, 450);
    plugkit::core::Vec<Box> rects;
    for (int frame = 0; frame < 60 || blocks.load() < 300; ++frame) {
        display->animate(0.016, frame * 0.016);
        rects.clear();
        context.dirtyListRaw.pullAllRectangles(rects);
        display->renderRaw(window.toRef(), rects);
    }
    stop.store(true);
    audio.join();
    automation.join();
    EXPECT_GT(display->inputDb(0), -36.0f);
}

}  // namespace
}  // namespace tolvadisplay::testing
