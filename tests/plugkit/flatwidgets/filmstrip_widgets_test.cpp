// Knob and slider driven through the widget tree's event walk, with a recording host that sees the
// edit gestures and automation the editor path produces.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plugkit/flatwidgets/FilmstripBlend.h"
#include "plugkit/flatwidgets/UIFilmstripKnob.h"
#include "plugkit/flatwidgets/UIFilmstripSlider.h"
#include "tests/plugkit/client/TestPlugin.h"
#include "tests/support/Pixels.h"

namespace plugkit::flatwidgets {
namespace {

using client::Client;
using client::testing::RecordingHost;
using client::testing::TestPlugin;
using gui::UIElement;

// A filmstrip of numFrames frames of w x frameH: pixel (x, y) of frame f is (f, y, x, 255).
OwnedImage<RGBA8>* makeFilmstrip(int w, int frameH, int numFrames) {
    auto* image = core::mallocNew<OwnedImage<RGBA8>>();
    plugkit::testing::makeFilmstrip(*image, w, frameH, numFrames);
    return image;
}

// The host events as text: b<index> a<index>=<value> e<index>.
std::string eventsOf(const RecordingHost& host) {
    std::string s;
    for (const auto& e : host.events) {
        s += std::string(1, e.kind) + std::to_string(e.index);
        if (e.kind == 'a') s += "=" + std::to_string(e.value).substr(0, 5);
        s += " ";
    }
    return s;
}

class FilmstripWidgets : public ::testing::Test {
protected:
    gui::UIContext ctx;
    TestPlugin* plugin = Client::create<TestPlugin>();
    RecordingHost host;
    UIElement* root = core::mallocNew<UIElement>(&ctx, 0u);
    OwnedImage<RGBA8>* knobStrip = makeFilmstrip(60, 60, 60);
    OwnedImage<RGBA8>* sliderStrip = makeFilmstrip(24, 170, 60);
    MouseState left{.leftDown = true};

    FilmstripWidgets() {
        plugin->setHostCommand(&host);
        root->reflow(Box(0, 0, 400, 400));
    }
    ~FilmstripWidgets() override {
        core::destroyFree(root);  // widgets leave their parameters' listener lists here
        for (auto* image : {knobStrip, sliderStrip}) core::destroyFree(image);
        core::destroyFree(plugin);
    }

    FloatParameter* mix() { return static_cast<FloatParameter*>(plugin->param(client::testing::kMix)); }

    template <class T, class... Args>
    T* place(Box box, Args... args) {
        T* w = root->addNew<T>(&ctx, args...);
        w->reflow(box);
        return w;
    }
    // What the editor's window listener does on a button release.
    void release() {
        if (ctx.dragged) ctx.dragged->onStopDrag();
        ctx.dragged = nullptr;
    }
    // A drag from (x, y) to each row in turn, pointer moves relative to the previous row.
    void dragRows(int x, int& y, std::initializer_list<int> rows, MouseState state) {
        for (int row : rows) {
            root->mouseMove(x, row, 0, row - y, state);
            y = row;
        }
    }
};

TEST(FilmstripFrame, RoundsHalvesUpAndStaysInTheStrip) {
    EXPECT_EQ(filmstripFrame(0.5, 60), 30);  // 29.5
    EXPECT_EQ(filmstripFrame(1.0, 60), 59);
    EXPECT_EQ(filmstripFrame(0.0, 60), 0);
    EXPECT_EQ(filmstripFrame(-0.2, 60), 0);
    EXPECT_EQ(filmstripFrame(1.0, 100), 99);  // not capped at 59 for longer strips
}

TEST(FilmstripBlend, OpaqueReplacesTransparentKeepsHalfMixesAllFourChannels) {
    OwnedImage<RGBA8> src, dst;
    src.size(3, 1);
    dst.size(4, 1);
    src.pixel(0, 0) = RGBA8{10, 20, 30, 255};
    src.pixel(1, 0) = RGBA8{10, 20, 30, 0};
    src.pixel(2, 0) = RGBA8{200, 100, 0, 128};
    plugkit::testing::fill(dst.toRef(), RGBA8{100, 100, 100, 100});
    // Wider than the source: the fourth pixel is not read.
    blendOver(dst.toRef(), src.toRef().asConst(), plugkit::testing::boxes({Box(0, 0, 10, 10)}));
    EXPECT_EQ(dst.pixel(0, 0), (RGBA8{10, 20, 30, 255}));
    EXPECT_EQ(dst.pixel(1, 0), (RGBA8{100, 100, 100, 100}));
    // (200 * 128 + 100 * 127) * 32897 >> 23 = 150; (128 * 128 + 100 * 127) ... = 114
    EXPECT_EQ(dst.pixel(2, 0), (RGBA8{150, 100, 49, 114}));
    EXPECT_EQ(dst.pixel(3, 0), (RGBA8{100, 100, 100, 100}));
}

TEST(FilmstripBlend, EveryAlphaWithEveryChannelValueGivesTheFormula) {
    // Alpha (x + y) & 255 pairs every alpha with every channel value; the last two rows are wholly
    // transparent and wholly opaque. Starting at x = 1 leaves pixels after the last group of four.
    OwnedImage<RGBA8> src, dst;
    src.size(256, 258);
    dst.size(256, 258);
    auto u8 = [](int v) { return static_cast<std::uint8_t>(v & 255); };
    for (int y = 0; y < 258; ++y)
        for (int x = 0; x < 256; ++x) {
            const int a = y < 256 ? x + y : (y == 256 ? 0 : 255);
            src.pixel(x, y) = RGBA8{u8(x), u8(255 - x), u8(x * 7), u8(a)};
            dst.pixel(x, y) = RGBA8{u8(255 - x), u8(x), u8(y), u8(x * 3 + y)};
        }
    OwnedImage<RGBA8> before;
    before.size(256, 258);
    for (int y = 0; y < 258; ++y)
        for (int x = 0; x < 256; ++x) before.pixel(x, y) = dst.pixel(x, y);
    core::Vec<Box> rects;
    rects.pushBack(Box(1, 0, 256, 258));
    blendOver(dst.toRef(), src.toRef().asConst(), rects);
    for (int y = 0; y < 258; ++y)
        for (int x = 1; x < 256; ++x) {
            const RGBA8 s = src.pixel(x, y), d = before.pixel(x, y);
            RGBA8 want;
            for (int c = 0; c < 4; ++c)
                want[c] = static_cast<std::uint8_t>(((s[c] * s.a + d[c] * (255 - s.a)) * 32897u) >> 23);
            ASSERT_EQ(dst.pixel(x, y), want) << x << "," << y;
        }
    EXPECT_EQ(dst.pixel(0, 5), before.pixel(0, 5));
}

TEST_F(FilmstripWidgets, KnobDrawsTheFrameOfTheValueAndOnlyItsPixels) {
    OwnedImage<RGBA8>* wide = makeFilmstrip(64, 64, 60);  // 64 x 3840
    auto* knob = place<UIFilmstripKnob>(Box(0, 0, 70, 70), mix(), wide, 60);
    EXPECT_EQ(knob->frameWidth(), 64);
    EXPECT_EQ(knob->frameHeight(), 64);
    plugin->setParameterFromHost(client::testing::kMix, 2.0f / 59.0f);
    OwnedImage<RGBA8> target;
    target.size(70, 70);
    plugkit::testing::fill(target.toRef(), RGBA8{7, 7, 7, 7});
    knob->renderRaw(target.toRef(), plugkit::testing::boxes({Box(0, 0, 70, 70)}));
    EXPECT_EQ(knob->currentFrame(), 2);
    EXPECT_EQ(knob->currentImageRect(), Box(0, 128, 64, 192));
    EXPECT_EQ(target.pixel(63, 63), (RGBA8{2, 63, 63, 255}));
    EXPECT_EQ(target.pixel(64, 10), (RGBA8{7, 7, 7, 7}));  // beyond the frame: left alone
    EXPECT_EQ(target.pixel(10, 64), (RGBA8{7, 7, 7, 7}));
    core::destroyFree(wide);
}

TEST_F(FilmstripWidgets, KnobTakesClicksOnlyInsideItsDisc) {
    auto* knob = place<UIFilmstripKnob>(Box(100, 100, 160, 160), mix(), knobStrip, 60);
    EXPECT_FALSE(root->mouseClick(100, 100, 0, false, left));  // corner, outside the disc
    EXPECT_EQ(ctx.dragged, nullptr);
    EXPECT_TRUE(knob->insideDisc(0, 29));  // 29.5 from the centre, radius 30
    // A wide element: the disc sits in the centred square.
    auto* wideKnob = place<UIFilmstripKnob>(Box(0, 0, 100, 40), mix(), knobStrip, 60);
    EXPECT_FALSE(wideKnob->insideDisc(25, 20));
    EXPECT_TRUE(wideKnob->insideDisc(31, 20));
    EXPECT_TRUE(root->mouseClick(130, 130, 0, false, left));
    EXPECT_EQ(ctx.dragged, knob);
    release();
    EXPECT_EQ(eventsOf(host), "b2 e2 ");
}

TEST_F(FilmstripWidgets, KnobDragChangesTheValueTheHostSeesWithinOneGesture) {
    place<UIFilmstripKnob>(Box(100, 100, 160, 160), mix(), knobStrip, 60);
    int y = 130;
    ASSERT_TRUE(root->mouseClick(130, y, 0, false, left));
    dragRows(130, y, {160, 190}, left);  // 60 pixels down, the knob's height
    release();
    EXPECT_NEAR(mix()->value(), 25.0, 1e-9);
    EXPECT_EQ(eventsOf(host), "b2 a2=0.375 a2=0.250 e2 ");
    host.events.clear();
    // Shift (or Control) for fine steps; upward drags raise the value.
    y = 130;
    ASSERT_TRUE(root->mouseClick(130, y, 0, false, left));
    dragRows(130, y, {190}, MouseState{.leftDown = true, .shiftHeld = true});
    dragRows(130, y, {130}, MouseState{.leftDown = true, .controlHeld = true});
    release();
    EXPECT_NEAR(mix()->value(), 25.0, 1e-9);
    EXPECT_EQ(eventsOf(host), "b2 a2=0.225 a2=0.250 e2 ");
    // Alt while dragging gives the default.
    host.events.clear();
    ASSERT_TRUE(root->mouseClick(130, y, 0, false, left));
    dragRows(130, y, {71}, MouseState{.leftDown = true, .altHeld = true});
    release();
    EXPECT_EQ(mix()->value(), 50.0);
    EXPECT_EQ(eventsOf(host), "b2 a2=0.500 e2 ");
}

TEST_F(FilmstripWidgets, KnobHoldsAtALimitUntilThePointerReturnsToWhereItWasReached) {
    place<UIFilmstripKnob>(Box(100, 100, 160, 160), mix(), knobStrip, 60);
    plugin->setParameterFromHost(client::testing::kMix, 0.1f);
    int y = 130;
    ASSERT_TRUE(root->mouseClick(130, y, 0, false, left));
    dragRows(130, y, {190}, left);  // -0.15: clamped to 0, crossing recorded at local row 90
    EXPECT_EQ(mix()->value(), 0.0);
    host.events.clear();
    dragRows(130, y, {200, 195, 191}, left);  // below the crossing: nothing changes
    EXPECT_EQ(host.events.size(), 0u);
    dragRows(130, y, {190}, left);  // back at the row: follows again from there
    EXPECT_NEAR(mix()->getNormalized(), 0.25 / 60.0, 1e-9);
    // The same at the top.
    dragRows(130, y, {100, -200}, left);
    EXPECT_EQ(mix()->value(), 100.0);
    host.events.clear();
    dragRows(130, y, {-250, -201}, left);
    EXPECT_EQ(host.events.size(), 0u);
    release();
    // The next drag starts free, wherever the pointer is.
    y = 130;
    ASSERT_TRUE(root->mouseClick(130, y, 0, false, left));
    dragRows(130, y, {136}, left);
    release();
    EXPECT_NEAR(mix()->getNormalized(), 0.975, 1e-9);
}

TEST_F(FilmstripWidgets, DoubleClickAndAltClickResetInsideTheirOwnGesture) {
    place<UIFilmstripKnob>(Box(100, 100, 160, 160), mix(), knobStrip, 60);
    plugin->setParameterFromHost(client::testing::kMix, 0.9f);
    ASSERT_TRUE(root->mouseClick(130, 130, 0, false, left));
    release();
    ASSERT_TRUE(root->mouseClick(130, 130, 0, true, left));
    release();
    EXPECT_EQ(mix()->value(), 50.0);
    EXPECT_EQ(eventsOf(host), "b2 e2 b2 a2=0.500 e2 b2 e2 ");
    plugin->setParameterFromHost(client::testing::kMix, 0.9f);
    host.events.clear();
    ASSERT_TRUE(root->mouseClick(130, 130, 0, false, MouseState{.leftDown = true, .altHeld = true}));
    release();
    EXPECT_EQ(eventsOf(host), "b2 a2=0.500 e2 b2 e2 ");
}

TEST_F(FilmstripWidgets, SliderMovesFasterAndANewDragIsNotHeldByAnOldCrossing) {
    auto* slider = place<UIFilmstripSlider>(Box(0, 0, 24, 170), mix(), sliderStrip, 60);
    int y = 150;
    ASSERT_TRUE(root->mouseClick(10, y, 0, false, left));
    dragRows(10, y, {133}, left);  // 17 pixels up: +0.14
    EXPECT_NEAR(mix()->getNormalized(), 0.64, 1e-6);
    dragRows(10, y, {10, 165}, left);  // up to 1, then down to 0, reached at row 165
    EXPECT_EQ(mix()->value(), 0.0);
    release();
    // The host moves the value; a drag that starts below the old crossing row still follows.
    plugin->setParameterFromHost(client::testing::kMix, 0.5f);
    y = 169;
    ASSERT_TRUE(root->mouseClick(10, y, 0, false, left));
    dragRows(10, y, {168}, left);
    release();
    EXPECT_NEAR(mix()->getNormalized(), 0.5 + 1.4 / 170, 1e-6);
    // Disabled: drags do nothing, a double click still resets.
    slider->disable();
    host.events.clear();
    ASSERT_TRUE(root->mouseClick(10, y, 0, false, left));
    dragRows(10, y, {100}, left);
    release();
    ASSERT_TRUE(root->mouseClick(10, y, 0, true, left));
    release();
    EXPECT_EQ(eventsOf(host), "b2 e2 b2 a2=0.500 e2 b2 e2 ");
}

TEST_F(FilmstripWidgets, SliderAnimatesWhileDraggedAndSettlesAfter) {
    auto* slider = place<UIFilmstripSlider>(Box(0, 0, 24, 170), mix(), sliderStrip, 60);
    core::Vec<Box> pulled;
    root->animate(1.0 / 60, 0.0);
    EXPECT_EQ(slider->pushedAnimation(), 0.0f);
    ASSERT_TRUE(root->mouseClick(10, 10, 0, false, left));
    ctx.dirtyListRaw.pullAllRectangles(pulled);
    pulled.clear();
    root->animate(1.0 / 60, 0.0);
    EXPECT_NEAR(slider->pushedAnimation(), 1.0 - std::exp(-0.5), 1e-6);
    ctx.dirtyListRaw.pullAllRectangles(pulled);
    ASSERT_EQ(pulled.size(), 1u);
    EXPECT_EQ(pulled[0], Box(0, 0, 24, 170));
    release();
    for (int i = 0; i < 60; ++i) root->animate(1.0 / 60, 0.0);
    EXPECT_LT(slider->pushedAnimation(), 0.002f);
    pulled.clear();
    ctx.dirtyListRaw.pullAllRectangles(pulled);
    pulled.clear();
    root->animate(1.0 / 60, 0.0);  // settled: no more redraws
    ctx.dirtyListRaw.pullAllRectangles(pulled);
    EXPECT_EQ(pulled.size(), 0u);
}

}  // namespace
}  // namespace plugkit::flatwidgets
