// The crossover display: handle columns, level intake and smoothing, the bar and threshold rows it
// draws, handle dragging through the editor path with its bounds, and a window whose pixels outside
// the display stay as they were.
#include <cmath>

#include "TolvaDisplayFixture.h"

namespace tolvadisplay::testing {
namespace {

using plugkit::gui::MouseState;

void feed(TolvaDisplay* d, float in, float out, int blocks) {
    const float ins[4] = {in, in, in, in}, outs[4] = {out, out, out, out};
    for (int b = 0; b < blocks; ++b) {
        d->setInputValues(ins);
        d->setOutputValues(outs);
    }
}

// Renders the display, as the redraw loop does, into a window image filled with a pattern.
void renderWindow(TolvaDisplay* d, OwnedImage<RGBA8>& window) {
    window.size(kWinW, kWinH);
    plugkit::testing::fillBy(window.toRef(), [](int x, int y) {
        return RGBA8{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 77, 255};
    });
    d->renderRaw(window.toRef(), plugkit::testing::boxes({Box(0, 0, kWinW, kWinH)}));
}

// Display-local pixel of the rendered window.
RGBA8 at(const OwnedImage<RGBA8>& window, int x, int y) {
    return window.pixel(kDisplayBox.min.x + x, kDisplayBox.min.y + y);
}

bool rgbIs(RGBA8 p, RGBA8 c) { return p.r == c.r && p.g == c.g && p.b == c.b; }

TEST_F(TolvaDisplayFixture, HandlesSitAtTheCrossoverColumnsAndAreDrawnThere) {
    EXPECT_EQ(display->getPosition(param(MultibandComp::kF1)), 192);
    EXPECT_EQ(display->getPosition(param(MultibandComp::kF2)), 385);
    EXPECT_EQ(display->getPosition(param(MultibandComp::kF3)), 577);
    EXPECT_EQ(display->getPosition(-0.5f), 0);
    EXPECT_EQ(display->getPosition(2.0f), 769);
    EXPECT_EQ(display->getPosition(NAN), 0);
    OwnedImage<RGBA8> window;
    renderWindow(display, window);
    for (int col : {192, 385, 577}) EXPECT_EQ(at(window, col, 87), kHandleColor) << col;

    // A host change of a crossover moves its handle at the next tick, with no audio running.
    plugkit::core::Vec<Box> rects;
    context.dirtyListRaw.pullAllRectangles(rects);
    display->animate(0.016, 0.0);
    plugin->param(MultibandComp::kF1)->setFromHost(0.1);
    display->animate(0.016, 0.016);
    rects.clear();
    context.dirtyListRaw.pullAllRectangles(rects);
    ASSERT_EQ(rects.size(), 1u);
    display->renderRaw(window.toRef(), rects);
    EXPECT_EQ(at(window, 76, 87), kHandleColor);  // 0.1 * 769
}

TEST_F(TolvaDisplayFixture, LevelsAreAveragedOverFiftyBlocksAndMarkTheDisplayOnTheNextTick) {
    // Silence starts every band at -inf and reads -100 dB with no bar.
    EXPECT_LT(display->inputDb(1), -36.0f);
    feed(display, 0.0f, 0.0f, 1);
    EXPECT_FLOAT_EQ(display->inputDb(2), -100.0f);
    EXPECT_LT(display->inputPos(2), 0);

    // The intake itself records no damage (it runs on the audio thread); the next tick does.
    plugkit::core::Vec<Box> rects;
    display->animate(0.016, 0.0);
    context.dirtyListRaw.pullAllRectangles(rects);
    rects.clear();
    feed(display, 0.5f, 0.25f, 1);
    context.dirtyListRaw.pullAllRectangles(rects);
    EXPECT_EQ(rects.size(), 0u);
    EXPECT_NEAR(display->inputDb(0), 20 * std::log10(0.5 / 50), 0.01);  // one block of fifty
    display->animate(0.016, 0.016);
    context.dirtyListRaw.pullAllRectangles(rects);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0], kDisplayBox);

    feed(display, 0.5f, 0.25f, 60);
    EXPECT_NEAR(display->inputDb(3), -6.02f, 0.01f);
    EXPECT_NEAR(display->outputDb(3), -12.04f, 0.01f);
    EXPECT_EQ(display->inputPos(3), 146);  // roundf((-6.02 + 36) / 36 * 175)
    EXPECT_EQ(display->outputPos(3), 116);

    // A broken level counts as silence and does not stick in the average; loud levels cap at +6 dB.
    const float broken[4] = {NAN, INFINITY, -1.0f, 100.0f};
    display->setInputValues(broken);
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(std::isfinite(display->inputDb(k))) << k;
    feed(display, 0.5f, 0.25f, 50);
    EXPECT_NEAR(display->inputDb(0), -6.02f, 0.01f);
    feed(display, 100.0f, 100.0f, 50);
    EXPECT_NEAR(display->inputDb(0), 6.0f, 0.01f);
}

TEST_F(TolvaDisplayFixture, BarsShowLevelAndReductionAndThresholdMarksTheirRow) {
    feed(display, 0.5f, 0.25f, 60);  // in at row 174 - 146 = 28, out at 174 - 116 = 58
    param(0)->setFromGUI(-18.0);     // band 1: mark on row 174 - 87
    param(5)->setFromGUI(-36.0);     // band 2: mark on row 174, which bars never paint
    param(15)->setFromGUI(0.0);      // band 4: mark on row 0
    OwnedImage<RGBA8> window;
    renderWindow(display, window);

    // Band 1 spans columns 0 .. 190; its middle column 95 is the brightest.
    EXPECT_EQ(at(window, 95, 27), (RGBA8{0, 0, 0, 0}));
    EXPECT_EQ(at(window, 95, 28), (RGBA8{155, 0, 0, 255}));  // removed by compression
    EXPECT_EQ(at(window, 95, 57), (RGBA8{155, 0, 0, 255}));
    EXPECT_EQ(at(window, 95, 58), (RGBA8{255, 80, 0, 255}));      // left after compression
    EXPECT_EQ(at(window, 0, 100), (RGBA8{160, 0, 0, 255}));       // 95 columns from the middle
    EXPECT_TRUE(rgbIs(at(window, 191, 100), RGBA8{0, 0, 0, 0}));  // left of handle 1: black
    EXPECT_TRUE(rgbIs(at(window, 769, 100), RGBA8{0, 0, 0, 0}));  // last column

    EXPECT_EQ(at(window, 95, 87), TolvaDisplay::markColor);
    EXPECT_EQ(at(window, 0, 86), TolvaDisplay::markColor);
    EXPECT_EQ(at(window, 0, 88), TolvaDisplay::markColor);
    EXPECT_FALSE(rgbIs(at(window, 95, 86), TolvaDisplay::markColor));

    // Band 2 (columns 192 .. 383) at -36 dB: only the edge marks on row 173 remain (under the
    // darkened caption strip).
    const RGBA8 m = TolvaDisplay::markColor;
    const RGBA8 darkMark{0, static_cast<uint8_t>((m.g * 155 * 32897) >> 23),
                         static_cast<uint8_t>((m.b * 155 * 32897) >> 23), 0};
    EXPECT_TRUE(rgbIs(at(window, 192, 173), darkMark));
    EXPECT_TRUE(rgbIs(at(window, 383, 173), darkMark));
    EXPECT_FALSE(rgbIs(at(window, 300, 173), darkMark));
    EXPECT_TRUE(rgbIs(at(window, 192, 174), RGBA8{0, 0, 0, 0}));

    // Band 4 (columns 577 .. 768) at 0 dB: row 0 across, row 1 at both edges.
    for (int x = 577; x < 769; ++x) ASSERT_EQ(at(window, x, 0), TolvaDisplay::markColor) << x;
    EXPECT_EQ(at(window, 768, 1), TolvaDisplay::markColor);
    EXPECT_FALSE(rgbIs(at(window, 700, 1), TolvaDisplay::markColor));

    // The caption strip is darkened and carries light text.
    EXPECT_EQ(at(window, 95, 160).r, (255 * 155 * 32897) >> 23);
    int light = 0;
    for (int y = 155; y < 175; ++y)
        for (int x = 0; x < 190; ++x) light += at(window, x, y).g > 150;
    EXPECT_GT(light, 20);
}

class TolvaDisplayDrag : public TolvaDisplayFixture {
protected:
    // A press at a display-local point, then moves by dx along row y, then the release.
    void drag(int x, int y, int dx, int moves) {
        const int wx = kDisplayBox.min.x + x, wy = kDisplayBox.min.y + y;
        ASSERT_TRUE(display->mouseClick(wx, wy, 0, false, MouseState{}));
        ASSERT_EQ(context.dragged, display);
        display->mouseMove(wx, wy, 0, 0, MouseState{});
        for (int i = 1; i <= moves; ++i) display->mouseMove(wx + i * dx, wy, dx, 0, MouseState{});
    }
    void release() {
        context.dragged = nullptr;
        display->onStopDrag();
    }
    int pos(int i) { return display->getPosition(param(MultibandComp::kF1 + i)); }
};

TEST_F(TolvaDisplayDrag, HandleTwoMovesWithTheMouseAndStopsOneHandleBeforeItsNeighbour) {
    drag(385, 87, 10, 40);
    EXPECT_TRUE(display->isDraggingHandle(1));
    EXPECT_NEAR(pos(1), 577 - 22, 2);
    EXPECT_EQ(pos(0), 192);
    EXPECT_EQ(pos(2), 577);
    release();
    EXPECT_FALSE(display->isDraggingHandle(1));
    // Gestures on all three crossovers, automation on F2 only.
    for (int i : {MultibandComp::kF1, MultibandComp::kF2, MultibandComp::kF3}) {
        EXPECT_EQ(host.count('b', i), 1) << i;
        EXPECT_EQ(host.count('e', i), 1) << i;
    }
    EXPECT_GT(host.count('a', MultibandComp::kF2), 0);
    EXPECT_EQ(host.count('a', MultibandComp::kF1) + host.count('a', MultibandComp::kF3), 0);
    EXPECT_EQ(host.events.front().kind, 'b');
    EXPECT_EQ(host.events.back().kind, 'e');
}

TEST_F(TolvaDisplayDrag, OuterHandlesStopHalfAHandleFromTheEdges) {
    // Moves stay inside the display (events beyond it are ignored) and go past the bounds.
    drag(577, 80, 3, 64);
    EXPECT_NEAR(pos(2), 769 - 11, 2);
    release();
    drag(192, 95, -3, 63);
    EXPECT_NEAR(pos(0), 11, 2);
    release();
    EXPECT_LT(param(MultibandComp::kF1)->value(), param(MultibandComp::kF2)->value());
    EXPECT_LT(param(MultibandComp::kF2)->value(), param(MultibandComp::kF3)->value());
}

TEST_F(TolvaDisplayDrag, DragsAwayFromTheHandleRowsOrAtColumnZeroMoveNothing) {
    drag(385, 87 - 23, 10, 10);  // just above the rows that can take a handle
    drag(385, 87 + 23, 10, 10);
    EXPECT_EQ(host.count('a', MultibandComp::kF2), 0);
    EXPECT_EQ(pos(1), 385);
    release();

    drag(192, 87, 0, 0);  // takes handle 1
    ASSERT_TRUE(display->isDraggingHandle(0));
    display->mouseMove(kDisplayBox.min.x, kDisplayBox.min.y + 87, 50, 0, MouseState{});
    EXPECT_EQ(pos(0), 192);
    release();
}

// Nothing outside the display changes, even with a handle's value text drawn at the right edge.
// (The editor's overlay over the display is checked with the real editor and its real image.)
TEST_F(TolvaDisplayDrag, WindowOutsideTheDisplayKeepsItsPixels) {
    feed(display, 1.5f, 0.7f, 60);
    drag(577, 87, 40, 10);  // handle 3 at the right edge, its value text being drawn
    OwnedImage<RGBA8> window;
    renderWindow(display, window);
    int changedInside = 0;
    for (int y = 0; y < kWinH; ++y)
        for (int x = 0; x < kWinW; ++x) {
            const RGBA8 pattern{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 77, 255};
            if (!kDisplayBox.contains(x, y))
                ASSERT_EQ(window.pixel(x, y), pattern) << x << "," << y;
            else
                changedInside += !(window.pixel(x, y) == pattern);
        }
    EXPECT_GT(changedInside, kDisplayBox.area() / 2);  // the display itself is drawn
    release();
}

}  // namespace
}  // namespace tolvadisplay::testing
