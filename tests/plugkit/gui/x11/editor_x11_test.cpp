// An editor with a few test widgets opened in the X11 window of a real X server (run under
// xvfb-run; skipped without a display unless TOLVA_REQUIRE_DISPLAY=1). The window's pixels, read
// back with XGetImage, must equal the headless rendering of the same editor; mouse and key events
// sent through the server with XTest must reach the widgets.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <functional>

#include "plugkit/gui/GUIGraphics.h"
#include "plugkit/window/HeadlessWindow.h"

// After gtest: X.h defines macros (None) that clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace plugkit::gui {
namespace {

using Clock = std::chrono::steady_clock;

// A raw button: its colour steps on every accepted click and on every key while focused.
struct Button : UIElement {
    explicit Button(UIContext* c) : UIElement(c, flagRaw) {}
    void onDrawRaw(ImageRef<RGBA8> map, const core::Vec<Box>& rects) override {
        ++draws;
        const RGBA8 color{static_cast<std::uint8_t>(40 + 50 * clicks),
                          static_cast<std::uint8_t>(200 - 30 * keys), 90, 255};
        for (const Box& r : rects)
            for (int y = r.min.y; y < r.max.y; ++y)
                for (int x = r.min.x; x < r.max.x; ++x)
                    map.pixel(x, y) = (x + y) % 7 ? color : RGBA8{0, 0, 0, 255};
    }
    bool onMouseClick(int x, int y, int button, bool, MouseState) override {
        ++clicks;
        lastClick = Point{x, y};
        lastButton = button;
        setDirtyWhole();
        return true;
    }
    bool onKeyDown(Key key) override {
        ++keys;
        lastKey = key;
        setDirtyWhole();
        return true;
    }
    void onMouseEnter() override { ++enters; }
    void onStopDrag() override { ++stops; }
    int draws = 0, clicks = 0, keys = 0, enters = 0, stops = 0, lastButton = -1;
    Point lastClick;
    Key lastKey = Key::unsupported;
};

// A lit editor: a PBR relief under two raw buttons.
struct TestEditor : GUIGraphics {
    TestEditor() : GUIGraphics(240, 150) {
        addNew<UIElement>(context(), flagPBR);
        a = addNew<Button>(context());
        b = addNew<Button>(context());
    }
    void reflow(Box space) override {
        GUIGraphics::reflow(space);
        child(0)->reflow(Box(8, 8, 232, 142));
        a->reflow(Box(30, 40, 90, 80));
        b->reflow(Box(130, 60, 200, 120));
    }
    Button* a;
    Button* b;
};

// The same editor in a headless window, drawn once.
struct HeadlessEditor {
    TestEditor editor;
    window::HeadlessWindow* window = nullptr;
    HeadlessEditor() {
        window =
            static_cast<window::HeadlessWindow*>(editor.openWindow(window::WindowBackend::headless, nullptr));
        window->tick();
    }
};

class EditorX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            const char* require = std::getenv("TOLVA_REQUIRE_DISPLAY");
            if (require && *require == '1') FAIL() << "no X display (run under xvfb-run -a)";
            GTEST_SKIP() << "no X display";
        }
        int event, error, major, minor;
        ASSERT_TRUE(XTestQueryExtension(display_, &event, &error, &major, &minor));
        setenv("TOLVA_UI_SCALE", "1", 1);
    }
    void TearDown() override {
        editor_.closeUI();
        if (display_) XCloseDisplay(display_);
    }

    Window xid() { return reinterpret_cast<Window>(editor_.currentWindow()->systemHandle()); }

    bool pumpUntil(const std::function<bool()>& done) {
        window::IWindow* w = editor_.currentWindow();
        const auto end = Clock::now() + std::chrono::seconds(3);
        while (!done()) {
            if (Clock::now() > end) return false;
            pollfd fd{w->eventFileDescriptor(), POLLIN, 0};
            poll(&fd, 1, 10);
            w->dispatchPendingEvents();
        }
        return true;
    }
    void pumpFor(int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        pumpUntil([&] { return Clock::now() > end; });
    }

    // Pixels of the X window that differ from the headless editor's buffer (RGBA order).
    int countDifferences(HeadlessEditor& reference) {
        XSync(display_, False);
        XImage* image = XGetImage(display_, xid(), 0, 0, 240, 150, AllPlanes, ZPixmap);
        if (!image) return -1;
        const ImageRef<const RGBA8> expected = reference.window->buffer();
        int wrong = 0;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 240; ++x) {
                const RGBA8 c = expected.pixel(x, y);
                const unsigned long want = (c.r << 16) | (c.g << 8) | c.b;
                const unsigned long got = XGetPixel(image, x, y) & 0xffffff;
                if (got != want && wrong++ == 0)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << got << " instead of "
                                  << want;
            }
        XDestroyImage(image);
        return wrong;
    }

    void moveTo(int x, int y) {
        int rx = 0, ry = 0;
        Window child;
        XTranslateCoordinates(display_, xid(), DefaultRootWindow(display_), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(display_, -1, rx, ry, 0);
        XFlush(display_);
    }
    void button(unsigned b, bool press) {
        XTestFakeButtonEvent(display_, b, press, 0);
        XFlush(display_);
    }
    void key(KeySym sym, bool press) {
        XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, sym), press, 0);
        XFlush(display_);
    }

    Display* display_ = nullptr;
    TestEditor editor_;
};

TEST_F(EditorX11Test, ShowsTheHeadlessPixelsAndTakesMouseAndKeys) {
    void* view = editor_.openUI(nullptr, nullptr, client::DAW::unknown, client::kGraphicsBackendDefault);
    ASSERT_NE(view, nullptr);
    ASSERT_NE(editor_.currentWindow(), nullptr);
    ASSERT_EQ(editor_.currentWindow()->scaleFactor(), 1);
    ASSERT_TRUE(pumpUntil([&] {
        XWindowAttributes a{};
        XGetWindowAttributes(display_, xid(), &a);
        return a.map_state == IsViewable && editor_.a->draws > 0;
    }));
    pumpFor(150);  // first frame and the exposure after mapping
    HeadlessEditor reference;
    EXPECT_EQ(countDifferences(reference), 0);

    // Click into button a, release outside, then a key: all through the server.
    moveTo(40, 50);
    ASSERT_TRUE(pumpUntil([&] { return editor_.a->enters == 1; }));
    button(1, true);
    ASSERT_TRUE(pumpUntil([&] { return editor_.a->clicks == 1; }));
    EXPECT_EQ(editor_.a->lastClick, (Point{10, 10}));
    EXPECT_EQ(editor_.a->lastButton, 0);
    EXPECT_TRUE(editor_.a->isFocused());
    moveTo(220, 10);
    button(1, false);
    ASSERT_TRUE(pumpUntil([&] { return editor_.a->stops == 1; }));
    key(XK_q, true);
    key(XK_q, false);
    ASSERT_TRUE(pumpUntil([&] { return editor_.a->keys == 1; }));
    EXPECT_EQ(editor_.a->lastKey, Key::q);
    EXPECT_EQ(editor_.b->clicks + editor_.b->keys, 0);
    pumpFor(100);  // the repaint of the changed button

    reference.window->mouseClick(40, 50, window::MouseButton::left);
    reference.window->mouseRelease(220, 10, window::MouseButton::left);
    reference.window->keyDown(Key::q);
    reference.window->tick();
    EXPECT_EQ(countDifferences(reference), 0);
}

TEST_F(EditorX11Test, UnknownBackendCodesOpenThePlatformWindowAndOthersAreRefused) {
    void* view = editor_.openUI(nullptr, nullptr, client::DAW::unknown, 7);  // taken as automatic
    ASSERT_NE(view, nullptr);
    window::IWindow* w = editor_.currentWindow();
    for (client::GraphicsBackend refused : {1, 2, 3, 4})
        EXPECT_EQ(editor_.openUI(nullptr, nullptr, client::DAW::unknown, refused), nullptr) << refused;
    EXPECT_EQ(editor_.currentWindow(), w);
    EXPECT_EQ(reinterpret_cast<Window>(view), xid());
}

}  // namespace
}  // namespace plugkit::gui
