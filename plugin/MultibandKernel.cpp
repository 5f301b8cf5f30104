// The multiband kernel on scalar lanes and on SSE2 lanes (the AVX2 one is MultibandKernelAvx2.cpp).

#include "plugin/MultibandKernel.h"

#include <cstring>

#include "tolvacompressor/CompressorKernels.h"

namespace plugin {

namespace kernel {
using namespace dsp::simd;
using namespace dsp::kernel;
using namespace tolvacompressor::kernel;
#define DSP_KERNEL [[gnu::always_inline]] inline
#include "plugin/MultibandKernel.inc"
#undef DSP_KERNEL
}  // namespace kernel

bool runBlockScalar(tolvacompressor::BandLanes& state, const KernelBlockView& view) {
    using L = dsp::simd::ScalarLanes;
    return kernel::runBlockFor<L, kernel::QuadCrossover<L>, kernel::PlainMixer<L>>(state, view);
}

bool runBlockSse2(tolvacompressor::BandLanes& state, const KernelBlockView& view) {
#if DSP_SSE2
    using L = dsp::simd::Sse2Lanes;
    return kernel::runBlockFor<L, kernel::QuadCrossover<L>, kernel::PlainMixer<L>>(state, view);
#else
    return runBlockScalar(state, view);
#endif
}

}  // namespace plugin
