#pragma once

#include <limits>

#include "dsp/effect/AudioEffect.h"
#include "dsp/simd/Kernels.h"

namespace dsp {

// Biquad section in direct form I with a wet/dry mix of the filtered value and the input:
//   v = a0*x + a1*x1 + a2*x2 - b1*y1 - b2*y2,   out = d0*x + c0*v.
// Concrete sections supply calcCoefficients(); the section keeps its own copy of the sample rate.
// The coefficients and state are the lane kernel's section (dsp/simd/Kernels.inc) with one lane,
// so the section and the vector kernels compute alike.
template <typename T>
class BiQuad : public AudioEffect<T>, protected kernel::BiQuadSection<T> {
public:
    using Section = kernel::BiQuadSection<T>;
    BiQuad() : Section{0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0} {}

    // [audio thread] One sample; the mixed output is what is fed back. Never allocates.
    T getNextSample(T x) override { return this->step(x); }

    // [audio thread] Clears the two previous inputs and outputs; the coefficients stay.
    void reset() override { this->x1 = this->x2 = this->y1 = this->y2 = 0; }

    // [audio thread] Stores the rate as the section's own, recomputes the coefficients from the
    // current frequency (NaN while it is unset), then clears the state. The base's rate is untouched.
    void setSampleRate(T rate) override {
        filterSampleRate = rate;
        calcCoefficients();
        reset();
    }

    // [audio thread] Stores the seven coefficients as given; the state is kept.
    virtual void initialize(T na0, T na1, T na2, T nb1, T nb2, T nc0, T nd0) {
        this->a0 = na0;
        this->a1 = na1;
        this->a2 = na2;
        this->b1 = nb1;
        this->b2 = nb2;
        this->c0 = nc0;
        this->d0 = nd0;
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
    bool hasFiniteState() const { return (this->x1 * 0 + this->x2 * 0 + this->y1 * 0 + this->y2 * 0) == 0; }

    T getFrequency() const { return frequency; }
    T getFilterSampleRate() const { return filterSampleRate; }

    // [any thread] Coefficients and state, for inspection and for loading into vector lanes.
    const Section& section() const { return *this; }
    // [audio thread] The state, for a caller that ran the section's recurrence itself (several
    // sections side by side in vector registers); the coefficients stay.
    Section& liveSection() { return *this; }

protected:
    T filterSampleRate = std::numeric_limits<T>::quiet_NaN();
    T frequency = std::numeric_limits<T>::quiet_NaN();
};

extern template class BiQuad<float>;

}  // namespace dsp
