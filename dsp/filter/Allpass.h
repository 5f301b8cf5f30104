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
        y2 = y;
        w = x - a1 * s1;
        w = w - a2 * s2;
        y = b0 * w + b1 * s1;
        y = b2 * s2 + y;
        s2 = s1;
        s1 = w;
        x2 = x1;
        x1 = x;
        return y;
    }

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

    // Coefficients, state and input/output history, for inspection.
    struct Snapshot {
        T a0, a1, a2, b0, b1, b2, w, s1, s2, y, x1, x2, y2;
    };
    Snapshot snapshot() const { return {a0, a1, a2, b0, b1, b2, w, s1, s2, y, x1, x2, y2}; }

    // [audio thread] Puts back the state and history, for a caller that ran the recurrence itself.
    void setState(T nw, T ns1, T ns2, T ny, T nx1, T nx2, T ny2) {
        w = nw;
        s1 = ns1;
        s2 = ns2;
        y = ny;
        x1 = nx1;
        x2 = nx2;
        y2 = ny2;
    }

private:
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
    T a1 = 0, a2 = 0;
    T b0 = 0, b1 = 0, b2 = 0;
    T w = 0;
    T s1 = 0, s2 = 0;
    T y = std::numeric_limits<T>::quiet_NaN();
    T x1 = 0, x2 = 0, y2 = 0;  // the last two inputs and the output before y
    T frequency = std::numeric_limits<T>::quiet_NaN();
};

extern template class Allpass<float>;

}  // namespace dsp
