#pragma once

#include <cstdint>

#include "plugkit/window/IWindow.h"
#include "plugkit/window/WindowEvents.h"

union _XEvent;

namespace plugkit::window {

// The editor's surface on Linux: an X11 window, child of the host's window or top-level, on a
// display connection of its own, that shows the listener's buffer with XPutImage (through MIT-SHM
// when the server offers it) and translates X events to the listener as the macOS window does.
//
// Threading: there is no thread of its own. The 60 Hz timer is a timerfd that, with the display
// connection, is gathered in one epoll descriptor (eventFileDescriptor). The thread that created the
// window drives it: waitEventAndDispatch blocks for the next event or tick, dispatchPendingEvents
// handles what is waiting. Hosts that own the loop watch the descriptor (it becomes readable at
// least 60 times a second while the window lives) or call dispatchPendingEvents from their own idle
// timer. Every listener call happens inside these two functions, on that thread, under the
// floating-point guard of core/FPControl.h; nothing happens while nobody calls them.
//
// High-density screens: the editor is shown enlarged by scaleFactor() (chooseScaleFactor of
// X11Events.h: TOLVA_UI_SCALE, GDK_SCALE, QT_SCALE_FACTOR, Xft.dpi, the server's DPI), each editor
// pixel as a square of factor x factor, and mouse coordinates are mapped back to editor pixels.
class X11Window final : public IWindow {
public:
    // [window thread] Opens the window (see createWindow). Returns null when the display does not
    // open, the parent does not exist, or the screen has no 24-bit TrueColor visual; from
    // mallocNew, ended with destroyWindow.
    static X11Window* create(void* parent, IWindowListener* listener, int width, int height);
    // [window thread] Closes the window and the connection; the listener is not called again.
    ~X11Window() override;
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    void waitEventAndDispatch() override;
    // [window thread] True once the window manager asked a top-level window to close, or the window
    // was destroyed from outside (with its parent).
    bool terminated() override { return terminated_; }
    std::uint32_t getTimeMs() override;
    // The X11 Window id, cast to a pointer.
    void* systemHandle() override;
    void dispatchPendingEvents() override;
    int eventFileDescriptor() override;
    int scaleFactor() override { return scale_; }

    // [any thread] True when frames reach the server through shared memory. TOLVA_X11_NO_SHM=1 in
    // the environment turns shared memory off (for diagnosis and tests).
    bool usesSharedMemory() const;
    // [any thread] The byte order the window asks the listener for.
    WindowPixelFormat pixelFormat() const { return format_; }

    struct System;  // the X11 objects, defined where Xlib is included

private:
    X11Window(IWindowListener* listener, int width, int height);
    bool open(unsigned long parent);
    bool chooseVisual();
    int chooseScale();
    bool createXWindow(unsigned long parent);
    bool createImage();
    bool startTimer();
    void handleEvent(_XEvent& event);
    void handleButton(_XEvent& event, bool press);
    void handleKey(_XEvent& event, bool press);
    void tick();
    void paint(const Box& editorArea);
    void showFromImage(const Box& windowArea);
    bool readTimer();

    System* x_ = nullptr;
    IWindowListener* listener_;
    int askedWidth_, askedHeight_;
    int width_ = 0, height_ = 0;
    int scale_ = 1;
    WindowPixelFormat format_ = WindowPixelFormat::bgra;
    ImageRef<RGBA8> buffer_;
    bool imageFilled_ = false;  // the image holds a whole frame
    bool firstRepaintPending_ = true;
    bool terminated_ = false;
    bool extra1Down_ = false, extra2Down_ = false;
    MouseMoveTracker moves_;
    ClickCounter clicks_;
    std::uint32_t timeAtCreationMs_ = 0;
    std::uint32_t lastTimeMs_ = 0;
};

}  // namespace plugkit::window
