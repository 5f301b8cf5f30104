#include "plugkit/gui/UIBufferedElementRaw.h"

#include <algorithm>
#include <cstring>

#include "plugkit/gui/BufferBlend.h"

namespace plugkit::gui {

UIBufferedElementRaw::UIBufferedElementRaw(UIContext* context, std::uint32_t flags)
    : UIElement(context, flags) {}

void UIBufferedElementRaw::setDirtyWhole(UILayer layer) {
    // The flag goes up before the area is reported: a frame that pulls the area then sees it.
    mustBeRedrawn_ = true;
    UIElement::setDirtyWhole(layer);
}

void UIBufferedElementRaw::setDirty(Box rect, UILayer layer) {
    mustBeRedrawn_ = true;
    UIElement::setDirty(rect, layer);
}

void UIBufferedElementRaw::onDrawRaw(ImageRef<RGBA8> rawMap, const core::Vec<Box>& dirtyRects) {
    const int w = width(), h = height();
    if (rawBuffer_.width() != w || rawBuffer_.height() != h || opacityBuffer_.width() != w ||
        opacityBuffer_.height() != h) {
        opacityBuffer_.size(w, h);
        rawBuffer_.size(w, h);
        mustBeRedrawn_ = true;
    }
    // Taken before drawing: a report arriving meanwhile leaves it set for the next frame.
    if (mustBeRedrawn_.exchange(false)) {
        for (int y = 0; y < h; ++y) {
            std::memset(opacityBuffer_.row(y), 0, static_cast<std::size_t>(w));
            std::fill(rawBuffer_.row(y), rawBuffer_.row(y) + w, RGBA8{0, 0, 0, 255});
        }
        onDrawBufferedRaw(rawBuffer_.toRef(), opacityBuffer_.toRef());
    }
    // rawMap starts at the visible corner of the element, which is inside the buffers when the
    // element hangs over the window's top or left edge.
    const Box visible(std::max(0, -position().min.x), std::max(0, -position().min.y), w, h);
    detail::blendWithOpacity(rawMap, rawBuffer_.toRef().crop(visible).asConst(),
                             opacityBuffer_.toRef().crop(visible).asConst(), dirtyRects);
}

}  // namespace plugkit::gui
