#pragma once

#include "plugkit/client/ClientTypes.h"
#include "plugkit/core/ThreadPool.h"
#include "plugkit/graphics/Mipmap.h"
#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/gui/ICompositor.h"
#include "plugkit/gui/UIElement.h"
#include "plugkit/window/IWindow.h"

namespace plugkit::gui {

using window::WindowPixelFormat;

// Base class of a plug-in's editor: the root of the widget tree, the IGraphics the client hands to
// the host, and (through its WindowListener) the receiver of the window's events. It owns the
// window while open, the UIContext, a pool of at most two workers, the compositor, the three
// full-window PBR maps with their mipmaps and two full-window RGBA8 buffers (composited, rendered).
//
// Redraw loop, driven by the window on its thread: each tick collects the dirty rectangles
// (recomputeDirtyAreas), each repaint draws the PBR elements into the maps, regenerates the touched
// mipmap areas, composites them (grown by updateMargin, in 128 x 128 tiles), copies the result into
// the rendered buffer, draws the raw elements over it and converts the pixels to the window's byte
// order. Non-overlapping elements draw in parallel. No allocation once the lists have grown.
// Where a raw element covers the window opaquely (opaqueRawArea), the composited image cannot show:
// those areas are neither composited nor copied, and are composited once they show again.
class GUIGraphics : public UIElement, public client::IGraphics {
public:
    static constexpr int kTileSize = 128;

    // [editor thread] flags: the root element's drawing flags. Maps and buffers are sized by the
    // first doResize (the window's onResized).
    GUIGraphics(int initialWidth, int initialHeight, std::uint32_t flags = 0);
    ~GUIGraphics() override;

    // [editor thread] The compositor, built with buildCompositor on first use (so that an editor's
    // override is the one called).
    virtual ICompositor* getCompositor();
    // [editor thread] Creates the compositor; the base builds a PBRCompositor on the pool.
    virtual ICompositor* buildCompositor(const CompositorCreationContext& context);

    // [editor thread] Lays the tree out, marks everything dirty and opens the platform window as a
    // child of parentInfo. Backend 0 (and any value outside 1..4) is the platform's window, 3 Cocoa;
    // 1, 2 and 4 have no window here and give null without touching an open window; so does a
    // backend that does not exist on this platform (Cocoa on Linux).
    void* openUI(void* parentInfo, void* controlInfo, client::DAW daw,
                 client::GraphicsBackend backend) override;
    // [editor thread] Destroys the window; widgets, maps and buffers stay for a later openUI.
    void closeUI() override;
    // [editor thread]
    void getGUISize(int* width, int* height) override;

    // [editor thread] openUI with a window backend given directly (headless for tests and tools).
    // The new window replaces one still open. Returns it, or null (keeping the open one) when it
    // could not be created.
    window::IWindow* openWindow(window::WindowBackend backend, void* parent);

    // [editor thread] Pixels by which PBR areas grow before compositing (lighting reads neighbours).
    virtual void setUpdateMargin(int margin);
    // [editor thread] Rebuilds the raw and PBR draw lists, sorted by zOrder (stable: tree order).
    virtual void recomputeDrawLists();
    // [editor thread] One frame into the rendered buffer, converted to format.
    virtual void doDraw(WindowPixelFormat format);
    // [editor thread] Collects the dirty rectangles and derives the areas to composite and show.
    virtual void recomputeDirtyAreas();
    // [editor thread] Resizes maps and buffers, lays the tree out; returns the rendered buffer.
    virtual ImageRef<RGBA8> doResize(int width, int height);
    virtual void redrawElementsRaw();
    virtual void redrawElementsPBR();
    // [editor thread] Composites, in tiles, into target the areas planned by the frame: those to
    // composite that show (not under an opaque raw element), and earlier skipped ones that show again.
    virtual void compositeGUI(ImageRef<RGBA8> target);
    // [editor thread] Regenerates the mipmap levels below the PBR areas, and below those of earlier
    // frames that composited nothing; when this frame composites nothing either, they wait.
    virtual void regenerateMipmaps();
    // [editor thread] Converts the display areas of the rendered buffer in place to format.
    virtual void reorderComponents(WindowPixelFormat format);

    // --- Inspection (editor thread) ----------------------------------------------------------------
    window::IWindowListener* windowListener() { return &windowListener_; }
    window::IWindow* currentWindow() const { return window_; }
    core::ThreadPool* threadPool() const { return threadPool_; }
    int updateMargin() const { return updateMargin_; }
    const Mipmap<RGBA8>& diffuseMap() const { return diffuseMap_; }
    const Mipmap<L16>& depthMap() const { return depthMap_; }
    const Mipmap<RGBA8>& materialMap() const { return materialMap_; }
    ImageRef<RGBA8> compositedImage() const { return compositedBuffer_.toRef(); }
    ImageRef<RGBA8> renderedImage() const { return renderedBuffer_.toRef(); }
    const core::Vec<Box>& rectsToUpdatePBR() const { return rectsToUpdateDisjointedPBR_; }
    const core::Vec<Box>& rectsToUpdateRaw() const { return rectsToUpdateDisjointedRaw_; }
    const core::Vec<Box>& rectsToCompositeTiled() const { return rectsToCompositeDisjointedTiled_; }
    const core::Vec<Box>& rectsToComposite() const { return rectsToCompositeDisjointed_; }
    const core::Vec<Box>& rectsToDisplay() const { return rectsToDisplayDisjointed_; }
    // Window areas of the last frame where the composited image shows (display areas not under an
    // opaque raw element), and areas of the composited image left out of date under such elements.
    const core::Vec<Box>& rectsShowingComposite() const { return rectsShowingComposite_; }
    const core::Vec<Box>& rectsCompositeOutdated() const { return rectsCompositeOutdated_; }
    const core::Vec<UIElement*>& drawListRaw() const { return elemsToDrawRaw_; }
    const core::Vec<UIElement*>& drawListPBR() const { return elemsToDrawPBR_; }
    // [editor thread] The batches of the last redraw of each layer: element counts in draw order.
    const core::Vec<int>& lastBatchesRaw() const { return batchesRaw_; }
    const core::Vec<int>& lastBatchesPBR() const { return batchesPBR_; }

    // Receives the window's events and hands them to the owning editor.
    class WindowListener final : public window::IWindowListener {
    public:
        explicit WindowListener(GUIGraphics& owner) : owner_(owner) {}
        // A click no element takes removes the keyboard focus.
        bool onMouseClick(int x, int y, window::MouseButton button, bool isDoubleClick,
                          MouseState state) override;
        // Ends any drag; always true.
        bool onMouseRelease(int x, int y, window::MouseButton button, MouseState state) override;
        bool onMouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState state) override;
        void onMouseMove(int x, int y, int dx, int dy, MouseState state) override;
        // The focused element first, then the whole tree.
        bool onKeyDown(Key key) override;
        bool onKeyUp(Key key) override;
        void onDraw(WindowPixelFormat format) override;
        ImageRef<RGBA8> onResized(int width, int height) override;
        void recomputeDirtyAreas() override;
        // Bounding box of the areas shown by the next draw; (0, 0)-(0, 0) when none.
        Box getDirtyRectangle() override;
        void onMouseCaptureCancelled() override;
        void onAnimate(double dt, double time) override;

    private:
        GUIGraphics& owner_;
    };

private:
    void endDrag();
    // Draws the list in batches of elements whose positions do not overlap.
    template <class Draw>
    void drawInBatches(const core::Vec<UIElement*>& list, core::Vec<int>& batches, const Draw& draw);
    void pullDirtyList(DirtyRectList& list, core::Vec<Box>& accumulated);
    // From the draw lists and dirty areas: the opaque areas of the raw draw list, the display areas
    // outside them, the areas to composite, and what stays out of date under them.
    void planCompositing();

    ICompositor* compositor_ = nullptr;
    UIContext* uiContext_ = nullptr;
    WindowListener windowListener_;
    window::IWindow* window_ = nullptr;
    core::ThreadPool* threadPool_ = nullptr;
    int currentWidth_;
    int currentHeight_;
    Mipmap<RGBA8> diffuseMap_;
    Mipmap<L16> depthMap_;
    Mipmap<RGBA8> materialMap_;
    core::Vec<Box> rectsToUpdateDisjointedRaw_;
    core::Vec<Box> rectsToUpdateDisjointedPBR_;
    core::Vec<Box> rectsTemp_;
    core::Vec<Box> updateRectScratch_[2];
    core::Vec<Box> rectsToComposite_;
    core::Vec<Box> rectsToCompositeDisjointed_;
    core::Vec<Box> rectsToCompositeDisjointedTiled_;
    core::Vec<Box> rectsToDisplay_;
    core::Vec<Box> rectsToDisplayDisjointed_;
    core::Vec<Box> rectsOpaque_;  // opaque areas of the raw draw list, window pixels
    core::Vec<Box> rectsShowingComposite_;
    core::Vec<Box> rectsCompositeOutdated_;
    core::Vec<Box> rectsCompositePlanned_;
    core::Vec<Box> rectsCompositeWork_;
    core::Vec<Box> mipmapsOutdated_;  // level 0 areas whose lower levels are not regenerated yet
    core::Vec<UIElement*> elemsToDrawRaw_;
    core::Vec<UIElement*> elemsToDrawPBR_;
    core::Vec<int> batchesRaw_;
    core::Vec<int> batchesPBR_;
    int updateMargin_ = 20;
    graphics::OwnedImage<RGBA8> compositedBuffer_;
    graphics::OwnedImage<RGBA8> renderedBuffer_;
};

}  // namespace plugkit::gui
