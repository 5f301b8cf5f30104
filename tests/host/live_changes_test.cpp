// Settings changed while audio plays, through the built plug-in and the host's real paths: presets
// loaded as state chunks, parameters set through the automation delegate between blocks, and Master
// Bypass. Nothing may blast, step or click.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "host/PluginInstance.h"
#include "host/PluginLibrary.h"
#include "plugkit/aax/sdk/AAXEntryPoints.h"

namespace {

using Channels = std::vector<std::vector<float>>;

class LiveChangesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        lib_ = host::PluginLibrary::open(TOLVA_TEST_PLUGIN, error);
        ASSERT_TRUE(lib_) << error;
        plug_ = lib_->createInstance(2, 2, 48000.0, error);
        ASSERT_TRUE(plug_) << error;
    }
    void TearDown() override {
        plug_.reset();
        if (lib_) {
            EXPECT_EQ(lib_->close(), 0);
        }
    }

    void loadPreset(const std::string& name) {
        for (const auto& p : lib_->enumeratePresets()) {
            if (p.name != name) continue;
            const std::vector<uint8_t> chunk(p.bytes.begin() + plugkit::aax::sdk::kPresetFileHeaderSize,
                                             p.bytes.end());
            ASSERT_EQ(plug_->setChunk(chunk), 0);
            return;
        }
        FAIL() << "no preset " << name;
    }
    // Sets a parameter (by name) to a plain value as automation does: touch, set, release.
    void automate(const std::string& name, const std::string& plain) {
        const host::ParameterInfo* p = plug_->findParameter(name);
        ASSERT_TRUE(p) << name;
        double normalized = 0;
        ASSERT_EQ(plug_->valueFromString(p->id, plain, normalized), 0) << name << "=" << plain;
        auto& host = plug_->host();
        host.PostTouchRequest(p->id.c_str());
        host.PostSetValueRequest(p->id.c_str(), normalized);
        host.PostReleaseRequest(p->id.c_str());
    }
    // Renders frames of in from offset in one host block and appends the result to out.
    void render(const Channels& in, int offset, int frames, Channels& out) {
        std::vector<float> o0(static_cast<std::size_t>(frames)), o1(static_cast<std::size_t>(frames));
        const float* ins[2] = {in[0].data() + offset, in[1].data() + offset};
        float* outs[2] = {o0.data(), o1.data()};
        plug_->render(ins, outs, frames);
        out[0].insert(out[0].end(), o0.begin(), o0.end());
        out[1].insert(out[1].end(), o1.begin(), o1.end());
    }

    std::unique_ptr<host::PluginLibrary> lib_;
    std::unique_ptr<host::PluginInstance> plug_;
};

Channels tone(double f, double amp, int frames) {
    Channels s(2, std::vector<float>(static_cast<std::size_t>(frames)));
    for (int i = 0; i < frames; ++i)
        s[0][i] = s[1][i] = static_cast<float>(amp * std::sin(2 * std::numbers::pi * f * i / 48000.0));
    return s;
}

float peak(const std::vector<float>& v, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    float p = 0;
    for (std::size_t i = from; i < std::min(to, v.size()); ++i) p = std::max(p, std::abs(v[i]));
    return p;
}

float largestStep(const std::vector<float>& v, std::size_t from, std::size_t to) {
    float s = 0;
    for (std::size_t i = from + 1; i < std::min(to, v.size()); ++i)
        s = std::max(s, std::abs(v[i] - v[i - 1]));
    return s;
}

TEST_F(LiveChangesTest, PresetSwitchesAndCrossoverJumpsStayWithinSixDecibels) {
    // A -6 dBFS bass tone; after every change the output stays below the input peak + 6 dB.
    const Channels in = tone(50.0, 0.5, 48000 * 4);
    const float limit = 0.5f * 2.0f;
    Channels out(2);
    int pos = 0;
    auto play = [&](int frames) {
        for (int end = pos + frames; pos < end; pos += 1024) render(in, pos, 1024, out);
    };
    loadPreset("Low-End Control");
    play(24576);
    for (const char* next :
         {"Default", "Low-End Control", "Soft Master", "Low-End Control", "4-Band Limit"}) {
        const std::size_t from = out[0].size();
        loadPreset(next);
        play(8192);
        EXPECT_LE(peak(out[0], from), limit) << "switching to " << next;
        EXPECT_LE(peak(out[1], from), limit) << "switching to " << next;
    }
    // F1 toggled between the ends of its range at every block.
    const std::size_t from = out[0].size();
    for (int k = 0; k < 40; ++k) {
        automate("F1", k % 2 ? "40" : "20000");
        play(1024);
    }
    EXPECT_LE(peak(out[0], from), limit);
    EXPECT_LE(peak(out[1], from), limit);
}

TEST_F(LiveChangesTest, GainAutomationRampsWithoutSteps) {
    // DC passes the lowest band alone, uncompressed below the threshold: the output is the input
    // times the output and band gains, so their ramps show sample by sample. Both gains move at
    // 24 dB/s in 1024-frame blocks.
    const int frames = 48000 * 2;
    const Channels in(2, std::vector<float>(static_cast<std::size_t>(frames), 0.05f));
    automate("Threshold L", "0");
    automate("Output Gain", "-12");
    Channels out(2);
    int pos = 0;
    for (; pos < 16384; pos += 1024) render(in, pos, 1024, out);
    const std::size_t from = out[0].size();
    for (; pos + 1024 <= frames; pos += 1024) {
        const double t = static_cast<double>(pos - 16384) / 48000.0;
        automate("Output Gain", std::to_string(std::min(12.0, -12.0 + 24.0 * t)));
        automate("Gain L", std::to_string(std::min(12.0, 12.0 * t)));
        render(in, pos, 1024, out);
    }
    double worst = 0;
    for (std::size_t i = from + 1; i < out[0].size(); ++i)
        worst = std::max(worst, std::abs(20.0 * std::log10(static_cast<double>(out[0][i]) / out[0][i - 1])));
    EXPECT_LE(worst, 0.05);
    EXPECT_NEAR(out[0].back(), 0.05f * std::pow(10.0f, 24.0f / 20.0f), 0.01f);  // both ramps arrived
}

TEST_F(LiveChangesTest, BypassCrossfadesBothWaysAndResumesFromFollowedState) {
    const int frames = 512 * 190;
    const Channels in = tone(60.0, 0.5, frames);
    const float own = largestStep(in[0], 0, in[0].size());
    Channels out(2);
    std::vector<int> toggles;
    for (int pos = 0, k = 0; pos < frames; pos += 512, ++k) {
        if (k > 0 && k % 20 == 0) {
            plug_->setBypass(k % 40 == 20);
            toggles.push_back(pos);
        }
        render(in, pos, 512, out);
    }
    for (int t : toggles) {
        const std::size_t from = static_cast<std::size_t>(std::max(0, t - 64)),
                          to = static_cast<std::size_t>(t) + 4096;
        EXPECT_LE(largestStep(out[0], from, to), 2 * own) << "toggle at " << t;
        EXPECT_LE(peak(out[0], from, to), 0.5f * 1.1f) << "toggle at " << t;  // no overshoot
    }
    // Long enough after engaging, the output is the input exactly.
    const std::size_t settled = static_cast<std::size_t>(toggles[0]) + 2048;
    for (std::size_t i = settled; i < static_cast<std::size_t>(toggles[1]); ++i)
        ASSERT_EQ(out[0][i], in[0][i]);
}

}  // namespace
