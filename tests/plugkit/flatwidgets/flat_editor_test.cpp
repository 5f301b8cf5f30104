// A flat editor (background, knob, switch) in the headless window: the window's events change the
// parameters as the host sees them, and repaints show the background and the frames that follow.

#include <gtest/gtest.h>

#include <vector>

#include "plugkit/flatwidgets/FlatBackgroundGUI.h"
#include "plugkit/flatwidgets/UIFilmstripKnob.h"
#include "plugkit/flatwidgets/UIImageSwitch.h"
#include "plugkit/window/HeadlessWindow.h"
#include "tests/plugkit/client/TestPlugin.h"
#include "tests/support/Pixels.h"
#include "tests/support/StbImageWrite.h"

namespace plugkit::flatwidgets {
namespace {

using client::testing::RecordingHost;
using client::testing::TestPlugin;
using window::HeadlessWindow;
using window::MouseButton;

RGBA8 backgroundPixel(int x, int y) {
    return RGBA8{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 77, 255};
}

// A w x h PNG whose pixel (x, y) is backgroundPixel(x, y).
std::vector<unsigned char> backgroundPng(int w, int h) {
    std::vector<RGBA8> pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pixels.push_back(backgroundPixel(x, y));
    std::vector<unsigned char> png;
    stbi_write_png_to_func(
        [](void* out, void* data, int size) {
            auto* bytes = static_cast<unsigned char*>(data);
            static_cast<std::vector<unsigned char>*>(out)->insert(
                static_cast<std::vector<unsigned char>*>(out)->end(), bytes, bytes + size);
        },
        &png, w, h, 4, pixels.data(), w * 4);
    return png;
}

TEST(FlatEditor, BackgroundCopiedOpaqueAndOnlyWhereTheImageReaches) {
    const std::vector<unsigned char> png = backgroundPng(100, 60);
    FlatBackgroundGUI editor(120, 80, png.data(), png.size());
    EXPECT_EQ(editor.background().width(), 100);
    gui::UIElement* placed = editor.addNew<gui::UIElement>(editor.context(), 0u);
    placed->reflow(Box(5, 5, 15, 15));
    editor.reflow(Box(0, 0, 120, 80));
    EXPECT_EQ(placed->position(), Box(5, 5, 15, 15));  // children stay where the editor put them

    graphics::OwnedImage<RGBA8> raw;
    raw.size(120, 80);
    plugkit::testing::fill(raw.toRef(), RGBA8{1, 2, 3, 4});
    // The first straddles the image's corner, the second lies beyond it and is skipped.
    editor.renderRaw(raw.toRef(), plugkit::testing::boxes(
                                      {Box(90, 50, 120, 80), Box(101, 0, 120, 40), Box(0, 0, 10, 10)}));
    EXPECT_EQ(raw.pixel(99, 59), backgroundPixel(99, 59));
    EXPECT_EQ(raw.pixel(90, 50), backgroundPixel(90, 50));
    EXPECT_EQ(raw.pixel(100, 59), (RGBA8{1, 2, 3, 4}));
    EXPECT_EQ(raw.pixel(99, 60), (RGBA8{1, 2, 3, 4}));
    EXPECT_EQ(raw.pixel(110, 20), (RGBA8{1, 2, 3, 4}));
    EXPECT_EQ(raw.pixel(0, 0), backgroundPixel(0, 0));
    EXPECT_EQ(raw.pixel(10, 10), (RGBA8{1, 2, 3, 4}));
}

// One gesture sequence (press, drags, release, Alt-click, click) whose host calls are checked in order;
// cutting it up would lose the order it checks.
TEST(FlatEditor, WindowEventsEditParametersAsTheHostSeesThemAndRepaintsFollow) {
    TestPlugin* plugin = client::Client::create<TestPlugin>();
    RecordingHost host;
    plugin->setHostCommand(&host);
    auto* mix = static_cast<FloatParameter*>(plugin->param(client::testing::kMix));
    auto* bypass = static_cast<client::BoolParameter*>(plugin->param(client::testing::kBypass));
    // Knob frames: pixel (x, y) of frame f is (f, y, x, 255); switch images plain red and blue.
    OwnedImage<RGBA8> strip, on, off;
    plugkit::testing::makeFilmstrip(strip, 30, 30, 60);
    on.size(20, 10);
    off.size(20, 10);
    plugkit::testing::fill(on.toRef(), RGBA8{255, 0, 0, 255});
    plugkit::testing::fill(off.toRef(), RGBA8{0, 0, 255, 255});

    const std::vector<unsigned char> png = backgroundPng(100, 60);
    auto* editor = core::mallocNew<FlatBackgroundGUI>(100, 60, png.data(), png.size());
    editor->setUpdateMargin(0);
    editor->addNew<UIFilmstripKnob>(editor->context(), mix, &strip, 60)->reflow(Box(10, 10, 40, 40));
    editor->addNew<UIImageSwitch>(editor->context(), bypass, &on, &off)->reflow(Box(50, 10, 70, 20));
    auto* w = static_cast<HeadlessWindow*>(editor->openWindow(window::WindowBackend::headless, nullptr));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->tick(), Box(0, 0, 100, 60));
    EXPECT_EQ(w->buffer().pixel(5, 5), backgroundPixel(5, 5));
    EXPECT_EQ(w->buffer().pixel(99, 59), backgroundPixel(99, 59));
    EXPECT_EQ(w->buffer().pixel(15, 16), (RGBA8{30, 6, 5, 255}));  // 0.5 shows frame 30
    EXPECT_EQ(w->buffer().pixel(55, 15), (RGBA8{0, 0, 255, 255}));

    ASSERT_TRUE(w->mouseClick(25, 25, MouseButton::left));
    w->mouseMove(25, 25);
    w->mouseMove(25, 40);
    w->mouseMove(25, 55);  // 30 pixels down in two moves, beyond the knob: -0.25
    w->mouseRelease(25, 55, MouseButton::left);
    w->setModifiers(false, false, true);
    ASSERT_TRUE(w->mouseClick(60, 15, MouseButton::left));  // Alt: the default (off), already off
    w->mouseRelease(60, 15, MouseButton::left);
    w->setModifiers(false, false, false);
    ASSERT_TRUE(w->mouseClick(60, 15, MouseButton::left));
    w->mouseRelease(60, 15, MouseButton::left);
    ASSERT_EQ(host.events.size(), 10u);
    const char kinds[] = "baaebaebae";
    const int indices[] = {2, 2, 2, 2, 5, 5, 5, 5, 5, 5};
    const float values[] = {0, 0.375f, 0.25f, 0, 0, 0, 0, 0, 1, 0};
    for (std::size_t i = 0; i < host.events.size(); ++i) {
        EXPECT_EQ(host.events[i].kind, kinds[i]) << i;
        EXPECT_EQ(host.events[i].index, indices[i]) << i;
        EXPECT_FLOAT_EQ(host.events[i].value, values[i]) << i;
    }
    EXPECT_DOUBLE_EQ(mix->value(), 25.0);
    EXPECT_TRUE(bypass->value());

    // The parameters' listeners marked the widgets dirty: one tick shows the new frames.
    w->tick();
    EXPECT_EQ(w->buffer().pixel(15, 16), (RGBA8{15, 6, 5, 255}));  // 59 * 0.25 = 14.75 -> 15
    EXPECT_EQ(w->buffer().pixel(55, 15), (RGBA8{255, 0, 0, 255}));
    EXPECT_EQ(w->buffer().pixel(45, 45), backgroundPixel(45, 45));
    // A host change from outside the editor shows up the same way.
    plugin->setParameterFromHost(client::testing::kMix, 1.0f);
    EXPECT_EQ(w->tick(), Box(10, 10, 40, 40));
    EXPECT_EQ(w->buffer().pixel(15, 16), (RGBA8{59, 6, 5, 255}));

    core::destroyFree(editor);
    EXPECT_EQ(mix->listenerCount(), 0);
    EXPECT_EQ(bypass->listenerCount(), 0);
    core::destroyFree(plugin);
}

}  // namespace
}  // namespace plugkit::flatwidgets
