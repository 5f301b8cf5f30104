#pragma once

#include <cstdint>

#include "plugkit/window/IWindow.h"
#include "plugkit/window/WindowEvents.h"

namespace plugkit::window {

struct CocoaViewHandlers;

// The editor's surface on macOS: a view of a class created at run time (one class per window) that
// receives the system's mouse, key, timer and repaint messages, hands them to the listener and shows
// the listener's buffer through Core Image. Cocoa and the Objective-C runtime are loaded by path and
// resolved by name on the first construction, so nothing of Apple's is needed to build this file;
// outside macOS the first construction stops the process (the factory never builds one there).
// Everything runs on the main thread: the handlers, the 60 Hz timer (on the main run loop in the
// common modes) and the repaints. Objective-C objects are held as untyped pointers.
class CocoaWindow final : public IWindow {
public:
    // [main thread] plugin usage: a view, added to parent (an NSView*) when one is given. host usage:
    // a top-level NSWindow with the application object, for the framework's own hosting.
    CocoaWindow(WindowUsage usage, void* parent, IWindowListener* listener, int width, int height);
    // [main thread] Stops the timer and removes and releases the view; the listener is not called
    // again, even by a message the system still had queued for the view.
    ~CocoaWindow() override;
    CocoaWindow(const CocoaWindow&) = delete;
    CocoaWindow& operator=(const CocoaWindow&) = delete;

    // [main thread] host usage only (fatal otherwise): takes the next event and sends it.
    void waitEventAndDispatch() override;
    bool terminated() override { return terminated_; }
    std::uint32_t getTimeMs() override;
    // [main thread] The view (plugin usage) or the window's content view (host usage).
    void* systemHandle() override;
    // The main run loop delivers the events: nothing to do.
    void dispatchPendingEvents() override {}
    int eventFileDescriptor() override { return -1; }
    // Retina screens are scaled by the system itself.
    int scaleFactor() override { return 1; }

    // The record that the view's instance variable "this" points to.
    struct View {
        void* object = nullptr;  // the view
        CocoaWindow* window = nullptr;
        void* timer = nullptr;        // NSTimer
        void* runLoopMode = nullptr;  // NSString under which the timer runs
    };

private:
    friend struct CocoaViewHandlers;

    void initView(int width, int height);
    void onTimer();
    void drawRect(double x, double y, double w, double h);

    IWindowListener* listener_;
    void* colorSpace_ = nullptr;    // NSColorSpace
    void* cgColorSpace_ = nullptr;  // its CGColorSpaceRef
    void* imageData_ = nullptr;     // NSData over the buffer at the last repaint
    void* nsWindow_ = nullptr;      // host usage
    void* application_ = nullptr;   // host usage
    View view_;
    bool terminated_ = false;
    MouseMoveTracker moves_;
    int width_ = 0;
    int height_ = 0;
    int askedWidth_;
    int askedHeight_;
    ImageRef<RGBA8> buffer_;
    std::uint32_t timeAtCreationMs_ = 0;
    std::uint32_t lastTimeMs_ = 0;
    bool firstRepaintPending_ = true;
    bool isHostWindow_;
};

}  // namespace plugkit::window
