#include <gtest/gtest.h>

#include "plugkit/window/HeadlessWindow.h"
#include "tests/plugkit/window/RecordingListener.h"

namespace plugkit::window {
namespace {

using testing::patternAt;
using testing::RecordingListener;
using Calls = std::vector<std::string>;

TEST(HeadlessWindow, TickAnimatesCollectsAndRepaintsOnlyWhatIsDirty) {
    RecordingListener l;
    HeadlessWindow w(&l, 40, 30);
    EXPECT_TRUE(l.calls.empty());
    l.markDirty(Box(0, 0, 40, 30));
    EXPECT_EQ(w.tick(), Box(0, 0, 40, 30));
    // The first repaint sizes the buffer; the tick already collected, so no second collection.
    EXPECT_EQ(l.calls, (Calls{"animate", "recompute", "dirty", "resized 40x30", "draw"}));
    l.calls.clear();
    EXPECT_TRUE(w.tick().empty());
    EXPECT_EQ(l.calls, (Calls{"animate", "recompute", "dirty"}));
    EXPECT_EQ(w.repaintCount(), 1);

    l.markDirty(Box(5, 6, 7, 8));
    EXPECT_EQ(w.tick(0.5), Box(5, 6, 7, 8));
    ASSERT_EQ(l.animations.size(), 3u);
    EXPECT_DOUBLE_EQ(l.animations[2].first, 0.5);
    EXPECT_DOUBLE_EQ(l.animations[2].second, 2.0 / 60 + 0.5);
    EXPECT_EQ(w.getTimeMs(), 533u);
}

TEST(HeadlessWindow, RepaintBeforeAnyTickCollectsFirstAndResizesOnlyOnChange) {
    RecordingListener l;
    HeadlessWindow w(&l, 20, 10, WindowPixelFormat::bgra);
    l.markDirty(Box(0, 0, 20, 10));
    w.repaint();
    EXPECT_EQ(l.calls, (Calls{"resized 20x10", "recompute", "draw"}));
    EXPECT_EQ(l.lastFormat, WindowPixelFormat::bgra);
    const ImageRef<const RGBA8> b = w.buffer();
    ASSERT_EQ(b.w, 20);
    ASSERT_EQ(b.h, 10);
    EXPECT_EQ(b.pixel(7, 3), RecordingListener::convert(patternAt(7, 3), WindowPixelFormat::bgra));

    l.calls.clear();
    w.repaint();
    EXPECT_EQ(l.calls, (Calls{"draw"}));
    w.resize(30, 12);
    w.repaint();
    EXPECT_EQ(l.calls, (Calls{"draw", "resized 30x12", "draw"}));
    EXPECT_EQ(w.buffer().w, 30);
}

TEST(HeadlessWindow, MouseEventsCarryButtonsModifiersAndMotion) {
    RecordingListener l;
    HeadlessWindow w(&l, 100, 100);
    w.mouseMove(10, 10);
    w.mouseMove(13, 8);
    w.setModifiers(true, false, true);
    EXPECT_TRUE(w.mouseClick(20, 30, MouseButton::right, true));
    w.mouseMove(25, 31);  // first move after a click: no motion
    w.mouseMove(27, 35);
    EXPECT_TRUE(w.mouseRelease(27, 35, MouseButton::right));
    EXPECT_TRUE(w.mouseWheel(1, 2, 0, -10));

    ASSERT_EQ(l.mouse.size(), 7u);
    EXPECT_EQ(l.mouse[0].dx, 0);
    EXPECT_EQ(l.mouse[1].dx, 3);
    EXPECT_EQ(l.mouse[1].dy, -2);
    const auto& click = l.mouse[2];
    EXPECT_EQ(click.kind, "click");
    EXPECT_EQ(click.button, MouseButton::right);
    EXPECT_TRUE(click.isDoubleClick);
    EXPECT_TRUE(click.state.rightDown && click.state.controlHeld && click.state.altHeld);
    EXPECT_FALSE(click.state.leftDown || click.state.shiftHeld);
    EXPECT_EQ(l.mouse[3].dx, 0);
    EXPECT_EQ(l.mouse[3].dy, 0);
    EXPECT_TRUE(l.mouse[3].state.rightDown);
    EXPECT_EQ(l.mouse[4].dx, 2);
    EXPECT_EQ(l.mouse[4].dy, 4);
    EXPECT_FALSE(l.mouse[5].state.rightDown);  // the release carries the state after it
    EXPECT_EQ(l.mouse[6].kind, "wheel");
    EXPECT_EQ(l.mouse[6].dy, -10);

    l.takeKeys = false;
    EXPECT_FALSE(w.keyDown(Key::q));
    EXPECT_FALSE(w.keyUp(Key::q));
    EXPECT_EQ(l.keys.size(), 2u);
}

TEST(HeadlessWindow, FactoryBuildsThePlatformsWindowsOnly) {
    EXPECT_EQ(resolveWindowBackend(WindowBackend::automatic), WindowBackend::x11);
    EXPECT_EQ(resolveWindowBackend(WindowBackend::headless), WindowBackend::headless);
    RecordingListener l;
    EXPECT_EQ(createWindow(WindowBackend::cocoa, nullptr, &l, 10, 10), nullptr);
    EXPECT_EQ(createWindow(WindowBackend::headless, nullptr, nullptr, 10, 10), nullptr);
    IWindow* w = createWindow(WindowBackend::headless, nullptr, &l, 10, 10);
    ASSERT_NE(w, nullptr);
    l.markDirty(Box(0, 0, 10, 10));
    w->waitEventAndDispatch();
    EXPECT_EQ(l.draws, 1);
    EXPECT_EQ(w->scaleFactor(), 1);
    EXPECT_EQ(w->eventFileDescriptor(), -1);
    destroyWindow(w);
    destroyWindow(nullptr);
    delete createWindow(WindowBackend::headless, nullptr, &l, 10, 10);  // the same allocator
}

TEST(ClickCounter, SecondPressCloseInTimeAndPlaceIsADoubleClick) {
    ClickCounter c;
    EXPECT_FALSE(c.press(MouseButton::left, 10, 10, 1000));
    EXPECT_TRUE(c.press(MouseButton::left, 13, 6, 1400));
    EXPECT_FALSE(c.press(MouseButton::left, 13, 6, 1500));  // a third press starts again
    EXPECT_TRUE(c.press(MouseButton::left, 13, 6, 1600));
    EXPECT_FALSE(c.press(MouseButton::left, 13, 6, 2100));   // too late
    EXPECT_FALSE(c.press(MouseButton::right, 13, 6, 2200));  // another button
    EXPECT_FALSE(c.press(MouseButton::left, 13, 6, 2300));
    EXPECT_FALSE(c.press(MouseButton::left, 18, 6, 2400));  // too far
    EXPECT_FALSE(c.press(MouseButton::left, 18, 6, 0xfffffff0u));
    EXPECT_TRUE(c.press(MouseButton::left, 18, 6, 10));  // 26 ms later across the wrap of the clock
}

}  // namespace
}  // namespace plugkit::window
