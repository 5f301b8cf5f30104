#pragma once

// The band compressor's kernels (tolvacompressor/CompressorKernels.inc) for scalar code and SSE2
// registers, in namespace tolvacompressor::kernel. Pure inline functions: no allocation, no lock,
// no system call.

#include "dsp/simd/Kernels.h"

namespace tolvacompressor::kernel {
using namespace dsp::simd;
using namespace dsp::kernel;
#define DSP_KERNEL [[gnu::always_inline]] inline
#include "tolvacompressor/CompressorKernels.inc"
#undef DSP_KERNEL
}  // namespace tolvacompressor::kernel
