// Real-time safety of rendering: after the first block, the rendering thread makes no heap
// allocation and takes no mutex, while another thread automates parameters and the editor, open in
// a headless window, redraws on this thread (the rendering thread feeds its meters). The allocator
// and the mutex lock are replaced in this executable (host/realtime/RealtimeProbe.h) and
// count calls made while the thread is marked as an audio thread. Sanitizer builds keep their own
// allocator: there the test only runs the threaded rendering (ThreadSanitizer still checks it for
// races).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "host/PluginEditor.h"
#include "host/PluginLibrary.h"
#include "host/realtime/RealtimeProbe.h"

#if !defined(TOLVA_ASAN) && !defined(TOLVA_TSAN)
#define TOLVA_COUNT_CALLS 1
#endif

namespace {

// One long scenario on purpose: the audio, host and editor threads must all run at once for the
// counts to mean anything, so setting them up, running and checking stay together.
TEST(RealtimeTest, RenderingAllocatesNothingAndTakesNoLockWhileParametersChangeAndTheEditorDraws) {
    std::string error;
    auto lib = host::PluginLibrary::open(TOLVA_TEST_PLUGIN, error);
    ASSERT_TRUE(lib) << error;
    {
        auto p = lib->createInstance(2, 2, 48000, error);
        ASSERT_TRUE(p) << error;
        auto editor = host::PluginEditor::create(lib->description(), *p, error);
        ASSERT_TRUE(editor) << error;
        editor->openDriven(0);
        plugkit::window::IHostedWindow* window = editor->window();
        ASSERT_NE(window, nullptr);
        constexpr int kBlock = 512;
        std::vector<float> in0(kBlock), in1(kBlock), out0(kBlock), out1(kBlock);
        for (int i = 0; i < kBlock; ++i) {
            in0[static_cast<std::size_t>(i)] = 0.8f * std::sin(0.05f * static_cast<float>(i));
            in1[static_cast<std::size_t>(i)] = 0.5f * std::sin(0.7f * static_cast<float>(i));
        }
        const float* in[2] = {in0.data(), in1.data()};
        float* out[2] = {out0.data(), out1.data()};
        p->render(in, out, kBlock);  // first block: the plug-in may size its buffers here

        std::atomic<bool> stop{false};
        std::atomic<int> changes{0};
        std::thread automation([&] {
            host::InstanceHost& h = p->host();
            int k = 0;
            while (!stop.load()) {
                const std::string id = std::to_string(k % 29);
                const double v = (k % 100) / 100.0;
                if (k % 2) {
                    p->setNormalized(id, v);
                } else {
                    h.PostTouchRequest(id.c_str());
                    h.PostSetValueRequest(id.c_str(), v);
                    h.PostReleaseRequest(id.c_str());
                }
                if (k % 50 == 0) p->setBypass(k % 100 == 0);
                ++k;
                changes.store(k);
            }
        });
        std::atomic<bool> rendered{false};
        std::thread rendering([&] {
            {
                host::realtime::AudioThreadMark mark;
                for (int b = 0; b < 5000; ++b) {
                    const int frames = b % 7 == 0 ? 1 + b % kBlock : kBlock;  // odd sizes too
                    p->render(in, out, frames);
                }
            }
            rendered.store(true);
        });
        int ticks = 0;
        for (; !rendered.load() || ticks < 10; ++ticks) window->tick(1.0 / 60);
        rendering.join();
        stop.store(true);
        automation.join();
        EXPECT_GT(changes.load(), 0);
        editor.reset();
        for (float v : out0) ASSERT_TRUE(std::isfinite(v));
#ifdef TOLVA_COUNT_CALLS
        EXPECT_EQ(host::realtime::realtimeCounts().heapCalls, 0) << "heap calls on the rendering thread";
        EXPECT_EQ(host::realtime::realtimeCounts().locks, 0) << "mutex locks on the rendering thread";
        // The counters see calls made inside the plug-in library: a host-side parameter change
        // takes the parameter's lock there.
        {
            host::realtime::AudioThreadMark mark;
            p->setNormalized("0", 0.5);
        }
        EXPECT_GT(host::realtime::realtimeCounts().locks, 0);
#endif
    }
    EXPECT_EQ(lib->close(), 0);
}

}  // namespace
