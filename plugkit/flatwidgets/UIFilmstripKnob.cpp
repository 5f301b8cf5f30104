#include "plugkit/flatwidgets/UIFilmstripKnob.h"

#include <cmath>

namespace plugkit::flatwidgets {

UIFilmstripKnob::UIFilmstripKnob(UIContext* context, FloatParameter* parameter,
                                 const OwnedImage<RGBA8>* filmstrip, int numFrames)
    : UIFilmstripControl(context, gui::flagRaw, parameter, filmstrip, numFrames, 0.25f) {}

float UIFilmstripKnob::distance(float x1, float x2, float y1, float y2) {
    return std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
}

bool UIFilmstripKnob::insideDisc(int x, int y) const {
    const int w = width();
    const int h = height();
    int minX = 0, maxX = w, minY = 0, maxY = h;
    if (w > h) {
        minX = (w - h) / 2;
        maxX = minX + h;
    } else {
        minY = (h - w) / 2;
        maxY = minY + w;
    }
    const float centerX = static_cast<float>(minX + maxX - 1) / 2.0f;
    const float centerY = static_cast<float>(minY + maxY - 1) / 2.0f;
    const float radius = static_cast<float>(maxX - minX) / 2.0f;
    return radius > distance(static_cast<float>(x), centerX, static_cast<float>(y), centerY);
}

bool UIFilmstripKnob::onMouseClick(int x, int y, int, bool isDoubleClick, MouseState mstate) {
    if (!insideDisc(x, y)) return false;
    return takeClick(isDoubleClick, mstate);
}

void UIFilmstripKnob::onMouseMove(int, int, int, int, MouseState) {}

void UIFilmstripKnob::onStopDrag() {
    param()->endParamEdit();
    clearCrosspoints();
    setDirtyWhole();
}

void UIFilmstripKnob::onMouseExit() {}

}  // namespace plugkit::flatwidgets
