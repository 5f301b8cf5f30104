#pragma once

#include "dsp/filter/AllpassLanes.h"
#include "dsp/filter/BiQuadLanes.h"
#include "dsp/filter/FourBandCrossover.h"

#if DSP_SSE2
namespace dsp {

// The crossovers of one or two channels run in SSE lanes for the length of a block, with the
// state in registers; each lane does the float operations of FourBandCrossover::process in the
// same order, so bands and final states are those of the objects bit for bit:
//   split 1: lanes {LP, HP} of channel 1, then of channel 2, both fed x
//   split 2: {LP, HP} of each channel fed the first high-pass h; all-pass at F2 fed the first
//            low-pass (lanes 0, 1 = channels 1, 2)
//   split 3: {LP, HP} of each channel fed the second high-pass h2; all-passes at F3 fed the low
//            band and the low-mid band: {low, low-mid} of channel 1, then of channel 2
// Without a second channel its lanes compute on silence and are not stored back.
struct FourBandCrossoverLanes {
    FourBandCrossoverLanes() = default;
    // [audio thread] Loads the crossovers; second may be null (one channel).
    FourBandCrossoverLanes(FourBandCrossover<float>& first, FourBandCrossover<float>* second)
        : split1{&first.lowLP, &first.lowHP, second ? &second->lowLP : nullptr,
                 second ? &second->lowHP : nullptr},
          split2{&first.midLP, &first.midHP, second ? &second->midLP : nullptr,
                 second ? &second->midHP : nullptr},
          split3{&first.highLP, &first.highHP, second ? &second->highLP : nullptr,
                 second ? &second->highHP : nullptr},
          allpass2{&first.lowAllpassMid, second ? &second->lowAllpassMid : nullptr, nullptr, nullptr},
          allpass3{&first.lowAllpassHigh, &first.lowMidAllpassHigh,
                   second ? &second->lowAllpassHigh : nullptr, second ? &second->lowMidAllpassHigh : nullptr},
          s1(split1),
          s2(split2),
          s3(split3),
          ap2(allpass2),
          ap3(allpass3) {}

    // [audio thread] One sample of each channel (x1 is ignored without a second channel): the four
    // bands of channel 1 in bands1's lanes 0 to 3, those of channel 2 in bands2.
    [[gnu::always_inline]] void step(float x0, float x1, __m128& bands1, __m128& bands2) {
        const __m128 o1 = s1.step(_mm_setr_ps(x0, x0, x1, x1));                       // {l, h, l, h}
        const __m128 o2 = s2.step(_mm_shuffle_ps(o1, o1, _MM_SHUFFLE(3, 3, 1, 1)));   // {ml, h2, ml, h2}
        const __m128 a2 = ap2.step(_mm_shuffle_ps(o1, o1, _MM_SHUFFLE(2, 0, 2, 0)));  // {l', l', ..}
        const __m128 o3 = s3.step(_mm_shuffle_ps(o2, o2, _MM_SHUFFLE(3, 3, 1, 1)));   // {band 3, -band 4, ..}
        const __m128 a3 = ap3.step(
            _mm_unpacklo_ps(a2, _mm_shuffle_ps(o2, o2, _MM_SHUFFLE(2, 0, 2, 0))));  // {band 1, -band 2}
        const __m128 negateOdd = _mm_setr_ps(0.0f, -0.0f, 0.0f, -0.0f);
        bands1 = _mm_xor_ps(_mm_movelh_ps(a3, o3), negateOdd);
        bands2 = _mm_xor_ps(_mm_movehl_ps(o3, a3), negateOdd);
    }

    // [audio thread] Lane by lane 0 while every section's state is finite, NaN otherwise.
    __m128 finiteProbe() const {
        return _mm_add_ps(_mm_add_ps(_mm_add_ps(s1.finiteProbe(), s2.finiteProbe()), s3.finiteProbe()),
                          _mm_add_ps(ap2.finiteProbe(), ap3.finiteProbe()));
    }

    // [audio thread] Copies the three splits' coefficients from the crossovers, keeping the lanes'
    // state: for split frequencies that moved while the lanes ran, when no all-pass moved.
    void loadSplitCoefficients() {
        s1.loadCoefficients(split1);
        s2.loadCoefficients(split2);
        s3.loadCoefficients(split3);
    }

    // [audio thread] Puts the state back into the crossovers.
    void store() const {
        s1.store(split1);
        s2.store(split2);
        s3.store(split3);
        ap2.store(allpass2);
        ap3.store(allpass3);
    }

private:
    // Declared before the lanes, which are loaded from them.
    BiQuad<float>* split1[4] = {};
    BiQuad<float>* split2[4] = {};
    BiQuad<float>* split3[4] = {};
    Allpass<float>* allpass2[4] = {};
    Allpass<float>* allpass3[4] = {};

public:
    // The sections' lanes, open to kernels that schedule the steps themselves (each step as in
    // step(), fed the same lanes).
    BiQuadLanes s1, s2, s3;
    AllpassLanes ap2, ap3;
};

}  // namespace dsp
#endif
