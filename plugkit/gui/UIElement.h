#pragma once

#include <cstdint>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/Vec.h"
#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"
#include "plugkit/gui/UIContext.h"
#include "plugkit/window/IWindow.h"

namespace plugkit::gui {

using graphics::ImageRef;
using graphics::L16;
using graphics::L8;
using graphics::Point;
using graphics::RGBA8;
using window::Key;
using window::MouseButton;
using window::MouseState;

// Drawing flags of an element, fixed at construction.
enum UIFlags : std::uint32_t {
    flagRaw = 1,       // draws into the raw layer (8-bit RGBA over the composited image)
    flagPBR = 2,       // draws into the PBR layer (diffuse, depth and material maps)
    flagAnimated = 4,  // wants onAnimate calls
};

// Which dirty list a damage report goes to.
enum class UILayer : std::int32_t {
    guessFromFlags = 0,  // the PBR list for PBR elements, else the raw list for raw elements
    rawOnly = 1,
    allLayers = 2,
};

// A rectangle of the editor (window pixel coordinates) that owns its children, receives mouse,
// key and animation events and draws into the raw and/or PBR layer. Event handlers get local
// coordinates (relative to position.min). Elements are made with core::mallocNew; a parent
// destroys its children. Everything but setDirty/setDirtyWhole runs on the editor thread, except
// renderRaw/renderPBR which the redraw loop may run on pool workers for non-overlapping elements.
class UIElement {
public:
    // [editor thread] context is shared and not owned; flags is a set of UIFlags.
    UIElement(UIContext* context, std::uint32_t flags);
    virtual ~UIElement();
    UIElement(const UIElement&) = delete;
    UIElement& operator=(const UIElement&) = delete;

    // --- Overridable operations ------------------------------------------------------------------

    // [editor thread] Takes availableSpace as position and passes it on to every child.
    virtual void reflow(Box availableSpace);
    // [editor thread] True takes the click: the element becomes dragged and focused.
    virtual bool onMouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate);
    // [editor thread] True when the wheel event was used.
    virtual bool onMouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState mstate);
    // [editor thread] The pointer moved inside the element; dx, dy are the window's deltas.
    virtual void onMouseMove(int x, int y, int dx, int dy, MouseState mstate);
    virtual void onBeginDrag();
    // [editor thread] Every move while dragged, wherever the pointer is.
    virtual void onMouseDrag(int x, int y, int dx, int dy, MouseState mstate);
    virtual void onStopDrag();
    virtual void onMouseEnter();
    virtual void onMouseExit();
    virtual void onFocusEnter();
    virtual void onFocusExit();
    // [editor thread] True when the key was used.
    virtual bool onKeyDown(Key key);
    virtual bool onKeyUp(Key key);
    // [editor thread] True for a local point in [0, width) x [0, height); negatives are outside.
    virtual bool contains(int x, int y);
    // [editor thread] onAnimate here when flagAnimated is set, then animate of every child.
    virtual void animate(double dt, double time);
    // [any thread] Marks the whole position dirty in the list chosen by layer.
    virtual void setDirtyWhole(UILayer layer = UILayer::guessFromFlags);
    // [any thread] Marks a local rectangle dirty (not clipped) in the list chosen by layer.
    virtual void setDirty(Box rect, UILayer layer = UILayer::guessFromFlags);
    // [editor or pool thread] Draws the raw layer. rawMap's (0, 0) is the visible corner of the
    // element; dirtyRects are local, clipped to rawMap, non-empty. Touch no pixel outside rawMap.
    virtual void onDrawRaw(ImageRef<RGBA8> rawMap, const core::Vec<Box>& dirtyRects);
    // [editor or pool thread] Draws the PBR layer, as onDrawRaw. The base draws 8-pixel grey
    // checkers at depth 15000.
    virtual void onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                           const core::Vec<Box>& dirtyRects);
    // [editor thread] Animation tick: dt seconds since the last one, time since the window started.
    virtual void onAnimate(double dt, double time);
    // [editor thread] Window rectangle in which onDrawRaw, asked to redraw there, sets every pixel
    // whatever lay below it, so that the composited image never shows there while this element is
    // drawn. Empty (the default) when the element may leave pixels through.
    virtual Box opaqueRawArea() const;

    // --- Tree --------------------------------------------------------------------------------------

    // [editor thread] Takes ownership of child (made with core::mallocNew, without a parent) and
    // appends it. Returns child, or null (leaving child alone) when it already has a parent.
    UIElement* addChild(UIElement* child);
    // [editor thread] Creates a T (core::mallocNew) with these arguments and adds it.
    template <class T, class... Args>
    T* addNew(Args&&... args);

    // --- Event walks, window coordinates -----------------------------------------------------------

    // [editor thread] Offers the click to children of higher or equal zOrder (highest first, equal
    // in insertion order), then to this element, then to lower children. True when one took it.
    bool mouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate);
    // [editor thread] Same order as mouseClick; no drag or focus change.
    bool mouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState mstate);
    // [editor thread] Drag to the dragged element, then every child, then enter/move/exit here.
    void mouseMove(int x, int y, int dx, int dy, MouseState mstate);
    // [editor thread] This element first, then each child in order; true at the first that used it.
    bool keyDown(Key key);
    bool keyUp(Key key);
    // [editor thread] Appends the visible elements of the subtree (parent before children) that
    // draw raw and PBR to the two lists.
    void getDrawLists(core::Vec<UIElement*>& listRaw, core::Vec<UIElement*>& listPBR);

    // [editor or pool thread] Clips the window areas to the element and the image and calls
    // onDrawRaw with a sub-image and local rectangles when any remain.
    void renderRaw(ImageRef<RGBA8> rawMap, const core::Vec<Box>& areasToUpdate);
    // [editor or pool thread] The same for the three PBR maps (clipped to the diffuse map's size).
    void renderPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                   const core::Vec<Box>& areasToUpdate);

    // --- Accessors ---------------------------------------------------------------------------------

    UIElement* parent() const { return parent_; }
    const Box& position() const { return position_; }
    int width() const { return position_.width(); }
    int height() const { return position_.height(); }
    int childCount() const { return static_cast<int>(children_.size()); }
    UIElement* child(int i) const { return children_[static_cast<std::size_t>(i)]; }
    bool isVisible() const { return visible_; }
    // [editor thread] Hidden elements and their subtrees are not drawn; they still get events.
    void setVisible(bool visible) { visible_ = visible; }
    std::uint32_t flags() const { return flags_; }
    int zOrder() const { return zOrder_; }
    // [editor thread] Higher values draw later (on top) and are offered clicks first.
    void setZOrder(int z) { zOrder_ = z; }
    UIContext* context() const { return context_; }
    bool isMouseOver() const { return mouseOver_; }
    // True when this element is the context's dragged / focused element.
    bool isDragged() const { return context_ && context_->dragged == this; }
    bool isFocused() const { return context_ && context_->focused == this; }

protected:
    // [editor thread] For a root element that creates its context after the base is built.
    void setContext(UIContext* context) { context_ = context; }
    // [editor thread] Destroys every child now (a root whose children must go before its context).
    void destroyChildren();
    // The list a report for layer goes to, or null when none.
    DirtyRectList* dirtyListFor(UILayer layer) const;

private:
    void sortChildrenByZOrder();
    static void destroyElement(UIElement* element) noexcept;

    UIElement* parent_ = nullptr;
    Box position_;
    core::Vec<UIElement*> children_;
    bool visible_ = true;
    std::uint32_t flags_;
    int zOrder_ = 0;
    UIContext* context_;
    bool mouseOver_ = false;
    core::Vec<Box> localRectsBuf_;
    core::Vec<UIElement*> zOrderedChildren_;
};

template <class T, class... Args>
T* UIElement::addNew(Args&&... args) {
    T* element = core::mallocNew<T>(static_cast<Args&&>(args)...);
    addChild(element);
    return element;
}

}  // namespace plugkit::gui
