#pragma once

#include <cstdint>

#include "plugkit/window/IWindow.h"
#include "plugkit/window/WindowEvents.h"

namespace plugkit::window {

// A window without a screen, for tests and tools: timer ticks, repaints and events happen when the
// caller asks, on the caller's thread, in the order the platform windows produce them, and the
// rendered buffer is handed out. Time is simulated: it advances only with tick.
class HeadlessWindow final : public IWindow {
public:
    // [any thread] Nothing is called on listener before the first tick or repaint. The buffer is
    // asked for in format (rgba leaves the listener's RGBA8 order as it is).
    HeadlessWindow(IWindowListener* listener, int width, int height,
                   WindowPixelFormat format = WindowPixelFormat::rgba);

    // [window thread] One timer tick dtSeconds after the previous one: onAnimate, recomputeDirtyAreas,
    // getDirtyRectangle, then a repaint when that box is not empty. Returns the box.
    Box tick(double dtSeconds = 1.0 / 60);
    // [window thread] A repaint as the system asks for it: onResized when the size changed since the
    // last one, recomputeDirtyAreas when no tick came before, then onDraw.
    void repaint();
    // [window thread] The size the next repaint hands to onResized.
    void resize(int width, int height);

    // [window thread] Events at editor pixel (x, y). Presses and releases update the buttons of the
    // state the events carry; a press restarts the move tracking, so the next move reports no motion.
    bool mouseClick(int x, int y, MouseButton button, bool isDoubleClick = false);
    bool mouseRelease(int x, int y, MouseButton button);
    void mouseMove(int x, int y);
    bool mouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY);
    bool keyDown(Key key);
    bool keyUp(Key key);
    // [window thread] Modifiers carried by the following mouse events.
    void setModifiers(bool controlHeld, bool shiftHeld, bool altHeld);

    // [window thread] The buffer of the last onResized, as the listener left it after the last
    // repaint (in the window's pixel format); empty before the first repaint.
    ImageRef<const RGBA8> buffer() const { return buffer_.asConst(); }
    // [window thread] Number of repaints so far.
    int repaintCount() const { return repaints_; }

    // Runs one tick.
    void waitEventAndDispatch() override { tick(); }
    bool terminated() override { return false; }
    // The simulated time since creation.
    std::uint32_t getTimeMs() override { return static_cast<std::uint32_t>(timeSeconds_ * 1000); }
    void* systemHandle() override { return nullptr; }
    void dispatchPendingEvents() override {}
    int eventFileDescriptor() override { return -1; }
    int scaleFactor() override { return 1; }

private:
    IWindowListener* listener_;
    WindowPixelFormat format_;
    int askedWidth_, askedHeight_;
    int width_ = 0, height_ = 0;
    ImageRef<RGBA8> buffer_;
    MouseState state_;
    MouseMoveTracker moves_;
    double timeSeconds_ = 0;
    bool firstRepaintPending_ = true;
    int repaints_ = 0;
};

}  // namespace plugkit::window
