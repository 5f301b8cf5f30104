#include <cstdlib>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/Fatal.h"
#include "plugkit/window/CocoaWindow.h"
#include "plugkit/window/HeadlessWindow.h"
#include "plugkit/window/HostedWindow.h"
#include "plugkit/window/IWindow.h"
#include "plugkit/window/X11Window.h"

namespace plugkit::window {

void* IWindow::operator new(std::size_t size) {
    void* block = std::malloc(size);
    if (!block) core::outOfMemory();
    return block;
}

void IWindow::operator delete(void* block) noexcept { std::free(block); }

WindowBackend resolveWindowBackend(WindowBackend backend) {
    if (backend != WindowBackend::automatic) return backend;
#if defined(__APPLE__)
    return WindowBackend::cocoa;
#else
    return WindowBackend::x11;
#endif
}

IWindow* createWindow(WindowBackend backend, void* parent, IWindowListener* listener, int width, int height) {
    if (!listener) return nullptr;
    // A host that drives the window itself passes its record instead of a native parent.
    if (backend == WindowBackend::automatic || backend == WindowBackend::x11)
        if (HostedParent* hosted = asHostedParent(parent))
            return createHostedWindow(hosted, listener, width, height);
    switch (resolveWindowBackend(backend)) {
        case WindowBackend::cocoa:
#if defined(__APPLE__)
            return core::mallocNew<CocoaWindow>(WindowUsage::plugin, parent, listener, width, height);
#else
            return nullptr;  // built everywhere, usable only where Cocoa exists
#endif
        case WindowBackend::x11:
#if defined(__APPLE__)
            return nullptr;
#else
            return X11Window::create(parent, listener, width, height);
#endif
        case WindowBackend::headless:
            return core::mallocNew<HeadlessWindow>(listener, width, height);
        case WindowBackend::automatic:
            break;
    }
    return nullptr;
}

void destroyWindow(IWindow* window) { core::destroyFree(window); }

}  // namespace plugkit::window
