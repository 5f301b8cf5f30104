#include "plugkit/core/CpuInfo.h"

#include <cpuid.h>

#include <atomic>

namespace plugkit::core {

namespace {

enum : std::uint32_t {
    kSSE2 = 1u << 0,
    kSSE3 = 1u << 1,
    kSSSE3 = 1u << 2,
    kSSE41 = 1u << 3,
    kSSE42 = 1u << 4,
    kAVX = 1u << 5,
    kAVX2 = 1u << 6,
    kFMA = 1u << 7,
    kKnown = 1u << 31,  // set once the bits below it are valid
};

// Several threads may race to fill it; they all compute the same value, so a plain store suffices.
std::atomic<std::uint32_t> gFeatureBits{0};

std::uint32_t readFeatureBits() noexcept {
    std::uint32_t bits = kKnown;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return bits;
    if (d & bit_SSE2) bits |= kSSE2;
    if (c & bit_SSE3) bits |= kSSE3;
    if (c & bit_SSSE3) bits |= kSSSE3;
    if (c & bit_SSE4_1) bits |= kSSE41;
    if (c & bit_SSE4_2) bits |= kSSE42;
    if (c & bit_FMA) bits |= kFMA;
    // AVX is usable only when the operating system saves the wide registers (OSXSAVE + XCR0).
    bool osSavesAvx = false;
    if ((c & bit_OSXSAVE) && (c & bit_AVX)) {
        unsigned lo = 0, hi = 0;
        asm volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        osSavesAvx = (lo & 0x6) == 0x6;
    }
    if (osSavesAvx) {
        bits |= kAVX;
        if (__get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX2)) bits |= kAVX2;
    } else {
        bits &= ~kFMA;
    }
    return bits;
}

}  // namespace

void initializeCpuInfo() noexcept {
    if (gFeatureBits.load(std::memory_order_acquire) & kKnown) return;
    gFeatureBits.store(readFeatureBits(), std::memory_order_release);
}

CpuFeatures cpuFeatures() noexcept {
    initializeCpuInfo();
    const std::uint32_t bits = gFeatureBits.load(std::memory_order_acquire);
    CpuFeatures f;
    f.sse2 = bits & kSSE2;
    f.sse3 = bits & kSSE3;
    f.ssse3 = bits & kSSSE3;
    f.sse41 = bits & kSSE41;
    f.sse42 = bits & kSSE42;
    f.avx = bits & kAVX;
    f.avx2 = bits & kAVX2;
    f.fma = bits & kFMA;
    return f;
}

}  // namespace plugkit::core
