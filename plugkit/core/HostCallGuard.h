#pragma once

#include "plugkit/core/CpuInfo.h"
#include "plugkit/core/FPModeScope.h"

namespace plugkit::core {

// Wraps every call from a host into the library (any plug-in format): the floating-point state is fixed
// (denormals flushed, exceptions masked) and restored on return, and the processor's features are known
// before any plug-in code runs. The mode is switched only when the thread is not in it already, so the
// render callback of a host that runs in that mode, and the client's own scope nested inside it, cost
// two register reads.
class HostCallGuard {
public:
    // [any thread] No allocation, lock or system call.
    HostCallGuard() noexcept { initializeCpuInfo(); }

private:
    FPModeScope fpMode_;
};

}  // namespace plugkit::core
