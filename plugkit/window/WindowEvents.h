#pragma once

#include <cstdint>

#include "plugkit/graphics/Box.h"
#include "plugkit/window/IWindow.h"

namespace plugkit::window {

using graphics::Point;

// Relative motion between move events. The first move after a click (or after creation) reports no
// motion, so a drag never starts with a jump from wherever the pointer was last seen.
class MouseMoveTracker {
public:
    // [window thread] The next move reports no motion.
    void restart() { first_ = true; }
    // [window thread] Records (x, y) and returns the motion since the previous move.
    Point move(int x, int y) {
        if (first_) {
            first_ = false;
            last_ = {x, y};
        }
        const Point d{x - last_.x, y - last_.y};
        last_ = {x, y};
        return d;
    }

private:
    bool first_ = true;
    Point last_;
};

// Double-click detection for systems that do not count clicks themselves: a press of the same button
// within kIntervalMs of the previous press and at most kSlop pixels away from it.
class ClickCounter {
public:
    static constexpr std::uint32_t kIntervalMs = 400;
    static constexpr int kSlop = 4;

    // [window thread] Records a press at timeMs; true when it completes a double click. A third press
    // starts counting again, as a triple click is not a second double click.
    bool press(MouseButton button, int x, int y, std::uint32_t timeMs) {
        const bool dbl = pending_ && button == button_ && timeMs - timeMs_ <= kIntervalMs &&
                         x - x_ <= kSlop && x_ - x <= kSlop && y - y_ <= kSlop && y_ - y <= kSlop;
        pending_ = !dbl;
        button_ = button;
        x_ = x;
        y_ = y;
        timeMs_ = timeMs;
        return dbl;
    }

private:
    bool pending_ = false;
    MouseButton button_ = MouseButton::left;
    int x_ = 0;
    int y_ = 0;
    std::uint32_t timeMs_ = 0;
};

}  // namespace plugkit::window
