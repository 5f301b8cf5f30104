#pragma once

#include <cstdint>

#include "plugkit/window/IWindow.h"

namespace plugkit::window {

// The part of an editor's window that a host drives itself. A host that wants to pump or drive the
// editor's window (the tolva host on Linux, which has no system event loop to share) hands the
// editor a HostedParent as its native parent; the window the editor opens inside it registers this
// interface there. All calls come from the thread that opened the editor.
class IHostedWindow {
public:
    // [window thread] As IWindow: descriptor readable when events wait (-1 for a headless window),
    // handling of waiting events and ticks, closed state, enlargement factor, native handle.
    virtual int eventFileDescriptor() = 0;
    virtual void dispatchPendingEvents() = 0;
    virtual bool terminated() = 0;
    virtual int scaleFactor() = 0;
    virtual void* systemHandle() = 0;

    // [window thread] Headless windows only (an on-screen window gets its input from the system and
    // ignores these): one timer tick, mouse events at editor pixels, modifiers for later events.
    virtual Box tick(double dtSeconds) = 0;
    virtual bool mouseClick(int x, int y, MouseButton button, bool isDoubleClick) = 0;
    virtual bool mouseRelease(int x, int y, MouseButton button) = 0;
    virtual void mouseMove(int x, int y) = 0;
    virtual void setModifiers(bool controlHeld, bool shiftHeld, bool altHeld) = 0;
    // [window thread] The pixels last shown, in RGBA order; empty for an on-screen window.
    virtual ImageRef<const RGBA8> pixels() = 0;

protected:
    ~IHostedWindow() = default;
};

// The parent record a driving host passes where the native parent goes (GetPtr of its view
// container). Plain data, so that host and plug-in agree on it across the library boundary.
struct HostedParent {
    static constexpr std::uint64_t kMagic = 0x3157485056544C54ull;  // "TLTVPHW1"
    std::uint64_t magic = kMagic;
    // X11 window to open the editor in as a child; 0 for a headless window.
    std::uint64_t x11Parent = 0;
    // Set by the editor's window while it is open inside this record, null otherwise.
    IHostedWindow* window = nullptr;
};

// [any thread] parent as a HostedParent, or null when it is a bare native parent: on Linux an X11
// window id (at most 29 bits) is never mistaken for the record's address.
HostedParent* asHostedParent(void* parent);

// [window thread] A window inside parent: headless when it names no X11 window, else an X11 child
// window. Null when the X11 window cannot be made. Registers itself in parent until destroyed.
IWindow* createHostedWindow(HostedParent* parent, IWindowListener* listener, int width, int height);

}  // namespace plugkit::window
