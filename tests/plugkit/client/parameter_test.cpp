#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tests/plugkit/client/TestPlugin.h"

namespace plugkit::client {
namespace {

using testing::RecordingHost;
using testing::TestPlugin;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string fromNormalized(Parameter& p, double n, int size = 64) {
    char buf[64];
    p.stringFromNormalizedValue(n, buf, size);
    return buf;
}

std::string current(Parameter& p, int size = 64) {
    char buf[64];
    p.toStringN(buf, size);
    return buf;
}

TEST(IntegerParameter, RoundsHalfAwayFromZeroAndClamps) {
    IntegerParameter p(0, "Steps", "", 0, 10, 3);
    p.setNormalized(0.55);
    EXPECT_EQ(p.value(), 6);
    p.setNormalized(0.549);
    EXPECT_EQ(p.value(), 5);
    p.setNormalized(1.2);
    EXPECT_EQ(p.value(), 10);
    p.setNormalized(-3.0);
    EXPECT_EQ(p.value(), 0);
    p.setNormalized(kInf);
    EXPECT_EQ(p.value(), 10);
    p.setNormalized(0.3);
    p.setNormalized(kNaN);  // ignored
    EXPECT_EQ(p.value(), 3);
    EXPECT_EQ(p.valueAtomic(), 3);
    EXPECT_DOUBLE_EQ(p.getNormalized(), 0.3);
    EXPECT_DOUBLE_EQ(p.getNormalizedDefault(), 0.3);

    IntegerParameter s(0, "Signed", "", -10, 10, 0);
    s.setNormalized(0.225);
    EXPECT_EQ(s.value(), -6);  // -5.5 rounds to -6
    s.setNormalized(0.275);
    EXPECT_EQ(s.value(), -5);  // -4.5 rounds to -5
    EXPECT_EQ(fromNormalized(s, 0.225), "-6");
    EXPECT_EQ(fromNormalized(s, kNaN), "-10");
    EXPECT_EQ(fromNormalized(s, 1e300), "10");
    EXPECT_EQ(fromNormalized(s, -kInf), "-10");
}

TEST(IntegerParameter, ParsesTextsLikeScanf) {
    IntegerParameter p(0, "Steps", "", -10, 10, 0);
    double n = 0;
    EXPECT_TRUE(p.normalizedValueFromString("5", n));
    EXPECT_DOUBLE_EQ(n, 0.75);
    EXPECT_TRUE(p.normalizedValueFromString("  -10 steps", n));
    EXPECT_DOUBLE_EQ(n, 0.0);
    EXPECT_TRUE(p.normalizedValueFromString("99999999999999999999", n));  // saturates, then clamps
    EXPECT_DOUBLE_EQ(n, 1.0);
    EXPECT_FALSE(p.normalizedValueFromString("abc", n));
    EXPECT_TRUE(std::isnan(n));
    EXPECT_FALSE(p.normalizedValueFromString("", n));
    EXPECT_FALSE(p.normalizedValueFromString(std::string(64, '1').c_str(), n));
    EXPECT_TRUE(p.normalizedValueFromString(std::string(63, '0').c_str(), n));
    p.setNormalized(0.75);
    EXPECT_EQ(current(p), "5");
    EXPECT_EQ(current(p, 1), "");
}

TEST(EnumParameter, TextsMapToIndices) {
    const char* const texts[] = {"A", "B", "C"};
    EnumParameter p(0, "Mode", texts, 3, 0);
    double n = 0;
    EXPECT_TRUE(p.normalizedValueFromString("B", n));
    EXPECT_DOUBLE_EQ(n, 0.5);
    EXPECT_FALSE(p.normalizedValueFromString("b", n));
    EXPECT_FALSE(p.normalizedValueFromString("BB", n));
    EXPECT_EQ(fromNormalized(p, 0.74), "B");
    EXPECT_EQ(fromNormalized(p, 0.75), "C");
    EXPECT_EQ(fromNormalized(p, kNaN), "A");
    EXPECT_EQ(fromNormalized(p, -1e308), "A");
    p.setNormalized(1.0);
    EXPECT_EQ(current(p), "C");
    EXPECT_EQ(p.value(), 2);

    const char* const longTexts[] = {"Alpha", "Beta"};
    EnumParameter q(0, "Long", longTexts, 2, 0);
    EXPECT_EQ(current(q, 3), "Al");  // cut to size - 1
}

TEST(BoolParameter, ThresholdAndExactTexts) {
    BoolParameter p(0, "Bypass", false);
    p.setNormalized(0.5);
    EXPECT_TRUE(p.value());
    p.setNormalized(0.49);
    EXPECT_FALSE(p.value());
    p.setNormalized(1.0);
    p.setNormalized(kNaN);
    EXPECT_TRUE(p.valueAtomic());
    EXPECT_EQ(current(p), "yes");
    EXPECT_EQ(fromNormalized(p, 0.2), "no");
    EXPECT_EQ(fromNormalized(p, kNaN), "no");
    double n = 0.5;
    EXPECT_TRUE(p.normalizedValueFromString("no", n));
    EXPECT_EQ(n, 0.0);
    EXPECT_TRUE(p.normalizedValueFromString("yes", n));
    EXPECT_EQ(n, 1.0);
    EXPECT_FALSE(p.normalizedValueFromString("Yes", n));
    EXPECT_TRUE(std::isnan(n));
    EXPECT_FALSE(p.normalizedValueFromString("yes ", n));
    EXPECT_TRUE(p.isDiscrete());
    EXPECT_EQ(p.getNormalizedDefault(), 0.0);
}

TEST(FloatParameters, LinearMappingAndTexts) {
    LinearFloatParameter p(0, "Threshold", "dB", -36.0, 0.0, -3.0);
    EXPECT_NEAR(p.getNormalized(), 0.9166666666, 1e-9);
    p.setNormalized(1.5);
    EXPECT_EQ(p.value(), 0.0);
    p.setNormalized(-0.5);
    EXPECT_EQ(p.value(), -36.0);
    p.setNormalized(kNaN);
    EXPECT_EQ(p.value(), -36.0);
    EXPECT_EQ(current(p), "-36.00");
    EXPECT_FALSE(p.isDiscrete());

    LinearFloatParameter mix(0, "Mix", "%", 0.0, 100.0, 50.0);
    double n = 0;
    EXPECT_TRUE(mix.normalizedValueFromString("12.5", n));
    EXPECT_DOUBLE_EQ(n, 0.125);
    EXPECT_TRUE(mix.normalizedValueFromString("1e9", n));
    EXPECT_EQ(n, 1.0);
    EXPECT_FALSE(mix.normalizedValueFromString(std::string(64, '1').c_str(), n));
    EXPECT_FALSE(mix.normalizedValueFromString("nan", n));
    EXPECT_FALSE(mix.normalizedValueFromString("x", n));
    EXPECT_TRUE(std::isnan(n));
    mix.setDisplayFormat("%.1f");
    EXPECT_EQ(fromNormalized(mix, 0.125), "12.5");
    mix.setDisplayFormat("%s");  // not a floating-point format: refused
    EXPECT_STREQ(mix.displayFormat(), "%.1f");
    EXPECT_EQ(fromNormalized(mix, kNaN), "0.0");  // texts show values the parameter can take
    EXPECT_EQ(fromNormalized(mix, 1e308), "100.0");
}

TEST(FloatParameters, LogMappingClampsHostValues) {
    LogFloatParameter p(0, "Freq", "Hz", 20.0, 2000.0, 100.0);
    EXPECT_NEAR(p.fromNormalized(0.5), 200.0, 1e-9);
    EXPECT_EQ(p.toNormalized(2.0), 0.0);
    EXPECT_EQ(p.toNormalized(1e6), 1.0);
    p.setNormalized(0.5);
    EXPECT_NEAR(p.value(), 200.0, 1e-9);
    p.setNormalized(2.0);
    EXPECT_EQ(p.value(), 2000.0);
    p.setNormalized(-1.0);
    EXPECT_EQ(p.value(), 20.0);
    p.setNormalized(kNaN);
    EXPECT_EQ(p.value(), 20.0);
    EXPECT_EQ(fromNormalized(p, 1e300), "2000.00");
    double n;
    EXPECT_TRUE(p.normalizedValueFromString("200", n));
    EXPECT_NEAR(n, 0.5, 1e-12);
}

TEST(FloatParameters, GainMappingFromMinusInfinityToMax) {
    GainParameter p(0, "Out", 12.0, 0.0, 2.0);
    EXPECT_NEAR(p.fromNormalized(1.0), 12.0, 1e-9);
    EXPECT_EQ(p.fromNormalized(0.0), -kInf);
    EXPECT_EQ(p.toNormalized(-kInf), 0.0);
    EXPECT_NEAR(p.toNormalized(p.fromNormalized(0.3)), 0.3, 1e-12);
    p.setNormalized(3.0);
    EXPECT_NEAR(p.value(), 12.0, 1e-9);
    p.setNormalized(-3.0);
    EXPECT_EQ(p.value(), -kInf);
    p.setNormalized(kNaN);
    EXPECT_EQ(p.value(), -kInf);
    EXPECT_EQ(current(p), "-inf");
    EXPECT_STREQ(p.label(), "dB");
}

TEST(FloatParameters, PowMappingClamps) {
    PowFloatParameter p(0, "Attack", "ms", 1.0, 101.0, 26.0, 2.0);
    EXPECT_NEAR(p.getNormalizedDefault(), 0.5, 1e-12);
    p.setNormalized(0.5);
    EXPECT_NEAR(p.value(), 26.0, 1e-12);
    p.setNormalized(7.0);
    EXPECT_EQ(p.value(), 101.0);
    p.setNormalized(-7.0);
    EXPECT_EQ(p.value(), 1.0);
    p.setNormalized(kNaN);
    EXPECT_EQ(p.value(), 1.0);
}

struct CountingListener : IParameterListener {
    int changed = 0, begun = 0, ended = 0;
    std::vector<char>* log = nullptr;
    char tag = '?';
    void onParameterChanged(Parameter*) override {
        ++changed;
        if (log) log->push_back(tag);
    }
    void onBeginParameterEdit(Parameter*) override { ++begun; }
    void onEndParameterEdit(Parameter*) override { ++ended; }
};

TEST(ParameterListeners, RemovalMovesTheLastIntoTheGap) {
    BoolParameter p(0, "B", false);
    std::vector<char> log;
    CountingListener a, b, c;
    a.log = b.log = c.log = &log;
    a.tag = 'a', b.tag = 'b', c.tag = 'c';
    p.addListener(&a);
    p.addListener(&b);
    p.addListener(&c);
    p.setFromHost(1.0);
    EXPECT_EQ(log, (std::vector<char>{'a', 'b', 'c'}));
    p.removeListener(&a);
    ASSERT_EQ(p.listenerCount(), 2);
    EXPECT_EQ(p.listener(0), &c);
    EXPECT_EQ(p.listener(1), &b);
    p.removeListener(&a);  // absent: nothing
    EXPECT_EQ(p.listenerCount(), 2);
    log.clear();
    p.notifyListeners();
    EXPECT_EQ(log, (std::vector<char>{'c', 'b'}));
}

TEST(ParameterAudioPath, PlainValuesAreClampedRoundedAndNotAnnounced) {
    LinearFloatParameter f(0, "F", "dB", -36.0, 0.0, -3.0);
    IntegerParameter i(1, "I", "", 0, 10, 3);
    BoolParameter b(2, "B", false);
    std::vector<char> log;
    CountingListener listener;
    listener.log = &log;
    f.addListener(&listener);
    f.storePlainFromAudio(-12.5);
    EXPECT_EQ(f.valueAtomic(), -12.5);
    f.storePlainFromAudio(kNaN);
    EXPECT_EQ(f.valueAtomic(), -12.5);
    f.storePlainFromAudio(kInf);
    EXPECT_EQ(f.valueAtomic(), 0.0);
    f.storePlainFromAudio(-kInf);
    EXPECT_EQ(f.valueAtomic(), -36.0);
    EXPECT_TRUE(log.empty());
    i.storePlainFromAudio(4.5);
    EXPECT_EQ(i.valueAtomic(), 5);
    i.storePlainFromAudio(1e12);
    EXPECT_EQ(i.valueAtomic(), 10);
    i.storePlainFromAudio(kNaN);
    EXPECT_EQ(i.valueAtomic(), 10);
    b.storePlainFromAudio(0.5);
    EXPECT_TRUE(b.valueAtomic());
    b.storePlainFromAudio(0.49);
    EXPECT_FALSE(b.valueAtomic());
    b.storePlainFromAudio(kNaN);
    EXPECT_FALSE(b.valueAtomic());
}

TEST(ParameterEditorPath, DiscreteClassesReportTheirNormalizedValue) {
    TestPlugin* plugin = Client::create<TestPlugin>();
    RecordingHost host;
    plugin->setHostCommand(&host);
    auto* steps = static_cast<IntegerParameter*>(plugin->param(testing::kSteps));
    steps->setFromGUI(50);
    EXPECT_EQ(steps->value(), 10);
    steps->setFromGUINormalized(0.225);
    EXPECT_EQ(steps->value(), -6);
    steps->setFromGUINormalized(kNaN);
    auto* bypass = static_cast<BoolParameter*>(plugin->param(testing::kBypass));
    bypass->setFromGUI(true);
    ASSERT_EQ(host.events.size(), 3u);
    EXPECT_EQ(host.events[0].index, testing::kSteps);
    EXPECT_EQ(host.events[0].value, 1.0f);
    EXPECT_EQ(host.events[1].value, 0.2f);
    EXPECT_EQ(host.events[2].index, testing::kBypass);
    EXPECT_EQ(host.events[2].value, 1.0f);
    core::destroyFree(plugin);
}

TEST(ParameterHostPath, ClientReadsAndHostWritesEveryClass) {
    TestPlugin* plugin = Client::create<TestPlugin>();
    CountingListener listener;
    plugin->param(testing::kMode)->addListener(&listener);
    plugin->setParameterFromHost(testing::kMode, 1.0f);
    EXPECT_EQ(listener.changed, 1);
    EXPECT_EQ(plugin->readEnumParamValue(testing::kMode), 2);
    plugin->setParameterFromHost(testing::kBypass, 0.7f);
    EXPECT_TRUE(plugin->readBoolParamValue(testing::kBypass));
    plugin->setParameterFromHost(testing::kMix, 0.5f);
    EXPECT_EQ(plugin->readFloatParamValue(testing::kMix), 50.0f);
    // Out-of-range and NaN host values: every parameter stays within [min, max].
    for (double n : {-1e9, 1e9, -kInf, kInf, kNaN}) {
        for (int i = 0; i < plugin->paramCount(); ++i) {
            plugin->param(i)->setFromHost(n);
            const double g = plugin->param(i)->getNormalized();
            EXPECT_TRUE(g >= 0.0 && g <= 1.0) << i << " " << n;
        }
    }
    auto* freq = static_cast<FloatParameter*>(plugin->param(testing::kFreq));
    freq->setFromHost(1e9);
    EXPECT_EQ(freq->value(), 2000.0);
    freq->setFromHost(kNaN);
    EXPECT_EQ(freq->value(), 2000.0);
    EXPECT_FALSE(plugin->param(testing::kGain)->nonAutomatable()->isAutomatable());
    core::destroyFree(plugin);
}

}  // namespace
}  // namespace plugkit::client
