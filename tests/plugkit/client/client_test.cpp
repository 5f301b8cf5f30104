#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/plugkit/client/TestPlugin.h"

namespace plugkit::client {
namespace {

using testing::TestPlugin;

struct PluginHolder {
    explicit PluginHolder(int limit) : plugin(Client::create<TestPlugin>(limit)) {}
    ~PluginHolder() { core::destroyFree(plugin); }
    TestPlugin* plugin;
};

TEST(ClientFrame, NoLimitProcessesOnceWithPointersUntouched) {
    PluginHolder h(0);
    h.plugin->resetFromHost(48000, 1024, 2, 2);
    float in[2][1000], out[2][1000];
    float* ins[2] = {in[0], in[1]};
    float* outs[2] = {out[0], out[1]};
    TimeInfo t;
    t.samplePosition = 77;
    h.plugin->processAudioFromHost(ins, outs, 1000, t);
    ASSERT_EQ(h.plugin->calls.size(), 1u);
    EXPECT_EQ(h.plugin->calls[0].frames, 1000);
    EXPECT_EQ(h.plugin->calls[0].samplePosition, 77);
    EXPECT_EQ(ins[0], in[0]);
    EXPECT_EQ(outs[1], out[1]);
}

TEST(ClientFrame, CutsIntoSubBlocksWithoutChangingTheCallersArrays) {
    struct Case {
        int frames;
        std::vector<int> expected;
    };
    for (const Case& c :
         {Case{1024, {256, 256, 256, 256}}, Case{600, {256, 256, 88}}, Case{100, {100}}, Case{256, {256}}}) {
        PluginHolder h(256);
        h.plugin->resetFromHost(48000, 1024, 2, 2);
        std::vector<float> in0(1024), in1(1024), out0(1024), out1(1024);
        float* ins[2] = {in0.data(), in1.data()};
        float* outs[2] = {out0.data(), out1.data()};
        TimeInfo t;
        t.samplePosition = 1000;
        h.plugin->processAudioFromHost(ins, outs, c.frames, t);
        ASSERT_EQ(h.plugin->calls.size(), c.expected.size()) << c.frames;
        int offset = 0;
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(h.plugin->calls[i].frames, c.expected[i]);
            EXPECT_EQ(h.plugin->calls[i].samplePosition, 1000 + offset);
            EXPECT_EQ(h.plugin->calls[i].in0, in0.data() + offset);
            EXPECT_EQ(h.plugin->calls[i].out0, out0.data() + offset);
            offset += c.expected[i];
        }
        EXPECT_EQ(ins[0], in0.data());
        EXPECT_EQ(ins[1], in1.data());
        EXPECT_EQ(outs[0], out0.data());
        EXPECT_EQ(outs[1], out1.data());
        // The same arrays again: the second block starts where the caller points, not further on.
        h.plugin->calls.clear();
        h.plugin->processAudioFromHost(ins, outs, c.frames, t);
        EXPECT_EQ(h.plugin->calls[0].in0, in0.data());
    }
}

TEST(ClientFrame, NonPositiveFrameCountsProcessNothing) {
    for (int limit : {0, 256}) {
        PluginHolder h(limit);
        h.plugin->resetFromHost(48000, 1024, 1, 1);
        float buf[4];
        float* ins[1] = {buf};
        float* outs[1] = {buf};
        h.plugin->processAudioFromHost(ins, outs, 0, TimeInfo{});
        h.plugin->processAudioFromHost(ins, outs, -5, TimeInfo{});
        EXPECT_TRUE(h.plugin->calls.empty());
        EXPECT_EQ(ins[0], buf);
    }
}

TEST(ClientFrame, MonoLayoutReadsOnlyTheChannelsItHas) {
    PluginHolder h(256);
    h.plugin->resetFromHost(48000, 1024, 1, 1);
    std::vector<float> in(512), out(512);
    const float* ins[1] = {in.data()};  // one-channel arrays: nothing past them is read
    float* outs[1] = {out.data()};
    h.plugin->processAudioFromHost(ins, outs, 512, TimeInfo{});
    ASSERT_EQ(h.plugin->calls.size(), 2u);
    EXPECT_EQ(h.plugin->calls[1].in0, in.data() + 256);
    EXPECT_EQ(h.plugin->calls[1].out0, out.data() + 256);
}

// Without a reset the frame cannot know the channel counts; it used to process the first sub-block
// over and over. Now the first block stops the process with a message.
TEST(ClientFrameDeathTest, ProcessingBeforeTheFirstResetIsFatal) {
    PluginHolder h(256);
    std::vector<float> in(512), out(512);
    float* ins[1] = {in.data()};
    float* outs[1] = {out.data()};
    EXPECT_DEATH(h.plugin->processAudioFromHost(ins, outs, 512, TimeInfo{}), "before resetFromHost");
}

// Negates its input sample by sample, so that with one buffer for input and output the input is
// gone once processAudio has run.
struct Negate : Client {
    int maxFramesInProcess() const override { return 64; }
    void processAudio(const float* const* in, float** out, int frames, TimeInfo) override {
        for (int i = 0; i < frames; ++i) out[0][i] = -in[0][i];
    }
};

TEST(ClientBypass, CrossfadesBothWaysInPlaceAndLandsOnTheInputExactly) {
    Negate* p = Client::create<Negate>();
    p->resetFromHost(1000.0, 512, 1, 1);  // a 20-frame crossfade
    std::vector<float> buf;
    float* ch[1];
    auto render = [&] {
        buf.assign(100, 0.5f);
        ch[0] = buf.data();
        p->processAudioFromHost(ch, ch, 100, TimeInfo{});
    };
    p->setBypass(true);  // before the first block: at once
    render();
    EXPECT_EQ(buf, std::vector<float>(100, 0.5f));
    for (const bool engage : {false, true}) {
        p->setBypass(engage);
        render();
        const float target = engage ? 0.5f : -0.5f;
        for (int i = 1; i < 19; ++i) EXPECT_LT(std::abs(buf[i] - target), std::abs(buf[i - 1] - target)) << i;
        for (int i = 19; i < 100; ++i) ASSERT_EQ(buf[i], target) << engage << " " << i;
    }
    core::destroyFree(p);
}

TEST(ClientReset, MaxFramesIsCappedByTheFrameLimit) {
    PluginHolder limited(256);
    limited.plugin->resetFromHost(44100, 1024, 2, 2);
    EXPECT_EQ(limited.plugin->resetFrames, 256);
    limited.plugin->resetFromHost(44100, 256, 2, 2);
    EXPECT_EQ(limited.plugin->resetFrames, 256);
    limited.plugin->resetFromHost(44100, 128, 2, 2);
    EXPECT_EQ(limited.plugin->resetFrames, 128);
    PluginHolder unlimited(0);
    unlimited.plugin->resetFromHost(44100, 4096, 2, 2);
    EXPECT_EQ(unlimited.plugin->resetFrames, 4096);
}

TEST(ClientSetup, LayoutsInfoAndDefaults) {
    PluginHolder h(256);
    Client* c = h.plugin;
    EXPECT_EQ(c->maxInputs(), 2);
    EXPECT_EQ(c->maxOutputs(), 2);
    EXPECT_EQ(c->frameLimit(), 256);
    EXPECT_TRUE(c->hasGUI());
    EXPECT_EQ(c->paramCount(), testing::kParamCount);
    for (int i = 0; i < c->paramCount(); ++i) {
        EXPECT_EQ(c->param(i)->index(), i);
        EXPECT_EQ(c->param(i)->client(), c);
    }
    EXPECT_EQ(c->presetBank()->presetCount(), 2);
    EXPECT_EQ(c->presetBank()->currentPresetIndex(), 0);
    EXPECT_EQ(c->editor(), nullptr);
    EXPECT_EQ(c->editorTryAcquire(), nullptr);  // no editor yet: never handed out

    struct Empty : Client {};
    Empty* e = Client::create<Empty>();
    EXPECT_EQ(e->maxInputs(), 0);
    EXPECT_EQ(e->maxOutputs(), 0);
    EXPECT_EQ(e->paramCount(), 0);
    e->initialize();  // a second call changes nothing
    EXPECT_EQ(e->presetBank()->presetCount(), 0);
    core::destroyFree(e);
}

// A plug-in may skip reading its parameters while the store count stands still, so every way a
// value can be stored must count.
TEST(ClientSetup, EveryValueStoreIsCounted) {
    PluginHolder h(256);
    Client* c = h.plugin;
    const auto counts = [c](auto&& store) {
        const std::uint32_t before = c->parameterStores();
        store();
        return c->parameterStores() != before;
    };
    auto* gain = static_cast<FloatParameter*>(c->param(testing::kGain));
    auto* steps = static_cast<IntegerParameter*>(c->param(testing::kSteps));
    auto* bypass = static_cast<BoolParameter*>(c->param(testing::kBypass));
    EXPECT_TRUE(counts([&] { c->setParameterFromHost(testing::kMix, 0.25f); }));
    for (Parameter* p :
         {static_cast<Parameter*>(gain), static_cast<Parameter*>(steps), static_cast<Parameter*>(bypass)}) {
        EXPECT_TRUE(counts([&] { p->setFromHost(0.8); })) << p->name();
        EXPECT_TRUE(counts([&] { p->setNormalized(0.1); })) << p->name();
        EXPECT_TRUE(counts([&] { p->storePlainFromAudio(1.0); })) << p->name();
    }
    EXPECT_TRUE(counts([&] { gain->setFromGUI(-12.0); }));
    EXPECT_TRUE(counts([&] { steps->setFromGUI(4); }));
    EXPECT_TRUE(counts([&] { bypass->setFromGUI(true); }));
    const ChunkBytes chunk = c->presetBank()->getStateChunkFromPreset(1);
    EXPECT_TRUE(counts([&] { c->presetBank()->loadStateChunk(chunk.data(), chunk.size()); }));
}

TEST(ClientSetup, DefaultPresetHoldsEveryDefault) {
    PluginHolder h(256);
    Preset* p = h.plugin->makeDefaultPreset();
    EXPECT_STREQ(p->name(), "Default");
    ASSERT_EQ(p->valueCount(), testing::kParamCount);
    for (int i = 0; i < p->valueCount(); ++i)
        EXPECT_EQ(p->value(i), static_cast<float>(h.plugin->param(i)->getNormalizedDefault()));
    core::destroyFree(p);
}

TEST(ClientMidi, HeapKeepsEarliestOnTopAndHoldsAtMost511) {
    PluginHolder h(256);
    Client* c = h.plugin;
    c->resetFromHost(48000, 256, 2, 2);
    const int offsets[] = {50, 10, 30, 10, 0, 70, 20};
    for (int i = 0; i < 7; ++i)
        c->enqueueMIDIFromHost({offsets[i], static_cast<uint8_t>(0x90), static_cast<uint8_t>(i), 0});
    EXPECT_EQ(c->midiQueueTop().offset, 0);
    int previous = -1;
    MidiMessage m;
    int popped = 0;
    while (c->popMIDI(m)) {
        EXPECT_GE(m.offset, previous);
        previous = m.offset;
        ++popped;
    }
    EXPECT_EQ(popped, 7);

    for (int i = 0; i < 511; ++i) c->enqueueMIDIFromHost({1000 - i, 0x90, 0, 0});
    EXPECT_EQ(c->midiQueueLength(), 511);
    c->enqueueMIDIFromHost({-1, 0x80, 0, 0});  // 512th: dropped, even though it would be earliest
    EXPECT_EQ(c->midiQueueLength(), 511);
    EXPECT_EQ(c->midiQueueTop().offset, 1000 - 510);

    c->resetFromHost(48000, 256, 2, 2);
    EXPECT_EQ(c->midiQueueLength(), 0);
    for (int i = 0; i < 511; ++i) c->enqueueMIDIFromHost({i, 0x90, 0, 0});
    EXPECT_EQ(c->midiQueueLength(), 511);
}

TEST(ClientDAW, IdentifiesHostsInRuleOrder) {
    EXPECT_EQ(identifyDAW("protools"), DAW::protools);
    EXPECT_EQ(identifyDAW("reaper64"), DAW::reaper);
    EXPECT_EQ(identifyDAW("ableton live 11"), DAW::live);
    EXPECT_EQ(identifyDAW("deliverer"), DAW::live);  // the letters l-i-v-e inside another word
    EXPECT_EQ(identifyDAW("cubase digital"), DAW::cubase);
    EXPECT_EQ(identifyDAW("digital performer"), DAW::digital);
    EXPECT_EQ(identifyDAW("Reaper"), DAW::unknown);  // case-sensitive
    EXPECT_EQ(identifyDAW(""), DAW::unknown);
    EXPECT_EQ(identifyDAW(nullptr), DAW::unknown);
    EXPECT_EQ(identifyDAW("ardour standalone"), DAW::ardour);
}

}  // namespace
}  // namespace plugkit::client
