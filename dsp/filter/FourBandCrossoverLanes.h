#pragma once

#include "dsp/filter/FourBandCrossover.h"
#include "dsp/simd/Kernels.h"

namespace dsp {

// The crossovers of one or two channels as the lane state of the vector kernels
// (kernel::CrossoverQuads, which gives the lanes' layout), kept as plain floats between blocks.
using CrossoverLanes = kernel::CrossoverQuads<simd::ScalarLanes>;

// [audio thread] Copies the coefficients of the crossovers into the lanes, and with withState
// their state; second may be null (one channel: its lanes are zero, coefficients included).
void loadCrossoverLanes(CrossoverLanes& lanes, const FourBandCrossover<float>& first,
                        const FourBandCrossover<float>* second, bool withState);
// [audio thread] Puts the lanes' state back into the crossovers they were loaded from.
void storeCrossoverLanes(const CrossoverLanes& lanes, FourBandCrossover<float>& first,
                         FourBandCrossover<float>* second);

}  // namespace dsp
