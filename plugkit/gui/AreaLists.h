#pragma once

#include "plugkit/core/Vec.h"
#include "plugkit/graphics/Box.h"

namespace plugkit::gui {

using graphics::Box;

// [any thread] Writes to output (appending) disjoint rectangles covering the same pixels as the
// non-empty rectangles of work, which is consumed as a work list (rectangles are cut, appended
// and removed). Later rectangles stay whole; earlier ones are cut around them, their pieces (top,
// left, right, bottom) processed after the rest. Allocates only when a list outgrows its capacity.
void removeOverlappingAreas(core::Vec<Box>& work, core::Vec<Box>& output);

// [any thread] Cuts every area into tiles of at most maxWidth x maxHeight, row by row, left to
// right, appending them to output. Empty areas give no tile.
void tileAreas(const core::Vec<Box>& areas, int maxWidth, int maxHeight, core::Vec<Box>& output);

// [any thread] Removes from areas every pixel of cut: an area partly under cut is replaced by its
// pieces outside it (top, left, right, bottom, appended). Areas apart from cut keep their order.
void subtractArea(core::Vec<Box>& areas, Box cut);

// [any thread] Appends to output the non-empty intersections of every area of a with every area of
// b (disjoint when each list is).
void intersectAreas(const core::Vec<Box>& a, const core::Vec<Box>& b, core::Vec<Box>& output);

// [any thread] The smallest box holding every non-empty rectangle; (0, 0)-(0, 0) when none is.
Box boundingBox(const core::Vec<Box>& rects);

}  // namespace plugkit::gui
