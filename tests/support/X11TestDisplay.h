#pragma once

// The connection of the X11 tests to their X server, and what they share on top of it. Xvfb resets
// itself when its last client disconnects and refuses connections meanwhile, so a connection is
// tried again until a deadline, and a second one is held for the whole test program so that the
// server does not reset between tests.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <ios>
#include <thread>

// After gtest: X.h defines macros (None) that clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace plugkit::testing {

// A connection to $DISPLAY, tried for up to ten seconds; null when there is no display.
inline Display* openTestDisplay() {
    if (!std::getenv("DISPLAY")) return nullptr;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        if (Display* d = XOpenDisplay(nullptr)) {
            static Display* const keepServerUp = XOpenDisplay(nullptr);  // never closed
            (void)keepServerUp;
            return d;
        }
        if (std::chrono::steady_clock::now() > end) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Calls step until done() or the deadline passed; false on the deadline.
inline bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
                      std::chrono::steady_clock::duration deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        step();
    }
    return true;
}

// Lets a plug-in window (IWindow) handle its events until done() or the deadline passed; false on
// the deadline.
template <class W>
bool pumpUntil(W& window, const std::function<bool()>& done, std::chrono::steady_clock::duration deadline) {
    return waitUntil(
        done,
        [&] {
            pollfd fd{window.eventFileDescriptor(), POLLIN, 0};
            poll(&fd, 1, 10);
            window.dispatchPendingEvents();
        },
        deadline);
}

// Pixels of window (0, 0, width, height) whose RGB differs from expected(x, y) (0xRRGGBB); -1 when
// the window cannot be read. With report, the first difference is added as a test failure.
inline int differingPixels(Display* display, Window window, int width, int height,
                           const std::function<unsigned long(int, int)>& expected, bool report) {
    XSync(display, False);
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) return -1;
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long want = expected(x, y);
            const unsigned long got = XGetPixel(image, x, y) & 0xffffff;
            if (got != want && wrong++ == 0 && report)
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << got << " instead of "
                              << want;
        }
    XDestroyImage(image);
    return wrong;
}

// A test against the X server in $DISPLAY: skipped without one unless TOLVA_REQUIRE_DISPLAY=1,
// with XTest to send input through the server and the editor scale held at 1. Subclasses that
// override SetUp or TearDown call these.
class X11Test : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = openTestDisplay();
        if (!display_) {
            const char* require = std::getenv("TOLVA_REQUIRE_DISPLAY");
            if (require && *require == '1') FAIL() << "no X display (run under xvfb-run -a)";
            GTEST_SKIP() << "no X display";
        }
        int event, error, major, minor;
        ASSERT_TRUE(XTestQueryExtension(display_, &event, &error, &major, &minor));
        setenv("TOLVA_UI_SCALE", "1", 1);
    }
    void TearDown() override {
        if (display_) XCloseDisplay(display_);
        display_ = nullptr;
    }

    // The pointer to root position (x, y), or to pixel (x, y) of window.
    void moveToRoot(int x, int y) {
        XTestFakeMotionEvent(display_, -1, x, y, 0);
        XFlush(display_);
    }
    void moveTo(Window window, int x, int y) {
        int rx = 0, ry = 0;
        Window child;
        XTranslateCoordinates(display_, window, DefaultRootWindow(display_), x, y, &rx, &ry, &child);
        moveToRoot(rx, ry);
    }
    void button(unsigned b, bool press) {
        XTestFakeButtonEvent(display_, b, press ? True : False, 0);
        XFlush(display_);
    }
    void key(KeySym sym, bool press) {
        XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, sym), press ? True : False, 0);
        XFlush(display_);
    }

    Display* display_ = nullptr;
};

}  // namespace plugkit::testing
