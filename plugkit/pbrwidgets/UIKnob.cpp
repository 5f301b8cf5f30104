#include "plugkit/pbrwidgets/UIKnob.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "plugkit/graphics/Draw.h"

namespace plugkit::pbrwidgets {

using graphics::aaFillSector;
using graphics::aaSoftDisc;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr L16 kGrooveDepth{17000};
constexpr L16 kCapRimDepth{34000};
constexpr L16 kCapTopDepth{38000};
constexpr L16 kIndicatorDepth{30000};  // engraved into the cap

}  // namespace

UIKnob::UIKnob(UIContext* context, client::FloatParameter* param)
    : UIElement(context, gui::flagPBR), param_(param) {
    param_->addListener(this);
}

UIKnob::~UIKnob() { param_->removeListener(this); }

float UIKnob::getMinAngle() const { return 0.75f * kPi; }
float UIKnob::getMaxAngle() const { return 2.25f * kPi; }
float UIKnob::getBaseAngle() const { return getMinAngle(); }

float UIKnob::getValueAngle() const {
    return getMinAngle() + normalizedValue() * (getMaxAngle() - getMinAngle());
}

float UIKnob::normalizedValue() const {
    const float n = static_cast<float>(param_->toNormalized(param_->valueAtomic()));
    return n > 0 ? (n < 1 ? n : 1) : 0;  // NaN as 0
}

void UIKnob::disc(float& cx, float& cy, float& radius) const {
    const int side = std::min(width(), height());
    const int sx = (width() - side) / 2, sy = (height() - side) / 2;
    cx = static_cast<float>(sx + sx + side - 1) * 0.5f;
    cy = static_cast<float>(sy + sy + side - 1) * 0.5f;
    radius = static_cast<float>(side) * 0.5f;
}

bool UIKnob::contains(int x, int y) {
    if (!UIElement::contains(x, y)) return false;
    float cx, cy, r;
    disc(cx, cy, r);
    return std::hypot(static_cast<float>(x) - cx, static_cast<float>(y) - cy) < r;
}

bool UIKnob::onMouseClick(int x, int y, int, bool isDoubleClick, MouseState mstate) {
    if (!contains(x, y)) return false;
    if (mstate.altHeld || isDoubleClick) {
        param_->beginParamEdit();
        param_->setFromGUI(param_->defaultValue());
        param_->endParamEdit();
    }
    return true;
}

void UIKnob::onBeginDrag() {
    param_->beginParamEdit();
    setDirtyWhole();
}

void UIKnob::onStopDrag() {
    param_->endParamEdit();
    drag_.clearCrosspoints();
    setDirtyWhole();
}

void UIKnob::onMouseDrag(int, int y, int, int dy, MouseState mstate) {
    const float old = static_cast<float>(param_->getNormalized());
    const float value =
        drag_.next(old, y, dy, height(), mstate, static_cast<float>(param_->getNormalizedDefault()));
    if (value != old) param_->setFromGUINormalized(value);
    setDirtyWhole();
}

void UIKnob::onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                       const core::Vec<Box>& dirtyRects) {
    float cx, cy, radius;
    disc(cx, cy, radius);
    forEachDirtyRect(diffuseMap, depthMap, materialMap, dirtyRects, [&](const PBRCanvas& c) {
        drawTrail(c, c.x(cx), c.y(cy), radius);
        drawKnob(c, c.x(cx), c.y(cy), radius);
    });
}

void UIKnob::drawTrail(const PBRCanvas& c, float cx, float cy, float radius) {
    const float rMin = radius * 0.78f, rMax = radius * 0.97f;
    const float lo = getMinAngle(), hi = getMaxAngle();
    aaFillSector(c.diffuse, cx, cy, rMin, rMax, lo, hi, RGBA8{22, 22, 26, 0});
    aaFillSector(c.depth, cx, cy, rMin, rMax, lo, hi, kGrooveDepth);
    aaFillSector(c.material, cx, cy, rMin, rMax, lo, hi, material(200, 0, 30));
    const float base = getBaseAngle(), value = getValueAngle();
    const float from = std::min(base, value), to = std::max(base, value);
    if (to - from < 1e-4f) return;
    aaFillSector(c.diffuse, cx, cy, rMin + 1, rMax - 1, from, to, RGBA8{255, 130, 40, 180});
    aaFillSector(c.material, cx, cy, rMin + 1, rMax - 1, from, to, material(110, 0, 140));
}

void UIKnob::drawKnob(const PBRCanvas& c, float cx, float cy, float radius) {
    const float capR = radius * 0.70f;
    aaSoftDisc(c.depth, cx, cy, capR * 0.78f, capR, kCapRimDepth, 1.0f, 1.2f);
    aaSoftDisc(c.depth, cx, cy, 0.0f, capR * 0.78f, kCapTopDepth, 0.6f);
    aaSoftDisc(c.diffuse, cx, cy, capR - 1.0f, capR + 0.5f, RGBA8{64, 66, 74, 0}, 1.0f);
    aaSoftDisc(c.material, cx, cy, capR - 1.0f, capR + 0.5f, material(70, 200, 220), 1.0f);
    // The indicator: a light, slightly glowing notch from near the centre to the rim.
    const float a = getValueAngle();
    const float half = 0.09f;
    aaFillSector(c.diffuse, cx, cy, capR * 0.30f, capR * 0.92f, a - half, a + half, RGBA8{235, 235, 240, 90});
    aaFillSector(c.depth, cx, cy, capR * 0.30f, capR * 0.92f, a - half, a + half, kIndicatorDepth);
    aaFillSector(c.material, cx, cy, capR * 0.30f, capR * 0.92f, a - half, a + half, material(150, 0, 60));
}

}  // namespace plugkit::pbrwidgets
