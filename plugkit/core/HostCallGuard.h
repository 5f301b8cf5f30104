#pragma once

#include "plugkit/core/CpuInfo.h"
#include "plugkit/core/FPControl.h"

namespace plugkit::core {

// Wraps every call from a host into the library (any plug-in format): the floating-point state is fixed
// (denormals flushed, exceptions masked) and restored on return, and the processor's features are known
// before any plug-in code runs.
class HostCallGuard {
public:
    // [any thread] No allocation, lock or system call.
    HostCallGuard() noexcept { initializeCpuInfo(); }

private:
    FPStateGuard fpState_;
};

}  // namespace plugkit::core
