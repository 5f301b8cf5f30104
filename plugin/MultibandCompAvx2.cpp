// The AVX2 variant of MultibandComp::processFrames. Only the functions marked kAvx2 below are
// compiled for AVX2 (through the target attribute, not a compiler flag for the whole file): the
// inline helpers of the shared headers keep their SSE2 out-of-line copies, so the linker can never
// hand AVX2 code to the SSE2 path, and no fused multiply-add is ever generated (FMA is not enabled),
// which keeps every result equal to the SSE2 and scalar paths bit for bit.

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/filter/FourBandCrossoverLanes.h"
#include "dsp/util/PeakDetectorLanes.h"
#include "plugin/MultibandComp.h"

#if DSP_SSE2

#define TOLVA_AVX2 __attribute__((target("avx2")))
#define TOLVA_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace plugin {

namespace {

// Lane by lane (x > y) ? a : b, NaN giving b.
TOLVA_AVX2_INLINE __m256 selectIfGreater8(__m256 x, __m256 y, __m256 a, __m256 b) {
    return _mm256_blendv_ps(b, a, _mm256_cmp_ps(x, y, _CMP_GT_OQ));
}

TOLVA_AVX2_INLINE __m256 abs8(__m256 x) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), x); }

// EnvelopeDetector's follow() on eight lanes, the operations of lanes4::follow: the step with
// the attack coefficient and the step with the release coefficient are both computed and the
// comparison picks one, so the recurrence through the envelope is a multiply, an add and a blend
// (the comparison runs beside them) rather than comparison, blend, subtraction, multiply and add.
// (1 - c) is the same value whether taken before or after the choice of c.
TOLVA_AVX2_INLINE void follow8(__m256& envelope, __m256 v, __m256 attackCoef, __m256 releaseCoef) {
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 attacked =
        _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(one, attackCoef), v), _mm256_mul_ps(attackCoef, envelope));
    const __m256 released = _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(one, releaseCoef), v),
                                          _mm256_mul_ps(releaseCoef, envelope));
    envelope = selectIfGreater8(v, envelope, attacked, released);
}

// dsp::fastdb::lnPositive on four lanes, the same operations in the same order.
TOLVA_AVX2_INLINE __m256d lnPositive4(__m256d x) {
    const __m256i bits = _mm256_castpd_si256(x);
    const __m256i expMagic = _mm256_set1_epi64x(0x4330000000000000LL);
    const __m256d expOffset = _mm256_set1_pd(4503599627370496.0 + 1023.0);
    __m256d e =
        _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(_mm256_srli_epi64(bits, 52), expMagic)), expOffset);
    const __m256i mantissaMask = _mm256_set1_epi64x(0x000FFFFFFFFFFFFFLL);
    const __m256i oneBits = _mm256_set1_epi64x(0x3FF0000000000000LL);
    const __m256d one = _mm256_set1_pd(1.0);
    __m256d m = _mm256_castsi256_pd(_mm256_or_si256(_mm256_and_si256(bits, mantissaMask), oneBits));
    const __m256d big = _mm256_cmp_pd(m, _mm256_set1_pd(1.4142135623730951), _CMP_GT_OQ);
    m = _mm256_mul_pd(m, _mm256_blendv_pd(one, _mm256_set1_pd(0.5), big));
    e = _mm256_add_pd(e, _mm256_and_pd(big, one));
    const __m256d z = _mm256_div_pd(_mm256_sub_pd(m, one), _mm256_add_pd(m, one));
    const __m256d u = _mm256_mul_pd(z, z);
    __m256d p = _mm256_set1_pd(0.08418910155022144);
    p = _mm256_add_pd(_mm256_mul_pd(p, u), _mm256_set1_pd(0.090609598568520716));
    p = _mm256_add_pd(_mm256_mul_pd(p, u), _mm256_set1_pd(0.11111717528128005));
    p = _mm256_add_pd(_mm256_mul_pd(p, u), _mm256_set1_pd(0.14285708006466796));
    p = _mm256_add_pd(_mm256_mul_pd(p, u), _mm256_set1_pd(0.20000000030900977));
    p = _mm256_add_pd(_mm256_mul_pd(p, u), _mm256_set1_pd(0.33333333333276377));
    p = _mm256_add_pd(_mm256_mul_pd(p, u), _mm256_set1_pd(1.0000000000000002));
    const __m256d lnm = _mm256_mul_pd(_mm256_add_pd(z, z), p);
    return _mm256_add_pd(_mm256_mul_pd(e, _mm256_set1_pd(0.69314718055994531)), lnm);
}

// dsp::fastdb::exp2Clamped on four lanes, the same operations in the same order.
TOLVA_AVX2_INLINE __m256d exp2Clamped4(__m256d t) {
    t = _mm256_max_pd(_mm256_set1_pd(-1000.0), t);  // the second operand is returned for NaN
    t = _mm256_min_pd(_mm256_set1_pd(1000.0), t);
    const __m256d roundMagic = _mm256_set1_pd(6755399441055744.0);
    const __m256d r = _mm256_add_pd(t, roundMagic);
    const __m256d n = _mm256_sub_pd(r, roundMagic);
    const __m256i k = _mm256_sub_epi64(_mm256_castpd_si256(r), _mm256_castpd_si256(roundMagic));
    const __m256d f = _mm256_sub_pd(t, n);
    __m256d p = _mm256_set1_pd(7.0725783209788706e-09);
    p = _mm256_add_pd(_mm256_mul_pd(p, f), _mm256_set1_pd(1.0208693010130529e-07));
    p = _mm256_add_pd(_mm256_mul_pd(p, f), _mm256_set1_pd(1.3215442684420189e-06));
    p = _mm256_add_pd(_mm256_mul_pd(p, f), _mm256_set1_pd(1.5252657247827822e-05));
    p = _mm256_add_pd(_mm256_mul_pd(p, f), _mm256_set1_pd(0.00015403530441391008));
    p = _mm256_add_pd(_mm256_mul_pd(p, f), _mm256_set1_pd(0.001333355823018148));
    p = _mm256_add_pd(_mm256_mul_pd(p, f), _mm256_set1_pd(0.0096181291076073532));
    p = _mm256_add_pd(_mm256_mul_pd(p, f), _mm256_set1_pd(0.05550410866444766));
    p = _mm256_add_pd(_mm256_mul_pd(p, f), _mm256_set1_pd(0.24022650695910097));
    p = _mm256_add_pd(_mm256_mul_pd(p, f), _mm256_set1_pd(0.69314718055994995));
    p = _mm256_add_pd(_mm256_mul_pd(p, f), _mm256_set1_pd(1.0));
    const __m256i scaleBits = _mm256_slli_epi64(_mm256_add_epi64(k, _mm256_set1_epi64x(1023)), 52);
    return _mm256_mul_pd(p, _mm256_castsi256_pd(scaleBits));
}

// float(20 log10(x)) for four lanes as dsp::fastdb::decibels2; zero, negative, infinite and NaN
// lanes take the library path (only after silence or a fault, so kept out of line).
__attribute__((noinline)) void decibelsSlowLanes(const double x[4], float results[4], int okMask) {
    for (int i = 0; i < 4; ++i)
        if (!(okMask & (1 << i))) results[i] = static_cast<float>(20.0 * std::log10(x[i]));
}

TOLVA_AVX2_INLINE __m128 decibels4(__m256d x) {
    const __m256d finitePositive = _mm256_and_pd(_mm256_cmp_pd(x, _mm256_setzero_pd(), _CMP_GT_OQ),
                                                 _mm256_cmp_pd(x, _mm256_set1_pd(HUGE_VAL), _CMP_LT_OQ));
    const __m256d db = _mm256_mul_pd(lnPositive4(x), _mm256_set1_pd(8.6858896380650366));  // 20 / ln(10)
    const __m128 out = _mm256_cvtpd_ps(db);
    const int ok = _mm256_movemask_pd(finitePositive);
    if (ok == 15) return out;
    alignas(32) double lanes[4];
    alignas(16) float results[4];
    _mm256_store_pd(lanes, x);
    _mm_store_ps(results, out);
    decibelsSlowLanes(lanes, results, ok);
    return _mm_load_ps(results);
}

// The gain of four compressors (one channel) for their detector amplitudes: reductionFor, then
// powerOfTen(reduction / 20), as TolvaCompressor::processLanes computes it.
TOLVA_AVX2_INLINE __m128 gainFor4(__m256d amplitude, __m128 threshold, __m128 slope) {
    const __m128 level = decibels4(amplitude);
    const __m128 zero = _mm_setzero_ps();
    const __m128 reduction = _mm_mul_ps(_mm_sub_ps(threshold, level), slope);
    const __m128 aboveOnly = _mm_blendv_ps(zero, reduction, _mm_cmpgt_ps(level, threshold));
    const __m128 kept = _mm_blendv_ps(zero, aboveOnly, _mm_cmpgt_ps(zero, aboveOnly));
    const __m256d e = _mm256_div_pd(_mm256_cvtps_pd(kept), _mm256_set1_pd(20.0));
    return _mm256_cvtpd_ps(exp2Clamped4(_mm256_mul_pd(e, _mm256_set1_pd(3.3219280948873622))));
}

// 10^(exponent) for four float exponents, as powerOfTen; an all-zero register gives 1 exactly, as
// the evaluation does, without it.
TOLVA_AVX2_INLINE __m128 autoGainFactor4(__m128 exponent) {
    if (_mm_movemask_ps(_mm_cmpeq_ps(exponent, _mm_setzero_ps())) == 15) return _mm_set1_ps(1.0f);
    const __m256d t = _mm256_mul_pd(_mm256_cvtps_pd(exponent), _mm256_set1_pd(3.3219280948873622));
    return _mm256_cvtpd_ps(exp2Clamped4(t));
}

TOLVA_AVX2_INLINE __m256 join(__m128 low, __m128 high) { return _mm256_set_m128(high, low); }
TOLVA_AVX2_INLINE __m128 lowHalf(__m256 v) { return _mm256_castps256_ps128(v); }
TOLVA_AVX2_INLINE __m128 highHalf(__m256 v) { return _mm256_extractf128_ps(v, 1); }

// The eight compressors of both channels (lanes 0-3 channel 1's bands, lanes 4-7 channel 2's),
// all linked band by band, for the length of a block.
struct Compressors8 {
    using Compressor = tolvacompressor::TolvaCompressor<float>;
    __m256 envelope, attackCoef, releaseCoef, threshold, slope, makeupGain;
    __m256 inEnvelope, inAttackCoef, inReleaseCoef;
    __m256 outEnvelope, outAttackCoef, outReleaseCoef;
    __m256 autoGainMask;
    __m256 unitySum;
    bool anyAutoGain;

    TOLVA_AVX2 explicit Compressors8(const Compressor::Lanes& a, const Compressor::Lanes& b) {
        envelope = join(a.envelope, b.envelope);
        attackCoef = join(a.attackCoef, b.attackCoef);
        releaseCoef = join(a.releaseCoef, b.releaseCoef);
        threshold = join(a.threshold, b.threshold);
        slope = join(a.slope, b.slope);
        makeupGain = join(a.makeupGain, b.makeupGain);
        inEnvelope = join(a.inEnvelope, b.inEnvelope);
        inAttackCoef = join(a.inAttackCoef, b.inAttackCoef);
        inReleaseCoef = join(a.inReleaseCoef, b.inReleaseCoef);
        outEnvelope = join(a.outEnvelope, b.outEnvelope);
        outAttackCoef = join(a.outAttackCoef, b.outAttackCoef);
        outReleaseCoef = join(a.outReleaseCoef, b.outReleaseCoef);
        autoGainMask = join(a.autoGainMask, b.autoGainMask);
        unitySum = join(a.unitySum, b.unitySum);
        anyAutoGain = a.anyAutoGain || b.anyAutoGain;
    }

    // The envelopes of one channel (0: lanes 0-3, 1: lanes 4-7) back into Lanes form.
    TOLVA_AVX2 void storeInto(Compressor::Lanes& s, int channel) const {
        s.envelope = channel ? _mm256_extractf128_ps(envelope, 1) : _mm256_castps256_ps128(envelope);
        s.inEnvelope = channel ? _mm256_extractf128_ps(inEnvelope, 1) : _mm256_castps256_ps128(inEnvelope);
        s.outEnvelope = channel ? _mm256_extractf128_ps(outEnvelope, 1) : _mm256_castps256_ps128(outEnvelope);
    }

    // TolvaCompressor::process in every lane, channel 1 before channel 2, split in three steps
    // that a block runs as separate passes: detect (the recurrent envelopes), gain (no state, so the
    // long log and exp chains of consecutive samples overlap) and reduce (the output followers).
    //
    // detect: the input followers and envelopes; the detector sums (twice the amplitudes, in
    // float) of channel 1 (lanes 0-3) and channel 2. Channel 1 sees channel 2's envelopes of the
    // previous sample, channel 2 those of channel 1 of this sample. With one channel, lanes 4-7
    // keep their envelopes.
    template <int kChannels>
    TOLVA_AVX2_INLINE __m256 detect(__m256 x) {
        const __m256 r = abs8(x);
        follow8(inEnvelope, r, inAttackCoef, inReleaseCoef);
        const __m256 c = selectIfGreater8(r, envelope, attackCoef, releaseCoef);
        const __m256 previous = envelope;
        envelope = _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(envelope, r), c), r);
        if constexpr (kChannels == 1) envelope = _mm256_blend_ps(envelope, previous, 0xF0);
        const __m256 partner = _mm256_permute2f128_ps(previous, envelope, 0x21);
        const __m256 partnerFinite =
            _mm256_cmp_ps(_mm256_sub_ps(partner, partner), _mm256_setzero_ps(), _CMP_EQ_OQ);
        return _mm256_add_ps(envelope, _mm256_blendv_ps(envelope, partner, partnerFinite));
    }

    // gain: the gain of every lane for its detector sum; the amplitude is half the sum in double.
    // A channel whose four sums are all below their unity sums has the gain 1 exactly.
    template <int kChannels>
    TOLVA_AVX2_INLINE __m256 gain(__m256 sum) const {
        const int below = _mm256_movemask_ps(_mm256_cmp_ps(sum, unitySum, _CMP_LT_OQ));
        __m128 gainLow = _mm_set1_ps(1.0f), gainHigh = gainLow;
        const __m256d half = _mm256_set1_pd(0.5);
        if ((below & 15) != 15) {
            const __m256d amplitude = _mm256_mul_pd(_mm256_cvtps_pd(lowHalf(sum)), half);
            gainLow = gainFor4(amplitude, lowHalf(threshold), lowHalf(slope));
        }
        if (kChannels == 2 && (below >> 4) != 15) {
            const __m256d amplitude = _mm256_mul_pd(_mm256_cvtps_pd(highHalf(sum)), half);
            gainHigh = gainFor4(amplitude, highHalf(threshold), highHalf(slope));
        }
        return _mm256_set_m128(gainHigh, gainLow);
    }

    // reduce: the output followers and the output before automatic gain; autoGainExponent gets
    // (input follower - output follower) / 20 in the lanes with automatic gain, 0 elsewhere.
    TOLVA_AVX2_INLINE __m256 reduce(__m256 x, __m256 gain, __m256 inEnvelopeNow, __m256& autoGainExponent) {
        const __m256 reduced = _mm256_mul_ps(x, gain);
        follow8(outEnvelope, abs8(reduced), outAttackCoef, outReleaseCoef);
        if (anyAutoGain)
            autoGainExponent = _mm256_and_ps(
                autoGainMask,
                _mm256_div_ps(_mm256_sub_ps(inEnvelopeNow, outEnvelope), _mm256_set1_ps(20.0f)));
        return _mm256_mul_ps(reduced, makeupGain);
    }
};

// Two BiQuadLanes side by side (lanes 0-3 and 4-7), each lane doing BiQuadLanes::step's operations.
struct BiQuad8 {
    __m256 a0, a1, a2, b1, b2, c0, d0, x1, x2, y1, y2;

    TOLVA_AVX2 BiQuad8(const dsp::BiQuadLanes& lo, const dsp::BiQuadLanes& hi)
        : a0(join(lo.a0, hi.a0)),
          a1(join(lo.a1, hi.a1)),
          a2(join(lo.a2, hi.a2)),
          b1(join(lo.b1, hi.b1)),
          b2(join(lo.b2, hi.b2)),
          c0(join(lo.c0, hi.c0)),
          d0(join(lo.d0, hi.d0)),
          x1(join(lo.x1, hi.x1)),
          x2(join(lo.x2, hi.x2)),
          y1(join(lo.y1, hi.y1)),
          y2(join(lo.y2, hi.y2)) {}

    TOLVA_AVX2 void storeInto(dsp::BiQuadLanes& lo, dsp::BiQuadLanes& hi) const {
        lo.x1 = lowHalf(x1), lo.x2 = lowHalf(x2), lo.y1 = lowHalf(y1), lo.y2 = lowHalf(y2);
        hi.x1 = highHalf(x1), hi.x2 = highHalf(x2), hi.y1 = highHalf(y1), hi.y2 = highHalf(y2);
    }

    TOLVA_AVX2_INLINE __m256 step(__m256 x) {
        __m256 v = _mm256_add_ps(_mm256_mul_ps(a0, x), _mm256_mul_ps(a1, x1));
        v = _mm256_add_ps(v, _mm256_mul_ps(a2, x2));
        v = _mm256_sub_ps(v, _mm256_mul_ps(b1, y1));
        v = _mm256_sub_ps(v, _mm256_mul_ps(b2, y2));
        const __m256 out = _mm256_add_ps(_mm256_mul_ps(d0, x), _mm256_mul_ps(c0, v));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = out;
        return out;
    }

    // step(x) in the lanes of keep's clear bits only: the others keep their state.
    template <int keep>
    TOLVA_AVX2_INLINE __m256 stepSome(__m256 x) {
        const BiQuad8 before = *this;
        const __m256 out = step(x);
        x1 = _mm256_blend_ps(x1, before.x1, keep), x2 = _mm256_blend_ps(x2, before.x2, keep);
        y1 = _mm256_blend_ps(y1, before.y1, keep), y2 = _mm256_blend_ps(y2, before.y2, keep);
        return out;
    }
};

// Two AllpassLanes side by side, each lane doing AllpassLanes::step's operations.
struct Allpass8 {
    __m256 a1, a2, b0, b1, b2, w, s1, s2, y, x1, x2, y2;

    TOLVA_AVX2 Allpass8(const dsp::AllpassLanes& lo, const dsp::AllpassLanes& hi)
        : a1(join(lo.a1, hi.a1)),
          a2(join(lo.a2, hi.a2)),
          b0(join(lo.b0, hi.b0)),
          b1(join(lo.b1, hi.b1)),
          b2(join(lo.b2, hi.b2)),
          w(join(lo.w, hi.w)),
          s1(join(lo.s1, hi.s1)),
          s2(join(lo.s2, hi.s2)),
          y(join(lo.y, hi.y)),
          x1(join(lo.x1, hi.x1)),
          x2(join(lo.x2, hi.x2)),
          y2(join(lo.y2, hi.y2)) {}

    TOLVA_AVX2 void storeInto(dsp::AllpassLanes& lo, dsp::AllpassLanes& hi) const {
        lo.w = lowHalf(w), lo.s1 = lowHalf(s1), lo.s2 = lowHalf(s2), lo.y = lowHalf(y);
        lo.x1 = lowHalf(x1), lo.x2 = lowHalf(x2), lo.y2 = lowHalf(y2);
        hi.w = highHalf(w), hi.s1 = highHalf(s1), hi.s2 = highHalf(s2), hi.y = highHalf(y);
        hi.x1 = highHalf(x1), hi.x2 = highHalf(x2), hi.y2 = highHalf(y2);
    }

    TOLVA_AVX2_INLINE __m256 step(__m256 x) {
        y2 = y;
        w = _mm256_sub_ps(x, _mm256_mul_ps(a1, s1));
        w = _mm256_sub_ps(w, _mm256_mul_ps(a2, s2));
        y = _mm256_add_ps(_mm256_mul_ps(b0, w), _mm256_mul_ps(b1, s1));
        y = _mm256_add_ps(_mm256_mul_ps(b2, s2), y);
        s2 = s1;
        s1 = w;
        x2 = x1;
        x1 = x;
        return y;
    }

    template <int keep>
    TOLVA_AVX2_INLINE __m256 stepSome(__m256 x) {
        const Allpass8 before = *this;
        const __m256 out = step(x);
        w = _mm256_blend_ps(w, before.w, keep), s1 = _mm256_blend_ps(s1, before.s1, keep);
        s2 = _mm256_blend_ps(s2, before.s2, keep), y = _mm256_blend_ps(y, before.y, keep);
        x1 = _mm256_blend_ps(x1, before.x1, keep), x2 = _mm256_blend_ps(x2, before.x2, keep);
        y2 = _mm256_blend_ps(y2, before.y2, keep);
        return out;
    }
};

// Split 1's inputs {channel 1, channel 1, channel 2, channel 2} of frames from to from + n - 1,
// four frames at a time. With one channel, channel 2 is silent.
template <int kChannels>
TOLVA_AVX2_INLINE void feedPairs(const float* const* inputs, int from, int n, __m128* feed) {
    const float* in0 = inputs[0] + from;
    const float* in1 = kChannels == 2 ? inputs[1] + from : nullptr;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 a = _mm_loadu_ps(in0 + i);
        const __m128 b = kChannels == 2 ? _mm_loadu_ps(in1 + i) : _mm_setzero_ps();
        const __m128 a01 = _mm_unpacklo_ps(a, a), a23 = _mm_unpackhi_ps(a, a);
        const __m128 b01 = _mm_unpacklo_ps(b, b), b23 = _mm_unpackhi_ps(b, b);
        feed[i] = _mm_movelh_ps(a01, b01);
        feed[i + 1] = _mm_movehl_ps(b01, a01);
        feed[i + 2] = _mm_movelh_ps(a23, b23);
        feed[i + 3] = _mm_movehl_ps(b23, a23);
    }
    for (; i < n; ++i) {
        const float b = kChannels == 2 ? in1[i] : 0.0f;
        feed[i] = _mm_setr_ps(in0[i], in0[i], b, b);
    }
}

// FourBandCrossoverLanes::step with the second and third splits (and the all-passes at F2 and F3)
// in one 8-lane register each, two samples apart: split 2 of sample i+2 runs beside split 3 of
// sample i. Two apart, not one, so that split 3's input comes from the step before last and the
// register's only one-step recurrence is the sections' own feedback; one apart, split 3's input
// would chain every step to the whole of the step before. Every lane does the operations of the
// 4-lane code on the same values.
struct Crossover8 {
    dsp::BiQuadLanes s1;
    BiQuad8 split23;     // split 2 in lanes 0-3, split 3 in 4-7
    Allpass8 allpass23;  // all-pass at F2 in lanes 0-3, at F3 in 4-7
    // Split 2's and the F2 all-pass's outputs of the two samples ahead, the nearer first.
    __m128 o2Near, o2Far, a2Near, a2Far;

    TOLVA_AVX2 explicit Crossover8(const dsp::FourBandCrossoverLanes& c)
        : s1(c.s1), split23(c.s2, c.s3), allpass23(c.ap2, c.ap3), o2Near(), o2Far(), a2Near(), a2Far() {}

    TOLVA_AVX2 void storeInto(dsp::FourBandCrossoverLanes& c) const {
        c.s1 = s1;
        split23.storeInto(c.s2, c.s3);
        allpass23.storeInto(c.ap2, c.ap3);
    }

    // Split 1 and the first half of the pipeline for one of the first two samples of a block.
    TOLVA_AVX2_INLINE void prime(float x0, float x1) {
        const __m128 o1 = s1.step(_mm_setr_ps(x0, x0, x1, x1));
        o2Near = o2Far;
        a2Near = a2Far;
        o2Far = lowHalf(split23.stepSome<0xF0>(join(_mm_shuffle_ps(o1, o1, _MM_SHUFFLE(3, 3, 1, 1)), o1)));
        a2Far = lowHalf(allpass23.stepSome<0xF0>(join(_mm_shuffle_ps(o1, o1, _MM_SHUFFLE(2, 0, 2, 0)), o1)));
    }

    // Primes the pipeline with the block's first samples.
    template <int kChannels>
    TOLVA_AVX2_INLINE void start(const float* const* inputs, int frames) {
        for (int i = 0; i < 2 && i < frames; ++i) prime(inputs[0][i], kChannels == 2 ? inputs[1][i] : 0.0f);
        if (frames == 1) o2Near = o2Far, a2Near = a2Far;
    }

    // The bands of the nearer sample ahead, split 1 taking in the sample two further on as
    // {channel 1, channel 1, channel 2, channel 2}.
    TOLVA_AVX2_INLINE __m256 next(__m128 feed) {
        const __m128 o1 = s1.step(feed);
        const __m256 o23 = split23.step(join(_mm_shuffle_ps(o1, o1, _MM_SHUFFLE(3, 3, 1, 1)), in3()));
        const __m256 a23 =
            allpass23.step(join(_mm_shuffle_ps(o1, o1, _MM_SHUFFLE(2, 0, 2, 0)), inAllpass3()));
        return advance(o23, a23);
    }

    // The bands of the nearer sample ahead when no sample two further on is in the block.
    TOLVA_AVX2_INLINE __m256 drain() {
        const __m128 in = in3(), inAllpass = inAllpass3();
        return advance(split23.stepSome<0x0F>(join(in, in)),
                       allpass23.stepSome<0x0F>(join(inAllpass, inAllpass)));
    }

private:
    TOLVA_AVX2_INLINE __m128 in3() const { return _mm_shuffle_ps(o2Near, o2Near, _MM_SHUFFLE(3, 3, 1, 1)); }
    TOLVA_AVX2_INLINE __m128 inAllpass3() const {
        return _mm_unpacklo_ps(a2Near, _mm_shuffle_ps(o2Near, o2Near, _MM_SHUFFLE(2, 0, 2, 0)));
    }

    TOLVA_AVX2_INLINE __m256 advance(__m256 o23, __m256 a23) {
        o2Near = o2Far;
        a2Near = a2Far;
        o2Far = lowHalf(o23);
        a2Far = lowHalf(a23);
        const __m128 o3 = highHalf(o23), a3 = highHalf(a23);
        const __m128 negateOdd = _mm_setr_ps(0.0f, -0.0f, 0.0f, -0.0f);
        return join(_mm_xor_ps(_mm_movelh_ps(a3, o3), negateOdd),
                    _mm_xor_ps(_mm_movehl_ps(o3, a3), negateOdd));
    }
};

// The input meters in lanes 0-3, the output meters in lanes 4-7.
struct Meters8 {
    __m256 envelope, attackCoef, releaseCoef;
};

// The meters of one sample: the bands x in lanes 0-3, the outputs y in 4-7. A meter follows
// |(channel 1 + channel 2) x share|, which equals the objects' |((0 + channel 1) + channel 2) x share|:
// the two sums differ at most in the sign of a zero, or of a NaN that both give.
template <int kChannels>
TOLVA_AVX2_INLINE void meter8(__m256 x, __m256 y, __m256 channelShare, Meters8& meters) {
    __m256 sum = _mm256_permute2f128_ps(x, y, 0x20);
    if constexpr (kChannels == 2) sum = _mm256_add_ps(sum, _mm256_permute2f128_ps(x, y, 0x31));
    follow8(meters.envelope, abs8(_mm256_mul_ps(sum, channelShare)), meters.attackCoef, meters.releaseCoef);
}

// The outputs of frames 0 to n - 1 of a chunk, whose band outputs are y (channel 1's four in lanes
// 0-3, channel 2's in 4-7), into result[c][start + i]: y3 + ((y0 + y1) + y2) of each channel, or
// the soloed bands, times outGain. Four frames are transposed at a time, so that each addition
// serves four frames of both channels.
template <int kChannels>
TOLVA_AVX2_INLINE void mix8(const __m256* y, int n, const bool solo[MultibandComp::kNumBands], bool anySolo,
                            float outGain, float (*result)[MultibandComp::kMaxFrames], int start) {
    const __m256 gain = _mm256_set1_ps(outGain);
    int i = 0;
    if (anySolo) {
        for (; i < n; ++i) {
            alignas(32) float ys[2][MultibandComp::kNumBands];
            _mm256_store_ps(ys[0], y[i]);
            for (int c = 0; c < kChannels; ++c)
                result[c][start + i] = MultibandComp::mixBands(ys[c], solo, anySolo) * outGain;
        }
        return;
    }
    for (; i + 4 <= n; i += 4) {
        const __m256 ab01 = _mm256_unpacklo_ps(y[i], y[i + 1]), ab23 = _mm256_unpackhi_ps(y[i], y[i + 1]);
        const __m256 cd01 = _mm256_unpacklo_ps(y[i + 2], y[i + 3]);
        const __m256 cd23 = _mm256_unpackhi_ps(y[i + 2], y[i + 3]);
        const __m256 band0 = _mm256_shuffle_ps(ab01, cd01, _MM_SHUFFLE(1, 0, 1, 0));
        const __m256 band1 = _mm256_shuffle_ps(ab01, cd01, _MM_SHUFFLE(3, 2, 3, 2));
        const __m256 band2 = _mm256_shuffle_ps(ab23, cd23, _MM_SHUFFLE(1, 0, 1, 0));
        const __m256 band3 = _mm256_shuffle_ps(ab23, cd23, _MM_SHUFFLE(3, 2, 3, 2));
        const __m256 mixed =
            _mm256_mul_ps(_mm256_add_ps(band3, _mm256_add_ps(_mm256_add_ps(band0, band1), band2)), gain);
        _mm_storeu_ps(result[0] + start + i, lowHalf(mixed));
        if constexpr (kChannels == 2) _mm_storeu_ps(result[1] + start + i, highHalf(mixed));
    }
    for (; i < n; ++i) {
        const __m256 v = y[i];
        const __m256 sum01 = _mm256_add_ps(v, _mm256_permute_ps(v, _MM_SHUFFLE(2, 3, 0, 1)));
        const __m256 sum012 = _mm256_add_ps(sum01, _mm256_permute_ps(v, _MM_SHUFFLE(3, 3, 3, 2)));
        const __m256 mixed =
            _mm256_mul_ps(_mm256_add_ps(_mm256_permute_ps(v, _MM_SHUFFLE(3, 3, 3, 3)), sum012), gain);
        result[0][start + i] = _mm256_cvtss_f32(mixed);
        if constexpr (kChannels == 2) result[1][start + i] = _mm_cvtss_f32(highHalf(mixed));
    }
}

}  // namespace

// Kept in one piece so that the crossover, compressor and meter states stay in registers for the
// whole block (the passes over a chunk share them).
template <int kChannels, bool kPrecise>
TOLVA_AVX2 void MultibandComp::processFramesAvx2(const float* const* inputs, float** outputs, int frames,
                                                 const bool solo[kNumBands], float outGain) {
    const bool anySolo = solo[0] || solo[1] || solo[2] || solo[3];
    const __m256 channelShare = _mm256_set1_ps(kChannels == 2 ? 0.5f : 1.0f);
    ensureLanes(kChannels);
    Crossover8 split(lanes.split);
    if constexpr (!kPrecise) split.start<kChannels>(inputs, frames);
    Compressors8 bands(lanes.bands[0], lanes.bands[1]);
    const dsp::PeakDetectorLanes& in4 = lanes.inMeters;
    const dsp::PeakDetectorLanes& out4 = lanes.outMeters;
    Meters8 meters{_mm256_set_m128(out4.envelope, in4.envelope),
                   _mm256_set_m128(out4.attackCoef, in4.attackCoef),
                   _mm256_set_m128(out4.releaseCoef, in4.releaseCoef)};

    float result[kChannels][kMaxFrames];
    // The block runs in chunks, each in passes: a pass over all of a chunk's samples keeps only its
    // own short recurrences, so consecutive samples overlap instead of each waiting for the long
    // chain crossover - envelope - logarithm - power - output of the one before.
    constexpr int kChunk = 32;
    alignas(32) __m256 x[kChunk], inEnvelopes[kChunk], gains[kChunk];
    alignas(32) __m256 sums[kChunk], outs[kChunk];
    for (int start = 0; start < frames; start += kChunk) {
        const int n = frames - start < kChunk ? frames - start : kChunk;
        if constexpr (kPrecise) {
            for (int i = 0; i < n; ++i) {
                alignas(16) float b[2][kNumBands] = {};
                for (int c = 0; c < kChannels; ++c) splitPrecise(inputs[c][start + i], c, b[c]);
                x[i] = _mm256_set_m128(_mm_load_ps(b[1]), _mm_load_ps(b[0]));
            }
        } else {
            // Split 1 runs two samples ahead of the bands.
            const int fed = std::clamp(frames - (start + 2), 0, n);
            alignas(16) __m128 feed[kChunk];
            feedPairs<kChannels>(inputs, start + 2, fed, feed);
            int i = 0;
            for (; i < fed; ++i) x[i] = split.next(feed[i]);
            for (; i < n; ++i) x[i] = split.drain();
        }
        for (int i = 0; i < n; ++i) {
            sums[i] = bands.detect<kChannels>(x[i]);
            inEnvelopes[i] = bands.inEnvelope;
        }
        for (int i = 0; i < n; ++i) gains[i] = bands.gain<kChannels>(sums[i]);
        for (int i = 0; i < n; ++i) {
            __m256 autoGainExponent = _mm256_setzero_ps();
            __m256 out = bands.reduce(x[i], gains[i], inEnvelopes[i], autoGainExponent);
            if (bands.anyAutoGain) {
                const __m128 low = autoGainFactor4(_mm256_castps256_ps128(autoGainExponent));
                const __m128 high = autoGainFactor4(_mm256_extractf128_ps(autoGainExponent, 1));
                out = _mm256_mul_ps(out, _mm256_set_m128(high, low));
            }
            meter8<kChannels>(x[i], out, channelShare, meters);
            outs[i] = out;
        }
        mix8<kChannels>(outs, n, solo, anySolo, outGain, result, start);
    }
    if constexpr (!kPrecise) split.storeInto(lanes.split);
    bands.storeInto(lanes.bands[0], 0);
    if constexpr (kChannels == 2) bands.storeInto(lanes.bands[1], 1);
    lanes.inMeters.envelope = _mm256_castps256_ps128(meters.envelope);
    lanes.outMeters.envelope = _mm256_extractf128_ps(meters.envelope, 1);
    objectsBehind = true;
    for (int c = 0; c < kChannels; ++c) std::memcpy(outputs[c], result[c], sizeof(float) * frames);
}

template void MultibandComp::processFramesAvx2<1, false>(const float* const*, float**, int, const bool*,
                                                         float);
template void MultibandComp::processFramesAvx2<1, true>(const float* const*, float**, int, const bool*,
                                                        float);
template void MultibandComp::processFramesAvx2<2, false>(const float* const*, float**, int, const bool*,
                                                         float);
template void MultibandComp::processFramesAvx2<2, true>(const float* const*, float**, int, const bool*,
                                                        float);

}  // namespace plugin

#endif
