// One plug-in instance driven through the host library: parameters, state chunks, automation and
// rendering.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "host/PluginInstance.h"
#include "host/PluginLibrary.h"

namespace {

class PluginInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        lib_ = host::PluginLibrary::open(TOLVA_TEST_PLUGIN, error);
        ASSERT_TRUE(lib_) << error;
    }
    void TearDown() override {
        if (!lib_) return;
        EXPECT_EQ(lib_->close(), 0);
        EXPECT_EQ(lib_->leakedHostReferences(), 0);
    }
    std::unique_ptr<host::PluginInstance> make(int in, int out, double rate = 48000) {
        std::string error;
        auto p = lib_->createInstance(in, out, rate, error);
        EXPECT_TRUE(p) << error;
        return p;
    }
    std::unique_ptr<host::PluginLibrary> lib_;
};

// Deterministic test signal: a low tone, a high tone and some noise on two channels.
std::vector<std::vector<float>> signal(int frames) {
    std::vector<std::vector<float>> s(2, std::vector<float>(static_cast<std::size_t>(frames)));
    uint32_t r = 12345;
    for (int i = 0; i < frames; ++i) {
        r = r * 1664525u + 1013904223u;
        const float noise = static_cast<float>(r >> 8) / 16777216.0f - 0.5f;
        s[0][static_cast<std::size_t>(i)] = 0.6f * std::sin(0.01f * i) + 0.2f * noise;
        s[1][static_cast<std::size_t>(i)] = 0.5f * std::sin(0.3f * i) - 0.1f * noise;
    }
    return s;
}

// Renders frames of sig (from offset) through p in one call; returns the outputs.
std::vector<std::vector<float>> run(host::PluginInstance& p, const std::vector<std::vector<float>>& sig,
                                    int offset, int frames) {
    std::vector<std::vector<float>> out(static_cast<std::size_t>(p.outputs()),
                                        std::vector<float>(static_cast<std::size_t>(frames), 0.0f));
    const float* in[2] = {sig[0].data() + offset, sig[1].data() + offset};
    float* o[2] = {out[0].data(), out.size() > 1 ? out[1].data() : nullptr};
    p.render(in, o, frames);
    return out;
}

TEST_F(PluginInstanceTest, ParametersEndToEnd) {
    auto p = make(2, 2);
    ASSERT_TRUE(p);
    const auto& params = p->parameters();
    ASSERT_EQ(params.size(), 30u);
    EXPECT_EQ(p->masterBypassId(), "MasterBypassID");
    EXPECT_EQ(params[0].name, "Master Bypass");
    EXPECT_EQ(params[1].id, "0");
    EXPECT_EQ(params[29].id, "28");
    EXPECT_EQ(params[29].name, "Output Gain");
    EXPECT_EQ(params[1].steps, 2048);
    EXPECT_EQ(params[21].steps, 2);  // "Solo Low"
    EXPECT_NEAR(params[1].defaultNormalized, 33.0 / 36.0, 1e-9);
    // The instance registered its 29 parameters (not Master Bypass) with the automation delegate.
    EXPECT_EQ(p->host().registeredParameters().size(), 29u);
    EXPECT_EQ(p->host().registeredParameters().count("MasterBypassID"), 0u);

    EXPECT_EQ(p->findParameter("Threshold LM"), &params[6]);
    EXPECT_EQ(p->findParameter("5"), &params[6]);
    EXPECT_EQ(p->findParameter("threshold lm"), nullptr);
    EXPECT_EQ(p->findParameter("29"), nullptr);

    // Plain text in, normalized value stored, display text out.
    const int changes = p->numberOfChanges();
    EXPECT_EQ(p->setFromString("0", "-12"), 0);
    double n = 0;
    EXPECT_EQ(p->getNormalized("0", n), 0);
    EXPECT_NEAR(n, 24.0 / 36.0, 1e-6);
    std::string text;
    EXPECT_EQ(p->valueString("0", text), 0);
    EXPECT_EQ(text, "-12.00");
    EXPECT_GT(p->numberOfChanges(), changes);
    EXPECT_EQ(p->setFromString("20", "yes"), 0);
    EXPECT_EQ(p->getNormalized("20", n), 0);
    EXPECT_EQ(n, 1.0);

    // Refused texts change nothing.
    for (const char* bad : {"abc", "", "nan", "inf", "Yes"}) {
        EXPECT_NE(p->setFromString("20", bad), 0) << bad;
        EXPECT_NE(p->setFromString("0", bad), 0) << bad;
    }
    EXPECT_EQ(p->getNormalized("0", n), 0);
    EXPECT_NEAR(n, 24.0 / 36.0, 1e-6);
    EXPECT_EQ(p->setFromString("99", "1"), -20001);

    // Master Bypass: only "on" and "off".
    EXPECT_EQ(p->setFromString("MasterBypassID", "on"), 0);
    EXPECT_EQ(p->getNormalized("MasterBypassID", n), 0);
    EXPECT_EQ(n, 1.0);
    EXPECT_EQ(p->setFromString("MasterBypassID", "On"), -20002);
    EXPECT_EQ(p->setFromString("MasterBypassID", "yes"), -20002);
    EXPECT_EQ(p->getNormalized("MasterBypassID", n), 0);
    EXPECT_EQ(n, 1.0);  // still on
    EXPECT_EQ(p->setFromString("MasterBypassID", "off"), 0);
    EXPECT_EQ(p->setNormalized("0", NAN), -20002);
}

TEST_F(PluginInstanceTest, AutomationRequestsAreAnsweredBySettingTheValueBack) {
    auto p = make(2, 2);
    ASSERT_TRUE(p);
    host::InstanceHost& h = p->host();
    EXPECT_EQ(h.PostTouchRequest("3"), 0);
    EXPECT_EQ(h.PostSetValueRequest("3", 0.75), 0);
    EXPECT_EQ(h.PostReleaseRequest("3"), 0);
    double n = 0;
    EXPECT_EQ(p->getNormalized("3", n), 0);
    EXPECT_NEAR(n, 0.75, 1e-9);
    EXPECT_NE(h.PostSetValueRequest("bogus", 0.5), 0);
    const auto stats = h.automationStats();
    EXPECT_EQ(stats.touches, 1);
    EXPECT_EQ(stats.releases, 1);
    EXPECT_EQ(stats.setValues, 2);
    EXPECT_EQ(stats.setValueFailures, 1);
    EXPECT_EQ(stats.setWithoutTouch, 1);
}

TEST_F(PluginInstanceTest, ChunksRoundTripAndRefusedChunksChangeNothing) {
    auto p = make(2, 2);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->setFromString(p->findParameter("Ratio H")->id, "8"), 0);
    ASSERT_EQ(p->setFromString(p->findParameter("F2")->id, "1500"), 0);
    std::vector<uint8_t> saved;
    ASSERT_EQ(p->getChunk(saved), 0);
    ASSERT_EQ(saved.size(), 140u);
    bool equal = false;
    EXPECT_EQ(p->compareChunk(saved, equal), 0);
    EXPECT_TRUE(equal);

    auto q = make(1, 1);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->compareChunk(saved, equal), 0);
    EXPECT_FALSE(equal);
    EXPECT_EQ(q->setChunk(saved), 0);
    std::vector<uint8_t> loaded;
    ASSERT_EQ(q->getChunk(loaded), 0);
    EXPECT_EQ(loaded, saved);

    // Faulty chunks: bad magic, newer format, bad preset index, cut inside the values, empty.
    std::vector<std::vector<uint8_t>> bad;
    auto other = saved;
    for (std::size_t i = 24; i < other.size(); i += 4) std::memset(&other[i], 0, 4);  // all values 0
    auto badMagic = other;
    badMagic[0] ^= 0xFF;
    auto newer = other;
    newer[4] = 1;
    auto badIndex = other;
    badIndex[16] = 4;
    auto cut = std::vector<uint8_t>(other.begin(), other.begin() + 24 + 4 * 10);
    bad = {badMagic, newer, badIndex, cut, {}, std::vector<uint8_t>(other.begin(), other.begin() + 15)};
    for (std::size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(q->setChunk(bad[i]), 0);
        std::vector<uint8_t> after;
        ASSERT_EQ(q->getChunk(after), 0);
        EXPECT_EQ(after, saved);  // nothing changed, not even the values before the cut
    }
}

TEST_F(PluginInstanceTest, ResetsOnFirstRenderAndOnConfigurationChangeOnly) {
    const int n = 4096;
    const auto sig = signal(3 * n);
    auto p = make(2, 2);
    ASSERT_TRUE(p);
    // Initialize reported latency once; the first render resets and reports it again.
    const int reportsAtStart = p->host().latencyReports();
    const auto first = run(*p, sig, 0, n);
    EXPECT_EQ(p->host().latencyReports(), reportsAtStart + 1);
    EXPECT_EQ(p->host().latency(), 0);

    // Same configuration: no reset, so the continuation differs from a fresh start on it.
    const auto cont = run(*p, sig, n, n);
    EXPECT_EQ(p->host().latencyReports(), reportsAtStart + 1);
    auto fresh = make(2, 2);
    const auto freshOut = run(*fresh, sig, n, n);
    EXPECT_NE(cont[0], freshOut[0]);

    // A new channel layout resets (the output matches a fresh instance of that layout) without a
    // latency report.
    std::string error;
    ASSERT_TRUE(p->configure(2, 1, 48000, error)) << error;
    const auto afterLayout = run(*p, sig, 2 * n, n);
    auto fresh21 = make(2, 1);
    EXPECT_EQ(afterLayout[0], run(*fresh21, sig, 2 * n, n)[0]);
    EXPECT_EQ(p->host().latencyReports(), reportsAtStart + 1);

    // A new sample rate resets and reports latency.
    ASSERT_TRUE(p->configure(2, 1, 44100, error));
    const auto afterRate = run(*p, sig, 0, n);
    EXPECT_EQ(p->host().latencyReports(), reportsAtStart + 2);
    auto fresh44 = make(2, 1, 44100);
    EXPECT_EQ(afterRate[0], run(*fresh44, sig, 0, n)[0]);

    // Illegal layouts and rates are refused and keep the configuration.
    EXPECT_FALSE(p->configure(3, 2, 48000, error));
    EXPECT_FALSE(p->configure(2, 2, 0.0, error));
    EXPECT_FALSE(p->configure(2, 2, NAN, error));
    EXPECT_EQ(p->outputs(), 1);
    EXPECT_EQ(p->sampleRate(), 44100);
}

TEST_F(PluginInstanceTest, BypassOneInTwoOutCopiesTheInputAndSilencesTheRest) {
    auto p = make(1, 2);
    ASSERT_TRUE(p);
    p->setBypass(true);
    const auto sig = signal(3000);
    const auto out = run(*p, sig, 0, 3000);
    EXPECT_EQ(out[0], sig[0]);
    EXPECT_EQ(out[1], std::vector<float>(3000, 0.0f));
    p->setBypass(false);
    const auto processed = run(*p, sig, 0, 3000);
    EXPECT_NE(processed[0], sig[0]);
    EXPECT_EQ(processed[1], std::vector<float>(3000, 0.0f));  // 1-2: output 1 is silent
}

TEST_F(PluginInstanceTest, ANullPrivateDataFieldOrAFailingControllerIsSkipped) {
    auto p = make(2, 2);
    ASSERT_TRUE(p);
    const auto sig = signal(512);
    std::vector<float> o0(512, 7.0f), o1(512, 7.0f);
    const float* in[2] = {sig[0].data(), sig[1].data()};
    float* out[2] = {o0.data(), o1.data()};
    p->renderWithoutPrivateData(in, out, 512);
    EXPECT_EQ(o0, std::vector<float>(512, 7.0f));
    EXPECT_EQ(o1, std::vector<float>(512, 7.0f));
    p->host().setControllerFailing(true);
    p->render(in, out, 512);
    EXPECT_EQ(o0, std::vector<float>(512, 7.0f));
    p->host().setControllerFailing(false);
    p->render(in, out, 512);
    EXPECT_NE(o0, std::vector<float>(512, 7.0f));
    // Skipped calls did not disturb the instance: same as a fresh one.
    auto fresh = make(2, 2);
    EXPECT_EQ(run(*fresh, sig, 0, 512)[0], o0);
}

TEST_F(PluginInstanceTest, OutputDoesNotDependOnTheHostBlockSize) {
    const int n = 5000;
    const auto sig = signal(n);
    auto ref = make(2, 2);
    ASSERT_TRUE(ref);
    ASSERT_EQ(ref->setFromString("15", "-30"), 0);
    const auto whole = run(*ref, sig, 0, n);  // split by the host into 1024-frame blocks
    for (int block : {1, 100, 256, 1024}) {
        auto p = make(2, 2);
        ASSERT_EQ(p->setFromString("15", "-30"), 0);
        std::vector<std::vector<float>> out(2, std::vector<float>(n));
        for (int at = 0; at < n; at += block) {
            const int len = std::min(block, n - at);
            const float* in[2] = {sig[0].data() + at, sig[1].data() + at};
            float* o[2] = {out[0].data() + at, out[1].data() + at};
            p->render(in, o, len);
        }
        EXPECT_EQ(out, whole) << "block " << block;
    }
}

}  // namespace
