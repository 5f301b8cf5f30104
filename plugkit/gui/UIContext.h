#pragma once

#include "plugkit/core/RecursiveMutex.h"
#include "plugkit/core/Vec.h"
#include "plugkit/graphics/Box.h"

namespace plugkit::gui {

using graphics::Box;

class UIElement;

// A set of window rectangles waiting to be redrawn, kept pairwise disjoint and free of empty boxes.
// Widgets add to it from any thread; the redraw loop empties it on the editor thread.
class DirtyRectList {
public:
    DirtyRectList() = default;
    DirtyRectList(const DirtyRectList&) = delete;
    DirtyRectList& operator=(const DirtyRectList&) = delete;

    // [any thread] Merges rect into the list: a rect inside a stored one is dropped, stored rects
    // inside it are removed, partly covered ones are cut into the pieces outside it; rect itself is
    // stored whole at the end. An empty rect is ignored without taking the lock.
    void addRect(Box rect);

    // [any thread] Appends every stored rectangle to result, in list order, and empties the list.
    void pullAllRectangles(core::Vec<Box>& result);

    // [any thread] A copy of the stored rectangles, in order (for tests and tools).
    void copyRectangles(core::Vec<Box>& result);

private:
    core::Vec<Box> rects_;
    core::RecursiveMutex mutex_;
};

// State shared by every element of one editor: the dragged and the focused element, and the two
// dirty lists (areas whose PBR layer, and so everything above it, must be redrawn; areas where
// only the raw layer must be redrawn).
class UIContext {
public:
    UIContext() = default;
    UIContext(const UIContext&) = delete;
    UIContext& operator=(const UIContext&) = delete;

    UIElement* focused = nullptr;  // [editor thread] element with the keyboard focus
    UIElement* dragged = nullptr;  // [editor thread] element that took the last click, until released
    DirtyRectList dirtyListPBR;
    DirtyRectList dirtyListRaw;
};

}  // namespace plugkit::gui
