#pragma once

#include <cmath>
#include <limits>

#include "dsp/simd/Kernels.h"

namespace dsp {

// One-pole envelope follower with separate attack and release times (time to 1/e of a step).
// Subclasses choose the rectifier. Audio thread only; never allocates.
template <typename T>
class EnvelopeDetector {
public:
    EnvelopeDetector() : envelope(0) {}
    EnvelopeDetector(const EnvelopeDetector&) = delete;
    EnvelopeDetector& operator=(const EnvelopeDetector&) = delete;
    virtual ~EnvelopeDetector() = default;

    // [audio thread] Stores the rate in Hz; the coefficients are not recomputed.
    virtual void setSampleRate(T rate) { sampleRate = rate; }

    // [audio thread] Sets the attack and release times in ms from the stored rate, in single
    // precision: coef = exp(-1 / (ms * rate / 1000)). A time of 0 ms gives coefficient 0, so the
    // envelope jumps to the input.
    virtual void setEnvelope(T attackMs, T releaseMs) {
        attackCoef = std::exp(T(-1) / (attackMs * sampleRate / T(1000)));
        releaseCoef = std::exp(T(-1) / (releaseMs * sampleRate / T(1000)));
    }

    // [audio thread] Follows one sample and returns the new envelope.
    virtual T detect(T x) { return follow(processInput(x)); }

    // [any thread] The current envelope.
    virtual T getEnvelope() const { return envelope; }

    // [audio thread] Sets the envelope to 0; the coefficients stay.
    virtual void reset() { envelope = 0; }

    // [audio thread] The rectifier.
    virtual T processInput(T x) = 0;

    T getAttackCoef() const { return attackCoef; }
    T getReleaseCoef() const { return releaseCoef; }

    // [audio thread] Puts back the envelope, for a caller that ran follow() itself (several
    // followers side by side in vector registers).
    void restoreEnvelope(T value) { envelope = value; }

protected:
    // One step towards the rectified value v: the attack coefficient while v is above the envelope,
    // the release coefficient otherwise (also when v equals the envelope or is NaN).
    T follow(T v) { return kernel::followEnvelope(envelope, v, attackCoef, releaseCoef); }

    T attackCoef = std::numeric_limits<T>::quiet_NaN();
    T releaseCoef = std::numeric_limits<T>::quiet_NaN();
    T envelope;
    T sampleRate = std::numeric_limits<T>::quiet_NaN();
};

extern template class EnvelopeDetector<float>;

}  // namespace dsp
