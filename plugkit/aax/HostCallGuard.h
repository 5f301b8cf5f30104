#pragma once

#include "plugkit/core/CpuInfo.h"
#include "plugkit/core/FPControl.h"

namespace plugkit::aax {

// Wraps every call from the host into the library: the floating-point state is fixed (denormals
// flushed, exceptions masked) and restored on return, and the processor's features are known before
// any plug-in code runs.
class HostCallGuard {
public:
    // [any thread] No allocation, lock or system call.
    HostCallGuard() noexcept { core::initializeCpuInfo(); }

private:
    core::FPStateGuard fpState_;
};

}  // namespace plugkit::aax
