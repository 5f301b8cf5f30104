#pragma once

// The one switch between the SSE2 kernels and their scalar equivalents. Every x86-64 compiler
// defines __SSE2__, so the scalar code would never be compiled there; TOLVA_FORCE_SCALAR (a CMake
// option) turns the SSE2 kernels off so that CI builds and tests the scalar paths as well.
#if (defined(__SSE2__) || defined(_M_X64)) && !defined(TOLVA_FORCE_SCALAR)
#include <emmintrin.h>
#define DSP_SSE2 1
#else
#define DSP_SSE2 0
#endif
