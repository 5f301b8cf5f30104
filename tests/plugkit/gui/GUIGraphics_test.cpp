#include "plugkit/gui/GUIGraphics.h"

#include <gtest/gtest.h>

#include <string>

#include "plugkit/gui/AreaLists.h"
#include "plugkit/gui/PixelOrder.h"
#include "plugkit/window/HeadlessWindow.h"
#include "tests/support/Pixels.h"

namespace plugkit::gui {
namespace {

using window::HeadlessWindow;
using window::MouseButton;
using window::WindowBackend;

using testing::boxes;
using testing::boxText;

TEST(AreaLists, RemoveOverlappingKeepsLaterRectanglesWholeAndCutsEarlierOnes) {
    core::Vec<Box> work = boxes({Box(0, 0, 10, 10), Box(5, 5, 15, 15)}), out;
    removeOverlappingAreas(work, out);
    EXPECT_EQ(boxText(out), "(5,5)-(15,15)(0,0)-(10,5)(0,5)-(5,10)");
    core::Vec<Box> same = boxes({Box(0, 0, 10, 10), Box(0, 0, 10, 10), Box(3, 3, 3, 9)}), one;
    removeOverlappingAreas(same, one);
    EXPECT_EQ(boxText(one), "(0,0)-(10,10)");
}

TEST(AreaLists, TilesRunRowByRowAndBoundingBoxSkipsEmptyRects) {
    core::Vec<Box> tiles;
    tileAreas(boxes({Box(0, 0, 300, 130), Box(5, 5, 5, 50)}), 128, 128, tiles);
    EXPECT_EQ(boxText(tiles),
              "(0,0)-(128,128)(128,0)-(256,128)(256,0)-(300,128)(0,128)-(128,130)(128,128)-(256,130)(256,128)"
              "-(300,130)");
    EXPECT_EQ(boundingBox(boxes({Box(0, 0, 10, 10), Box(100, 50, 110, 60), Box(500, 500, 500, 600)})),
              Box(0, 0, 110, 60));
    EXPECT_EQ(boundingBox(boxes({})), Box(0, 0, 0, 0));
}

TEST(AreaLists, SubtractingCutsOnlyWhatLiesUnderAndIntersectingPairsEveryArea) {
    core::Vec<Box> areas =
        boxes({Box(0, 0, 10, 10), Box(20, 0, 30, 10), Box(40, 0, 44, 4), Box(50, 0, 60, 10)});
    subtractArea(areas, Box(5, -5, 45, 5));
    EXPECT_EQ(boxText(areas), "(50,0)-(60,10)(0,0)-(5,5)(0,5)-(10,10)(20,5)-(30,10)");
    core::Vec<Box> out;
    intersectAreas(boxes({Box(0, 0, 10, 10), Box(10, 0, 20, 10)}),
                   boxes({Box(5, 5, 15, 15), Box(0, 9, 1, 9)}), out);
    EXPECT_EQ(boxText(out), "(5,5)-(10,10)(10,5)-(15,10)");
}

TEST(PixelOrder, ConvertsToTheWindowByteOrderWithOpaqueAlpha) {
    RGBA8 px[6];
    const ImageRef<RGBA8> img{6, 1, 6 * 4, px};
    auto fill = [&] {
        for (RGBA8& p : px) p = RGBA8{1, 2, 3, 4};
    };
    fill();
    reorderPixels(img, Box(0, 0, 5, 1), WindowPixelFormat::bgra);  // four at once and one alone
    EXPECT_EQ(px[0], (RGBA8{3, 2, 1, 255}));
    EXPECT_EQ(px[4], (RGBA8{3, 2, 1, 255}));
    EXPECT_EQ(px[5], (RGBA8{1, 2, 3, 4}));
    fill();
    reorderPixels(img, Box(0, 0, 6, 1), WindowPixelFormat::argb);
    EXPECT_EQ(px[0], (RGBA8{255, 1, 2, 3}));
    EXPECT_EQ(px[5], (RGBA8{255, 1, 2, 3}));
    fill();
    reorderPixels(img, Box(0, 0, 6, 1), WindowPixelFormat::rgba);
    EXPECT_EQ(px[5], (RGBA8{1, 2, 3, 255}));
    reorderPixels(img, Box(0, 0, 6, 1), static_cast<WindowPixelFormat>(9));
    EXPECT_EQ(px[5], (RGBA8{1, 2, 3, 255}));
}

// A raw widget that fills what it is asked to redraw with one colour and counts the calls.
struct Swatch : UIElement {
    Swatch(UIContext* c, RGBA8 color, std::uint32_t flags = flagRaw) : UIElement(c, flags), color(color) {}
    void onDrawRaw(ImageRef<RGBA8> map, const core::Vec<Box>& rects) override {
        ++draws;
        for (const Box& r : rects) testing::fill(map.crop(r), color);
    }
    void onDrawPBR(ImageRef<RGBA8> d, ImageRef<L16> z, ImageRef<RGBA8> m,
                   const core::Vec<Box>& rects) override {
        ++pbrDraws;
        UIElement::onDrawPBR(d, z, m, rects);
    }
    Box opaqueRawArea() const override { return opaque ? position() : Box(); }
    bool onMouseClick(int, int, int, bool, MouseState) override { return takesClicks; }
    bool onKeyDown(Key) override {
        ++keys;
        return true;
    }
    void onStopDrag() override { ++stops; }
    void onFocusExit() override { ++blurs; }
    RGBA8 color;
    bool opaque = false;
    bool takesClicks = true;
    int draws = 0, pbrDraws = 0, keys = 0, stops = 0, blurs = 0;
};

struct Editor : GUIGraphics {
    Editor(int w, int h) : GUIGraphics(w, h) {}
    Swatch* swatch(Box pos, RGBA8 color, std::uint32_t flags = flagRaw, int z = 0) {
        Swatch* s = addNew<Swatch>(context(), color, flags);
        s->reflow(pos);
        s->setZOrder(z);
        return s;
    }
    // Keeps the widgets where the test put them.
    void reflow(Box availableSpace) override {
        Box saved[16];
        for (int i = 0; i < childCount() && i < 16; ++i) saved[i] = child(i)->position();
        GUIGraphics::reflow(availableSpace);
        for (int i = 0; i < childCount() && i < 16; ++i) child(i)->reflow(saved[i]);
    }
};

TEST(GUIGraphics, MipmapLevelCountsFollowTheEditorSize) {
    Editor e(20, 40);
    e.doResize(20, 40);
    EXPECT_EQ(e.diffuseMap().numLevels(), 5);
    e.doResize(800, 450);
    EXPECT_EQ(e.diffuseMap().numLevels(), 6);
    EXPECT_EQ(e.depthMap().numLevels(), 5);
    EXPECT_EQ(e.materialMap().numLevels(), 1);
    EXPECT_EQ(e.depthMap().level(0).border(), 1);
    EXPECT_EQ(e.depthMap().level(0).pitch(), (800 + 3) * 2);
    int w = 0, h = 0;
    e.getGUISize(&w, &h);
    EXPECT_EQ(w * 1000 + h, 800450);
    e.doResize(0, 10);
    EXPECT_EQ(e.diffuseMap().numLevels(), 0);
}

TEST(GUIGraphics, UpdateMarginGrowsCompositedAndDisplayedAreas) {
    Editor e(800, 450);
    e.doResize(800, 450);
    e.context()->dirtyListPBR.addRect(Box(10, 10, 30, 30));
    e.recomputeDirtyAreas();
    EXPECT_EQ(boxText(e.rectsToComposite()), "(0,0)-(50,50)");
    EXPECT_EQ(e.windowListener()->getDirtyRectangle(), Box(0, 0, 50, 50));
    e.doDraw(WindowPixelFormat::rgba);
    e.setUpdateMargin(0);
    e.context()->dirtyListPBR.addRect(Box(10, 10, 30, 30));
    e.context()->dirtyListRaw.addRect(Box(700, 400, 900, 500));  // clipped to the window
    e.recomputeDirtyAreas();
    EXPECT_EQ(boxText(e.rectsToComposite()), "(10,10)-(30,30)");
    EXPECT_EQ(boxText(e.rectsToDisplay()), "(10,10)-(30,30)(700,400)-(800,450)");
    EXPECT_EQ(e.windowListener()->getDirtyRectangle(), Box(10, 10, 800, 450));
}

TEST(GUIGraphics, NonOverlappingElementsShareABatchInZOrder) {
    Editor e(100, 100);
    e.doResize(100, 100);
    Swatch* c = e.swatch(Box(5, 5, 25, 8), RGBA8{3, 3, 3, 255}, flagRaw, 2);
    Swatch* a = e.swatch(Box(0, 0, 10, 10), RGBA8{1, 1, 1, 255});
    Swatch* b = e.swatch(Box(20, 0, 30, 10), RGBA8{2, 2, 2, 255});
    e.context()->dirtyListRaw.addRect(Box(0, 0, 100, 100));
    e.recomputeDirtyAreas();
    e.doDraw(WindowPixelFormat::rgba);
    ASSERT_EQ(e.drawListRaw().size(), 3u);
    EXPECT_EQ(e.drawListRaw()[0], a);
    EXPECT_EQ(e.drawListRaw()[1], b);
    EXPECT_EQ(e.drawListRaw()[2], c);
    ASSERT_EQ(e.lastBatchesRaw().size(), 2u);
    EXPECT_EQ(e.lastBatchesRaw()[0], 2);
    EXPECT_EQ(e.lastBatchesRaw()[1], 1);
    EXPECT_EQ(e.renderedImage().pixel(6, 6), (RGBA8{3, 3, 3, 255}));  // c on top of a
    EXPECT_EQ(e.renderedImage().pixel(6, 9), (RGBA8{1, 1, 1, 255}));
}

TEST(GUIGraphics, DrawListKeepsTreeOrderForEqualZ) {
    Editor e(10, 10);
    Swatch* parent = e.swatch(Box(), RGBA8{}, flagRaw | flagPBR);
    UIElement* kid1 = parent->addNew<Swatch>(e.context(), RGBA8{});
    UIElement* kid2 = parent->addNew<Swatch>(e.context(), RGBA8{});
    Swatch* next = e.swatch(Box(), RGBA8{});
    Swatch* low = e.swatch(Box(), RGBA8{}, flagRaw, -1);
    e.recomputeDrawLists();
    const UIElement* expected[] = {low, parent, kid1, kid2, next};
    ASSERT_EQ(e.drawListRaw().size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(e.drawListRaw()[i], expected[i]) << i;
    ASSERT_EQ(e.drawListPBR().size(), 1u);
}

TEST(GUIGraphics, RawOnlyDamageRedrawsRawOverTheLastCompositedImage) {
    Editor e(64, 64);
    e.setUpdateMargin(0);
    Swatch* pbr = e.swatch(Box(0, 0, 64, 64), RGBA8{}, flagPBR);
    Swatch* raw = e.swatch(Box(10, 10, 20, 20), RGBA8{9, 8, 7, 255});
    e.doResize(64, 64);
    e.setDirtyWhole(UILayer::allLayers);
    e.recomputeDirtyAreas();
    e.doDraw(WindowPixelFormat::rgba);
    EXPECT_EQ(pbr->pbrDraws, 1);
    const RGBA8 lit = e.compositedImage().pixel(40, 40);
    EXPECT_EQ(lit.a, 255);
    EXPECT_EQ(e.renderedImage().pixel(40, 40), lit);
    EXPECT_EQ(e.renderedImage().pixel(15, 15), (RGBA8{9, 8, 7, 255}));
    // Scribble over the rendered buffer: a raw redraw restores the composited pixels under it.
    e.renderedImage().pixel(30, 30) = RGBA8{0, 0, 0, 0};
    raw->setDirty(Box(0, 0, 15, 15));
    e.recomputeDirtyAreas();
    e.doDraw(WindowPixelFormat::rgba);
    EXPECT_EQ(pbr->pbrDraws, 1);
    EXPECT_TRUE(e.rectsToCompositeTiled().empty());
    EXPECT_EQ(e.renderedImage().pixel(30, 30), (RGBA8{0, 0, 0, 0}));  // outside the damage
    raw->setDirty(Box(-5, -5, 15, 15));
    e.recomputeDirtyAreas();
    e.doDraw(WindowPixelFormat::rgba);
    EXPECT_EQ(e.renderedImage().pixel(5, 5), lit);
    // Nothing dirty: nothing drawn.
    const int draws = raw->draws;
    e.recomputeDirtyAreas();
    e.doDraw(WindowPixelFormat::rgba);
    EXPECT_EQ(raw->draws, draws);
}

TEST(GUIGraphics, AreasUnderAnOpaqueRawElementAreLitOnlyOnceTheyShow) {
    // The same lit picture with and without an opaque cover over its left half.
    Editor ref(64, 64), e(64, 64);
    Swatch* cover = nullptr;
    for (Editor* ed : {&ref, &e}) {
        ed->setUpdateMargin(0);
        ed->swatch(Box(0, 0, 64, 64), RGBA8{}, flagPBR);
        if (ed == &e) cover = ed->swatch(Box(0, 0, 32, 64), RGBA8{9, 8, 7, 6});
        ed->doResize(64, 64);
        ed->setDirtyWhole(UILayer::allLayers);
        ed->recomputeDirtyAreas();
        ed->doDraw(WindowPixelFormat::rgba);
    }
    EXPECT_EQ(boxText(ref.rectsToCompositeTiled()), "(0,0)-(64,64)");
    cover->opaque = true;
    e.setDirtyWhole(UILayer::allLayers);
    e.recomputeDirtyAreas();
    e.doDraw(WindowPixelFormat::rgba);
    EXPECT_EQ(boxText(e.rectsToCompositeTiled()), "(32,0)-(64,64)");
    EXPECT_EQ(boxText(e.rectsCompositeOutdated()), "(0,0)-(32,64)");
    EXPECT_EQ(e.renderedImage().pixel(10, 10), (RGBA8{9, 8, 7, 255}));
    EXPECT_EQ(e.renderedImage().pixel(40, 10), ref.renderedImage().pixel(40, 10));
    // Damage under the cover redraws the cover and leaves the mipmaps for later; once the cover is
    // gone, a raw-only refresh shows the freshly composited picture where it was.
    const RGBA8 poison{1, 2, 3, 4};
    e.diffuseMap().level(1).pixel(1, 1) = poison;
    e.context()->dirtyListPBR.addRect(Box(0, 0, 8, 8));
    e.recomputeDirtyAreas();
    e.doDraw(WindowPixelFormat::rgba);
    EXPECT_TRUE(e.rectsToCompositeTiled().empty());
    EXPECT_EQ(e.diffuseMap().level(1).pixel(1, 1), poison);
    cover->setVisible(false);
    e.context()->dirtyListRaw.addRect(Box(0, 0, 16, 64));
    e.recomputeDirtyAreas();
    e.doDraw(WindowPixelFormat::rgba);
    EXPECT_EQ(boxText(e.rectsToCompositeTiled()), "(0,0)-(16,64)");
    EXPECT_EQ(boxText(e.rectsCompositeOutdated()), "(16,0)-(32,64)");
    EXPECT_EQ(e.diffuseMap().level(1).pixel(1, 1), ref.diffuseMap().level(1).pixel(1, 1));
    for (int y = 0; y < 64; y += 3)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(e.renderedImage().pixel(x, y), ref.renderedImage().pixel(x, y)) << x << "," << y;
}

TEST(GUIGraphics, MipmapsAreRegeneratedOnlyUnderTheDamage) {
    Editor e(256, 128);
    e.setUpdateMargin(0);
    e.swatch(Box(0, 0, 256, 128), RGBA8{}, flagPBR);
    e.doResize(256, 128);
    e.setDirtyWhole(UILayer::allLayers);
    e.recomputeDirtyAreas();
    e.doDraw(WindowPixelFormat::rgba);
    const RGBA8 poison{1, 2, 3, 4};
    e.diffuseMap().level(2).pixel(50, 20) = poison;  // far from the damage below
    e.diffuseMap().level(2).pixel(2, 2) = poison;    // under it
    e.depthMap().level(3).pixel(25, 10).l = 7;
    e.context()->dirtyListPBR.addRect(Box(0, 0, 16, 16));
    e.recomputeDirtyAreas();
    e.doDraw(WindowPixelFormat::rgba);
    EXPECT_EQ(e.diffuseMap().level(2).pixel(50, 20), poison);
    EXPECT_NE(e.diffuseMap().level(2).pixel(2, 2), poison);
    EXPECT_EQ(e.depthMap().level(3).pixel(25, 10).l, 7);
    EXPECT_EQ(boxText(e.rectsToCompositeTiled()), "(0,0)-(16,16)");
}

TEST(GUIGraphics, ListenerEndsDragsOnReleaseAndDropsFocusOnMissedClicks) {
    Editor e(100, 100);
    e.doResize(100, 100);
    Swatch* s = e.swatch(Box(10, 10, 20, 20), RGBA8{});
    window::IWindowListener* l = e.windowListener();
    EXPECT_TRUE(l->onMouseClick(12, 12, MouseButton::left, false, MouseState{}));
    EXPECT_EQ(e.context()->focused, s);
    EXPECT_TRUE(l->onKeyDown(Key::a));
    EXPECT_EQ(s->keys, 1);
    EXPECT_TRUE(l->onMouseRelease(90, 90, MouseButton::left, MouseState{}));
    EXPECT_EQ(s->stops, 1);
    EXPECT_EQ(e.context()->dragged, nullptr);
    EXPECT_FALSE(l->onMouseClick(50, 50, MouseButton::left, false, MouseState{}));
    EXPECT_EQ(e.context()->focused, nullptr);
    EXPECT_EQ(s->blurs, 1);
    l->onMouseClick(12, 12, MouseButton::right, false, MouseState{});
    l->onMouseCaptureCancelled();
    EXPECT_EQ(s->stops, 2);
}

TEST(GUIGraphics, HeadlessWindowShowsTheEditorAndDeliversEvents) {
    Editor e(80, 60);
    e.setUpdateMargin(0);
    // With equal zOrder the first child added is offered clicks first: the background declines.
    e.swatch(Box(0, 0, 80, 60), RGBA8{}, flagPBR)->takesClicks = false;
    Swatch* s = e.swatch(Box(10, 10, 30, 30), RGBA8{200, 100, 50, 255});
    EXPECT_EQ(e.openUI(nullptr, nullptr, client::DAW::unknown, 1), nullptr);  // no such window here
    EXPECT_EQ(e.currentWindow(), nullptr);
    auto* w = static_cast<HeadlessWindow*>(e.openWindow(WindowBackend::headless, nullptr));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->tick(), Box(0, 0, 80, 60));
    ASSERT_EQ(w->buffer().w, 80);
    EXPECT_EQ(w->buffer().pixel(15, 15), (RGBA8{200, 100, 50, 255}));
    EXPECT_EQ(w->buffer().pixel(50, 50), e.compositedImage().pixel(50, 50));
    EXPECT_TRUE(w->tick().empty());
    EXPECT_EQ(w->repaintCount(), 1);
    s->color = RGBA8{1, 2, 3, 255};
    s->setDirtyWhole();
    EXPECT_EQ(w->tick(), Box(10, 10, 30, 30));
    EXPECT_EQ(w->buffer().pixel(29, 29), (RGBA8{1, 2, 3, 255}));
    EXPECT_TRUE(w->mouseClick(12, 12, MouseButton::left));
    EXPECT_EQ(e.context()->dragged, s);
    e.closeUI();
    EXPECT_EQ(e.currentWindow(), nullptr);
    // Reopening redraws everything.
    w = static_cast<HeadlessWindow*>(e.openWindow(WindowBackend::headless, nullptr));
    EXPECT_EQ(w->tick(), Box(0, 0, 80, 60));
}

}  // namespace
}  // namespace plugkit::gui
