#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "tests/plugkit/client/TestPlugin.h"

namespace plugkit::client {
namespace {

using testing::RecordingHost;
using testing::TestPlugin;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Host thread writes alternate between two normalized values; the audio thread reads with single
// atomic loads and must only ever see one of the two plain values (or the starting one).
TEST(ParameterThreads, AudioReadsNeverSeeTornOrForeignValues) {
    TestPlugin* plugin = Client::create<TestPlugin>();
    auto* mix = static_cast<FloatParameter*>(plugin->param(testing::kMix));
    auto* steps = static_cast<IntegerParameter*>(plugin->param(testing::kSteps));
    auto* bypass = static_cast<BoolParameter*>(plugin->param(testing::kBypass));
    // Values whose bit patterns differ in both halves, so a torn read would not match either.
    const double nA = 0.123456789, nB = 0.987654321;
    mix->setFromHost(nA);
    steps->setFromHost(nA);
    bypass->setFromHost(nA);
    const double mixA = mix->value();
    const int stepsA = steps->value();
    mix->setFromHost(nB);
    steps->setFromHost(nB);
    const double mixB = mix->value();
    const int stepsB = steps->value();
    ASSERT_NE(mixA, mixB);
    ASSERT_NE(stepsA, stepsB);

    std::atomic<bool> stop{false};
    std::atomic<bool> readerRunning{false};
    std::thread host([&] {
        while (!readerRunning.load()) std::this_thread::yield();  // make the two overlap
        for (int i = 0; i < 20000; ++i) {
            const double n = (i & 1) ? nB : nA;
            plugin->setParameterFromHost(testing::kMix, static_cast<float>(n));
            mix->setFromHost(n);
            steps->setFromHost(n);
            bypass->setFromHost(n);
            mix->setFromHost(kNaN);  // ignored: must not disturb the readers
        }
        stop = true;
    });
    const double mixAf = LinearFloatParameter(0, "", "", 0, 100, 0).fromNormalized(static_cast<float>(nA));
    const double mixBf = LinearFloatParameter(0, "", "", 0, 100, 0).fromNormalized(static_cast<float>(nB));
    long reads = 0, bad = 0;
    readerRunning = true;
    while (!stop.load()) {
        const double m = mix->valueAtomic();
        const int s = plugin->readEnumParamValue(testing::kSteps);
        const bool b = plugin->readBoolParamValue(testing::kBypass);
        (void)b;
        if (!(m == mixA || m == mixB || m == mixAf || m == mixBf)) ++bad;
        if (!(s == stepsA || s == stepsB)) ++bad;
        ++reads;
    }
    host.join();
    EXPECT_EQ(bad, 0);
    EXPECT_GT(reads, 0);
    core::destroyFree(plugin);
}

// A host thread and an editor thread write the same parameter while readers use the locked getter.
TEST(ParameterThreads, LockedWritersFromTwoThreadsStayInRange) {
    TestPlugin* plugin = Client::create<TestPlugin>();
    RecordingHost host;  // touched only by the editor thread
    plugin->setHostCommand(&host);
    auto* gain = static_cast<FloatParameter*>(plugin->param(testing::kGain));
    std::thread hostThread([&] {
        for (int i = 0; i < 5000; ++i) gain->setFromHost((i & 1) ? 2.0 : -1.0);
    });
    std::thread editorThread([&] {
        for (int i = 0; i < 5000; ++i) gain->setFromGUI((i & 1) ? -100.0 : 100.0);
    });
    for (int i = 0; i < 5000; ++i) {
        const double v = gain->value();
        ASSERT_TRUE(v == -36.0 || v == 0.0 || v == -3.0) << v;
    }
    hostThread.join();
    editorThread.join();
    EXPECT_EQ(host.events.size(), 5000u);
    core::destroyFree(plugin);
}

struct CountingListener : IParameterListener {
    int changed = 0, begun = 0, ended = 0;
    void onParameterChanged(Parameter*) override { ++changed; }
    void onBeginParameterEdit(Parameter*) override { ++begun; }
    void onEndParameterEdit(Parameter*) override { ++ended; }
};

// A float parameter that lets the test see whether its lock is free.
struct ProbeParameter : LinearFloatParameter {
    ProbeParameter() : LinearFloatParameter(0, "Probe", "", 0.0, 10.0, 5.0) {}
    bool lockFreeFromAnotherThread() {
        bool taken = false;
        std::thread t([&] {
            taken = valueLock_.tryLock();
            if (taken) valueLock_.unlock();
        });
        t.join();
        return taken;
    }
};

struct ProbeHost : RecordingHost {
    ProbeParameter* probe = nullptr;
    bool lockWasFree = false;
    void paramAutomate(int index, float value) override {
        RecordingHost::paramAutomate(index, value);
        lockWasFree = probe->lockFreeFromAnotherThread();
    }
};

struct ProbePlugin : TestPlugin {
    core::Vec<Parameter*> buildParameters() override {
        core::Vec<Parameter*> p = TestPlugin::buildParameters();
        p.pushBack(core::mallocNew<ProbeParameter>());
        return p;
    }
};

TEST(ParameterEditorPath, TellsTheHostAfterReleasingTheLock) {
    ProbePlugin* plugin = Client::create<ProbePlugin>();
    ProbeHost host;
    plugin->setHostCommand(&host);
    auto* probe = static_cast<ProbeParameter*>(plugin->param(testing::kParamCount));
    host.probe = probe;
    CountingListener listener;
    probe->addListener(&listener);

    probe->beginParamEdit();
    probe->setFromGUI(12.0);  // clamped to the maximum
    probe->setFromGUINormalized(0.25);
    probe->setFromGUI(kNaN);  // ignored
    probe->endParamEdit();

    const int idx = testing::kParamCount;
    ASSERT_EQ(host.events.size(), 4u);
    EXPECT_EQ(host.events[0].kind, 'b');
    EXPECT_EQ(host.events[0].index, idx);
    EXPECT_EQ(host.events[1].kind, 'a');
    EXPECT_EQ(host.events[1].value, 1.0f);
    EXPECT_EQ(host.events[2].kind, 'a');
    EXPECT_EQ(host.events[2].value, 0.25f);
    EXPECT_EQ(host.events[3].kind, 'e');
    EXPECT_EQ(host.events[3].index, idx);
    EXPECT_TRUE(host.lockWasFree);
    EXPECT_EQ(listener.begun, 1);
    EXPECT_EQ(listener.changed, 2);
    EXPECT_EQ(listener.ended, 1);
    EXPECT_EQ(probe->value(), 2.5);
    core::destroyFree(plugin);
}

// An editor that lives in a block whose start differs from its IGraphics sub-object, to check the
// client frees the right address.
struct Padding {
    virtual ~Padding() = default;
    char bytes[24] = {};
};
struct TestEditor : Padding, IGraphics {
    explicit TestEditor(std::atomic<int>* destroyed) : destroyed(destroyed) {}
    ~TestEditor() override { destroyed->fetch_add(1); }
    void* openUI(void*, void*, DAW, GraphicsBackend) override { return nullptr; }
    void closeUI() override {}
    void getGUISize(int* w, int* h) override { *w = 800, *h = 450; }
    std::atomic<int>* destroyed;
};

struct EditorPlugin : TestPlugin {
    std::atomic<int>* destroyed = nullptr;
    int created = 0;
    IGraphics* createGraphics() override {
        ++created;
        return core::mallocNew<TestEditor>(destroyed);
    }
};

TEST(ClientEditor, TryAcquireReleaseAndDestructionWaitsForTheAudioThread) {
    std::atomic<int> destroyed{0};
    EditorPlugin* c = Client::create<EditorPlugin>();
    c->destroyed = &destroyed;
    IGraphics* e = c->getOrCreateEditor();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(c->getOrCreateEditor(), e);
    EXPECT_EQ(c->created, 1);

    EXPECT_EQ(c->editorTryAcquire(), e);
    EXPECT_EQ(c->editorTryAcquire(), nullptr);  // already taken
    c->editorRelease();
    EXPECT_EQ(c->editorTryAcquire(), e);

    // The "audio thread" holds the editor; destruction must wait until it lets go.
    std::atomic<bool> released{false};
    std::thread audio([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        released = true;
        c->editorRelease();
    });
    core::destroyFree(c);
    EXPECT_TRUE(released.load());
    EXPECT_EQ(destroyed.load(), 1);
    audio.join();
}

}  // namespace
}  // namespace plugkit::client
