// The render callback: resets, latency reports, bypass, skipped instances, long blocks.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "plugin/MultibandComp.h"
#include "plugkit/aax/AAXClient.h"
#include "plugkit/aax/AAXDescription.h"
#include "plugkit/aax/AAXRender.h"
#include "tests/plugkit/aax/HostDoubles.h"

using namespace aaxtest;
namespace aax = plugkit::aax;
namespace pc = plugkit::client;

namespace {

// The plug-in, recording its resets and processed frames.
class RecordingComp : public plugin::MultibandComp {
public:
    struct Reset {
        double rate;
        int maxFrames, in, out;
    };
    std::vector<Reset> resets;
    int processedFrames = 0;
    pc::TimeInfo lastInfo;
    std::uint32_t mxcsrInside = 0;
    std::uint16_t x87Inside = 0;
    void reset(double rate, int maxFrames, int in, int out) override {
        resets.push_back({rate, maxFrames, in, out});
        MultibandComp::reset(rate, maxFrames, in, out);
    }
    void processAudio(const float* const* in, float** out, int frames, pc::TimeInfo info) override {
        processedFrames += frames;
        lastInfo = info;
        asm volatile("stmxcsr %0" : "=m"(mxcsrInside));
        asm volatile("fnstcw %0" : "=m"(x87Inside));
        MultibandComp::processAudio(in, out, frames, info);
    }
};

// One instance as the host lays it out.
struct Instance {
    HostInstance host;
    RecordingComp* comp = pc::Client::create<RecordingComp>();
    aax::AAXClient* object = plugkit::core::mallocNew<aax::AAXClient>(comp);
    std::vector<float> in[2], out[2];
    float* inPtrs[2];
    float* outPtrs[2];
    std::int32_t frames = 512;
    void* slot = nullptr;
    sdk::ContextField fields[aax::kContextFieldCount] = {};

    Instance() {
        object->Initialize(host.unknown());
        for (int c = 0; c < 2; ++c) {
            in[c].resize(4096);
            out[c].assign(4096, 7.0f);
            for (std::size_t i = 0; i < in[c].size(); ++i) in[c][i] = 0.25f * std::sin(0.05f * i + c);
            inPtrs[c] = in[c].data();
            outPtrs[c] = out[c].data();
        }
        fields[aax::kFieldAudioIn] = inPtrs;
        fields[aax::kFieldAudioOut] = outPtrs;
        fields[aax::kFieldBufferLength] = &frames;
        fields[aax::kFieldPrivateData] = &slot;
        object->ResetFieldData(aax::kFieldPrivateData, &slot, sizeof(slot));
    }
    ~Instance() {
        object->Uninitialize();
        object->Release();
    }
    void render() {
        sdk::ContextField* contexts[1] = {fields};
        aax::StaticRenderAudio(contexts, contexts + 1);
    }
};

}  // namespace

TEST(AAXRender, ResetsOnConfigurationChangesAndReportsLatencyOnRateChanges) {
    Instance t;
    t.host.latencies.clear();
    t.render();
    ASSERT_EQ(t.comp->resets.size(), 1u);
    EXPECT_EQ(t.comp->resets[0].maxFrames, 256);
    EXPECT_EQ(t.comp->resets[0].rate, 48000.0);
    EXPECT_EQ(t.comp->resets[0].in, 2);
    EXPECT_EQ(t.host.latencies.size(), 1u);
    EXPECT_EQ(t.comp->processedFrames, 512);

    t.render();  // same configuration
    EXPECT_EQ(t.comp->resets.size(), 1u);

    t.host.sampleRate = 44100.0f;
    t.render();
    EXPECT_EQ(t.comp->resets.size(), 2u);
    EXPECT_EQ(t.host.latencies.size(), 2u);

    t.host.outputFormat = sdk::kStemFormatMono;
    t.render();
    ASSERT_EQ(t.comp->resets.size(), 3u);
    EXPECT_EQ(t.comp->resets[2].out, 1);
    EXPECT_EQ(t.host.latencies.size(), 2u);

    t.object->ResetFieldData(aax::kFieldPrivateData, &t.slot, sizeof(t.slot));  // requests a reset
    t.render();
    EXPECT_EQ(t.comp->resets.size(), 4u);
    EXPECT_EQ(t.host.latencies.size(), 2u);
}

TEST(AAXRender, ProcessesWithTheHostTransport) {
    Instance t;
    t.frames = 300;
    t.render();
    EXPECT_EQ(t.comp->lastInfo.tempo, 96.0);
    EXPECT_TRUE(t.comp->lastInfo.isPlaying);
    EXPECT_EQ(t.comp->lastInfo.samplePosition, 4800 + 256);  // second sub-block
    EXPECT_EQ(t.out[0][300], 7.0f);                          // beyond the block: untouched
    EXPECT_NE(t.out[0][100], 7.0f);

    t.host.transportResult = -1;  // failing transport leaves the defaults
    t.render();
    EXPECT_EQ(t.comp->lastInfo.tempo, 120.0);
    EXPECT_FALSE(t.comp->lastInfo.isPlaying);
}

TEST(AAXRender, BypassCopiesInputsAndSilencesExtraOutputs) {
    Instance t;
    t.host.inputFormat = sdk::kStemFormatMono;
    t.object->SetParameterNormalizedValue("MasterBypassID", 1.0);
    t.render();
    // The client keeps processing while bypassed (its state follows the signal); the output is the
    // input from the first block on.
    EXPECT_EQ(t.comp->processedFrames, t.frames);
    for (int i = 0; i < t.frames; ++i) {
        ASSERT_EQ(t.out[0][i], t.in[0][i]);
        ASSERT_EQ(t.out[1][i], 0.0f);
    }
    EXPECT_EQ(t.out[1][t.frames], 7.0f);
}

TEST(AAXRender, SkipsInstancesItCannotServe) {
    Instance t;
    // Null private-data field, null slot, failing controller, unusable rate, undeclared layout.
    sdk::ContextField* contexts[2] = {nullptr, t.fields};
    void* field = t.fields[aax::kFieldPrivateData];
    t.fields[aax::kFieldPrivateData] = nullptr;
    aax::StaticRenderAudio(contexts, contexts + 2);
    t.fields[aax::kFieldPrivateData] = field;
    void* saved = t.slot;
    t.slot = nullptr;
    t.render();
    t.slot = saved;
    t.host.controllerResult = -1;
    t.render();
    t.host.controllerResult = 0;
    t.host.sampleRate = std::nanf("");
    t.render();
    t.host.sampleRate = 48000.0f;
    t.host.outputFormat = sdk::kStemFormat5_1;
    t.render();
    EXPECT_EQ(t.comp->processedFrames, 0);
    EXPECT_TRUE(t.comp->resets.empty());
    EXPECT_EQ(t.out[0][0], 7.0f);
}

TEST(AAXRender, LongBlocksAreRenderedInSlicesAndRestoreTheFloatingPointState) {
    Instance t;
    t.frames = 2500;  // more than the scratch buffers hold
    const std::uint32_t before = [] {
        std::uint32_t s;
        asm volatile("stmxcsr %0" : "=m"(s));
        return s;
    }();
    t.render();
    std::uint32_t after;
    asm volatile("stmxcsr %0" : "=m"(after));
    EXPECT_EQ(before, after);
    EXPECT_EQ(t.comp->processedFrames, 2500);
    EXPECT_NE(t.out[1][2499], 7.0f);
    EXPECT_EQ(t.out[1][2500], 7.0f);
}

// Whatever mode the host's thread runs in (the default, already flushing denormals with no flag
// raised, another x87 precision), the plug-in processes in the audio path's mode and the host gets
// its exact state back, flags included.
TEST(AAXRender, ProcessesInTheAudioModeAndGivesTheHostItsExactFloatingPointStateBack) {
    Instance t;
    struct State {
        std::uint32_t mxcsr;
        std::uint16_t x87;
    };
    auto read = [] {
        State s;
        asm volatile("stmxcsr %0" : "=m"(s.mxcsr));
        asm volatile("fnstcw %0" : "=m"(s.x87));
        return s;
    };
    auto write = [](State s) {
        asm volatile("ldmxcsr %0" : : "m"(s.mxcsr));
        asm volatile("fnclex\n\tfldcw %0" : : "m"(s.x87));
    };
    const State original = read();
    for (const State host : {State{0x1F80, 0x037F}, State{0x9FC0, 0x037F}, State{0x1F80, 0x027F}}) {
        SCOPED_TRACE(testing::Message() << std::hex << host.mxcsr << " " << host.x87);
        write(host);
        t.comp->mxcsrInside = 0;
        t.render();
        const State after = read();
        write(original);
        EXPECT_EQ(t.comp->mxcsrInside & ~0x3Fu, 0x9FC0u);
        EXPECT_EQ(t.comp->x87Inside, 0x037F);
        EXPECT_EQ(after.mxcsr, host.mxcsr);
        EXPECT_EQ(after.x87, host.x87);
    }
}
