#pragma once

// The DSP kernels (dsp/simd/Kernels.inc) for scalar code and SSE2 registers, in namespace
// dsp::kernel. Pure inline functions: no allocation, no lock, no system call.

#include <cmath>
#include <type_traits>

#include "dsp/simd/Pack.h"
#include "dsp/simd/Sse2.h"

namespace dsp {

// [any thread] out[i] = float(20 log10(x[i])) through the library, for the lanes of x[0..n-1]
// that are not finite and positive (the others are left as they are). Out of line: only silence
// or a fault takes it.
void decibelsOutsideFit(const double* x, float* out, int n);
void decibelsOutsideFit(const double* x, double* out, int n);

namespace kernel {
using namespace dsp::simd;
#define DSP_KERNEL [[gnu::always_inline]] inline
#include "dsp/simd/Kernels.inc"
#undef DSP_KERNEL
}  // namespace kernel

}  // namespace dsp
