#include "plugkit/core/FPControl.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

using namespace plugkit::core;

namespace {
// Computed at run time so the compiler cannot fold the arithmetic.
volatile float gTiny = std::numeric_limits<float>::min();
volatile float gZero = 0.0f;
volatile float gOne = 1.0f;
}  // namespace

TEST(FPStateGuard, FlushesDenormalsAndMasksTrapsThenRestoresCallerState) {
    const std::uint32_t callerSSE = getSSEControlState();
    const std::uint16_t callerFPU = getFPUControlState();
    // A caller state that differs from the guard's: denormals kept, round toward zero, x87 53-bit.
    const std::uint32_t testSSE = (callerSSE & ~0x8040u) | 0x6000u;
    const std::uint16_t testFPU = 0x027F;
    setSSEControlState(testSSE);
    setFPUControlState(testFPU);

    float insideTiny, insideInf;
    {
        FPStateGuard guard;
        EXPECT_EQ(getSSEControlState() & 0xFFC0u, 0x9FC0u);
        EXPECT_EQ(getFPUControlState(), 0x037F);
        insideTiny = gTiny / 4.0f;  // a denormal result
        insideInf = gOne / gZero;
    }
    const std::uint32_t afterSSE = getSSEControlState();
    const std::uint16_t afterFPU = getFPUControlState();
    const float outsideTiny = gTiny / 4.0f;
    setSSEControlState(callerSSE);
    setFPUControlState(callerFPU);

    EXPECT_EQ(insideTiny, 0.0f);
    EXPECT_TRUE(std::isinf(insideInf));
    EXPECT_EQ(afterSSE & 0xFFC0u, testSSE & 0xFFC0u);  // control bits exactly as the caller left them
    EXPECT_EQ(afterFPU, testFPU);
    EXPECT_GT(outsideTiny, 0.0f) << "denormals must be back after the guard";
}

TEST(FPStateGuard, SetFPUControlClearsPendingExceptions) {
    const std::uint16_t callerFPU = getFPUControlState();
    // Unmask x87 invalid-operation traps after leaving an exception pending; the write must not trap.
    volatile long double zero = 0.0L;
    volatile long double nan = zero / zero;  // raises a masked invalid operation, flag stays set
    (void)nan;
    setFPUControlState(0x037E);
    setFPUControlState(callerFPU);
    EXPECT_EQ(getFPUControlState(), callerFPU);
}
