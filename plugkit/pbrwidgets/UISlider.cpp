#include "plugkit/pbrwidgets/UISlider.h"

#include <cmath>

#include "plugkit/graphics/Draw.h"

namespace plugkit::pbrwidgets {

using graphics::aaFillRectFloat;
using graphics::fillRectFloat;
using graphics::verticalSlope;

UISlider::UISlider(UIContext* context, client::FloatParameter* param)
    : UIBufferedElementPBR(context, gui::flagPBR), param_(param) {
    param_->addListener(this);
}

UISlider::~UISlider() { param_->removeListener(this); }

float UISlider::normalizedValue() const {
    const float n = static_cast<float>(param_->toNormalized(param_->valueAtomic()));
    return n > 0 ? (n < 1 ? n : 1) : 0;
}

int UISlider::capTop(float normalized) const {
    const int travel = height() - 2 * kPadding - kCapHeight;
    return kPadding +
           static_cast<int>(std::lround((1.0f - normalized) * static_cast<float>(travel > 0 ? travel : 0)));
}

bool UISlider::onMouseClick(int, int, int, bool isDoubleClick, MouseState mstate) {
    if (mstate.altHeld || isDoubleClick) {
        param_->beginParamEdit();
        param_->setFromGUI(param_->defaultValue());
        param_->endParamEdit();
    }
    return true;
}

void UISlider::onBeginDrag() {
    param_->beginParamEdit();
    setDirtyWhole();
}

void UISlider::onStopDrag() {
    param_->endParamEdit();
    setDirtyWhole();
}

void UISlider::onMouseDrag(int, int y, int, int dy, MouseState mstate) {
    const float old = static_cast<float>(param_->getNormalized());
    const float value =
        drag_.next(old, y, dy, height(), mstate, static_cast<float>(param_->getNormalizedDefault()));
    if (value != old) param_->setFromGUINormalized(value);
    setDirtyWhole();
}

void UISlider::onDrawBufferedPBR(ImageRef<RGBA8> diffuse, ImageRef<L16> depth, ImageRef<RGBA8> materialMap,
                                 ImageRef<L8> diffuseOpacity, ImageRef<L8> depthOpacity,
                                 ImageRef<L8> materialOpacity) {
    const int w = diffuse.w, h = diffuse.h;
    const int cx = w / 2;
    const int top = capTop(normalizedValue());
    // The slot, sunk into the panel; below the cap it carries the glowing fill.
    const Box slot(cx - 3, kPadding, cx + 3, h - kPadding);
    fillRectFloat<true>(diffuse, slot.min.x, slot.min.y, slot.max.x, slot.max.y, RGBA8{18, 18, 22, 0}, 1.0f);
    fillRectFloat<true>(depth, slot.min.x, slot.min.y, slot.max.x, slot.max.y, L16{16000}, 1.0f);
    fillRectFloat<true>(materialMap, slot.min.x, slot.min.y, slot.max.x, slot.max.y, material(210, 0, 20),
                        1.0f);
    fillRectFloat<true>(diffuse, slot.min.x + 1, top + kCapHeight / 2, slot.max.x - 1, slot.max.y - 1,
                        RGBA8{255, 130, 40, 170}, 1.0f);
    // The cap: a bevel rising to a flat top, metal, with a light line across its middle.
    const Box cap(1, top, w - 1, top + kCapHeight);
    fillRectFloat<true>(diffuse, cap.min.x, cap.min.y, cap.max.x, cap.max.y, RGBA8{70, 72, 80, 0}, 1.0f);
    fillRectFloat<true>(materialMap, cap.min.x, cap.min.y, cap.max.x, cap.max.y, material(80, 190, 210),
                        1.0f);
    for (int step = 0; step < 4; ++step) {
        const auto level = static_cast<std::uint16_t>(26000 + step * 3000);
        fillRectFloat<true>(depth, cap.min.x + step, cap.min.y + step, cap.max.x - step, cap.max.y - step,
                            L16{level}, 1.0f);
    }
    verticalSlope(depth, Box(cap.min.x + 4, cap.min.y + 4, cap.max.x - 4, cap.max.y - 4), L16{36000},
                  L16{34000});
    aaFillRectFloat<true>(diffuse, 3.0f, static_cast<float>(top) + kCapHeight * 0.5f - 1.0f,
                          static_cast<float>(w - 3), static_cast<float>(top) + kCapHeight * 0.5f + 1.0f,
                          RGBA8{235, 235, 240, 90});
    for (ImageRef<L8> opacity : {diffuseOpacity, depthOpacity, materialOpacity}) {
        fillOpaque(opacity, slot);
        fillOpaque(opacity, cap);
    }
}

}  // namespace plugkit::pbrwidgets
