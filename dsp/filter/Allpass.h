#pragma once

#include <cmath>
#include <limits>

#include "dsp/effect/AudioEffect.h"
#include "dsp/simd/Kernels.h"

namespace dsp {

// Second-order all-pass in direct form II: unit gain at every frequency, phase -180 degrees at the
// centre frequency. Used to give one crossover band the phase of the split it does not go through.
// Its coefficients use the base's sampleRate; setSampleRate only stores the rate and clears the
// state, the coefficients follow on the next setFrequency or initialize.
// The coefficients and state are the lane kernel's section (dsp/simd/Kernels.inc) with one lane.
template <typename T>
class Allpass final : public AudioEffect<T>, private kernel::AllpassSection<T> {
public:
    using Section = kernel::AllpassSection<T>;
    Allpass() : Section{0, 0, 0, 0, 0, 0, 0, 0, std::numeric_limits<T>::quiet_NaN(), 0, 0, 0} {}

    // [audio thread] One sample. Never allocates.
    T getNextSample(T x) override { return this->step(x); }

    // [audio thread] Clears the state and the input/output history; the coefficients stay.
    void reset() override { w = s1 = s2 = y = x1 = x2 = y2 = 0; }

    // [audio thread] Computes the coefficients for centre frequency f (Hz) and quality q, in single
    // precision with 2*pi as the float 6.28318548 (float precision as for the Linkwitz-Riley
    // sections, so that the coefficients, and the output, stay the same bit for bit). The state is
    // recomputed so that the new filter continues from the last two inputs and outputs: the output
    // stays continuous whatever the jump, where the old state would blast (a low corner's state is
    // large). After a reset (silent history) the state is left as it is.
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
        matchStateToHistory();
    }

    // [audio thread] initialize(f, 0.707), recomputed on every call.
    virtual void setFrequency(T f) { initialize(f, static_cast<T>(0.707f)); }

    // [any thread] True when neither delay state is infinite or NaN.
    bool hasFiniteState() const { return (s1 * 0 + s2 * 0) == 0; }

    T getFrequency() const { return frequency; }
    T lastOutput() const { return y; }

    // [any thread] Coefficients, state and input/output history, for inspection and for loading
    // into vector lanes.
    const Section& section() const { return *this; }
    // [audio thread] The state, for a caller that ran the recurrence itself; the coefficients stay.
    Section& liveSection() { return *this; }

private:
    using Section::a1, Section::a2, Section::b0, Section::b1, Section::b2;
    using Section::w, Section::s1, Section::s2, Section::y, Section::x1, Section::x2, Section::y2;

    // Solves, in double, for the s1, s2 with which this direct form II gives the same next two
    // outputs as the direct form I with the current coefficients and the history x1, x2, y, y2.
    void matchStateToHistory() {
        if (x1 == 0 && x2 == 0 && y == 0 && y2 == 0) return;
        const double A1 = a1, A2 = a2, B0 = b0, B1 = b1, B2 = b2;
        const double X1 = x1, X2 = x2, Y1 = y, Y2 = y2;
        const double c1 = B1 - B0 * A1, c2 = B2 - B0 * A2;
        const double p = B1 * X1 + B2 * X2 - A1 * Y1 - A2 * Y2;
        const double q = B2 * X1 - A1 * p - A2 * Y1;
        const double det = -c1 * c1 * A2 - c2 * c2 + c1 * c2 * A1;
        const double n1 = (-p * c1 * A2 - c2 * q) / det;
        const double n2 = (c1 * q - (c2 - c1 * A1) * p) / det;
        if (std::isfinite(n1) && std::isfinite(n2)) {
            s1 = static_cast<T>(n1);
            s2 = static_cast<T>(n2);
        } else {
            reset();
        }
    }

    T a0 = 0;
    T frequency = std::numeric_limits<T>::quiet_NaN();
};

extern template class Allpass<float>;

}  // namespace dsp
