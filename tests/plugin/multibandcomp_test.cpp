#include "plugin/MultibandComp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "dsp/filter/FourBandCrossover.h"
#include "dsp/util/PeakDetector.h"
#include "plugkit/core/AlignedAlloc.h"
#include "tests/plugin/PluginUnderTest.h"
#include "tolvacompressor/TolvaCompressor.h"

namespace {

using plugin::MultibandComp;
using plugin::testing::Plugin;
using plugin::testing::sine;
using plugkit::client::FloatParameter;
using plugkit::client::TimeInfo;

std::vector<float> noise(int frames, unsigned seed, float amp) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-amp, amp);
    std::vector<float> v(static_cast<std::size_t>(frames));
    for (float& x : v) x = d(rng);
    return v;
}

TEST(MultibandComp, DescriptionLayoutsAndParameters) {
    Plugin plug;
    const auto& info = plug->info();
    EXPECT_STREQ(info.makerName, "PEL");
    EXPECT_STREQ(info.makerCode, "PELX");
    EXPECT_STREQ(info.productName, "Tolva Multiband Compressor");
    EXPECT_STREQ(info.productCode, "pelq");
    EXPECT_EQ(info.packedVersion(), 0x00020007);
    EXPECT_TRUE(info.hasEditor);
    EXPECT_FALSE(info.isInstrument || info.takesMidi);
    EXPECT_EQ(plug->frameLimit(), 256);
    ASSERT_EQ(plug->legalIOCount(), 4);
    const int expectIO[4][2] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(plug->legalIOs()[i].inputs, expectIO[i][0]);
        EXPECT_EQ(plug->legalIOs()[i].outputs, expectIO[i][1]);
    }
    ASSERT_EQ(plug->paramCount(), 29);
    EXPECT_STREQ(plug->param(0)->name(), "Threshold L");
    EXPECT_STREQ(plug->param(8)->name(), "Ratio LM");
    EXPECT_STREQ(plug->param(8)->label(), "");
    EXPECT_STREQ(plug->param(19)->name(), "Gain H");
    EXPECT_STREQ(plug->param(21)->name(), "Solo Low-mid");
    EXPECT_STREQ(plug->param(26)->name(), "F3");
    EXPECT_STREQ(plug->param(26)->label(), "Hz");
    EXPECT_STREQ(plug->param(27)->name(), "Auto Gain");
    EXPECT_STREQ(plug->param(28)->name(), "Output Gain");
    for (int i = 0; i < 29; ++i) EXPECT_EQ(plug->param(i)->index(), i);
}

TEST(MultibandComp, PresetsStoreNormalizedValuesOfThePlainSettings) {
    Plugin plug;
    auto* bank = plug->presetBank();
    ASSERT_EQ(bank->presetCount(), 4);
    const char* names[4] = {"Default", "Soft Master", "4-Band Limit", "Low-End Control"};
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(bank->preset(i)->name(), names[i]);
    const auto* def = bank->preset(0);
    EXPECT_NEAR(def->value(3), 0.30103, 1e-6);      // ratio 4 on 1..100
    EXPECT_NEAR(def->value(0), 33.0 / 36.0, 1e-6);  // -3 dB on -36..0
    EXPECT_NEAR(def->value(28), 0.5, 1e-7);         // 0 dB on -12..12
    const auto* soft = bank->preset(1);
    EXPECT_NEAR(soft->value(0), 24.0 / 36.0, 1e-6);  // -12 dB
    EXPECT_NEAR(soft->value(3), 0.30103, 1e-6);
    EXPECT_NEAR(soft->value(4), 0.05, 1e-6);  // 0.6 dB on 0..12
    EXPECT_NEAR(soft->value(17), std::log(500.0) / std::log(2000.0), 1e-6);
    EXPECT_NEAR(soft->value(24), std::log(190.0 / 40.0) / std::log(500.0), 1e-6);
    const auto* limit = bank->preset(2);
    EXPECT_FLOAT_EQ(limit->value(3), 1.0f);  // ratio 100
    EXPECT_FLOAT_EQ(limit->value(1), 0.0f);  // attack 1 ms
    const auto* low = bank->preset(3);
    EXPECT_NEAR(low->value(25), std::log(250.0 / 40.0) / std::log(500.0), 1e-6);
    EXPECT_FLOAT_EQ(low->value(15), 1.0f);  // threshold 0 dB
    for (int p = 1; p < 4; ++p) {
        for (int i = 20; i <= 23; ++i) EXPECT_EQ(bank->preset(p)->value(i), 0.0f);
        EXPECT_EQ(bank->preset(p)->value(27), 0.0f);
        EXPECT_NEAR(bank->preset(p)->value(28), 0.5, 1e-7);
    }
}

// Gain in dB of the whole plug-in at one frequency, mono, through blocks of the host entry.
double pluginGainDb(Plugin& plug, double f, double rate) {
    const int settle = static_cast<int>(0.3 * rate);
    const double periods = std::fmax(20.0, std::ceil(0.3 * f));
    const int measure = static_cast<int>(std::lround(periods * rate / f));
    const auto x = sine(f, rate, settle + measure);
    plug->resetFromHost(rate, 1024, 1, 1);
    const auto y = plug.render({x}, 1, 1024)[0];
    double s = 0, c = 0;
    for (int n = settle; n < settle + measure; ++n) {
        s += y[n] * std::sin(2 * std::numbers::pi * f * n / rate);
        c += y[n] * std::cos(2 * std::numbers::pi * f * n / rate);
    }
    return 20 * std::log10(2 * std::hypot(s, c) / measure / 0.5);
}

TEST(MultibandComp, UncompressedCrossoverSumIsNearlyFlat) {
    Plugin plug;
    plug.allRatiosOne();
    double deepest = 0, deepestAt = 0, highest = -100;
    for (double f = 20.0; f <= 20000.0; f *= 1.05) {
        const double g = pluginGainDb(plug, f, 48000.0);
        if (g < deepest) deepest = g, deepestAt = f;
        highest = std::fmax(highest, g);
    }
    for (double f = 900.0; f <= 1030.0; f += 10.0) {
        const double g = pluginGainDb(plug, f, 48000.0);
        if (g < deepest) deepest = g, deepestAt = f;
    }
    EXPECT_LT(highest, 0.5);
    EXPECT_GT(deepest, -0.5);
    EXPECT_NEAR(deepest, -0.44, 0.02);
    EXPECT_NEAR(deepestAt, 960.0, 40.0);
}

TEST(MultibandComp, SoloSumsAndAllSoloedEqualsNone) {
    const int frames = 4800;
    const auto x = noise(frames, 3, 0.7f);
    auto run = [&](std::initializer_list<int> soloed) {
        Plugin plug;
        for (int b : soloed) plug.setBool(MultibandComp::kSoloLow + b, true);
        plug->resetFromHost(48000.0, 1024, 1, 1);
        return plug.render({x}, 1, 512)[0];
    };
    const auto none = run({}), all = run({0, 1, 2, 3}), b1 = run({0}), b3 = run({2}), b13 = run({0, 2});
    for (int i = 0; i < frames; ++i) {
        EXPECT_EQ(all[i], none[i]);
        EXPECT_EQ(b13[i], b1[i] + b3[i]);
    }
    double diff = 0;
    for (int i = 0; i < frames; ++i) diff += std::fabs(b13[i] - none[i]);
    EXPECT_GT(diff, 1.0);  // the solo really removes bands 2 and 4
}

TEST(MultibandComp, ChannelLayouts) {
    const int frames = 2000;
    const auto left = noise(frames, 5, 0.5f), right = noise(frames, 6, 0.5f);
    Plugin monoToStereo;
    monoToStereo->resetFromHost(48000.0, 1024, 1, 2);
    const auto out12 = monoToStereo.render({left}, 2, 700);
    for (float v : out12[1]) ASSERT_EQ(v, 0.0f);

    Plugin stereoToMono, mono;
    stereoToMono->resetFromHost(48000.0, 1024, 2, 1);
    mono->resetFromHost(48000.0, 1024, 1, 1);
    const auto out21 = stereoToMono.render({left, right}, 1, 700);
    const auto out11 = mono.render({left}, 1, 700);
    EXPECT_EQ(out21[0], out11[0]);
    EXPECT_EQ(out12[0], out11[0]);
}

TEST(MultibandComp, MonoDetectionIsSixDecibelsBelowStereo) {
    // One processed channel: the partner compressor never runs, so the linked level is halved.
    Plugin mono, stereo;
    mono->resetFromHost(48000.0, 1024, 1, 1);
    stereo->resetFromHost(48000.0, 1024, 2, 2);
    const auto x = sine(2000.0, 48000.0, 24000, 0.8);
    mono.render({x}, 1, 1024);
    stereo.render({x, x}, 2, 1024);
    const double ratio =
        mono->bandCompressor(2, 0).detectorVal() - stereo->bandCompressor(2, 0).detectorVal();
    EXPECT_NEAR(ratio, -6.0206, 0.01);
}

TEST(MultibandComp, OutputGainScalesTheOutput) {
    const auto x = noise(3000, 9, 0.5f);
    Plugin unity, quiet;
    quiet.setPlain(MultibandComp::kOutputGain, -12.0);
    unity->resetFromHost(44100.0, 1024, 1, 1);
    quiet->resetFromHost(44100.0, 1024, 1, 1);
    const auto a = unity.render({x}, 1, 1024)[0], b = quiet.render({x}, 1, 1024)[0];
    const float factor = static_cast<float>(std::pow(10.0, -0.6));
    EXPECT_NEAR(factor, 0.2512, 1e-4);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(b[i], a[i] * factor);
}

TEST(MultibandComp, MetersAttackInstantlyAndReleaseIn500ms) {
    Plugin plug;
    plug.allRatiosOne();
    plug->resetFromHost(48000.0, 1024, 1, 1);
    // 2 kHz sits in band 3 at the default crossovers.
    const auto x = sine(2000.0, 48000.0, 24);
    plug.render({x}, 1, 24);
    const float afterOneCycle = plug->inputMeterLevel(2);
    const auto longer = sine(2000.0, 48000.0, 9600);
    plug.render({longer}, 1, 256);
    const float settled = plug->inputMeterLevel(2);
    EXPECT_GT(afterOneCycle, 0.75f * settled);
    EXPECT_NEAR(plug->outputMeterLevel(2), settled, 1e-3);  // ratio 1: output as input
    plug.render({std::vector<float>(24000, 0.0f)}, 1, 256);
    EXPECT_NEAR(plug->inputMeterLevel(2) / settled, std::exp(-1.0), 0.02);

    // Opposite signals on the two channels cancel in the channel mean.
    Plugin stereo;
    stereo->resetFromHost(48000.0, 1024, 2, 2);
    auto neg = longer;
    for (float& v : neg) v = -v;
    stereo.render({longer, neg}, 2, 256);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(stereo->inputMeterLevel(k), 0.0f);
}

TEST(MultibandComp, OutputDoesNotDependOnTheHostBlockSize) {
    const int frames = 20000;
    const auto left = noise(frames, 21, 0.9f), right = sine(300.0, 48000.0, frames, 0.9);
    std::vector<std::vector<float>> reference;
    for (int block : {1024, 256, 100, 37, 1}) {
        Plugin plug;
        for (int b = 0; b < 4; ++b) plug.setPlain(5 * b, -24.0);
        plug.setBool(MultibandComp::kAutoGain, true);
        plug->resetFromHost(48000.0, 1024, 2, 2);
        const auto out = plug.render({left, right}, 2, block);
        if (reference.empty()) {
            reference = out;
        } else {
            EXPECT_EQ(out, reference) << block;
        }
    }
}

TEST(MultibandComp, CrossoversAboveTheUsableRangeStayStable) {
    for (double rate : {32000.0, 22050.0}) {
        Plugin plug;
        plug.setPlain(MultibandComp::kF1, 15000.0);
        plug.setPlain(MultibandComp::kF2, 18000.0);
        plug.setPlain(MultibandComp::kF3, 20000.0);
        plug->resetFromHost(rate, 1024, 2, 2);
        const auto x = noise(static_cast<int>(rate), 4, 0.9f);
        const auto out = plug.render({x, x}, 2, 512);
        float peak = 0;
        for (const auto& ch : out)
            for (float v : ch) {
                ASSERT_TRUE(std::isfinite(v)) << rate;
                peak = std::fmax(peak, std::fabs(v));
            }
        EXPECT_LT(peak, 4.0f) << rate;
    }
}

TEST(MultibandComp, RecoversFromNonFiniteInput) {
    for (float bad : {std::nanf(""), HUGE_VALF}) {
        Plugin plug;
        plug.setBool(MultibandComp::kAutoGain, true);
        plug->resetFromHost(48000.0, 256, 2, 2);
        auto x = noise(256 * 4, 8, 0.5f);
        x[300] = bad;  // in the second sub-block
        const auto out = plug.render({x, x}, 2, 256);
        for (int i = 512; i < 1024; ++i)
            ASSERT_TRUE(std::isfinite(out[0][i]) && std::isfinite(out[1][i])) << i;
        for (int k = 0; k < 4; ++k) EXPECT_TRUE(std::isfinite(plug->inputMeterLevel(k)));
        float peak = 0;
        for (int i = 768; i < 1024; ++i) peak = std::fmax(peak, std::fabs(out[0][i]));
        EXPECT_GT(peak, 0.05f);  // audio again, not silence
    }
}

// A stand-in editor whose crossover display records what the audio thread sends.
struct FakeEditor : plugkit::client::IGraphics, plugin::IBandLevelSink {
    float in[4] = {-1, -1, -1, -1};
    float out[4] = {-1, -1, -1, -1};
    int calls = 0;
    void* openUI(void*, void*, plugkit::client::DAW, plugkit::client::GraphicsBackend) override {
        return nullptr;
    }
    void closeUI() override {}
    void getGUISize(int* w, int* h) override { *w = 800, *h = 450; }
    void setInputValues(const float v[4]) override {
        std::memcpy(in, v, sizeof in);
        ++calls;
    }
    void setOutputValues(const float v[4]) override { std::memcpy(out, v, sizeof out); }
};

struct PluginWithEditor : MultibandComp {
    FakeEditor* fake = nullptr;
    plugkit::client::IGraphics* createGraphics() override {
        fake = plugkit::core::mallocNew<FakeEditor>();
        setBandLevelSink(fake);
        return fake;
    }
};

TEST(MultibandComp, MeterLevelsReachTheEditorWhenItIsFree) {
    auto* plug = plugkit::client::Client::create<PluginWithEditor>();
    plug->resetFromHost(48000.0, 256, 2, 2);
    const auto x = sine(2000.0, 48000.0, 256);
    float* ins[2] = {const_cast<float*>(x.data()), const_cast<float*>(x.data())};
    float o0[256], o1[256];
    float* outs[2] = {o0, o1};
    plug->processAudioFromHost(ins, outs, 256, TimeInfo{});  // no editor yet: nothing to send to
    ASSERT_NE(plug->getOrCreateEditor(), nullptr);
    FakeEditor* ed = plug->fake;
    plug->processAudio(ins, outs, 0, TimeInfo{});  // 0 frames still send the levels
    EXPECT_EQ(ed->calls, 1);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(ed->in[k], plug->inputMeterLevel(k));
        EXPECT_EQ(ed->out[k], plug->outputMeterLevel(k));
    }
    EXPECT_GT(ed->in[2], 0.1f);
    // Held elsewhere: the block sends nothing and does not wait.
    ASSERT_NE(plug->editorTryAcquire(), nullptr);
    plug->processAudio(ins, outs, 0, TimeInfo{});
    EXPECT_EQ(ed->calls, 1);
    plug->editorRelease();
    plug->processAudio(ins, outs, 0, TimeInfo{});
    EXPECT_EQ(ed->calls, 2);
    plugkit::core::destroyFree(plug);
}

}  // namespace
