#pragma once

#include <utility>

namespace plugkit::aax {

// Holds one reference to a reference-counted interface of the other side (AddRef/Release) and
// releases it when reset or destroyed. This is the binding's whole adapter over the host's
// controller, transport, automation delegate, collection and services: calls go straight through.
template <class I>
class HostRef {
public:
    HostRef() = default;
    // Takes over a reference the caller already holds (for example from QueryInterface).
    explicit HostRef(I* adopted) : p_(adopted) {}
    ~HostRef() { reset(); }
    HostRef(const HostRef&) = delete;
    HostRef& operator=(const HostRef&) = delete;
    HostRef(HostRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    HostRef& operator=(HostRef&& other) noexcept {
        if (this != &other) reset(std::exchange(other.p_, nullptr));
        return *this;
    }

    // Releases the held reference, then takes over adopted.
    void reset(I* adopted = nullptr) {
        I* old = std::exchange(p_, adopted);
        if (old) old->Release();
    }
    // Hands the held reference to the caller.
    I* detach() { return std::exchange(p_, nullptr); }

    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    I* p_ = nullptr;
};

}  // namespace plugkit::aax
