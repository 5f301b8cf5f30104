#include "plugkit/flatwidgets/FlatBackgroundGUI.h"

#include <algorithm>
#include <cstring>

#include "plugkit/core/Fatal.h"
#include "plugkit/graphics/ImageDecoding.h"

namespace plugkit::flatwidgets {

using gui::Box;
using gui::RGBA8;

FlatBackgroundGUI::FlatBackgroundGUI(int width, int height, const unsigned char* backgroundBytes,
                                     std::size_t size)
    : GUIGraphics(width, height, gui::flagRaw), background_(graphics::loadOwnedImage(backgroundBytes, size)) {
    if (!background_) core::fatalError("FlatBackgroundGUI: the background image does not decode");
}

FlatBackgroundGUI::~FlatBackgroundGUI() { core::destroyFree(background_); }

void FlatBackgroundGUI::reflow(Box availableSpace) {
    // The base reflow passes the box on to every child; the children are put back where the editor
    // placed them, each with the same call the editor made.
    childBoxes_.clear();
    for (int i = 0; i < childCount(); ++i) childBoxes_.pushBack(child(i)->position());
    UIElement::reflow(availableSpace);
    for (int i = 0; i < childCount(); ++i) child(i)->reflow(childBoxes_[static_cast<std::size_t>(i)]);

    srcRect_ = Box(0, 0, std::min(background_->width(), availableSpace.width()),
                   std::min(background_->height(), availableSpace.height()));
    dstRect_ = srcRect_;
    offset_ = gui::Point{0, 0};
}

Box FlatBackgroundGUI::opaqueRawArea() const {
    // onDrawRaw's (0, 0) is the visible corner of the editor.
    const gui::Point corner{std::max(position().min.x, 0), std::max(position().min.y, 0)};
    return dstRect_.translated(corner);
}

void FlatBackgroundGUI::onDrawRaw(gui::ImageRef<RGBA8> rawMap, const core::Vec<Box>& dirtyRects) {
    const Box target = dstRect_.intersection(rawMap.bounds());
    for (const Box& r : dirtyRects) {
        const Box src = r.translated(offset_).intersection(srcRect_);
        const Box dst = r.intersection(target);
        if (src.empty() || dst.empty()) continue;
        const int w = std::min(src.width(), dst.width());
        const int h = std::min(src.height(), dst.height());
        for (int y = 0; y < h; ++y)
            std::memcpy(rawMap.row(dst.min.y + y) + dst.min.x, background_->row(src.min.y + y) + src.min.x,
                        static_cast<std::size_t>(w) * sizeof(RGBA8));
    }
}

}  // namespace plugkit::flatwidgets
