#pragma once

#include <cstddef>
#include <cstdint>

#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"

namespace plugkit::window {

using graphics::Box;
using graphics::ImageRef;
using graphics::RGBA8;

// Mouse button of a click or release.
enum class MouseButton : std::int32_t {
    left = 0,
    right = 1,
    middle = 2,
};

// Buttons and modifiers at the time of an event. The two extra buttons are the fourth and fifth
// buttons where the platform reports them (never on macOS).
struct MouseState {
    bool leftDown = false;
    bool rightDown = false;
    bool middleDown = false;
    bool extra1Down = false;
    bool extra2Down = false;
    bool controlHeld = false;
    bool shiftHeld = false;
    bool altHeld = false;
    constexpr bool operator==(const MouseState&) const = default;

    // Records a press (down) or release of one of the three main buttons.
    constexpr void setButton(MouseButton button, bool down) {
        switch (button) {
            case MouseButton::left:
                leftDown = down;
                break;
            case MouseButton::right:
                rightDown = down;
                break;
            case MouseButton::middle:
                middleDown = down;
                break;
        }
    }
};
static_assert(sizeof(MouseState) == 8);

// Keys the widgets understand; everything else arrives as unsupported.
// clang-format off
enum class Key : std::int32_t {
    space = 0,
    arrowUp = 1,
    arrowDown = 2,
    arrowLeft = 3,
    arrowRight = 4,
    digit0 = 5, digit1, digit2, digit3, digit4, digit5, digit6, digit7, digit8, digit9,
    a = 15, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p, q, r, s, t, u, v, w, x, y, z,
    A = 41, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
    backspace = 67,
    enter = 68,
    escape = 69,
    unsupported = 70,
};
// clang-format on

// [any thread] The character of a key: ' ' for space, '0'..'9', 'a'..'z', 'A'..'Z'; backspace gives
// 9 (tab); every other key gives 0.
constexpr char getCharFromKey(Key key) {
    const int v = static_cast<int>(key);
    if (v == 0) return ' ';
    if (v >= 5 && v <= 14) return static_cast<char>('0' + (v - 5));
    if (v >= 15 && v <= 40) return static_cast<char>('a' + (v - 15));
    if (v >= 41 && v <= 66) return static_cast<char>('A' + (v - 41));
    if (v == 67) return 9;
    return 0;
}

// Byte order in which the window wants the rendered buffer when it calls onDraw. The listener
// converts its RGBA8 pixels in place and forces alpha to 255.
enum class WindowPixelFormat : std::int32_t {
    bgra = 0,  // blue, green, red, alpha (X11 32-bit TrueColor on little-endian machines)
    argb = 1,  // alpha, red, green, blue (Core Image's ARGB8)
    rgba = 2,  // unchanged order
};

// How a window sits on screen.
enum class WindowUsage : std::int32_t {
    plugin = 0,  // child of a view or window the host gives
    host = 1,    // top-level window of its own
};

// Receiver of a window's events; implemented by the editor's redraw loop. Every call comes on the
// window's thread (the thread that created the window), one at a time.
class IWindowListener {
public:
    virtual ~IWindowListener() = default;

    // [window thread] A button went down at (x, y) in editor pixels; true when a widget took it.
    virtual bool onMouseClick(int x, int y, MouseButton button, bool isDoubleClick, MouseState state) = 0;
    // [window thread] A button went up at (x, y).
    virtual bool onMouseRelease(int x, int y, MouseButton button, MouseState state) = 0;
    // [window thread] Wheel or scroll at (x, y); deltas in tenths of a wheel notch, positive up/right.
    virtual bool onMouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState state) = 0;
    // [window thread] The pointer moved to (x, y) by (dx, dy) since the previous move.
    virtual void onMouseMove(int x, int y, int dx, int dy, MouseState state) = 0;
    // [window thread] Key pressed; true when the key was used.
    virtual bool onKeyDown(Key key) = 0;
    // [window thread] Key released; true when the key was used.
    virtual bool onKeyUp(Key key) = 0;
    // [window thread] Render the dirty areas into the buffer of the last onResized, in format.
    virtual void onDraw(WindowPixelFormat format) = 0;
    // [window thread] The editor area is now width x height; returns the buffer to render into and
    // show (valid until the next onResized).
    virtual ImageRef<RGBA8> onResized(int width, int height) = 0;
    // [window thread] Collect the areas that widgets marked dirty since the last call.
    virtual void recomputeDirtyAreas() = 0;
    // [window thread] The area to repaint, an empty box when none.
    virtual Box getDirtyRectangle() = 0;
    // [window thread] The window lost the mouse capture in the middle of a drag.
    virtual void onMouseCaptureCancelled() = 0;
    // [window thread] Timer tick: dt seconds since the previous tick, time since the window opened.
    virtual void onAnimate(double dt, double time) = 0;
};

// A platform window that shows an editor. Destroying it closes the window; the listener is not
// owned and must outlive it.
class IWindow {
public:
    virtual ~IWindow() = default;

    // Windows come from the system allocator like every framework object, so destroyWindow and
    // `delete` both end them correctly.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t, void* place) noexcept { return place; }
    static void operator delete(void* block) noexcept;

    // [window thread] Blocks until the next event (or timer tick) and handles it. Top-level windows
    // and hosts that run the loop themselves only.
    virtual void waitEventAndDispatch() = 0;
    // [window thread] True once the user closed a top-level window or the window was destroyed.
    virtual bool terminated() = 0;
    // [any thread] Milliseconds of a monotonic clock, wrapping at 32 bits.
    virtual std::uint32_t getTimeMs() = 0;
    // [window thread] The native handle: the NSView on macOS, the X11 Window id (cast to a pointer)
    // on Linux, null for the headless window.
    virtual void* systemHandle() = 0;

    // [window thread] Handles every event already waiting (timer ticks included) without blocking.
    // Hosts that own the event loop call it when eventFileDescriptor() is readable or from their
    // idle timer. Does nothing where the system's own loop delivers events (macOS).
    virtual void dispatchPendingEvents() = 0;
    // [any thread] A descriptor that becomes readable when events wait for dispatchPendingEvents,
    // -1 when there is none.
    virtual int eventFileDescriptor() = 0;
    // [any thread] Whole factor by which the editor is enlarged on screen (1 unless the screen is
    // high-density and the system does not scale itself); the window's size on screen is the
    // editor's size times this factor.
    virtual int scaleFactor() = 0;
};

// Which window implementation createWindow builds.
enum class WindowBackend : std::int32_t {
    automatic = 0,  // the platform's window: Cocoa on macOS, X11 on Linux
    cocoa = 1,
    x11 = 2,
    headless = 3,  // no screen; see HeadlessWindow.h for driving it
};

// [any thread] The backend that automatic stands for on this platform; other values unchanged.
WindowBackend resolveWindowBackend(WindowBackend backend);

// [window thread] Creates a window of width x height editor pixels that sends its events to
// listener. parent is the native parent: the X11 Window id cast to a pointer (the window becomes its
// child; without one it is a top-level window), or the NSView* that the Cocoa view is added to
// (without one the caller adds the view it gets from systemHandle). Returns null when the backend
// does not exist on this platform or the system refuses (no X display, a parent that does not
// exist). The caller owns the window and ends it with destroyWindow.
IWindow* createWindow(WindowBackend backend, void* parent, IWindowListener* listener, int width, int height);

// [window thread] Closes and frees a window from createWindow. Null is ignored.
void destroyWindow(IWindow* window);

}  // namespace plugkit::window
