#pragma once

// The connection of the X11 tests to their X server. Xvfb resets itself when its last client
// disconnects and refuses connections meanwhile, so a connection is tried again until a deadline,
// and a second one is held for the whole test program so that the server does not reset between
// tests. Include after gtest: X.h defines macros (None) that clash with its names.

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <thread>

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

}  // namespace plugkit::testing
