#include "plugkit/window/HeadlessWindow.h"

namespace plugkit::window {

HeadlessWindow::HeadlessWindow(IWindowListener* listener, int width, int height, WindowPixelFormat format)
    : listener_(listener), format_(format), askedWidth_(width), askedHeight_(height) {}

Box HeadlessWindow::tick(double dtSeconds) {
    timeSeconds_ += dtSeconds;
    listener_->onAnimate(dtSeconds, timeSeconds_);
    listener_->recomputeDirtyAreas();
    firstRepaintPending_ = false;
    const Box dirty = listener_->getDirtyRectangle();
    if (!dirty.empty()) repaint();
    return dirty;
}

void HeadlessWindow::repaint() {
    if (askedWidth_ != width_ || askedHeight_ != height_) {
        width_ = askedWidth_;
        height_ = askedHeight_;
        buffer_ = listener_->onResized(width_, height_);
    }
    if (firstRepaintPending_) {
        firstRepaintPending_ = false;
        listener_->recomputeDirtyAreas();
    }
    listener_->onDraw(format_);
    ++repaints_;
}

void HeadlessWindow::resize(int width, int height) {
    askedWidth_ = width;
    askedHeight_ = height;
}

bool HeadlessWindow::mouseClick(int x, int y, MouseButton button, bool isDoubleClick) {
    moves_.restart();
    state_.setButton(button, true);
    return listener_->onMouseClick(x, y, button, isDoubleClick, state_);
}

bool HeadlessWindow::mouseRelease(int x, int y, MouseButton button) {
    state_.setButton(button, false);
    return listener_->onMouseRelease(x, y, button, state_);
}

void HeadlessWindow::mouseMove(int x, int y) {
    const Point d = moves_.move(x, y);
    listener_->onMouseMove(x, y, d.x, d.y, state_);
}

bool HeadlessWindow::mouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY) {
    return listener_->onMouseWheel(x, y, wheelDeltaX, wheelDeltaY, state_);
}

bool HeadlessWindow::keyDown(Key key) { return listener_->onKeyDown(key); }
bool HeadlessWindow::keyUp(Key key) { return listener_->onKeyUp(key); }

void HeadlessWindow::setModifiers(bool controlHeld, bool shiftHeld, bool altHeld) {
    state_.controlHeld = controlHeld;
    state_.shiftHeld = shiftHeld;
    state_.altHeld = altHeld;
}

}  // namespace plugkit::window
