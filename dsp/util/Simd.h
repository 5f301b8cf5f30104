#pragma once

// Whether the build has SSE2 registers (and so the SSE2 and AVX2 lanes of the DSP kernels). Every
// x86-64 compiler defines __SSE2__; TOLVA_FORCE_SCALAR (a CMake option) builds as for a processor
// without it, so that CI builds that configuration too.
#if (defined(__SSE2__) || defined(_M_X64)) && !defined(TOLVA_FORCE_SCALAR)
#include <emmintrin.h>
#define DSP_SSE2 1
#else
#define DSP_SSE2 0
#endif
