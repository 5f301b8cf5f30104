#pragma once

#include <cmath>
#include <initializer_list>
#include <limits>
#include <type_traits>

#include "dsp/effect/AudioEffect.h"
#include "dsp/util/FastDecibels.h"
#include "dsp/util/Lanes4.h"
#include "dsp/util/PeakDetector.h"
#include "dsp/util/Select.h"
#include "plugkit/core/AlignedAlloc.h"

namespace tolvacompressor {

// Feed-forward hard-knee compressor of one band of one channel. Its peak envelope (time constants
// to 1 % of a step) drives the gain sample by sample; with linkStereo the detector uses the mean of
// its own envelope and the partner's. Two one-second peak followers of the band input and of the
// reduced output give the optional automatic gain. Audio thread only after construction.
template <typename T>
class TolvaCompressor final : public dsp::AudioEffect<T> {
public:
    // [host thread] Creates the two level followers with the system allocator (exhausted memory is
    // fatal). Unlinked, automatic gain off, threshold, ratio and makeup 0, everything else unset.
    TolvaCompressor();
    ~TolvaCompressor() override;

    // [audio thread] Full set-up: clears the envelope, stores the rate, computes both coefficients,
    // prepares the two followers (rate, 1000 ms attack and release, one detect(0)) without clearing
    // them, stores threshold (dB), ratio and makeup (linear factor). Link and autoGain stay.
    virtual void initialize(T sampleRate, T attackMs, T releaseMs, T thresholdDb, T ratioValue, T makeup);

    // [audio thread] Recomputes the coefficients from the times and stores the other values; the
    // envelope, the followers, autoGain and the link are untouched.
    virtual void setParams(T attackMs, T releaseMs, T thresholdDb, T ratioValue, T makeup);

    // [audio thread] Compresses one sample. Never allocates.
    virtual T process(T x);

    // [audio thread] 10^((input follower - output follower) / 20), or exactly 1 when autoGain is off.
    virtual T calcAutoGain();

    // [audio thread]
    virtual void setAutoGain(bool on) { autoGain = on; }

    // [host thread, before audio runs] Links this compressor and other both ways; never undone.
    virtual void linkStereo(TolvaCompressor& other) {
        partner = &other;
        other.partner = this;
    }

    // [audio thread] Detected level in dB: 20 log10 of the envelope, or of the mean of the two linked
    // envelopes. Minus infinity while silent.
    virtual T detectorVal() const;

    // [audio thread] process(x).
    T getNextSample(T x) override { return process(x); }

    // [audio thread] Does nothing: the state is cleared by initialize.
    void reset() override {}

#if DSP_SSE2
    // The state and settings of four compressors (the four bands of one channel), one per SSE lane,
    // for a caller that keeps them in registers for a whole block instead of going through the
    // objects sample by sample. processLanes is the fast path; process() is its reference, and
    // every lane does process()'s float operations in the same order. Float only.
    struct Lanes {
        __m128 envelope, attackCoef, releaseCoef, threshold, slope, makeupGain;
        __m128 inEnvelope, inAttackCoef, inReleaseCoef;
        __m128 outEnvelope, outAttackCoef, outReleaseCoef;
        __m128 autoGainMask;  // all bits set in the lanes with automatic gain
        __m128 unitySum;
        bool anyAutoGain;
    };
    // [audio thread] Copies the four compressors' state and settings into lanes 0 to 3.
    static Lanes loadLanes(const TolvaCompressor (&bands)[4]) requires std::is_same_v<T, float>;
    // [audio thread] Copies the envelopes back (settings do not change while lanes run).
    static void storeLanes(const Lanes& lanes, TolvaCompressor (&bands)[4]) requires std::is_same_v<T, float>;
    // [audio thread] process() in every lane, for four compressors that are all linked:
    // partnerEnvelope holds the partners' envelopes as they are at this moment. Same results, bit
    // for bit.
    [[gnu::always_inline]] static inline __m128 processLanes(
        Lanes& s, __m128 x, __m128 partnerEnvelope) requires std::is_same_v<T, float>;
#endif

    // [audio thread] True when the envelope and both followers are finite.
    bool hasFiniteState() const {
        return (envelope * 0 + inputLevel->getEnvelope() * 0 + outputLevel->getEnvelope() * 0) == 0;
    }
    // [audio thread] Clears whichever of the envelope and the two followers is infinite or NaN. A
    // linked envelope restarts from the partner's when that one is finite, so that the pair's
    // detected level does not fall by half and the partner's gain reduction holds.
    void clearNonFiniteState() {
        if (!std::isfinite(envelope))
            envelope = partner && std::isfinite(partner->envelope) ? partner->envelope : 0;
        if (!std::isfinite(inputLevel->getEnvelope())) inputLevel->reset();
        if (!std::isfinite(outputLevel->getEnvelope())) outputLevel->reset();
    }

    T getEnvelope() const { return envelope; }
    T getAttackCoef() const { return attackCoef; }
    T getReleaseCoef() const { return releaseCoef; }
    T getThreshold() const { return threshold; }
    T getRatio() const { return ratio; }
    T getMakeupGain() const { return makeupGain; }
    bool isAutoGainEnabled() const { return autoGain; }
    const TolvaCompressor* getPartner() const { return partner; }
    const dsp::PeakDetector<T>& inputFollower() const { return *inputLevel; }
    const dsp::PeakDetector<T>& outputFollower() const { return *outputLevel; }

private:
    // exp(ln(0.01) / (ms * rate * 0.001)): the product ms * rate in T, the rest in double.
    T coefFromTime(T ms) const {
        return static_cast<T>(
            std::exp(static_cast<double>(logOnePercent) / (static_cast<double>(ms * rate) * 0.001)));
    }
    // float(20 log10(a)) and float(10^e) through the evaluation the lanes use (dsp/util/FastDecibels.h,
    // within 1 ulp of the library), so that process() is the lanes' exact reference.
    static T decibels(double a) {
        if constexpr (std::is_same_v<T, float>) return dsp::decibelsFromAmplitude(a);
        return static_cast<T>(20.0 * std::log10(a));
    }
    static T powerOfTen(double e) {
        if constexpr (std::is_same_v<T, float>) return dsp::powerOfTen(e);
        return static_cast<T>(std::pow(10.0, e));
    }
    // Caches what follows from ratio and threshold alone.
    void updateDerived();
    // Steps 1 to 3 of process(): input follower and envelope.
    void followInput(T x) {
        inputLevel->detect(x);
        const T r = std::abs(x);
        const T c = dsp::selectIfGreater(r, envelope, attackCoef, releaseCoef);
        envelope = (envelope - r) * c + r;
    }
    // The amplitude whose 20 log10 is the detected level, exactly as detectorVal() forms it. A
    // partner whose envelope is infinite or NaN (a non-finite sample on the other channel) is
    // ignored: this channel's own envelope takes its place, so its gain reduction stays.
    double detectorAmplitude() const {
        if (!partner) return static_cast<double>(envelope);
        const T other = partner->envelope - partner->envelope == 0 ? partner->envelope : envelope;
        return static_cast<double>(envelope + other) * 0.5;
    }
    // Gain reduction in dB for a detected level: negative above the threshold, 0 otherwise.
    T reductionFor(T level) const {
        // Kept only when negative and the level is above the threshold (NaN gives 0).
        const T reduction = (threshold - level) * slope;
        const T aboveOnly = dsp::selectIfGreater(level, threshold, reduction, T(0));
        return dsp::selectIfGreater(T(0), aboveOnly, aboveOnly, T(0));
    }

    T attackCoef = std::numeric_limits<T>::quiet_NaN();
    T releaseCoef = std::numeric_limits<T>::quiet_NaN();
    T rate = std::numeric_limits<T>::quiet_NaN();
    T logOnePercent = std::numeric_limits<T>::quiet_NaN();
    T envelope = std::numeric_limits<T>::quiet_NaN();
    TolvaCompressor* partner = nullptr;
    dsp::PeakDetector<T>* inputLevel = nullptr;
    dsp::PeakDetector<T>* outputLevel = nullptr;
    T threshold = 0;
    T ratio = 0;
    T makeupGain = 0;
    bool autoGain = false;
    // 1 - 1/ratio, rounded to T.
    T slope = std::numeric_limits<T>::quiet_NaN();
    // Linked detector sums (twice the detector amplitude, in float) below this give a level below
    // the threshold and so a gain of exactly 1 (+infinity when the gain is 1 whatever the level,
    // ratio <= 1). It is the smallest float at or above twice the amplitude bound, so that
    // sum < unitySum exactly when the amplitude, half the sum in double, is below the bound.
    float unitySum = 0;
    // The times the two coefficients were computed from.
    T attackTimeMs = std::numeric_limits<T>::quiet_NaN();
    T releaseTimeMs = std::numeric_limits<T>::quiet_NaN();
};

extern template class TolvaCompressor<float>;

template <typename T>
TolvaCompressor<T>::TolvaCompressor()
    : inputLevel(plugkit::core::mallocNew<dsp::PeakDetector<T>>()),
      outputLevel(plugkit::core::mallocNew<dsp::PeakDetector<T>>()) {
    updateDerived();
}

template <typename T>
TolvaCompressor<T>::~TolvaCompressor() {
    plugkit::core::destroyFree(outputLevel);
    plugkit::core::destroyFree(inputLevel);
}

template <typename T>
void TolvaCompressor<T>::initialize(T sampleRate, T attackMs, T releaseMs, T thresholdDb, T ratioValue,
                                    T makeup) {
    envelope = 0;
    rate = sampleRate;
    logOnePercent = static_cast<T>(std::log(0.01));
    attackCoef = coefFromTime(attackMs);
    releaseCoef = coefFromTime(releaseMs);
    attackTimeMs = attackMs;
    releaseTimeMs = releaseMs;
    for (dsp::PeakDetector<T>* follower : {inputLevel, outputLevel}) {
        follower->setSampleRate(sampleRate);
        follower->setEnvelope(1000, 1000);
        follower->detect(0);
    }
    threshold = thresholdDb;
    ratio = ratioValue;
    makeupGain = makeup;
    updateDerived();
}

template <typename T>
void TolvaCompressor<T>::setParams(T attackMs, T releaseMs, T thresholdDb, T ratioValue, T makeup) {
    // The coefficients depend only on the times and the rate (fixed between initialize calls), so
    // an unchanged time keeps its coefficient: called every block, this usually computes nothing.
    if (!(attackMs == attackTimeMs)) {
        attackCoef = coefFromTime(attackMs);
        attackTimeMs = attackMs;
    }
    if (!(releaseMs == releaseTimeMs)) {
        releaseCoef = coefFromTime(releaseMs);
        releaseTimeMs = releaseMs;
    }
    const bool derivedChanged = !(thresholdDb == threshold && ratioValue == ratio);
    threshold = thresholdDb;
    ratio = ratioValue;
    makeupGain = makeup;
    if (derivedChanged) updateDerived();
}

template <typename T>
void TolvaCompressor<T>::updateDerived() {
    slope = static_cast<T>(1.0 - 1.0 / static_cast<double>(ratio));
    if (slope > 0) {
        // A level strictly below the threshold rounds to at most the threshold; the margin covers
        // the rounding of the power itself many times over.
        const double twiceBound = 2.0 * std::pow(10.0, static_cast<double>(threshold) / 20.0) * (1.0 - 1e-9);
        unitySum = static_cast<float>(twiceBound);
        if (static_cast<double>(unitySum) < twiceBound) unitySum = std::nextafter(unitySum, HUGE_VALF);
    } else {
        unitySum = HUGE_VALF;
    }
}

template <typename T>
T TolvaCompressor<T>::detectorVal() const {
    return static_cast<T>(20.0 * std::log10(detectorAmplitude()));
}

template <typename T>
T TolvaCompressor<T>::calcAutoGain() {
    if (!autoGain) return 1;
    const T in = inputLevel->getEnvelope();
    const T out = outputLevel->getEnvelope();
    // The followers hold linear amplitudes, not levels in dB: the factor is 10^((in - out) / 20) of
    // those amplitudes as they are, which is how the automatic gain has always been computed.
    const T exponent = (in - out) / 20;
    return powerOfTen(static_cast<double>(exponent));
}

template <typename T>
T TolvaCompressor<T>::process(T x) {
    followInput(x);
    const T level = decibels(detectorAmplitude());
    const T reduction = reductionFor(level);
    const T gain = powerOfTen(static_cast<double>(reduction) / 20.0);
    T y = x * gain;
    outputLevel->detect(y);
    y = y * makeupGain;
    y = y * calcAutoGain();
    return y;
}

#if DSP_SSE2
template <typename T>
auto TolvaCompressor<T>::loadLanes(const TolvaCompressor (&bands)[4])
    -> Lanes requires std::is_same_v<T, float> {
    const TolvaCompressor* c = bands;
    // Each register is built from the four values (storing lane by lane and loading the whole
    // would stall the load on every field).
    const auto gather = [c](auto value) {
        return _mm_setr_ps(value(c[0]), value(c[1]), value(c[2]), value(c[3]));
    };
    Lanes s;
    s.envelope = gather([](const TolvaCompressor& b) { return b.envelope; });
    s.attackCoef = gather([](const TolvaCompressor& b) { return b.attackCoef; });
    s.releaseCoef = gather([](const TolvaCompressor& b) { return b.releaseCoef; });
    s.threshold = gather([](const TolvaCompressor& b) { return b.threshold; });
    s.slope = gather([](const TolvaCompressor& b) { return b.slope; });
    s.makeupGain = gather([](const TolvaCompressor& b) { return b.makeupGain; });
    s.inEnvelope = gather([](const TolvaCompressor& b) { return b.inputLevel->getEnvelope(); });
    s.inAttackCoef = gather([](const TolvaCompressor& b) { return b.inputLevel->getAttackCoef(); });
    s.inReleaseCoef = gather([](const TolvaCompressor& b) { return b.inputLevel->getReleaseCoef(); });
    s.outEnvelope = gather([](const TolvaCompressor& b) { return b.outputLevel->getEnvelope(); });
    s.outAttackCoef = gather([](const TolvaCompressor& b) { return b.outputLevel->getAttackCoef(); });
    s.outReleaseCoef = gather([](const TolvaCompressor& b) { return b.outputLevel->getReleaseCoef(); });
    s.autoGainMask = _mm_castsi128_ps(_mm_setr_epi32(c[0].autoGain ? -1 : 0, c[1].autoGain ? -1 : 0,
                                                     c[2].autoGain ? -1 : 0, c[3].autoGain ? -1 : 0));
    s.unitySum = gather([](const TolvaCompressor& b) { return b.unitySum; });
    s.anyAutoGain = c[0].autoGain || c[1].autoGain || c[2].autoGain || c[3].autoGain;
    return s;
}

template <typename T>
void TolvaCompressor<T>::storeLanes(const Lanes& s,
                                    TolvaCompressor (&bands)[4]) requires std::is_same_v<T, float> {
    alignas(16) float v[3][4];
    _mm_store_ps(v[0], s.envelope);
    _mm_store_ps(v[1], s.inEnvelope);
    _mm_store_ps(v[2], s.outEnvelope);
    for (int k = 0; k < 4; ++k) {
        bands[k].envelope = v[0][k];
        bands[k].inputLevel->restoreEnvelope(v[1][k]);
        bands[k].outputLevel->restoreEnvelope(v[2][k]);
    }
}

template <typename T>
inline __m128 TolvaCompressor<T>::processLanes(Lanes& s, __m128 x,
                                               __m128 partnerEnvelope) requires std::is_same_v<T, float> {
    namespace l4 = dsp::lanes4;
    // followInput
    const __m128 r = l4::abs(x);
    l4::follow(s.inEnvelope, r, s.inAttackCoef, s.inReleaseCoef);
    const __m128 c = l4::selectIfGreater(r, s.envelope, s.attackCoef, s.releaseCoef);
    s.envelope = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(s.envelope, r), c), r);
    // detectorAmplitude of linked compressors: the float sum, then half of it in double; a
    // non-finite partner envelope is replaced by the lane's own.
    const __m128 partnerFinite = _mm_cmpeq_ps(_mm_sub_ps(partnerEnvelope, partnerEnvelope), _mm_setzero_ps());
    const __m128 other =
        _mm_or_ps(_mm_and_ps(partnerFinite, partnerEnvelope), _mm_andnot_ps(partnerFinite, s.envelope));
    const __m128 sum = _mm_add_ps(s.envelope, other);
    __m128 gain = _mm_set1_ps(1.0f);  // while every sum is below its unity sum
    if (_mm_movemask_ps(_mm_cmplt_ps(sum, s.unitySum)) != 15) {
        const __m128d half = _mm_set1_pd(0.5);
        const __m128d ampLow = _mm_mul_pd(_mm_cvtps_pd(sum), half);
        const __m128d ampHigh = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(sum, sum)), half);
        const __m128 level = _mm_movelh_ps(dsp::fastdb::decibels2(ampLow), dsp::fastdb::decibels2(ampHigh));
        // reductionFor
        const __m128 zero = _mm_setzero_ps();
        const __m128 reduction = _mm_mul_ps(_mm_sub_ps(s.threshold, level), s.slope);
        const __m128 aboveOnly = l4::selectIfGreater(level, s.threshold, reduction, zero);
        const __m128 kept = l4::selectIfGreater(zero, aboveOnly, aboveOnly, zero);
        // powerOfTen4 of reduction / 20
        const __m128d twenty = _mm_set1_pd(20.0);
        const __m128d log2Of10 = _mm_set1_pd(3.3219280948873622);
        const __m128d eLow = _mm_div_pd(_mm_cvtps_pd(kept), twenty);
        const __m128d eHigh = _mm_div_pd(_mm_cvtps_pd(_mm_movehl_ps(kept, kept)), twenty);
        gain = _mm_movelh_ps(_mm_cvtpd_ps(dsp::fastdb::exp2Clamped(_mm_mul_pd(eLow, log2Of10))),
                             _mm_cvtpd_ps(dsp::fastdb::exp2Clamped(_mm_mul_pd(eHigh, log2Of10))));
    }
    const __m128 reduced = _mm_mul_ps(x, gain);
    l4::follow(s.outEnvelope, l4::abs(reduced), s.outAttackCoef, s.outReleaseCoef);
    __m128 y = _mm_mul_ps(reduced, s.makeupGain);
    if (s.anyAutoGain) {
        // Lanes without automatic gain get the exponent 0 and so the factor 1 exactly.
        const __m128 diff = _mm_and_ps(
            s.autoGainMask, _mm_div_ps(_mm_sub_ps(s.inEnvelope, s.outEnvelope), _mm_set1_ps(20.0f)));
        const __m128d log2Of10 = _mm_set1_pd(3.3219280948873622);
        const __m128d eLow = _mm_cvtps_pd(diff);
        const __m128d eHigh = _mm_cvtps_pd(_mm_movehl_ps(diff, diff));
        const __m128 factor =
            _mm_movelh_ps(_mm_cvtpd_ps(dsp::fastdb::exp2Clamped(_mm_mul_pd(eLow, log2Of10))),
                          _mm_cvtpd_ps(dsp::fastdb::exp2Clamped(_mm_mul_pd(eHigh, log2Of10))));
        y = _mm_mul_ps(y, factor);
    }
    return y;
}
#endif

}  // namespace tolvacompressor
