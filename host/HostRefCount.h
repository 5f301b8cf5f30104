#pragma once

#include <atomic>
#include <cstdint>

namespace host {

// Reference count of a host-side object handed to the plug-in. The object's lifetime belongs to its
// C++ owner; the count only tracks the references the plug-in took (AddRef or a successful
// QueryInterface) so the owner can check at teardown that every one was given back. [any thread]
class HostRefCount {
public:
    uint32_t add() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    // A release without a matching add is counted as an error instead of wrapping around.
    uint32_t release() {
        int32_t cur = refs_.load(std::memory_order_relaxed);
        while (cur > 0 && !refs_.compare_exchange_weak(cur, cur - 1, std::memory_order_acq_rel)) {
        }
        if (cur <= 0) {
            overReleases_.fetch_add(1, std::memory_order_relaxed);
            return 0;
        }
        return static_cast<uint32_t>(cur - 1);
    }
    // References the plug-in still holds.
    int32_t outstanding() const { return refs_.load(std::memory_order_acquire); }
    // Releases the plug-in made beyond the references it held.
    int32_t overReleases() const { return overReleases_.load(std::memory_order_relaxed); }

private:
    std::atomic<int32_t> refs_{0};
    std::atomic<int32_t> overReleases_{0};
};

}  // namespace host
