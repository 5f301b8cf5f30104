#pragma once

#include <cstdint>

#include "plugkit/core/FPControl.h"

namespace plugkit::core {

// The floating-point mode of the audio path for one scope: the mode of FPStateGuard (SSE
// 0x9FFF: exceptions masked, flush-to-zero, denormals-are-zero, round to nearest; x87 0x037F), with
// the state from before put back exactly on exit. Unlike FPStateGuard it writes a control register
// only when the thread is not in that mode already, so a nested entry (the client's frame inside the
// render callback) or a caller that already runs in the mode pays two register reads per block.
// [any thread] No allocation, lock or system call.
class FPModeScope {
public:
    FPModeScope() noexcept {
        asm volatile("stmxcsr %0" : "=m"(savedSSE_));
        asm volatile("fnstcw %0" : "=m"(savedFPU_));
        // The low six MXCSR bits are sticky exception flags, not part of the mode.
        if ((savedSSE_ & ~kSSEFlags) != (FPStateGuard::kSSEState & ~kSSEFlags))
            setSSEControlState(FPStateGuard::kSSEState);
        switchedFPU_ = savedFPU_ != FPStateGuard::kFPUState;
        if (switchedFPU_) setFPUControlState(FPStateGuard::kFPUState);
    }
    // [the thread that built the scope] SSE first, as FPStateGuard does; the flags raised inside
    // are cleared again unless they were raised before.
    ~FPModeScope() {
        std::uint32_t now;
        asm volatile("stmxcsr %0" : "=m"(now));
        if (now != savedSSE_) setSSEControlState(savedSSE_);
        if (switchedFPU_) setFPUControlState(savedFPU_);
    }
    FPModeScope(const FPModeScope&) = delete;
    FPModeScope& operator=(const FPModeScope&) = delete;

private:
    static constexpr std::uint32_t kSSEFlags = 0x3F;
    std::uint32_t savedSSE_ = 0;
    std::uint16_t savedFPU_ = 0;
    bool switchedFPU_ = false;
};

}  // namespace plugkit::core
