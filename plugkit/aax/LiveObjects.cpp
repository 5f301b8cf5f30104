#include "plugkit/aax/LiveObjects.h"

#include <atomic>

namespace plugkit::aax {

namespace {
std::atomic<std::int32_t> gLiveObjects{0};
}

std::int32_t liveObjectCount() noexcept { return gLiveObjects.load(std::memory_order_acquire); }

LiveObject::LiveObject() noexcept { gLiveObjects.fetch_add(1, std::memory_order_acq_rel); }

LiveObject::~LiveObject() { gLiveObjects.fetch_sub(1, std::memory_order_acq_rel); }

std::uint32_t LiveObject::addReference() noexcept {
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint32_t LiveObject::dropReference() noexcept {
    return refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
}

}  // namespace plugkit::aax
