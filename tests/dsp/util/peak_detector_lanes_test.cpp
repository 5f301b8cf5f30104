#include <gtest/gtest.h>

#include <random>

#include "dsp/util/PeakDetectorLanes.h"

namespace {

TEST(PeakDetectorLanes, MatchDetectBitForBit) {
#if DSP_SSE2
    dsp::PeakDetector<float> lanes[4], single[4];
    for (int k = 0; k < 4; ++k)
        for (auto* d : {&lanes[k], &single[k]}) {
            d->setSampleRate(48000.0f);
            d->setEnvelope(0.5f * k, 20.0f + 100.0f * k);
        }
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-2.0f, 2.0f);
    dsp::PeakDetectorLanes run(lanes);
    for (int i = 0; i < 20000; ++i) {
        alignas(16) float x[4] = {u(rng), u(rng) * 0.1f, u(rng), 0.0f};
        run.detect(_mm_load_ps(x));
        for (int k = 0; k < 4; ++k) single[k].detect(x[k]);
    }
    run.store(lanes);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(lanes[k].getEnvelope(), single[k].getEnvelope()) << k;
#else
    GTEST_SKIP() << "scalar build: no lanes";
#endif
}

}  // namespace
