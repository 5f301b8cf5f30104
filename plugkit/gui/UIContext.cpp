#include "plugkit/gui/UIContext.h"

namespace plugkit::gui {

using core::ScopedLock;

void DirtyRectList::addRect(Box rect) {
    if (rect.empty()) return;
    ScopedLock lock(mutex_);
    std::size_t i = 0;
    while (i < rects_.size()) {
        const Box e = rects_[i];
        if (e.contains(rect)) return;  // already covered
        if (rect.contains(e)) {
            rects_.removeAtSwapLast(i);  // examine the rectangle moved into slot i
            continue;
        }
        const Box in = e.intersection(rect);
        if (e.empty() || in.empty()) {
            ++i;
            continue;
        }
        // Partial overlap: keep the parts of e outside rect. They never touch rect, so the walk
        // passes over them when it reaches the end of the list.
        rects_.removeAtSwapLast(i);
        const Box pieces[4] = {
            Box(e.min.x, e.min.y, e.max.x, in.min.y), Box(e.min.x, in.min.y, in.min.x, in.max.y),
            Box(in.max.x, in.min.y, e.max.x, in.max.y), Box(e.min.x, in.max.y, e.max.x, e.max.y)};
        for (const Box& piece : pieces)
            if (!piece.empty()) rects_.pushBack(piece);
    }
    rects_.pushBack(rect);
}

void DirtyRectList::pullAllRectangles(core::Vec<Box>& result) {
    ScopedLock lock(mutex_);
    for (const Box& r : rects_) result.pushBack(r);
    rects_.clear();
}

void DirtyRectList::copyRectangles(core::Vec<Box>& result) {
    ScopedLock lock(mutex_);
    result.clear();
    for (const Box& r : rects_) result.pushBack(r);
}

}  // namespace plugkit::gui
