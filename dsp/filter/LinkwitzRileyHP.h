#pragma once

#include <cmath>
#include <limits>

#include "dsp/filter/BiQuad.h"

namespace dsp {

// Second-order Linkwitz-Riley high-pass s^2 / (s + omega)^2, bilinear transform prewarped at the
// corner frequency: -6.02 dB at the corner; together with the matching low-pass the difference
// of the two outputs is a first-order all-pass.
template <typename T>
class LinkwitzRileyHP final : public BiQuad<T> {
public:
    // [audio thread] Recomputes the coefficients from frequency and filterSampleRate, in single
    // precision with pi as the float 3.14159274. The coefficients have always been computed in float
    // from this pi; a closer (double) pi would move every coefficient by an ulp or so and with it the
    // output, which is kept the same bit for bit.
    void calcCoefficients() override {
        const T pi = static_cast<T>(3.14159274f);
        omega = pi * this->frequency;
        theta = omega / this->filterSampleRate;
        kappa = omega / std::tan(theta);
        delta = kappa * kappa + omega * omega + 2 * kappa * omega;
        this->a0 = kappa * kappa / delta;
        this->a1 = -2 * kappa * kappa / delta;
        this->a2 = kappa * kappa / delta;
        this->b1 = (2 * omega * omega - 2 * kappa * kappa) / delta;
        this->b2 = (kappa * kappa - 2 * kappa * omega + omega * omega) / delta;
    }

private:
    T theta = std::numeric_limits<T>::quiet_NaN();
    T omega = std::numeric_limits<T>::quiet_NaN();
    T kappa = std::numeric_limits<T>::quiet_NaN();
    T delta = std::numeric_limits<T>::quiet_NaN();
};

extern template class LinkwitzRileyHP<float>;

}  // namespace dsp
