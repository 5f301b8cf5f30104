#include "plugkit/window/IWindow.h"

namespace plugkit::window {

WindowBackend resolveWindowBackend(WindowBackend backend) {
    if (backend != WindowBackend::automatic) return backend;
#if defined(__APPLE__)
    return WindowBackend::cocoa;
#else
    return WindowBackend::x11;
#endif
}

IWindow* createWindow(WindowBackend, void*, IWindowListener*, int, int) { return nullptr; }

}  // namespace plugkit::window
