#include "plugkit/gui/AreaLists.h"

#include <algorithm>

namespace plugkit::gui {

void removeOverlappingAreas(core::Vec<Box>& work, core::Vec<Box>& output) {
    for (std::size_t i = 0; i < work.size(); ++i) {
        const Box a = work[i];
        if (a.area() <= 0) continue;
        bool survives = true;
        for (std::size_t j = i + 1; j < work.size();) {
            const Box b = work[j];
            const Box in = a.intersection(b);
            if (in.empty()) {
                ++j;
            } else if (a.contains(b)) {
                work.removeAtSwapLast(j);  // compare the rectangle moved into slot j
            } else if (b.contains(a)) {
                survives = false;
                break;
            } else {
                const Box pieces[4] = {
                    Box(a.min.x, a.min.y, a.max.x, in.min.y), Box(a.min.x, in.min.y, in.min.x, in.max.y),
                    Box(in.max.x, in.min.y, a.max.x, in.max.y), Box(a.min.x, in.max.y, a.max.x, a.max.y)};
                for (const Box& piece : pieces)
                    if (!piece.empty()) work.pushBack(piece);
                survives = false;
                break;
            }
        }
        if (survives) output.pushBack(a);
    }
}

void tileAreas(const core::Vec<Box>& areas, int maxWidth, int maxHeight, core::Vec<Box>& output) {
    if (maxWidth <= 0 || maxHeight <= 0) return;
    for (const Box& area : areas) {
        const int w = area.width(), h = area.height();
        if (w <= 0 || h <= 0) continue;
        for (int y = 0; y < h; y += maxHeight)
            for (int x = 0; x < w; x += maxWidth)
                output.pushBack(Box(area.min.x + x, area.min.y + y, area.min.x + std::min(w, x + maxWidth),
                                    area.min.y + std::min(h, y + maxHeight)));
    }
}

void subtractArea(core::Vec<Box>& areas, Box cut) {
    if (cut.empty()) return;
    // Pieces are appended after the end the walk stops at: they never touch cut.
    std::size_t end = areas.size();
    for (std::size_t i = 0; i < end;) {
        const Box a = areas[i];
        const Box in = a.intersection(cut);
        if (in.empty()) {
            ++i;
            continue;
        }
        areas.removeAt(i);
        --end;
        const Box pieces[4] = {
            Box(a.min.x, a.min.y, a.max.x, in.min.y), Box(a.min.x, in.min.y, in.min.x, in.max.y),
            Box(in.max.x, in.min.y, a.max.x, in.max.y), Box(a.min.x, in.max.y, a.max.x, a.max.y)};
        for (const Box& piece : pieces)
            if (!piece.empty()) areas.pushBack(piece);
    }
}

void intersectAreas(const core::Vec<Box>& a, const core::Vec<Box>& b, core::Vec<Box>& output) {
    for (const Box& p : a)
        for (const Box& q : b) {
            const Box in = p.intersection(q);
            if (!in.empty()) output.pushBack(in);
        }
}

Box boundingBox(const core::Vec<Box>& rects) {
    Box r;
    for (const Box& b : rects) r = r.united(b);
    return r;
}

}  // namespace plugkit::gui
