#pragma once

#include <cmath>
#include <limits>

#include "dsp/effect/AudioEffect.h"

namespace dsp {

// Second-order all-pass in direct form II: unit gain at every frequency, phase -180 degrees at the
// centre frequency. Used to give one crossover band the phase of the split it does not go through.
// Its coefficients use the base's sampleRate; setSampleRate only stores the rate and clears the
// state, the coefficients follow on the next setFrequency or initialize.
template <typename T>
class Allpass final : public AudioEffect<T> {
public:
    // [audio thread] One sample. Never allocates. One operation per statement: the order of the float
    // operations is part of the result, and AllpassLanes reproduces exactly this order.
    T getNextSample(T x) override {
        w = x - a1 * s1;
        w = w - a2 * s2;
        y = b0 * w + b1 * s1;
        y = b2 * s2 + y;
        s2 = s1;
        s1 = w;
        return y;
    }

    // [audio thread] Clears w, s1, s2 and y; the coefficients stay.
    void reset() override { w = s1 = s2 = y = 0; }

    // [audio thread] Computes the coefficients for centre frequency f (Hz) and quality q, in single
    // precision with 2*pi as the float 6.28318548 (float precision as for the Linkwitz-Riley
    // sections, so that the coefficients, and the output, stay the same bit for bit). State is kept.
    virtual void initialize(T f, T q) {
        frequency = f;
        const T twoPi = static_cast<T>(6.28318548f);
        const T w0 = f * twoPi / this->sampleRate;
        const T cosw = std::cos(w0);
        const T alpha = std::sin(w0) / (2 * q);
        a0 = 1 + alpha;
        a1 = -2 * cosw / a0;
        a2 = (1 - alpha) / a0;
        b0 = (1 - alpha) / a0;
        b1 = -2 * cosw / a0;
        b2 = a0 / a0;
    }

    // [audio thread] initialize(f, 0.707), recomputed on every call.
    virtual void setFrequency(T f) { initialize(f, static_cast<T>(0.707f)); }

    // [any thread] True when neither delay state is infinite or NaN.
    bool hasFiniteState() const { return (s1 * 0 + s2 * 0) == 0; }

    T getFrequency() const { return frequency; }
    T lastOutput() const { return y; }

    // Coefficients and state, for inspection.
    struct Snapshot {
        T a0, a1, a2, b0, b1, b2, w, s1, s2, y;
    };
    Snapshot snapshot() const { return {a0, a1, a2, b0, b1, b2, w, s1, s2, y}; }

    // [audio thread] Puts back the state, for a caller that ran the recurrence itself.
    void setState(T nw, T ns1, T ns2, T ny) {
        w = nw;
        s1 = ns1;
        s2 = ns2;
        y = ny;
    }

private:
    T a0 = 0;
    T a1 = 0, a2 = 0;
    T b0 = 0, b1 = 0, b2 = 0;
    T w = 0;
    T s1 = 0, s2 = 0;
    T y = std::numeric_limits<T>::quiet_NaN();
    T frequency = std::numeric_limits<T>::quiet_NaN();
};

extern template class Allpass<float>;

}  // namespace dsp
