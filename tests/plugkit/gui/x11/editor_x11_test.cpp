// An editor with a few test widgets opened in the X11 window of a real X server (run under
// xvfb-run; skipped without a display unless TOLVA_REQUIRE_DISPLAY=1). The window's pixels, read
// back with XGetImage, must equal the headless rendering of the same editor; mouse and key events
// sent through the server with XTest must reach the widgets.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "plugkit/gui/GUIGraphics.h"
#include "plugkit/window/HeadlessWindow.h"
#include "tests/support/X11TestDisplay.h"

namespace plugkit::gui {
namespace {

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

class EditorX11Test : public plugkit::testing::X11Test {
protected:
    void TearDown() override {
        editor_.closeUI();
        X11Test::TearDown();
    }

    Window xid() { return reinterpret_cast<Window>(editor_.currentWindow()->systemHandle()); }

    // Far beyond what an idle machine needs, so that a loaded one does not fail the test.
    bool pumpUntil(const std::function<bool()>& done) {
        return plugkit::testing::pumpUntil(*editor_.currentWindow(), done, std::chrono::seconds(30));
    }

    // Pixels of the X window that differ from the headless editor's buffer (RGBA order), once they
    // agree or the deadline passed (the window keeps handling its events meanwhile: the exposure
    // after mapping or a repaint may still be on its way); the first difference is reported.
    int countDifferences(HeadlessEditor& reference) {
        int wrong = -1;
        pumpUntil([&] { return (wrong = differences(reference, false)) == 0; });
        return wrong == 0 ? 0 : differences(reference, true);
    }
    int differences(HeadlessEditor& reference, bool report) {
        const ImageRef<const RGBA8> expected = reference.window->buffer();
        return plugkit::testing::differingPixels(
            display_, xid(), 240, 150,
            [&](int x, int y) {
                const RGBA8 c = expected.pixel(x, y);
                return static_cast<unsigned long>((c.r << 16) | (c.g << 8) | c.b);
            },
            report);
    }

    void moveTo(int x, int y) { X11Test::moveTo(xid(), x, y); }

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
