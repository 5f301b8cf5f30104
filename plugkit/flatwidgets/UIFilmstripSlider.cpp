#include "plugkit/flatwidgets/UIFilmstripSlider.h"

#include <cmath>

namespace plugkit::flatwidgets {

UIFilmstripSlider::UIFilmstripSlider(UIContext* context, FloatParameter* parameter,
                                     const OwnedImage<RGBA8>* filmstrip, int numFrames)
    : UIFilmstripControl(context, gui::flagRaw | gui::flagAnimated, parameter, filmstrip, numFrames, 1.4f) {}

bool UIFilmstripSlider::onMouseClick(int, int, int, bool isDoubleClick, MouseState mstate) {
    return takeClick(isDoubleClick, mstate);
}

void UIFilmstripSlider::onStopDrag() {
    param()->endParamEdit();
    setDirtyWhole();
}

void UIFilmstripSlider::onMouseEnter() {}
void UIFilmstripSlider::onMouseExit() {}

void UIFilmstripSlider::onAnimate(double dt, double) {
    const float target = isDragged() ? 1.0f : 0.0f;
    const float e = static_cast<float>(std::exp(-30.0 * dt));
    const float next = pushedAnimation_ * e + target * (1.0f - e);
    if (std::fabs(next - pushedAnimation_) > 0.001f) {
        pushedAnimation_ = next;
        setDirtyWhole();
    }
}

}  // namespace plugkit::flatwidgets
