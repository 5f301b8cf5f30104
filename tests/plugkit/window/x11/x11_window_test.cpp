// The X11 window against a real X server (run under xvfb-run; skipped without a display unless
// TOLVA_REQUIRE_DISPLAY=1). Pixels are read back with XGetImage, input is sent with XTest.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "plugkit/window/X11Window.h"
#include "tests/plugkit/window/RecordingListener.h"
#include "tests/support/X11TestDisplay.h"

namespace plugkit::window {
namespace {

using testing::patternAt;
using testing::RecordingListener;
using Clock = std::chrono::steady_clock;

class X11WindowTest : public plugkit::testing::X11Test {
protected:
    void SetUp() override {
        X11Test::SetUp();
        unsetenv("TOLVA_X11_NO_SHM");
    }
    void TearDown() override {
        destroyWindow(window_);
        X11Test::TearDown();
    }

    // Opens the window under test with the whole editor marked dirty and waits until it is on
    // screen with its first frame shown.
    X11Window* open(int width, int height, unsigned long parent = 0) {
        listener_.markDirty(Box(0, 0, width, height));
        window_ = X11Window::create(reinterpret_cast<void*>(parent), &listener_, width, height);
        if (!window_) return nullptr;
        const Window id = xid();
        EXPECT_TRUE(pumpUntil([&] {
            XWindowAttributes a{};
            XGetWindowAttributes(display_, id, &a);
            return a.map_state == IsViewable && listener_.draws > 0;
        }));
        return window_;
    }

    Window xid() const { return reinterpret_cast<Window>(window_->systemHandle()); }

    // Lets the window handle its events until done() or the deadline passed. The deadline is far
    // beyond what an idle machine needs, so that a loaded one does not fail the test.
    bool pumpUntil(const std::function<bool()>& done) {
        return plugkit::testing::pumpUntil(*window_, done, kDeadline);
    }
    void pumpFor(int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        pumpUntil([&] { return Clock::now() > end; });
    }

    // Number of window pixels that differ from the pattern (with tint inside tinted) enlarged by
    // factor, once they are right or the deadline passed (the window keeps handling its events
    // meanwhile: the exposure after mapping or a redraw may still be on its way); the first
    // difference of the last look is reported.
    int countWrongPixels(int width, int height, int factor, const Box& tinted = Box(), int tint = 0) {
        int wrong = -1;
        pumpUntil([&] { return (wrong = wrongPixels(width, height, factor, tinted, tint, false)) == 0; });
        return wrong == 0 ? 0 : wrongPixels(width, height, factor, tinted, tint, true);
    }
    int wrongPixels(int width, int height, int factor, const Box& tinted, int tint, bool report) {
        return plugkit::testing::differingPixels(
            display_, xid(), width * factor, height * factor,
            [&](int x, int y) {
                const int ex = x / factor, ey = y / factor;
                const RGBA8 c = patternAt(ex, ey, tinted.contains(ex, ey) ? tint : 0);
                return static_cast<unsigned long>((c.r << 16) | (c.g << 8) | c.b);
            },
            report);
    }

    // The pointer to window pixel (x, y).
    void moveTo(int x, int y) { X11Test::moveTo(xid(), x, y); }
    bool waitMouse(std::size_t count) {
        return pumpUntil([&] { return listener_.mouse.size() >= count; });
    }

    static constexpr std::chrono::seconds kDeadline{30};
    RecordingListener listener_;
    X11Window* window_ = nullptr;
};

TEST_F(X11WindowTest, ShowsTheRenderedBufferAndThenOnlyTheDirtyArea) {
    ASSERT_NE(open(160, 90), nullptr);
    EXPECT_EQ(window_->scaleFactor(), 1);
    EXPECT_EQ(window_->pixelFormat(), WindowPixelFormat::bgra);
    EXPECT_EQ(listener_.lastFormat, WindowPixelFormat::bgra);
    EXPECT_TRUE(window_->usesSharedMemory());
    EXPECT_EQ(countWrongPixels(160, 90, 1), 0);

    const int draws = listener_.draws;
    listener_.tint = 100;
    listener_.markDirty(Box(20, 10, 50, 30));
    ASSERT_TRUE(pumpUntil([&] { return listener_.draws > draws; }));
    EXPECT_EQ(listener_.drawnAreas.back(), Box(20, 10, 50, 30));
    EXPECT_EQ(countWrongPixels(160, 90, 1, Box(20, 10, 50, 30), 100), 0);
}

TEST_F(X11WindowTest, WithoutSharedMemoryThePixelsAreTheSame) {
    setenv("TOLVA_X11_NO_SHM", "1", 1);
    ASSERT_NE(open(97, 41), nullptr);  // odd sizes: no row happens to line up
    EXPECT_FALSE(window_->usesSharedMemory());
    EXPECT_EQ(countWrongPixels(97, 41, 1), 0);
}

TEST_F(X11WindowTest, TimerTicksSixtyTimesASecond) {
    ASSERT_NE(open(40, 30), nullptr);
    // Thirty ticks, however long a loaded machine takes to deliver them; never more than sixty a
    // second, and the typical interval (the median: a busy machine may delay a few) is 1/60 s.
    const std::size_t before = listener_.animations.size();
    const auto start = Clock::now(), end = start + kDeadline;
    while (listener_.animations.size() - before < 30 && Clock::now() < end) window_->waitEventAndDispatch();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const std::size_t ticks = listener_.animations.size() - before;
    ASSERT_GE(ticks, 30u);
    EXPECT_LE(static_cast<double>(ticks), elapsed * 60 + 2);
    std::vector<double> dts;
    for (std::size_t i = before + 1; i < listener_.animations.size(); ++i)
        dts.push_back(listener_.animations[i].first);
    std::nth_element(dts.begin(), dts.begin() + dts.size() / 2, dts.end());
    EXPECT_NEAR(dts[dts.size() / 2], 1.0 / 60, 0.004);  // the median: a busy machine may delay a few ticks
    EXPECT_EQ(listener_.sseAtLastTick & 0xffc0, core::FPStateGuard::kSSEState & 0xffc0);     // flags aside
    EXPECT_NE(core::getSSEControlState() & 0xffc0, core::FPStateGuard::kSSEState & 0xffc0);  // restored
}

TEST_F(X11WindowTest, MouseEventsReachTheListenerWithPositionsButtonsAndMotion) {
    ASSERT_NE(open(200, 120), nullptr);
    moveTo(30, 40);
    ASSERT_TRUE(pumpUntil([&] { return !listener_.mouse.empty() && listener_.mouse.back().x == 30; }));
    EXPECT_EQ(listener_.mouse.back().kind, "move");
    EXPECT_EQ(listener_.mouse.back().y, 40);

    listener_.mouse.clear();
    button(1, true);
    moveTo(35, 42);
    moveTo(38, 47);
    button(1, false);
    ASSERT_TRUE(waitMouse(4));
    const auto& m = listener_.mouse;
    EXPECT_EQ(m[0].kind, "click");
    EXPECT_EQ(m[0].button, MouseButton::left);
    EXPECT_EQ((Point{m[0].x, m[0].y}), (Point{30, 40}));
    EXPECT_TRUE(m[0].state.leftDown);
    EXPECT_FALSE(m[0].isDoubleClick);
    EXPECT_EQ((Point{m[1].dx, m[1].dy}), (Point{0, 0}));  // first move after the click
    EXPECT_TRUE(m[1].state.leftDown);
    EXPECT_EQ((Point{m[2].dx, m[2].dy}), (Point{3, 5}));
    EXPECT_EQ(m[3].kind, "release");
    EXPECT_EQ((Point{m[3].x, m[3].y}), (Point{38, 47}));
    EXPECT_FALSE(m[3].state.leftDown);

    listener_.mouse.clear();
    button(1, true);  // too far from the first press to complete a double click
    button(1, false);
    button(1, true);
    button(1, false);
    button(3, true);
    button(3, false);
    button(4, true);
    button(4, false);
    button(7, true);
    button(7, false);
    ASSERT_TRUE(waitMouse(8));
    EXPECT_FALSE(m[0].isDoubleClick);
    EXPECT_TRUE(m[2].isDoubleClick);
    EXPECT_EQ(m[4].button, MouseButton::right);
    EXPECT_TRUE(m[4].state.rightDown);
    EXPECT_FALSE(m[4].isDoubleClick);  // another button
    EXPECT_EQ(m[6].kind, "wheel");
    EXPECT_EQ((Point{m[6].dx, m[6].dy}), (Point{0, 10}));
    EXPECT_EQ((Point{m[7].dx, m[7].dy}), (Point{-10, 0}));
    EXPECT_EQ(m.size(), 8u);  // wheel buttons give no release
}

TEST_F(X11WindowTest, KeysReachTheListenerAfterAClick) {
    ASSERT_NE(open(100, 60), nullptr);
    moveTo(10, 10);
    button(1, true);
    button(1, false);
    ASSERT_TRUE(waitMouse(2));
    key(XK_q, true);
    key(XK_q, false);
    key(XK_Shift_L, true);
    key(XK_q, true);
    key(XK_q, false);
    key(XK_Shift_L, false);
    key(XK_Return, true);
    key(XK_Return, false);
    key(XK_Left, true);
    key(XK_Left, false);
    ASSERT_TRUE(pumpUntil([&] { return listener_.keys.size() >= 10; }));
    using K = std::pair<std::string, Key>;
    const std::vector<K> expected{{"down", Key::q},      {"up", Key::q},     {"down", Key::unsupported},
                                  {"down", Key::Q},      {"up", Key::Q},     {"up", Key::unsupported},
                                  {"down", Key::enter},  {"up", Key::enter}, {"down", Key::arrowLeft},
                                  {"up", Key::arrowLeft}};
    EXPECT_EQ(listener_.keys, expected);
}

TEST_F(X11WindowTest, ScaleFactorEnlargesTheWindowAndMapsTheMouseBack) {
    setenv("TOLVA_UI_SCALE", "2", 1);
    ASSERT_NE(open(100, 60), nullptr);
    ASSERT_EQ(window_->scaleFactor(), 2);
    XWindowAttributes a{};
    XGetWindowAttributes(display_, xid(), &a);
    EXPECT_EQ(a.width, 200);
    EXPECT_EQ(a.height, 120);
    EXPECT_EQ(listener_.image.w, 100);  // the editor still renders at its own size
    EXPECT_EQ(countWrongPixels(100, 60, 2), 0);

    listener_.tint = 50;
    listener_.markDirty(Box(10, 10, 13, 12));
    const int draws = listener_.draws;
    ASSERT_TRUE(pumpUntil([&] { return listener_.draws > draws; }));
    EXPECT_EQ(countWrongPixels(100, 60, 2, Box(10, 10, 13, 12), 50), 0);

    moveTo(61, 41);
    button(1, true);
    ASSERT_TRUE(
        pumpUntil([&] { return !listener_.mouse.empty() && listener_.mouse.back().kind == "click"; }));
    EXPECT_EQ((Point{listener_.mouse.back().x, listener_.mouse.back().y}), (Point{30, 20}));
    button(1, false);
    ASSERT_TRUE(pumpUntil([&] { return listener_.mouse.back().kind == "release"; }));
}

TEST_F(X11WindowTest, ChildOfAHostWindowForwardsUnusedKeysAndSurvivesItsParent) {
    const Window parent = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 300, 200, 0, 0, 0);
    XSelectInput(display_, parent, KeyPressMask);
    XMapWindow(display_, parent);
    XSync(display_, False);
    ASSERT_NE(open(120, 80, parent), nullptr);
    Window root, parentOfChild, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display_, xid(), &root, &parentOfChild, &children, &count);
    if (children) XFree(children);
    EXPECT_EQ(parentOfChild, parent);
    EXPECT_EQ(countWrongPixels(120, 80, 1), 0);

    listener_.takeKeys = false;
    moveTo(5, 5);
    button(1, true);
    button(1, false);
    ASSERT_TRUE(waitMouse(2));
    key(XK_a, true);
    key(XK_a, false);
    ASSERT_TRUE(pumpUntil([&] { return listener_.keys.size() >= 2; }));
    XEvent e;
    EXPECT_TRUE(pumpUntil([&] {
        XSync(display_, False);
        return XCheckTypedWindowEvent(display_, parent, KeyPress, &e);
    }));

    XDestroyWindow(display_, parent);  // the host closes its window first
    XSync(display_, False);
    EXPECT_TRUE(pumpUntil([&] { return window_->terminated(); }));
    listener_.markDirty(Box(0, 0, 10, 10));
    pumpFor(50);  // ticks after the parent went away paint nothing and do not end the process
}

TEST_F(X11WindowTest, AParentThatDoesNotExistIsRefused) {
    RecordingListener l;
    EXPECT_EQ(X11Window::create(reinterpret_cast<void*>(0x3fffff0ul), &l, 100, 100), nullptr);
    EXPECT_EQ(X11Window::create(nullptr, &l, 0, 100), nullptr);
    EXPECT_TRUE(l.calls.empty());
}

}  // namespace
}  // namespace plugkit::window
