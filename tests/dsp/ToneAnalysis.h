#pragma once

// Steady-state response of a per-sample processor to a sine: the processor is fed a sine of the
// given frequency, allowed to settle, and the output is correlated with sine and cosine over a
// whole number of periods (to the nearest sample).

#include <cmath>
#include <numbers>

namespace tests {

struct ToneResponse {
    double gainDb;
    double phaseDeg;  // output phase relative to the input sine, in (-180, 180]
};

// process(float) -> float is called once per sample.
template <class Process>
ToneResponse measureTone(Process&& process, double frequency, double sampleRate, double settleSeconds = 0.25,
                         int periods = 20, double amplitude = 0.5) {
    const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
    const long settle = static_cast<long>(settleSeconds * sampleRate);
    // At least half a second of whole periods keeps the leakage of a non-integer period small.
    const double wantedPeriods = std::fmax(periods, std::ceil(0.5 * frequency));
    const long measure = static_cast<long>(std::lround(wantedPeriods * sampleRate / frequency));
    double in = 0, quad = 0;
    for (long n = 0; n < settle + measure; ++n) {
        const float x = static_cast<float>(amplitude * std::sin(w * static_cast<double>(n)));
        const double y = process(x);
        if (n >= settle) {
            in += y * std::sin(w * static_cast<double>(n));
            quad += y * std::cos(w * static_cast<double>(n));
        }
    }
    const double a = 2.0 * std::hypot(in, quad) / static_cast<double>(measure);
    return {20.0 * std::log10(a / amplitude), std::atan2(quad, in) * 180.0 / std::numbers::pi};
}

inline double dbToLinear(double db) { return std::pow(10.0, db / 20.0); }

}  // namespace tests
