#include "dsp/simd/Kernels.h"

#include <cmath>

namespace dsp {

void decibelsOutsideFit(const double* x, float* out, int n) {
    for (int i = 0; i < n; ++i)
        if (!(x[i] > 0 && x[i] < HUGE_VAL)) out[i] = static_cast<float>(20.0 * std::log10(x[i]));
}

void decibelsOutsideFit(const double* x, double* out, int n) {
    for (int i = 0; i < n; ++i)
        if (!(x[i] > 0 && x[i] < HUGE_VAL)) out[i] = 20.0 * std::log10(x[i]);
}

}  // namespace dsp
