#include "plugkit/core/FPControl.h"

#if !defined(__x86_64__)
#error "FPControl supports x86-64 only"
#endif

namespace plugkit::core {

std::uint32_t getSSEControlState() noexcept {
    std::uint32_t state;
    asm volatile("stmxcsr %0" : "=m"(state));
    return state;
}

void setSSEControlState(std::uint32_t state) noexcept {
    asm volatile("ldmxcsr %0" : : "m"(state) : "memory");
}

std::uint16_t getFPUControlState() noexcept {
    std::uint16_t state;
    asm volatile("fnstcw %0" : "=m"(state));
    return state;
}

void setFPUControlState(std::uint16_t state) noexcept {
    asm volatile(
        "fnclex\n\t"
        "fldcw %0"
        :
        : "m"(state)
        : "memory");
}

FPStateGuard::FPStateGuard() noexcept : savedSSE_(getSSEControlState()), savedFPU_(getFPUControlState()) {
    setSSEControlState(kSSEState);
    setFPUControlState(kFPUState);
}

FPStateGuard::~FPStateGuard() {
    setSSEControlState(savedSSE_);
    setFPUControlState(savedFPU_);
}

}  // namespace plugkit::core
