#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <type_traits>

#include "dsp/effect/AudioEffect.h"
#include "dsp/util/PeakDetector.h"
#include "plugkit/core/AlignedAlloc.h"
#include "tolvacompressor/CompressorKernels.h"

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

    // The lane state of the eight compressors of two channels (four bands each, channel 1 in lanes
    // 0-3) as plain floats, for the vector kernels (CompressorKernels.inc).
    using Bank = kernel::CompressorBank<dsp::simd::ScalarLanes>;
    // [audio thread] Copies the settings of channel c's four compressors into lanes 4c to 4c+3
    // (withState: their state too).
    static void loadBank(Bank& bank, int c, const TolvaCompressor (&bands)[4],
                         bool withState) requires std::is_same_v<T, float>;
    // [audio thread] Copies the state of lanes 4c to 4c+3 back into channel c's compressors.
    static void storeBank(const Bank& bank, int c,
                          TolvaCompressor (&bands)[4]) requires std::is_same_v<T, float>;

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
    // One compressor's lane for the kernels: process() does the kernels' operations on one value.
    using One = dsp::simd::OneLaneOf<T>;
    // Caches what follows from ratio and threshold alone.
    void updateDerived();
    // Steps 1 to 3 of process(): input follower and envelope.
    void followInput(T x) {
        inputLevel->detect(x);
        kernel::compressorEnvelope(envelope, std::abs(x), attackCoef, releaseCoef);
    }
    // The amplitude whose 20 log10 is the detected level, exactly as detectorVal() forms it. A
    // partner whose envelope is infinite or NaN (a non-finite sample on the other channel) is
    // ignored: this channel's own envelope takes its place, so its gain reduction stays.
    double detectorAmplitude() const {
        if (!partner) return static_cast<double>(envelope);
        const T other = partner->envelope - partner->envelope == 0 ? partner->envelope : envelope;
        return static_cast<double>(envelope + other) * 0.5;
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
    return kernel::autoGainFactor<One>(exponent);
}

template <typename T>
T TolvaCompressor<T>::process(T x) {
    followInput(x);
    const T level = kernel::decibelsOf<One>(detectorAmplitude());
    T y = x * kernel::gainForLevel<One>(level, threshold, slope);
    outputLevel->detect(y);
    y = y * makeupGain;
    y = y * calcAutoGain();
    return y;
}

template <typename T>
void TolvaCompressor<T>::loadBank(Bank& bank, int c, const TolvaCompressor (&bands)[4],
                                  bool withState) requires std::is_same_v<T, float> {
    for (int k = 0; k < 4; ++k) {
        const TolvaCompressor& b = bands[k];
        const int i = 4 * c + k;
        bank.attackCoef.r[i] = b.attackCoef;
        bank.releaseCoef.r[i] = b.releaseCoef;
        bank.threshold.r[i] = b.threshold;
        bank.slope.r[i] = b.slope;
        bank.makeupGain.r[i] = b.makeupGain;
        bank.inAttackCoef.r[i] = b.inputLevel->getAttackCoef();
        bank.inReleaseCoef.r[i] = b.inputLevel->getReleaseCoef();
        bank.outAttackCoef.r[i] = b.outputLevel->getAttackCoef();
        bank.outReleaseCoef.r[i] = b.outputLevel->getReleaseCoef();
        bank.autoGainMask.r[i] = std::bit_cast<float>(b.autoGain ? ~0u : 0u);
        bank.unitySum.r[i] = b.unitySum;
        if (withState) {
            bank.envelope.r[i] = b.envelope;
            bank.inEnvelope.r[i] = b.inputLevel->getEnvelope();
            bank.outEnvelope.r[i] = b.outputLevel->getEnvelope();
        }
    }
    bool any = false;
    for (int i = 0; i < 8; ++i) any = any || std::bit_cast<std::uint32_t>(bank.autoGainMask.r[i]) != 0;
    bank.anyAutoGain = any;
}

template <typename T>
void TolvaCompressor<T>::storeBank(const Bank& bank, int c,
                                   TolvaCompressor (&bands)[4]) requires std::is_same_v<T, float> {
    for (int k = 0; k < 4; ++k) {
        bands[k].envelope = bank.envelope.r[4 * c + k];
        bands[k].inputLevel->restoreEnvelope(bank.inEnvelope.r[4 * c + k]);
        bands[k].outputLevel->restoreEnvelope(bank.outEnvelope.r[4 * c + k]);
    }
}

}  // namespace tolvacompressor
