#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "dsp/simd/Kernels.h"

namespace {

using dsp::kernel::decibelsOf;
using dsp::kernel::powerOfTenOf;
#if DSP_SSE2
using Four = dsp::simd::Sse2Lanes;
#else
using Four = dsp::simd::ScalarLanes;
#endif

// The kernels on four values at a time and on one.
void decibels4(const double x[4], float out[4]) { Four::store(out, decibelsOf<Four>(Four::load(x))); }
void powerOfTen4(const double e[4], float out[4]) { Four::store(out, powerOfTenOf<Four>(Four::load(e))); }
float decibels1(double x) { return decibelsOf<dsp::simd::OneLane>(x); }
float powerOfTen1(double e) { return powerOfTenOf<dsp::simd::OneLane>(e); }

// Distance in units in the last place between two finite floats of the same sign.
int64_t ulpDistance(float a, float b) {
    int32_t ia, ib;
    std::memcpy(&ia, &a, 4);
    std::memcpy(&ib, &b, 4);
    if (ia < 0) ia = std::numeric_limits<int32_t>::min() - ia;
    if (ib < 0) ib = std::numeric_limits<int32_t>::min() - ib;
    return std::llabs(static_cast<int64_t>(ia) - ib);
}

TEST(Decibels, LogarithmWithinOneUlpOfTheRoundedLibraryResult) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> exponent(-120.0, 20.0);  // amplitudes from 1e-6 to 10
    long exact = 0, total = 0;
    for (int n = 0; n < 250000; ++n) {
        double x[4];
        for (double& v : x)
            v = static_cast<double>(static_cast<float>(std::pow(10.0, exponent(rng) / 20.0))) * 0.5;
        float got[4];
        decibels4(x, got);
        for (int i = 0; i < 4; ++i) {
            const float want = static_cast<float>(20.0 * std::log10(x[i]));
            ASSERT_LE(ulpDistance(got[i], want), 1) << x[i];
            exact += got[i] == want;
            ++total;
        }
    }
    EXPECT_GE(exact, total - total / 100000);
}

// Every lane type evaluates alike: one value at a time, plain lanes and SSE2 registers give the
// same floats, bit for bit, also for values outside the fits' ranges.
TEST(Decibels, EveryLaneTypeGivesTheSameFloats) {
    using Plain = dsp::simd::ScalarLanes;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-400.0, 400.0);
    const double specials[] = {0.0, -0.0, -1.0, HUGE_VAL, -HUGE_VAL, std::nan(""), 5e-324, 1e300};
    for (int n = 0; n < 20000; ++n) {
        double x[4];
        for (int i = 0; i < 4; ++i) x[i] = n < 2 ? specials[4 * n + i] : std::pow(10.0, u(rng) / 20.0);
        float plain[4], plainPower[4];
        const double e[4] = {x[0] - 1, x[1], -x[2], x[3] / 50};
        Plain::store(plain, decibelsOf<Plain>(Plain::load(x)));
        Plain::store(plainPower, powerOfTenOf<Plain>(Plain::load(e)));
        float four[4], fourPower[4];
        decibels4(x, four);
        powerOfTen4(e, fourPower);
        for (int i = 0; i < 4; ++i) {
            const float one = decibels1(x[i]), onePower = powerOfTen1(e[i]);
            for (const float v : {plain[i], four[i]})
                ASSERT_TRUE(std::memcmp(&v, &one, 4) == 0 || (std::isnan(v) && std::isnan(one))) << x[i];
            for (const float v : {plainPower[i], fourPower[i]})
                ASSERT_TRUE(std::memcmp(&v, &onePower, 4) == 0 || (std::isnan(v) && std::isnan(onePower)))
                    << e[i];
        }
    }
}

TEST(Decibels, LogarithmSpecialValues) {
    const double x[4] = {0.0, HUGE_VAL, std::nan(""), 1.0};
    float out[4];
    decibels4(x, out);
    EXPECT_EQ(out[0], -HUGE_VALF);
    EXPECT_EQ(out[1], HUGE_VALF);
    EXPECT_TRUE(std::isnan(out[2]));
    EXPECT_EQ(out[3], 0.0f);
}

TEST(Decibels, PowerOfTenWithinOneUlpOfTheRoundedLibraryResult) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> db(-120.0f, 12.0f);
    long exact = 0, total = 0;
    for (int n = 0; n < 250000; ++n) {
        double e[4];
        for (double& v : e) v = static_cast<double>(db(rng)) / 20.0;
        float got[4];
        powerOfTen4(e, got);
        for (int i = 0; i < 4; ++i) {
            const float want = static_cast<float>(std::pow(10.0, e[i]));
            ASSERT_LE(ulpDistance(got[i], want), 1) << e[i];
            exact += got[i] == want;
            ++total;
        }
    }
    EXPECT_GE(exact, total - total / 100000);
}

TEST(Decibels, PowerOfTenEdges) {
    const double e[4] = {0.0, -HUGE_VAL, 400.0, std::nan("")};
    float out[4];
    powerOfTen4(e, out);
    EXPECT_EQ(out[0], 1.0f);  // no reduction is exactly unity gain
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], HUGE_VALF);
    EXPECT_TRUE(std::isnan(out[3]));
}

}  // namespace
