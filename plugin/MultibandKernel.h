#pragma once

// The multiband audio path over one block, for every instruction set: the same kernel
// (plugin/MultibandKernel.inc) on scalar lanes, SSE2 lanes and AVX2 lanes, which give the same
// output and state bit for bit. Audio thread; never allocates, locks or blocks.

#include "tolvacompressor/LaneCache.h"

namespace plugin {

// The output of one channel from its four band outputs: the soloed bands summed in band order, or
// all four in the order (y1 + y2) + y3, then + y4, that the output has always been summed in
// (float addition is not associative, so the order is part of the result). [any thread]
inline float mixBands(const float y[4], const bool solo[4], bool anySolo) {
    if (!anySolo) return y[3] + ((y[0] + y[1]) + y[2]);
    float out = 0;
    for (int k = 0; k < 4; ++k)
        if (solo[k]) out = y[k] + out;
    return out;
}

// One block as the plug-in hands it to a kernel.
struct KernelBlockView {
    const float* const* inputs;
    float** outputs;
    int frames;    // at most 256
    int channels;  // 1 or 2
    bool precise;  // the crossover runs in double precision, through splitPrecise
    bool solo[4];
    bool anySolo;
    float outGain;
    // Fills bands[i] with the eight bands (channel 1's four, then channel 2's, zero with one
    // channel) of frame from + i, for i < n, from the double-precision crossovers.
    void (*splitPrecise)(void* context, const float* const* inputs, int from, int n, float (*bands)[8]);
    void* context;
};

// [audio thread] The block through the lanes in state (which hold the live state for
// view.channels channels), with scalar code, SSE2 registers, or AVX2 registers (only on a
// processor that has AVX2). Returns whether the lanes' state is finite afterwards.
bool runBlockScalar(tolvacompressor::BandLanes& state, const KernelBlockView& view);
bool runBlockSse2(tolvacompressor::BandLanes& state, const KernelBlockView& view);
bool runBlockAvx2(tolvacompressor::BandLanes& state, const KernelBlockView& view);

}  // namespace plugin
