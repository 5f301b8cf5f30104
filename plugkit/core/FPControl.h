#pragma once

#include <cstdint>

namespace plugkit::core {

// The floating-point control state is per thread; these functions touch only the calling thread.
// x86-64 only.

// [any thread] Reads the SSE control/status register (MXCSR).
std::uint32_t getSSEControlState() noexcept;
// [any thread] Writes the SSE control/status register (MXCSR).
void setSSEControlState(std::uint32_t state) noexcept;

// [any thread] Reads the x87 control word.
std::uint16_t getFPUControlState() noexcept;
// [any thread] Clears pending x87 exceptions, then writes the x87 control word, so the write cannot
// raise an exception that an earlier operation left pending.
void setFPUControlState(std::uint16_t state) noexcept;

// Scope object used at every entry from a host or from the system: saves the SSE and x87 control
// state, switches to all exceptions masked, flush-to-zero and denormals-are-zero, round to nearest
// (SSE 0x9FFF, x87 0x037F), and restores the saved state on exit, SSE first.
class FPStateGuard {
public:
    static constexpr std::uint32_t kSSEState = 0x9FFF;
    static constexpr std::uint16_t kFPUState = 0x037F;

    // [any thread]
    FPStateGuard() noexcept;
    // [the thread that built the guard]
    ~FPStateGuard();
    FPStateGuard(const FPStateGuard&) = delete;
    FPStateGuard& operator=(const FPStateGuard&) = delete;

private:
    std::uint32_t savedSSE_;
    std::uint16_t savedFPU_;
};

}  // namespace plugkit::core
