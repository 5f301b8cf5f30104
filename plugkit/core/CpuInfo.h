#pragma once

#include <cstdint>

namespace plugkit::core {

// Instruction-set extensions of the processor, read once with cpuid.
struct CpuFeatures {
    bool sse2 = false;
    bool sse3 = false;
    bool ssse3 = false;
    bool sse41 = false;
    bool sse42 = false;
    bool avx = false;
    bool avx2 = false;
    bool fma = false;
};

// [any thread] Reads the processor's features on the first call; later calls cost one atomic load.
// Never blocks, allocates or enters the kernel, so host entry points may call it on any thread.
void initializeCpuInfo() noexcept;

// [any thread] The features, read on demand if initializeCpuInfo has not run yet.
CpuFeatures cpuFeatures() noexcept;

}  // namespace plugkit::core
