#include "plugkit/gui/GUIGraphics.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/FPControl.h"
#include "plugkit/core/Sort.h"
#include "plugkit/gui/AreaLists.h"
#include "plugkit/gui/PBRCompositor.h"
#include "plugkit/gui/PixelOrder.h"

namespace plugkit::gui {

using graphics::Quality;

GUIGraphics::GUIGraphics(int initialWidth, int initialHeight, std::uint32_t flags)
    : UIElement(nullptr, flags),
      windowListener_(*this),
      currentWidth_(std::max(initialWidth, 0)),
      currentHeight_(std::max(initialHeight, 0)) {
    uiContext_ = core::mallocNew<UIContext>();
    setContext(uiContext_);
    threadPool_ = core::mallocNew<core::ThreadPool>(0, 2, 0);
}

GUIGraphics::~GUIGraphics() {
    closeUI();
    // Widgets may still reach the context while they go (a last setDirty, the focus), so they are
    // destroyed before it.
    destroyChildren();
    core::destroyFree(uiContext_);
    setContext(nullptr);
    core::destroyFree(threadPool_);
    if (compositor_) {
        void* block = dynamic_cast<void*>(compositor_);
        compositor_->~ICompositor();
        std::free(block);
    }
}

ICompositor* GUIGraphics::getCompositor() {
    if (!compositor_) compositor_ = buildCompositor(CompositorCreationContext{threadPool_});
    return compositor_;
}

ICompositor* GUIGraphics::buildCompositor(const CompositorCreationContext& context) {
    return core::mallocNew<PBRCompositor>(context);
}

// --- IGraphics -----------------------------------------------------------------------------------------

void* GUIGraphics::openUI(void* parentInfo, void*, client::DAW, client::GraphicsBackend backend) {
    if (backend < 1 || backend > 4) backend = 0;
    reflow(Box(0, 0, currentWidth_, currentHeight_));
    setDirtyWhole(UILayer::allLayers);
    window::WindowBackend wb;
    if (backend == 0)
        wb = window::WindowBackend::automatic;
    else if (backend == 3)
        wb = window::WindowBackend::cocoa;
    else
        return nullptr;  // no such window on this platform
    window::IWindow* w = openWindow(wb, parentInfo);
    return w ? w->systemHandle() : nullptr;
}

window::IWindow* GUIGraphics::openWindow(window::WindowBackend backend, void* parent) {
    reflow(Box(0, 0, currentWidth_, currentHeight_));
    setDirtyWhole(UILayer::allLayers);
    // A window that cannot be made leaves the open one (if any) in place.
    window::IWindow* w =
        window::createWindow(backend, parent, &windowListener_, currentWidth_, currentHeight_);
    if (!w) return nullptr;
    closeUI();
    window_ = w;
    return window_;
}

void GUIGraphics::closeUI() {
    if (!window_) return;
    window::destroyWindow(window_);
    window_ = nullptr;
}

void GUIGraphics::getGUISize(int* width, int* height) {
    if (width) *width = currentWidth_;
    if (height) *height = currentHeight_;
}

void GUIGraphics::setUpdateMargin(int margin) { updateMargin_ = std::max(margin, 0); }

// --- Dirty areas ---------------------------------------------------------------------------------------

void GUIGraphics::pullDirtyList(DirtyRectList& list, core::Vec<Box>& accumulated) {
    // Widgets may report areas outside the window; only the window's part is ever drawn or shown.
    const std::size_t start = accumulated.size();
    list.pullAllRectangles(accumulated);
    const Box window(0, 0, currentWidth_, currentHeight_);
    std::size_t n = start;
    for (std::size_t i = start; i < accumulated.size(); ++i) {
        const Box c = accumulated[i].intersection(window);
        if (!c.empty()) accumulated[n++] = c;
    }
    accumulated.resize(n);
    rectsTemp_.clear();
    removeOverlappingAreas(accumulated, rectsTemp_);
    accumulated.clear();
    for (const Box& r : rectsTemp_) accumulated.pushBack(r);
}

void GUIGraphics::recomputeDirtyAreas() {
    pullDirtyList(uiContext_->dirtyListRaw, rectsToUpdateDisjointedRaw_);
    pullDirtyList(uiContext_->dirtyListPBR, rectsToUpdateDisjointedPBR_);
    rectsToComposite_.clear();
    for (const Box& r : rectsToUpdateDisjointedPBR_) {
        const Box g = r.grown(updateMargin_);
        rectsToComposite_.pushBack(
            Box(std::clamp(g.min.x, 0, currentWidth_), std::clamp(g.min.y, 0, currentHeight_),
                std::clamp(g.max.x, 0, currentWidth_), std::clamp(g.max.y, 0, currentHeight_)));
    }
    rectsTemp_.clear();
    for (const Box& r : rectsToComposite_) rectsTemp_.pushBack(r);
    rectsToCompositeDisjointed_.clear();
    removeOverlappingAreas(rectsTemp_, rectsToCompositeDisjointed_);

    rectsToDisplay_.clear();
    for (const Box& r : rectsToComposite_) rectsToDisplay_.pushBack(r);
    for (const Box& r : rectsToUpdateDisjointedRaw_) rectsToDisplay_.pushBack(r);
    rectsTemp_.clear();
    for (const Box& r : rectsToDisplay_) rectsTemp_.pushBack(r);
    rectsToDisplayDisjointed_.clear();
    removeOverlappingAreas(rectsTemp_, rectsToDisplayDisjointed_);
}

// --- Drawing -------------------------------------------------------------------------------------------

void GUIGraphics::recomputeDrawLists() {
    elemsToDrawRaw_.clear();
    elemsToDrawPBR_.clear();
    getDrawLists(elemsToDrawRaw_, elemsToDrawPBR_);
    auto byZ = [](const UIElement* a, const UIElement* b) {
        return a->zOrder() < b->zOrder() ? -1 : (a->zOrder() > b->zOrder() ? 1 : 0);
    };
    core::grail_commonSort(elemsToDrawRaw_.data(), static_cast<int>(elemsToDrawRaw_.size()), byZ);
    core::grail_commonSort(elemsToDrawPBR_.data(), static_cast<int>(elemsToDrawPBR_.size()), byZ);
}

template <class Draw>
void GUIGraphics::drawInBatches(const core::Vec<UIElement*>& list, core::Vec<int>& batches,
                                const Draw& draw) {
    batches.clear();
    const int n = static_cast<int>(list.size());
    for (int start = 0; start < n;) {
        int end = start + 1;
        for (; end < n; ++end) {
            const Box& p = list[static_cast<std::size_t>(end)]->position();
            bool conflict = false;
            for (int k = start; k < end && !conflict; ++k)
                conflict =
                    !p.empty() && !p.intersection(list[static_cast<std::size_t>(k)]->position()).empty();
            if (conflict) break;
        }
        UIElement* const* first = list.data() + start;
        const Draw* d = &draw;
        threadPool_->parallelFor(end - start, [first, d](int i, int) {
            const core::FPStateGuard guard;  // workers start in the platform's floating-point mode
            (*d)(first[i]);
        });
        batches.pushBack(end - start);
        start = end;
    }
}

void GUIGraphics::redrawElementsPBR() {
    if (rectsToUpdateDisjointedPBR_.empty() || diffuseMap_.numLevels() == 0) {
        batchesPBR_.clear();
        return;
    }
    const ImageRef<RGBA8> diffuse = diffuseMap_.level(0).toRef();
    const ImageRef<L16> depth = depthMap_.level(0).toRef();
    const ImageRef<RGBA8> material = materialMap_.level(0).toRef();
    const core::Vec<Box>* areas = &rectsToUpdateDisjointedPBR_;
    drawInBatches(elemsToDrawPBR_, batchesPBR_,
                  [&](UIElement* e) { e->renderPBR(diffuse, depth, material, *areas); });
}

void GUIGraphics::redrawElementsRaw() {
    if (rectsToDisplayDisjointed_.empty() || renderedBuffer_.pixels() == nullptr) {
        batchesRaw_.clear();
        return;
    }
    const ImageRef<RGBA8> target = renderedBuffer_.toRef();
    const core::Vec<Box>* areas = &rectsToDisplayDisjointed_;
    drawInBatches(elemsToDrawRaw_, batchesRaw_, [&](UIElement* e) { e->renderRaw(target, *areas); });
}

namespace {

// Keeps a list of areas waiting for work disjoint and short: past 32 pieces it becomes their
// bounding box (more work later, the same pixels).
void mergeWaiting(core::Vec<Box>& waiting, core::Vec<Box>& scratch) {
    scratch.clear();
    removeOverlappingAreas(waiting, scratch);
    waiting.clear();
    if (scratch.size() > 32) {
        waiting.pushBack(boundingBox(scratch));
        return;
    }
    for (const Box& r : scratch) waiting.pushBack(r);
}

}  // namespace

void GUIGraphics::planCompositing() {
    rectsOpaque_.clear();
    const Box window(0, 0, currentWidth_, currentHeight_);
    for (const UIElement* e : elemsToDrawRaw_) {
        const Box o = e->opaqueRawArea().intersection(e->position()).intersection(window);
        if (!o.empty()) rectsOpaque_.pushBack(o);
    }
    rectsShowingComposite_.clear();
    for (const Box& r : rectsToDisplayDisjointed_) rectsShowingComposite_.pushBack(r);
    for (const Box& o : rectsOpaque_) subtractArea(rectsShowingComposite_, o);

    // The composited image must be right wherever it shows: the new PBR areas, and earlier areas
    // skipped under an opaque raw element that show now. What stays hidden is left out of date.
    core::Vec<Box>& work = rectsCompositeWork_;
    work.clear();
    rectsCompositePlanned_.clear();
    for (const Box& r : rectsToCompositeDisjointed_) work.pushBack(r);
    intersectAreas(rectsCompositeOutdated_, rectsToDisplayDisjointed_, work);
    removeOverlappingAreas(work, rectsCompositePlanned_);
    for (const Box& o : rectsOpaque_) subtractArea(rectsCompositePlanned_, o);

    for (const Box& r : rectsToCompositeDisjointed_) rectsCompositeOutdated_.pushBack(r);
    mergeWaiting(rectsCompositeOutdated_, work);
    for (const Box& r : rectsCompositePlanned_) subtractArea(rectsCompositeOutdated_, r);
}

void GUIGraphics::regenerateMipmaps() {
    // Only compositing reads the levels: while nothing is composited, the areas wait.
    for (const Box& r : rectsToUpdateDisjointedPBR_) mipmapsOutdated_.pushBack(r);
    mergeWaiting(mipmapsOutdated_, rectsCompositeWork_);
    if (rectsCompositePlanned_.empty() || mipmapsOutdated_.empty() || diffuseMap_.numLevels() == 0 ||
        depthMap_.numLevels() == 0)
        return;
    const Box window = diffuseMap_.level(0).bounds();
    for (core::Vec<Box>& scratch : updateRectScratch_) {
        scratch.clear();
        for (const Box& r : mipmapsOutdated_)
            if (!r.intersection(window).empty()) scratch.pushBack(r.intersection(window));
    }
    mipmapsOutdated_.clear();
    for (int level = 1; level < diffuseMap_.numLevels(); ++level) {
        const Quality q = level == 1 ? Quality::boxAlphaCovIntoPremul : Quality::cubic;
        for (Box& r : updateRectScratch_[0]) r = diffuseMap_.generateNextLevel(q, r, level);
    }
    for (const Box& r : updateRectScratch_[1]) depthMap_.level(0).replicateBordersTouching(r);
    for (int level = 1; level < depthMap_.numLevels(); ++level) {
        const Quality q = level <= 2 ? Quality::box : Quality::cubic;
        for (Box& r : updateRectScratch_[1]) r = depthMap_.generateNextLevel(q, r, level);
    }
}

void GUIGraphics::compositeGUI(ImageRef<RGBA8> target) {
    rectsToCompositeDisjointedTiled_.clear();
    tileAreas(rectsCompositePlanned_, kTileSize, kTileSize, rectsToCompositeDisjointedTiled_);
    if (rectsToCompositeDisjointedTiled_.empty() || diffuseMap_.numLevels() == 0) return;
    getCompositor()->compositeTile(target, rectsToCompositeDisjointedTiled_, diffuseMap_, materialMap_,
                                   depthMap_);
}

void GUIGraphics::reorderComponents(WindowPixelFormat format) {
    const ImageRef<RGBA8> image = renderedBuffer_.toRef();
    for (const Box& r : rectsToDisplayDisjointed_) reorderPixels(image, r, format);
}

void GUIGraphics::doDraw(WindowPixelFormat format) {
    // Before the window's first onResized there is nothing to draw into.
    if (renderedBuffer_.width() == currentWidth_ && renderedBuffer_.height() == currentHeight_ &&
        renderedBuffer_.pixels() != nullptr) {
        recomputeDrawLists();
        planCompositing();
        redrawElementsPBR();
        regenerateMipmaps();
        compositeGUI(compositedBuffer_.toRef());
        for (const Box& r : rectsShowingComposite_) {
            const Box c = r.intersection(renderedBuffer_.bounds());
            for (int y = c.min.y; y < c.max.y; ++y)
                std::memcpy(renderedBuffer_.row(y) + c.min.x, compositedBuffer_.row(y) + c.min.x,
                            static_cast<std::size_t>(c.width()) * sizeof(RGBA8));
        }
        redrawElementsRaw();
        reorderComponents(format);
    }
    rectsToUpdateDisjointedPBR_.clear();
    rectsToUpdateDisjointedRaw_.clear();
}

ImageRef<RGBA8> GUIGraphics::doResize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    currentWidth_ = width;
    currentHeight_ = height;
    reflow(Box(0, 0, width, height));
    getCompositor()->resizeBuffers(width, height, kTileSize, kTileSize);
    // Levels while the smaller side can be halved: at most 6 for the diffuse map, 5 for depth.
    diffuseMap_.size(5, width, height);
    depthMap_.size(4, width, height);
    materialMap_.size(0, width, height);
    // The lighting reads one depth pixel around each pixel (two on the right, for four-wide loads).
    if (depthMap_.numLevels() > 0) depthMap_.level(0).size(width, height, 1, 2);
    compositedBuffer_.size(width, height);
    renderedBuffer_.size(width, height);
    return renderedBuffer_.toRef();
}

// --- Window listener -----------------------------------------------------------------------------------

void GUIGraphics::endDrag() {
    UIContext* c = context();
    if (UIElement* dragged = c->dragged) {
        c->dragged = nullptr;
        dragged->onStopDrag();
    }
}

bool GUIGraphics::WindowListener::onMouseClick(int x, int y, window::MouseButton button, bool isDoubleClick,
                                               MouseState state) {
    const bool taken = owner_.mouseClick(x, y, static_cast<int>(button), isDoubleClick, state);
    UIContext* c = owner_.context();
    if (!taken && c->focused) {
        UIElement* previous = c->focused;
        c->focused = nullptr;
        previous->onFocusExit();
    }
    return taken;
}

bool GUIGraphics::WindowListener::onMouseRelease(int, int, window::MouseButton, MouseState) {
    owner_.endDrag();
    return true;
}

bool GUIGraphics::WindowListener::onMouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY,
                                               MouseState state) {
    return owner_.mouseWheel(x, y, wheelDeltaX, wheelDeltaY, state);
}

void GUIGraphics::WindowListener::onMouseMove(int x, int y, int dx, int dy, MouseState state) {
    owner_.mouseMove(x, y, dx, dy, state);
}

bool GUIGraphics::WindowListener::onKeyDown(Key key) {
    UIElement* focused = owner_.context()->focused;
    if (focused && focused->onKeyDown(key)) return true;
    return owner_.keyDown(key);
}

bool GUIGraphics::WindowListener::onKeyUp(Key key) {
    UIElement* focused = owner_.context()->focused;
    if (focused && focused->onKeyUp(key)) return true;
    return owner_.keyUp(key);
}

void GUIGraphics::WindowListener::onDraw(WindowPixelFormat format) { owner_.doDraw(format); }

ImageRef<RGBA8> GUIGraphics::WindowListener::onResized(int width, int height) {
    return owner_.doResize(width, height);
}

void GUIGraphics::WindowListener::recomputeDirtyAreas() { owner_.recomputeDirtyAreas(); }

Box GUIGraphics::WindowListener::getDirtyRectangle() { return boundingBox(owner_.rectsToDisplay_); }

void GUIGraphics::WindowListener::onMouseCaptureCancelled() { owner_.endDrag(); }

void GUIGraphics::WindowListener::onAnimate(double dt, double time) { owner_.animate(dt, time); }

}  // namespace plugkit::gui
