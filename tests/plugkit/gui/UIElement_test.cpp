#include "plugkit/gui/UIElement.h"

#include <gtest/gtest.h>

#include <string>

#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/gui/BufferBlend.h"
#include "plugkit/gui/UIBufferedElementPBR.h"
#include "plugkit/gui/UIBufferedElementRaw.h"
#include "tests/support/Pixels.h"

namespace plugkit::gui {
namespace {

using graphics::OwnedImage;
using plugkit::testing::boxes;
using plugkit::testing::fill;

std::string rectsOf(DirtyRectList& list) {
    core::Vec<Box> v;
    list.copyRectangles(v);
    return plugkit::testing::boxText(v);
}

TEST(BufferBlend, EveryOpacityWithEveryChannelValueRoundsToNearest) {
    // Opacity (x + y) & 255 pairs every opacity with every channel value; the last two rows are
    // wholly off and wholly on. Starting at x = 1 leaves pixels after the last group of four.
    OwnedImage<RGBA8> src, dst, before;
    OwnedImage<L8> opacity;
    for (auto* img : {&src, &dst, &before}) img->size(256, 258);
    opacity.size(256, 258);
    auto u8 = [](int v) { return static_cast<std::uint8_t>(v & 255); };
    for (int y = 0; y < 258; ++y)
        for (int x = 0; x < 256; ++x) {
            opacity.pixel(x, y).l = u8(y < 256 ? x + y : (y == 256 ? 0 : 255));
            src.pixel(x, y) = RGBA8{u8(x), u8(255 - x), u8(x * 7), u8(y)};
            dst.pixel(x, y) = before.pixel(x, y) = RGBA8{u8(255 - x), u8(x), u8(y), u8(x * 3 + y)};
        }
    core::Vec<Box> rects;
    rects.pushBack(Box(1, 0, 256, 258));
    detail::blendWithOpacity(dst.toRef(), src.toRef().asConst(), opacity.toRef().asConst(), rects);
    for (int y = 0; y < 258; ++y)
        for (int x = 1; x < 256; ++x) {
            const RGBA8 s = src.pixel(x, y), t = before.pixel(x, y);
            const int m = opacity.pixel(x, y).l;
            RGBA8 want;
            for (int c = 0; c < 4; ++c)
                want[c] = static_cast<std::uint8_t>((s[c] * m + t[c] * (255 - m) + 127) / 255);
            ASSERT_EQ(dst.pixel(x, y), want) << x << "," << y;
        }
    EXPECT_EQ(dst.pixel(0, 5), before.pixel(0, 5));
}

TEST(DirtyRectList, NewRectStaysWholeAndOlderOnesAreCutInOrder) {
    DirtyRectList list;
    list.addRect(Box(0, 0, 10, 10));
    list.addRect(Box(5, 5, 15, 15));
    EXPECT_EQ(rectsOf(list), "(0,0)-(10,5)(0,5)-(5,10)(5,5)-(15,15)");
    list.addRect(Box(2, 2, 3, 3));  // inside a stored one
    list.addRect(Box(4, 4, 4, 9));  // empty
    EXPECT_EQ(rectsOf(list), "(0,0)-(10,5)(0,5)-(5,10)(5,5)-(15,15)");
    list.addRect(Box(0, 0, 20, 20));
    EXPECT_EQ(rectsOf(list), "(0,0)-(20,20)");
    // A bar through the bottom edge leaves the top, left and right pieces, in that order.
    DirtyRectList cross;
    cross.addRect(Box(0, 0, 30, 30));
    cross.addRect(Box(10, 10, 20, 40));
    EXPECT_EQ(rectsOf(cross), "(0,0)-(30,10)(0,10)-(10,30)(20,10)-(30,30)(10,10)-(20,40)");
    core::Vec<Box> pulled = boxes({Box(1, 1, 2, 2)});
    cross.pullAllRectangles(pulled);
    EXPECT_EQ(pulled.size(), 5u);
    EXPECT_EQ(pulled[0], Box(1, 1, 2, 2));
    EXPECT_EQ(rectsOf(cross), "");
}

// Records every call it receives, with the element's name.
struct Probe : UIElement {
    Probe(UIContext* c, std::string n, std::string* log, std::uint32_t flags = 0, bool takes = true)
        : UIElement(c, flags), name(std::move(n)), log(log), takes(takes) {}
    void note(const std::string& what) { *log += name + ":" + what + " "; }
    bool onMouseClick(int x, int y, int, bool, MouseState) override {
        note("click" + std::to_string(x) + "," + std::to_string(y));
        return takes;
    }
    bool onMouseWheel(int, int, int, int dy, MouseState) override {
        note("wheel" + std::to_string(dy));
        return takes;
    }
    void onMouseMove(int x, int y, int, int, MouseState) override {
        note("move" + std::to_string(x) + "," + std::to_string(y));
    }
    void onMouseDrag(int x, int y, int, int, MouseState) override {
        note("drag" + std::to_string(x) + "," + std::to_string(y));
    }
    void onBeginDrag() override { note("begin"); }
    void onStopDrag() override { note("stop"); }
    void onMouseEnter() override { note("enter"); }
    void onMouseExit() override { note("exit"); }
    void onFocusEnter() override { note("focus"); }
    void onFocusExit() override { note("blur"); }
    bool onKeyDown(Key) override {
        note("key");
        return takesKeys;
    }
    void onAnimate(double, double) override { note("anim"); }
    void onDrawRaw(ImageRef<RGBA8> map, const core::Vec<Box>& rects) override {
        lastMap = map;
        lastRects.clear();
        for (const Box& r : rects) lastRects.pushBack(r);
    }
    std::string name;
    std::string* log;
    bool takes;
    bool takesKeys = false;
    ImageRef<RGBA8> lastMap;
    core::Vec<Box> lastRects;
};

struct Tree : ::testing::Test {
    UIContext ctx;
    std::string log;
    UIElement root{&ctx, 0};
    Probe* add(UIElement* parent, const char* name, Box pos, int z = 0, bool takes = true,
               std::uint32_t flags = 0) {
        Probe* p =
            static_cast<Probe*>(parent->addChild(core::mallocNew<Probe>(&ctx, name, &log, flags, takes)));
        p->reflow(pos);
        p->setZOrder(z);
        return p;
    }
    bool click(int x, int y) { return root.mouseClick(x, y, 0, false, MouseState{}); }
};

TEST_F(Tree, ContainsUsesLocalHalfOpenBoxAndRejectsNegatives) {
    Probe* a = add(&root, "a", Box(10, 10, 20, 15));
    EXPECT_TRUE(a->contains(0, 0));
    EXPECT_FALSE(a->contains(-1, 0));
    EXPECT_FALSE(a->contains(10, 0));
    EXPECT_TRUE(a->contains(9, 4));
    Probe* e = add(&root, "e", Box(5, 5, 5, 9));
    EXPECT_FALSE(e->contains(0, 0));
}

TEST_F(Tree, ClickFollowsZOrderThenInsertionAndFallsBackWhenDeclined) {
    root.reflow(Box(0, 0, 100, 100));
    Probe* low = add(&root, "low", Box(0, 0, 50, 50), 0);
    Probe* high = add(&root, "high", Box(0, 0, 50, 50), 1, /*takes=*/false);
    Probe* twin = add(&root, "twin", Box(0, 0, 50, 50), 0);
    EXPECT_TRUE(click(12, 7));
    EXPECT_EQ(log, "high:click12,7 low:click12,7 low:begin low:focus ");
    EXPECT_EQ(ctx.dragged, low);
    EXPECT_EQ(ctx.focused, low);
    // The next taker ends the previous drag and takes the focus.
    high->takes = true;
    log.clear();
    EXPECT_TRUE(click(1, 1));
    EXPECT_EQ(log, "high:click1,1 low:stop high:begin low:blur high:focus ");
    (void)twin;
}

TEST_F(Tree, ChildBelowParentIsOfferedTheClickAfterTheParentDeclines) {
    Probe* parent = add(&root, "parent", Box(0, 0, 50, 50), 5, /*takes=*/false);
    Probe* under = add(parent, "under", Box(10, 10, 20, 20), 1);
    add(parent, "over", Box(30, 30, 40, 40), 5, /*takes=*/false);
    EXPECT_TRUE(click(15, 15));
    EXPECT_EQ(log, "parent:click15,15 under:click5,5 under:begin under:focus ");
    log.clear();
    // Nothing takes it: drag and focus stay.
    EXPECT_FALSE(click(35, 35));
    EXPECT_EQ(log, "over:click5,5 parent:click35,35 ");
    EXPECT_EQ(ctx.dragged, under);
    EXPECT_EQ(ctx.focused, under);
    // Hidden elements still take clicks.
    under->setVisible(false);
    EXPECT_TRUE(click(12, 12));
}

TEST_F(Tree, WheelWalksLikeClickWithoutDragOrFocus) {
    add(&root, "a", Box(0, 0, 10, 10), 0, false);
    add(&root, "b", Box(0, 0, 10, 10), 2, false);
    EXPECT_FALSE(root.mouseWheel(3, 3, 0, -2, MouseState{}));
    EXPECT_EQ(log, "b:wheel-2 a:wheel-2 ");
    EXPECT_EQ(ctx.dragged, nullptr);
    EXPECT_EQ(ctx.focused, nullptr);
}

TEST_F(Tree, MoveSendsEnterExitToEveryElementUnderPointerAndDragsEverywhere) {
    root.reflow(Box(0, 0, 100, 100));
    Probe* a = add(&root, "a", Box(0, 0, 20, 20));
    Probe* b = add(&root, "b", Box(10, 10, 30, 30), 3);
    root.mouseMove(15, 15, 1, 1, MouseState{});
    EXPECT_EQ(log, "a:enter a:move15,15 b:enter b:move5,5 ");
    EXPECT_TRUE(a->isMouseOver() && b->isMouseOver());
    click(5, 5);
    log.clear();
    root.mouseMove(90, 95, 75, 80, MouseState{});
    EXPECT_EQ(log, "a:drag90,95 a:exit b:exit ");
    EXPECT_FALSE(a->isMouseOver() || b->isMouseOver());
}

TEST_F(Tree, KeysGoToTheElementThenChildrenInOrderIgnoringPosition) {
    Probe* a = add(&root, "a", Box(0, 0, 1, 1));
    Probe* a1 = add(a, "a1", Box(0, 0, 0, 0));
    Probe* b = add(&root, "b", Box(0, 0, 1, 1));
    a1->takesKeys = true;
    EXPECT_TRUE(root.keyDown(Key::q));
    EXPECT_EQ(log, "a:key a1:key ");
    a1->takesKeys = false;
    log.clear();
    EXPECT_FALSE(root.keyDown(Key::q));
    EXPECT_EQ(log, "a:key a1:key b:key ");
    (void)b;
}

TEST_F(Tree, AnimationReachesAnimatedElementsUnderHiddenOrStillParents) {
    Probe* still = add(&root, "still", Box());
    still->setVisible(false);
    add(still, "anim", Box(), 0, true, flagAnimated);
    root.animate(0.016, 1.0);
    EXPECT_EQ(log, "anim:anim ");
}

TEST_F(Tree, DrawListsSkipHiddenSubtreesAndKeepTreeOrder) {
    Probe* a = add(&root, "a", Box(), 0, true, flagRaw | flagPBR);
    Probe* a1 = add(a, "a1", Box(), 0, true, flagRaw);
    Probe* b = add(&root, "b", Box(), 0, true, flagPBR);
    Probe* hidden = add(&root, "h", Box(), 0, true, flagRaw);
    add(hidden, "h1", Box(), 0, true, flagRaw);
    hidden->setVisible(false);
    core::Vec<UIElement*> raw, pbr;
    root.getDrawLists(raw, pbr);
    ASSERT_EQ(raw.size(), 2u);
    EXPECT_EQ(raw[0], a);
    EXPECT_EQ(raw[1], a1);
    ASSERT_EQ(pbr.size(), 2u);
    EXPECT_EQ(pbr[0], a);
    EXPECT_EQ(pbr[1], b);
}

TEST_F(Tree, DirtyMarkingTranslatesAndPicksTheListFromLayerAndFlags) {
    Probe* none = add(&root, "n", Box(10, 20, 30, 40));
    Probe* both = add(&root, "b", Box(100, 100, 110, 110), 0, true, flagRaw | flagPBR);
    Probe* raw = add(&root, "r", Box(50, 50, 60, 60), 0, true, flagRaw);
    none->setDirtyWhole();
    EXPECT_EQ(rectsOf(ctx.dirtyListPBR) + rectsOf(ctx.dirtyListRaw), "");
    none->setDirty(Box(-5, 0, 5, 5), UILayer::rawOnly);  // not clipped to the element
    EXPECT_EQ(rectsOf(ctx.dirtyListRaw), "(5,20)-(15,25)");
    both->setDirty(Box(1, 1, 2, 2));
    raw->setDirtyWhole();
    raw->setDirty(Box(0, 0, 1, 1), UILayer::allLayers);
    raw->setDirty(Box(0, 0, 1, 1), static_cast<UILayer>(7));
    EXPECT_EQ(rectsOf(ctx.dirtyListPBR), "(101,101)-(102,102)(50,50)-(51,51)");
    EXPECT_EQ(rectsOf(ctx.dirtyListRaw), "(5,20)-(15,25)(50,50)-(60,60)");
}

TEST_F(Tree, RenderRawClipsToImageAndPassesLocalRects) {
    OwnedImage<RGBA8> image;
    image.size(100, 100);
    Probe* p = add(&root, "p", Box(-10, 0, 40, 30), 0, true, flagRaw);
    core::Vec<Box> areas =
        boxes({Box(0, 0, 5, 5), Box(35, 25, 60, 60), Box(50, 50, 60, 60)});  // the last misses
    p->renderRaw(image.toRef(), areas);
    EXPECT_EQ(p->lastMap.w, 40);
    EXPECT_EQ(p->lastMap.h, 30);
    EXPECT_EQ(p->lastMap.pixels, image.pixels());
    ASSERT_EQ(p->lastRects.size(), 2u);
    EXPECT_EQ(p->lastRects[0], Box(0, 0, 5, 5));
    EXPECT_EQ(p->lastRects[1], Box(35, 25, 40, 30));
    // Nothing touching: no call.
    p->lastMap = ImageRef<RGBA8>{};
    p->renderRaw(image.toRef(), boxes({Box(60, 0, 70, 10)}));
    EXPECT_EQ(p->lastMap.pixels, nullptr);
}

TEST_F(Tree, PlaceholderPBRDrawsEightPixelCheckers) {
    OwnedImage<RGBA8> diffuse, material;
    OwnedImage<L16> depth;
    diffuse.size(32, 32);
    material.size(32, 32);
    depth.size(32, 32);
    UIElement* e = root.addChild(core::mallocNew<UIElement>(&ctx, flagPBR));
    e->reflow(Box(0, 0, 32, 32));
    e->renderPBR(diffuse.toRef(), depth.toRef(), material.toRef(), boxes({Box(0, 0, 32, 32)}));
    EXPECT_EQ(diffuse.pixel(0, 0), (RGBA8{150, 150, 150, 0}));
    EXPECT_EQ(diffuse.pixel(8, 0), (RGBA8{100, 100, 100, 0}));
    EXPECT_EQ(diffuse.pixel(8, 8), (RGBA8{150, 150, 150, 0}));
    EXPECT_EQ(depth.pixel(31, 31).l, 15000);
    EXPECT_EQ(material.pixel(5, 9), (RGBA8{128, 25, 128, 255}));
}

// Paints its buffer with one colour and three opacity columns: 255, 128, 0.
struct Buffered : UIBufferedElementRaw {
    explicit Buffered(UIContext* c) : UIBufferedElementRaw(c, flagRaw) {}
    void onDrawBufferedRaw(ImageRef<RGBA8> raw, ImageRef<L8> opacity) override {
        ++draws;
        for (int y = 0; y < raw.h; ++y)
            for (int x = 0; x < raw.w; ++x) {
                raw.pixel(x, y) = RGBA8{255, 255, 255, 255};
                opacity.pixel(x, y).l = x == 0 ? 255 : x == 1 ? 128 : 0;
            }
    }
    int draws = 0;
};

TEST_F(Tree, BufferedRawBlendsWithIntegerWeightsAndRedrawsOnlyWhenMarked) {
    OwnedImage<RGBA8> image;
    image.size(4, 2);
    fill(image.toRef(), RGBA8{0, 0, 0, 0});
    Buffered* b = static_cast<Buffered*>(root.addChild(core::mallocNew<Buffered>(&ctx)));
    b->reflow(Box(0, 0, 3, 2));
    const core::Vec<Box> areas = boxes({Box(0, 0, 4, 2)});
    b->renderRaw(image.toRef(), areas);
    EXPECT_EQ(b->draws, 1);
    EXPECT_EQ(image.pixel(0, 1), (RGBA8{255, 255, 255, 255}));
    EXPECT_EQ(image.pixel(1, 1), (RGBA8{128, 128, 128, 128}));
    EXPECT_EQ(image.pixel(2, 1), (RGBA8{0, 0, 0, 0}));
    b->renderRaw(image.toRef(), areas);
    EXPECT_EQ(b->draws, 1);  // unchanged content: blend only
    b->setDirty(Box(0, 0, 1, 1));
    EXPECT_TRUE(b->mustBeRedrawn());
    b->renderRaw(image.toRef(), areas);
    EXPECT_EQ(b->draws, 2);
    b->reflow(Box(1, 0, 4, 1));  // resized
    fill(image.toRef(), RGBA8{0, 0, 0, 0});
    b->renderRaw(image.toRef(), areas);
    EXPECT_EQ(b->draws, 3);
    EXPECT_EQ(image.pixel(1, 0), (RGBA8{255, 255, 255, 255}));
    EXPECT_EQ(image.pixel(0, 0), (RGBA8{0, 0, 0, 0}));
}

TEST_F(Tree, BufferedRawOverTheLeftEdgeShowsItsVisiblePart) {
    OwnedImage<RGBA8> image;
    image.size(4, 1);
    fill(image.toRef(), RGBA8{0, 0, 0, 0});
    Buffered* b = static_cast<Buffered*>(root.addChild(core::mallocNew<Buffered>(&ctx)));
    b->reflow(Box(-1, 0, 3, 1));  // buffer column 1 (opacity 128) lands on window column 0
    b->renderRaw(image.toRef(), boxes({Box(0, 0, 4, 1)}));
    EXPECT_EQ(image.pixel(0, 0), (RGBA8{128, 128, 128, 128}));
    EXPECT_EQ(image.pixel(1, 0), (RGBA8{0, 0, 0, 0}));
}

struct BufferedPBR : UIBufferedElementPBR {
    explicit BufferedPBR(UIContext* c) : UIBufferedElementPBR(c, flagPBR) {}
    void onDrawBufferedPBR(ImageRef<RGBA8>, ImageRef<L16> depth, ImageRef<RGBA8>, ImageRef<L8> diffuseOpacity,
                           ImageRef<L8> depthOpacity, ImageRef<L8>) override {
        depth.pixel(0, 0).l = 65535;
        depthOpacity.pixel(0, 0).l = 128;
        diffuseOpacity.pixel(1, 0).l = 255;
    }
};

TEST_F(Tree, BufferedPBRBlendsDepthWithSixteenBitWeights) {
    OwnedImage<RGBA8> diffuse, material;
    OwnedImage<L16> depth;
    diffuse.size(2, 1);
    material.size(2, 1);
    depth.size(2, 1);
    fill(diffuse.toRef(), RGBA8{1, 2, 3, 4});
    fill(material.toRef(), RGBA8{5, 6, 7, 8});
    fill(depth.toRef(), L16{1000});
    UIElement* e = root.addChild(core::mallocNew<BufferedPBR>(&ctx));
    e->reflow(Box(0, 0, 2, 1));
    e->renderPBR(diffuse.toRef(), depth.toRef(), material.toRef(), boxes({Box(0, 0, 2, 1)}));
    // (128 * 257 * 65535 + (65535 - 128 * 257) * 1000 + 32768) / 65536
    EXPECT_EQ(depth.pixel(0, 0).l, 33394);
    EXPECT_EQ(depth.pixel(1, 0).l, 1000);
    EXPECT_EQ(diffuse.pixel(0, 0), (RGBA8{1, 2, 3, 4}));
    EXPECT_EQ(diffuse.pixel(1, 0), (RGBA8{128, 128, 128, 0}));
    EXPECT_EQ(material.pixel(1, 0), (RGBA8{5, 6, 7, 8}));
}

}  // namespace
}  // namespace plugkit::gui
