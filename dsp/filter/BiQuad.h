#pragma once

#include <limits>

#include "dsp/effect/AudioEffect.h"

namespace dsp {

// Biquad section in direct form I with a wet/dry mix of the filtered value and the input:
//   v = a0*x + a1*x1 + a2*x2 - b1*y1 - b2*y2,   out = d0*x + c0*v.
// Concrete sections supply calcCoefficients(); the section keeps its own copy of the sample rate.
template <typename T>
class BiQuad : public AudioEffect<T> {
public:
    // [audio thread] One sample; the mixed output is what is fed back. Never allocates. The sum is
    // split into statements to fix the order of the float additions: the order is part of the
    // result, and BiQuadLanes reproduces exactly this order.
    T getNextSample(T x) override {
        T v = a0 * x + a1 * x1;
        v = v + a2 * x2;
        v = v - b1 * y1;
        v = v - b2 * y2;
        const T out = d0 * x + c0 * v;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = out;
        return out;
    }

    // [audio thread] Clears the two previous inputs and outputs; the coefficients stay.
    void reset() override { x1 = x2 = y1 = y2 = 0; }

    // [audio thread] Stores the rate as the section's own, recomputes the coefficients from the
    // current frequency (NaN while it is unset), then clears the state. The base's rate is untouched.
    void setSampleRate(T rate) override {
        filterSampleRate = rate;
        calcCoefficients();
        reset();
    }

    // [audio thread] Stores the seven coefficients as given; the state is kept.
    virtual void initialize(T na0, T na1, T na2, T nb1, T nb2, T nc0, T nd0) {
        a0 = na0;
        a1 = na1;
        a2 = na2;
        b1 = nb1;
        b2 = nb2;
        c0 = nc0;
        d0 = nd0;
    }

    // [audio thread] Sets the corner frequency in Hz and recomputes the coefficients, unless f equals
    // the current frequency exactly. The state is kept, so the frequency can move while audio runs.
    virtual void setFrequency(T f) {
        if (f == frequency) return;
        frequency = f;
        calcCoefficients();
    }

    // [audio thread] Computes a0..b2 from frequency and filterSampleRate.
    virtual void calcCoefficients() = 0;

    // [any thread] True when none of the four state values is infinite or NaN.
    bool hasFiniteState() const { return (x1 * 0 + x2 * 0 + y1 * 0 + y2 * 0) == 0; }

    T getFrequency() const { return frequency; }
    T getFilterSampleRate() const { return filterSampleRate; }

    // Coefficients and state, for inspection.
    struct Snapshot {
        T x1, x2, y1, y2, a0, a1, a2, b1, b2, c0, d0;
    };
    Snapshot snapshot() const { return {x1, x2, y1, y2, a0, a1, a2, b1, b2, c0, d0}; }

    // [audio thread] Puts back the two previous inputs and outputs, for a caller that ran the
    // section's recurrence itself (several sections side by side in vector registers).
    void setState(T nx1, T nx2, T ny1, T ny2) {
        x1 = nx1;
        x2 = nx2;
        y1 = ny1;
        y2 = ny2;
    }

protected:
    T x1 = 0, x2 = 0;
    T y1 = 0, y2 = 0;
    T a0 = 0, a1 = 0, a2 = 0;
    T b1 = 0, b2 = 0;
    T c0 = 1, d0 = 0;
    T filterSampleRate = std::numeric_limits<T>::quiet_NaN();
    T frequency = std::numeric_limits<T>::quiet_NaN();
};

extern template class BiQuad<float>;

}  // namespace dsp
