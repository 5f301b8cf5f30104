#include "plugkit/gui/UIElement.h"

#include <algorithm>
#include <cstdlib>

#include "plugkit/core/Sort.h"

namespace plugkit::gui {

UIElement::UIElement(UIContext* context, std::uint32_t flags) : flags_(flags), context_(context) {}

UIElement::~UIElement() { destroyChildren(); }

void UIElement::destroyChildren() {
    for (UIElement* child : children_) destroyElement(child);
    children_.clear();
}

void UIElement::destroyElement(UIElement* element) noexcept {
    // The most-derived object's address: a widget may list UIElement after another base.
    void* block = dynamic_cast<void*>(element);
    element->~UIElement();
    std::free(block);
}

UIElement* UIElement::addChild(UIElement* child) {
    if (!child || child->parent_ || child == this) return nullptr;
    child->parent_ = this;
    children_.pushBack(child);
    return child;
}

// --- Overridable defaults ----------------------------------------------------------------------------

void UIElement::reflow(Box availableSpace) {
    position_ = availableSpace;
    for (UIElement* child : children_) child->reflow(availableSpace);
}

bool UIElement::onMouseClick(int, int, int, bool, MouseState) { return false; }
bool UIElement::onMouseWheel(int, int, int, int, MouseState) { return false; }
void UIElement::onMouseMove(int, int, int, int, MouseState) {}
void UIElement::onBeginDrag() {}
void UIElement::onMouseDrag(int, int, int, int, MouseState) {}
void UIElement::onStopDrag() {}
void UIElement::onMouseEnter() {}
void UIElement::onMouseExit() {}
void UIElement::onFocusEnter() {}
void UIElement::onFocusExit() {}
bool UIElement::onKeyDown(Key) { return false; }
bool UIElement::onKeyUp(Key) { return false; }
void UIElement::onAnimate(double, double) {}
void UIElement::onDrawRaw(ImageRef<RGBA8>, const core::Vec<Box>&) {}

bool UIElement::contains(int x, int y) {
    return static_cast<unsigned>(x) < static_cast<unsigned>(position_.width()) &&
           static_cast<unsigned>(y) < static_cast<unsigned>(position_.height());
}

void UIElement::animate(double dt, double time) {
    if (flags_ & flagAnimated) onAnimate(dt, time);
    for (UIElement* child : children_) child->animate(dt, time);
}

void UIElement::onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                          const core::Vec<Box>& dirtyRects) {
    for (const Box& r : dirtyRects) {
        for (int y = r.min.y; y < r.max.y; ++y) {
            RGBA8* diffuse = diffuseMap.row(y);
            L16* depth = depthMap.row(y);
            RGBA8* material = materialMap.row(y);
            // Runs of up to eight pixels share their grey.
            for (int x = r.min.x; x < r.max.x;) {
                const int end = std::min(r.max.x, (x | 7) + 1);
                const std::uint8_t grey = ((x ^ y) & 8) ? 100 : 150;
                std::fill(diffuse + x, diffuse + end, RGBA8{grey, grey, grey, 0});
                x = end;
            }
            std::fill(depth + r.min.x, depth + r.max.x, L16{15000});
            std::fill(material + r.min.x, material + r.max.x, RGBA8{128, 25, 128, 255});
        }
    }
}

Box UIElement::opaqueRawArea() const { return Box(); }

// --- Dirty marking -----------------------------------------------------------------------------------

DirtyRectList* UIElement::dirtyListFor(UILayer layer) const {
    if (!context_) return nullptr;
    switch (layer) {
        case UILayer::allLayers:
            return &context_->dirtyListPBR;
        case UILayer::rawOnly:
            return &context_->dirtyListRaw;
        case UILayer::guessFromFlags:
            if (flags_ & flagPBR) return &context_->dirtyListPBR;
            if (flags_ & flagRaw) return &context_->dirtyListRaw;
            return nullptr;
    }
    return nullptr;  // a value outside the enumeration records nothing
}

void UIElement::setDirtyWhole(UILayer layer) {
    if (DirtyRectList* list = dirtyListFor(layer)) list->addRect(position_);
}

void UIElement::setDirty(Box rect, UILayer layer) {
    if (DirtyRectList* list = dirtyListFor(layer)) list->addRect(rect.translated(position_.min));
}

// --- Event walks -------------------------------------------------------------------------------------

void UIElement::sortChildrenByZOrder() {
    zOrderedChildren_.clear();
    for (UIElement* child : children_) zOrderedChildren_.pushBack(child);
    core::grail_commonSort(zOrderedChildren_.data(), static_cast<int>(zOrderedChildren_.size()),
                           [](const UIElement* a, const UIElement* b) {
                               return a->zOrder_ > b->zOrder_ ? -1 : (a->zOrder_ < b->zOrder_ ? 1 : 0);
                           });
}

bool UIElement::mouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) {
    sortChildrenByZOrder();
    // A child's own walk re-sorts its children only, so this element's order stays valid.
    const std::size_t n = zOrderedChildren_.size();
    std::size_t i = 0;
    for (; i < n && zOrderedChildren_[i]->zOrder_ >= zOrder_; ++i)
        if (zOrderedChildren_[i]->mouseClick(x, y, button, isDoubleClick, mstate)) return true;
    const int lx = x - position_.min.x, ly = y - position_.min.y;
    if (contains(lx, ly) && onMouseClick(lx, ly, button, isDoubleClick, mstate)) {
        if (context_) {
            if (UIElement* previous = context_->dragged) {
                context_->dragged = nullptr;
                previous->onStopDrag();
            }
            context_->dragged = this;
            onBeginDrag();
            if (context_->focused != this) {
                if (UIElement* previous = context_->focused) previous->onFocusExit();
                context_->focused = this;
                onFocusEnter();
            }
        }
        return true;
    }
    for (; i < n; ++i)
        if (zOrderedChildren_[i]->mouseClick(x, y, button, isDoubleClick, mstate)) return true;
    return false;
}

bool UIElement::mouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState mstate) {
    sortChildrenByZOrder();
    const std::size_t n = zOrderedChildren_.size();
    std::size_t i = 0;
    for (; i < n && zOrderedChildren_[i]->zOrder_ >= zOrder_; ++i)
        if (zOrderedChildren_[i]->mouseWheel(x, y, wheelDeltaX, wheelDeltaY, mstate)) return true;
    const int lx = x - position_.min.x, ly = y - position_.min.y;
    if (contains(lx, ly) && onMouseWheel(lx, ly, wheelDeltaX, wheelDeltaY, mstate)) return true;
    for (; i < n; ++i)
        if (zOrderedChildren_[i]->mouseWheel(x, y, wheelDeltaX, wheelDeltaY, mstate)) return true;
    return false;
}

void UIElement::mouseMove(int x, int y, int dx, int dy, MouseState mstate) {
    const int lx = x - position_.min.x, ly = y - position_.min.y;
    if (context_ && context_->dragged == this) onMouseDrag(lx, ly, dx, dy, mstate);
    for (UIElement* child : children_) child->mouseMove(x, y, dx, dy, mstate);
    if (contains(lx, ly)) {
        if (!mouseOver_) onMouseEnter();
        onMouseMove(lx, ly, dx, dy, mstate);
        mouseOver_ = true;
    } else {
        if (mouseOver_) onMouseExit();
        mouseOver_ = false;
    }
}

bool UIElement::keyDown(Key key) {
    if (onKeyDown(key)) return true;
    for (UIElement* child : children_)
        if (child->keyDown(key)) return true;
    return false;
}

bool UIElement::keyUp(Key key) {
    if (onKeyUp(key)) return true;
    for (UIElement* child : children_)
        if (child->keyUp(key)) return true;
    return false;
}

void UIElement::getDrawLists(core::Vec<UIElement*>& listRaw, core::Vec<UIElement*>& listPBR) {
    if (!visible_) return;
    if (flags_ & flagRaw) listRaw.pushBack(this);
    if (flags_ & flagPBR) listPBR.pushBack(this);
    for (UIElement* child : children_) child->getDrawLists(listRaw, listPBR);
}

// --- Rendering ---------------------------------------------------------------------------------------

namespace {

// The element's rectangle clipped to an image of size w x h; an empty position is kept as is.
Box validBox(const Box& position, int w, int h) {
    if (position.empty()) return position;
    return position.intersection(Box(0, 0, w, h));
}

}  // namespace

void UIElement::renderRaw(ImageRef<RGBA8> rawMap, const core::Vec<Box>& areasToUpdate) {
    const Box valid = validBox(position_, rawMap.w, rawMap.h);
    if (valid.empty()) return;
    localRectsBuf_.clear();
    const Point origin{-valid.min.x, -valid.min.y};
    for (const Box& area : areasToUpdate) {
        const Box c = area.intersection(valid);
        if (!c.empty()) localRectsBuf_.pushBack(c.translated(origin));
    }
    if (!localRectsBuf_.empty()) onDrawRaw(rawMap.crop(valid), localRectsBuf_);
}

void UIElement::renderPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                          const core::Vec<Box>& areasToUpdate) {
    const Box valid = validBox(position_, diffuseMap.w, diffuseMap.h);
    if (valid.empty()) return;
    localRectsBuf_.clear();
    const Point origin{-valid.min.x, -valid.min.y};
    for (const Box& area : areasToUpdate) {
        const Box c = area.intersection(valid);
        if (!c.empty()) localRectsBuf_.pushBack(c.translated(origin));
    }
    if (!localRectsBuf_.empty())
        onDrawPBR(diffuseMap.crop(valid), depthMap.crop(valid), materialMap.crop(valid), localRectsBuf_);
}

}  // namespace plugkit::gui
