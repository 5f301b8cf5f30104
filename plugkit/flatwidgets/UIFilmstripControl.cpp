#include "plugkit/flatwidgets/UIFilmstripControl.h"

#include <cmath>
#include <limits>

#include "plugkit/flatwidgets/FilmstripBlend.h"

namespace plugkit::flatwidgets {

namespace {
constexpr float kInfinity = std::numeric_limits<float>::infinity();
}  // namespace

int filmstripFrame(double normalized, int numFrames) {
    const float v = static_cast<float>(normalized);
    if (!(v > 0.0f) || numFrames <= 1) return 0;  // NaN lands here too
    // std::round rounds halves away from zero, in single precision like the product.
    const float frame = std::round(static_cast<float>(numFrames - 1) * v);
    return frame >= static_cast<float>(numFrames - 1) ? numFrames - 1 : static_cast<int>(frame);
}

UIFilmstripControl::UIFilmstripControl(UIContext* context, std::uint32_t flags, FloatParameter* parameter,
                                       const OwnedImage<RGBA8>* filmstrip, int numFrames, float sensitivity)
    : UIElement(context, flags),
      param_(parameter),
      filmstrip_(filmstrip),
      numFrames_(numFrames < 1 ? 1 : numFrames),
      frameWidth_(filmstrip->width()),
      frameHeight_(filmstrip->height() / numFrames_),
      sensitivity_(sensitivity),
      mousePosOnLast0Cross_(std::numeric_limits<float>::quiet_NaN()),
      mousePosOnLast1Cross_(std::numeric_limits<float>::quiet_NaN()) {
    param_->addListener(this);
}

UIFilmstripControl::~UIFilmstripControl() { param_->removeListener(this); }

void UIFilmstripControl::setCurrentImage() {
    currentFrame_ = filmstripFrame(param_->getNormalized(), numFrames_);
    imageX1_ = 0;
    imageX2_ = frameWidth_;
    imageY1_ = frameHeight_ * currentFrame_;
    imageY2_ = imageY1_ + frameHeight_;
}

void UIFilmstripControl::clearCrosspoints() {
    mousePosOnLast0Cross_ = kInfinity;
    mousePosOnLast1Cross_ = -kInfinity;
}

void UIFilmstripControl::onParameterChanged(client::Parameter*) { setDirtyWhole(); }
void UIFilmstripControl::onBeginParameterEdit(client::Parameter*) {}
void UIFilmstripControl::onEndParameterEdit(client::Parameter*) {}

bool UIFilmstripControl::takeClick(bool isDoubleClick, MouseState mstate) {
    if (mstate.altHeld || isDoubleClick) {
        param_->beginParamEdit();
        param_->setFromGUI(param_->defaultValue());
        param_->endParamEdit();
    }
    return true;
}

void UIFilmstripControl::onBeginDrag() {
    // Crossing rows belong to one drag: a row recorded in an earlier drag says nothing about where
    // the pointer is now (and the host may have moved the value since), so it must not hold this one.
    clearCrosspoints();
    param_->beginParamEdit();
    setDirtyWhole();
}

void UIFilmstripControl::onMouseDrag(int, int y, int, int dy, MouseState mstate) {
    const int h = height();
    if (disabled_ || h <= 0) return;
    const double old = param_->getNormalized();
    double next;
    if (mstate.altHeld) {
        next = param_->getNormalizedDefault();
    } else {
        const double modifier = (mstate.controlHeld || mstate.shiftHeld) ? 0.1 : 1.0;
        next = old - (static_cast<double>(dy) / h) * modifier * sensitivity_;
    }
    const float m = static_cast<float>(y);
    if (m > mousePosOnLast0Cross_ || m < mousePosOnLast1Cross_) return;  // still beyond the limit
    if (old > 0.0 && next <= 0.0) mousePosOnLast0Cross_ = m;
    if (old < 1.0 && next >= 1.0) mousePosOnLast1Cross_ = m;
    next = next < 0.0 ? 0.0 : (next > 1.0 ? 1.0 : next);
    if (next > 0.0) mousePosOnLast0Cross_ = kInfinity;
    if (next < 1.0) mousePosOnLast1Cross_ = -kInfinity;
    if (next != old) param_->setFromGUINormalized(next);
    setDirtyWhole();
}

void UIFilmstripControl::onDrawRaw(graphics::ImageRef<RGBA8> rawMap, const core::Vec<Box>& dirtyRects) {
    setCurrentImage();
    // Only the frame's pixels are read: a widget larger than a frame leaves the rest untouched.
    const graphics::ImageRef<RGBA8> frame = filmstrip_->toRef().crop(currentImageRect());
    blendOver(rawMap, frame.asConst(), dirtyRects);
}

}  // namespace plugkit::flatwidgets
