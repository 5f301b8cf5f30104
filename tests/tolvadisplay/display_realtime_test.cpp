// The plug-in's audio thread feeding an open display: no heap call and no mutex on the audio thread
// (counted by the allocator and mutex-lock replacements linked into this executable,
// host/realtime/RealtimeProbe.h), and, under ThreadSanitizer, no race while the
// editor thread animates and redraws and a host thread automates the thresholds and crossovers.

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "TolvaDisplayFixture.h"
#include "host/realtime/RealtimeProbe.h"

#if !defined(TOLVA_ASAN) && !defined(TOLVA_TSAN)
#define TOLVA_COUNT_CALLS 1
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
    {
        host::realtime::AudioThreadMark mark;
        for (int b = 0; b < 2000; ++b) process(b % 5 == 0 ? 0 : 256);  // empty blocks send levels too
    }
    EXPECT_GT(display->inputDb(0), -36.0f);
    EXPECT_GT(display->outputDb(3), -36.0f);
#ifdef TOLVA_COUNT_CALLS
    EXPECT_EQ(host::realtime::realtimeCounts().heapCalls, 0);
    EXPECT_EQ(host::realtime::realtimeCounts().locks, 0);
    // The hooks see the lock the display takes outside the audio path.
    {
        host::realtime::AudioThreadMark mark;
        display->onBeginDrag();  // the dirty list's lock
    }
    EXPECT_GT(host::realtime::realtimeCounts().locks, 0);
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
    window.size(kWinW, kWinH);
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
