#pragma once

#include <atomic>
#include <cstdint>

namespace plugkit::aax {

// Process-wide count of the binding's live reference-counted objects (effect-parameters and
// editor objects). ACFCanUnloadNow reports it; 0 means the library may be unloaded.

// [any thread] Current count.
std::int32_t liveObjectCount() noexcept;

// Base of every reference-counted binding object: counts itself as live from construction to
// destruction and keeps the object's reference count, which starts at 1 for the creator.
class LiveObject {
public:
    LiveObject() noexcept;
    ~LiveObject();
    LiveObject(const LiveObject&) = delete;
    LiveObject& operator=(const LiveObject&) = delete;

protected:
    // [any thread] Return the new reference count.
    std::uint32_t addReference() noexcept;
    std::uint32_t dropReference() noexcept;

private:
    std::atomic<std::uint32_t> refs_{1};
};

}  // namespace plugkit::aax
