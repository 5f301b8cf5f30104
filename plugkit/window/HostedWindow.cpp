#include "plugkit/window/HostedWindow.h"

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/window/HeadlessWindow.h"
#include "plugkit/window/X11Window.h"

namespace plugkit::window {

namespace {

// An editor window registered in a host's HostedParent: forwards everything to the window inside
// (headless or X11) and withdraws itself from the record when it ends.
class HostedWindow final : public IWindow, public IHostedWindow {
public:
    HostedWindow(HostedParent* parent, IWindow* inner, HeadlessWindow* headless)
        : parent_(parent), inner_(inner), headless_(headless) {
        parent_->window = this;
    }
    ~HostedWindow() override {
        if (parent_->window == this) parent_->window = nullptr;
        destroyWindow(inner_);
    }

    void waitEventAndDispatch() override { inner_->waitEventAndDispatch(); }
    bool terminated() override { return inner_->terminated(); }
    std::uint32_t getTimeMs() override { return inner_->getTimeMs(); }
    void* systemHandle() override { return inner_->systemHandle(); }
    void dispatchPendingEvents() override { inner_->dispatchPendingEvents(); }
    int eventFileDescriptor() override { return inner_->eventFileDescriptor(); }
    int scaleFactor() override { return inner_->scaleFactor(); }

    Box tick(double dtSeconds) override { return headless_ ? headless_->tick(dtSeconds) : Box(); }
    bool mouseClick(int x, int y, MouseButton button, bool isDoubleClick) override {
        return headless_ && headless_->mouseClick(x, y, button, isDoubleClick);
    }
    bool mouseRelease(int x, int y, MouseButton button) override {
        return headless_ && headless_->mouseRelease(x, y, button);
    }
    void mouseMove(int x, int y) override {
        if (headless_) headless_->mouseMove(x, y);
    }
    void setModifiers(bool controlHeld, bool shiftHeld, bool altHeld) override {
        if (headless_) headless_->setModifiers(controlHeld, shiftHeld, altHeld);
    }
    ImageRef<const RGBA8> pixels() override {
        return headless_ ? headless_->buffer() : ImageRef<const RGBA8>();
    }

private:
    HostedParent* parent_;
    IWindow* inner_;
    HeadlessWindow* headless_;  // inner_ when it is headless
};

}  // namespace

HostedParent* asHostedParent(void* parent) {
#if defined(__APPLE__)
    (void)parent;
    return nullptr;  // the parent is always an NSView there
#else
    const auto bits = reinterpret_cast<std::uintptr_t>(parent);
    if (bits <= 0xFFFFFFFFu || bits % alignof(HostedParent) != 0) return nullptr;
    auto* record = static_cast<HostedParent*>(parent);
    return record->magic == HostedParent::kMagic ? record : nullptr;
#endif
}

IWindow* createHostedWindow(HostedParent* parent, IWindowListener* listener, int width, int height) {
    if (!parent || !listener) return nullptr;
    if (parent->x11Parent == 0) {
        auto* headless = core::mallocNew<HeadlessWindow>(listener, width, height);
        return core::mallocNew<HostedWindow>(parent, headless, headless);
    }
#if defined(__APPLE__)
    return nullptr;
#else
    IWindow* x11 = X11Window::create(reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent->x11Parent)),
                                     listener, width, height);
    if (!x11) return nullptr;
    return core::mallocNew<HostedWindow>(parent, x11, nullptr);
#endif
}

}  // namespace plugkit::window
