#include "plugkit/pbrwidgets/ValueDrag.h"

namespace plugkit::pbrwidgets {

float ValueDrag::next(float old, int y, int dy, int height, window::MouseState state, float defaultValue) {
    float value = defaultValue;
    if (!state.altHeld) {
        const float modifier = state.controlHeld || state.shiftHeld ? 0.1f : 1.0f;
        const float h = height > 0 ? static_cast<float>(height) : 1.0f;
        value = old - static_cast<float>(dy) / h * modifier * sensitivity_;
    }
    const float m = static_cast<float>(y);
    if (m > lastZeroCross_ || m < lastOneCross_) return old;
    if (old > 0 && value <= 0) lastZeroCross_ = m;
    if (old < 1 && value >= 1) lastOneCross_ = m;
    value = value < 0 ? 0 : (value > 1 ? 1 : value);
    if (value > 0) lastZeroCross_ = INFINITY;
    if (value < 1) lastOneCross_ = -INFINITY;
    return value;
}

}  // namespace plugkit::pbrwidgets
