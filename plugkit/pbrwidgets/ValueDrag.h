#pragma once

#include <cmath>

#include "plugkit/window/IWindow.h"

namespace plugkit::pbrwidgets {

// Vertical drag of a normalised value with a sensitivity and crossing points: once a drag has pushed
// the value past 0 (or 1), the pointer must come back to where that happened before the value
// follows it again, so the value stays under the same pointer position.
class ValueDrag {
public:
    explicit ValueDrag(float sensitivity) : sensitivity_(sensitivity) {}

    // [editor thread] The value after a drag event: old normalised value, vertical movement dy and
    // local pointer y over a widget of the given height. Alt gives defaultValue; Control or Shift
    // divide the movement by ten. Returns old while the pointer is beyond a recorded crossing.
    float next(float old, int y, int dy, int height, window::MouseState state, float defaultValue);

    // [editor thread] Forgets both crossing points.
    void clearCrosspoints() {
        lastZeroCross_ = INFINITY;
        lastOneCross_ = -INFINITY;
    }

    float sensitivity() const { return sensitivity_; }
    void setSensitivity(float s) { sensitivity_ = s; }

private:
    float sensitivity_;
    float lastZeroCross_ = INFINITY;
    float lastOneCross_ = -INFINITY;
};

}  // namespace plugkit::pbrwidgets
