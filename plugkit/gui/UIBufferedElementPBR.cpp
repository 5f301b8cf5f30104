#include "plugkit/gui/UIBufferedElementPBR.h"

#include <algorithm>
#include <cstring>

#include "plugkit/gui/BufferBlend.h"

namespace plugkit::gui {

UIBufferedElementPBR::UIBufferedElementPBR(UIContext* context, std::uint32_t flags)
    : UIElement(context, flags) {}

void UIBufferedElementPBR::setDirtyWhole(UILayer layer) {
    // The flag goes up before the area is reported: a frame that pulls the area then sees it.
    mustBeRedrawn_ = true;
    UIElement::setDirtyWhole(layer);
}

void UIBufferedElementPBR::setDirty(Box rect, UILayer layer) {
    mustBeRedrawn_ = true;
    UIElement::setDirty(rect, layer);
}

namespace {

template <class T>
bool hasSize(const graphics::OwnedImage<T>& image, int w, int h) {
    return image.width() == w && image.height() == h;
}

template <class T>
void fillImage(const graphics::OwnedImage<T>& image, T value) {
    for (int y = 0; y < image.height(); ++y) std::fill(image.row(y), image.row(y) + image.width(), value);
}

}  // namespace

void UIBufferedElementPBR::onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap,
                                     ImageRef<RGBA8> materialMap, const core::Vec<Box>& dirtyRects) {
    const int w = width(), h = height();
    if (!hasSize(diffuseBuffer_, w, h) || !hasSize(depthBuffer_, w, h) || !hasSize(materialBuffer_, w, h) ||
        !hasSize(diffuseOpacityBuffer_, w, h) || !hasSize(depthOpacityBuffer_, w, h) ||
        !hasSize(materialOpacityBuffer_, w, h)) {
        diffuseBuffer_.size(w, h);
        depthBuffer_.size(w, h);
        materialBuffer_.size(w, h);
        diffuseOpacityBuffer_.size(w, h);
        depthOpacityBuffer_.size(w, h);
        materialOpacityBuffer_.size(w, h);
        mustBeRedrawn_ = true;
    }
    // Taken before drawing: a report arriving meanwhile leaves it set for the next frame.
    if (mustBeRedrawn_.exchange(false)) {
        fillImage(diffuseOpacityBuffer_, L8{0});
        fillImage(depthOpacityBuffer_, L8{0});
        fillImage(materialOpacityBuffer_, L8{0});
        fillImage(diffuseBuffer_, RGBA8{128, 128, 128, 0});
        fillImage(depthBuffer_, L16{15000});
        fillImage(materialBuffer_, RGBA8{128, 255, 128, 255});
        onDrawBufferedPBR(diffuseBuffer_.toRef(), depthBuffer_.toRef(), materialBuffer_.toRef(),
                          diffuseOpacityBuffer_.toRef(), depthOpacityBuffer_.toRef(),
                          materialOpacityBuffer_.toRef());
    }
    // The maps start at the visible corner of the element (see UIBufferedElementRaw).
    const Box visible(std::max(0, -position().min.x), std::max(0, -position().min.y), w, h);
    detail::blendWithOpacity(diffuseMap, diffuseBuffer_.toRef().crop(visible).asConst(),
                             diffuseOpacityBuffer_.toRef().crop(visible).asConst(), dirtyRects);
    detail::blendWithOpacity(depthMap, depthBuffer_.toRef().crop(visible).asConst(),
                             depthOpacityBuffer_.toRef().crop(visible).asConst(), dirtyRects);
    detail::blendWithOpacity(materialMap, materialBuffer_.toRef().crop(visible).asConst(),
                             materialOpacityBuffer_.toRef().crop(visible).asConst(), dirtyRects);
}

}  // namespace plugkit::gui
