// Widgets of a running editor while a host thread automates their parameters: the label shows whole
// texts only, and the editor's redraws (on its pool) race with nothing.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "pelgui/UIParamLabel.h"
#include "plugkit/flatwidgets/UIFilmstripKnob.h"
#include "plugkit/flatwidgets/UIImageSwitch.h"
#include "plugkit/gui/GUIGraphics.h"
#include "plugkit/window/HeadlessWindow.h"
#include "tolva_resources.h"

namespace pelgui {
namespace {

using plugkit::graphics::OwnedImage;
using plugkit::window::MouseButton;

TEST(WidgetThreads, LabelShowsWholeTextsWhileTheHostChangesItsParameter) {
    plugkit::gui::UIContext ctx;
    Font font{tolva::resources::VeraBd_ttf.data, tolva::resources::VeraBd_ttf.size};
    plugkit::client::LinearFloatParameter threshold{0, "Threshold", "dB", -36.0, 0.0, -3.0};
    UIParamLabel label(&ctx, &threshold, &font, RGBA8{0, 0, 0, 255}, 10, 2, 4, "");
    std::atomic<bool> stop{false};
    std::thread host([&] {
        for (int i = 0; !stop.load(); ++i) threshold.setFromHost(i % 2 ? 0.0 : 35.0 / 36.0);
    });
    int mixed = 0;
    for (int i = 0; i < 2000; ++i) {
        char text[UIParamLabel::kTextBufferSize];
        label.copyText(text, sizeof text);
        const std::string t = text;
        if (t != "-36.0dB" && t != "-1.00dB" && t != "-3.00dB") ++mixed;
    }
    stop = true;
    host.join();
    EXPECT_EQ(mixed, 0);
}

TEST(WidgetThreads, HostAutomationWhileTheEditorDrawsAndIsDragged) {
    Font font{tolva::resources::VeraBd_ttf.data, tolva::resources::VeraBd_ttf.size};
    plugkit::client::LinearFloatParameter threshold{0, "Threshold", "dB", -36.0, 0.0, -3.0};
    plugkit::client::BoolParameter solo{1, "Solo", false};
    OwnedImage<RGBA8> strip, image;
    strip.size(30, 30 * 60);
    image.size(20, 10);
    auto* editor = plugkit::core::mallocNew<plugkit::gui::GUIGraphics>(100, 60, plugkit::gui::flagRaw);
    auto* label =
        editor->addNew<UIParamLabel>(editor->context(), &threshold, &font, RGBA8{0, 0, 0, 255}, 10, 2, 4, "");
    label->reflow(Box(0, 40, 50, 55));
    editor->addNew<plugkit::flatwidgets::UIFilmstripKnob>(editor->context(), &threshold, &strip, 60)
        ->reflow(Box(10, 5, 40, 35));
    editor->addNew<plugkit::flatwidgets::UIImageSwitch>(editor->context(), &solo, &image, &image)
        ->reflow(Box(60, 10, 80, 20));
    auto* w = static_cast<plugkit::window::HeadlessWindow*>(
        editor->openWindow(plugkit::window::WindowBackend::headless, nullptr));
    ASSERT_NE(w, nullptr);

    std::atomic<bool> stop{false};
    std::thread host([&] {
        for (int i = 0; !stop.load(); ++i) {
            threshold.setFromHost(i % 2 ? 0.0 : 35.0 / 36.0);
            solo.setFromHost(i % 3 ? 1.0 : 0.0);
        }
    });
    for (int i = 0; i < 300; ++i) {
        if (i % 10 == 0) w->mouseClick(25, 20, MouseButton::left);
        w->mouseMove(25, 20 + i % 10);
        if (i % 10 == 9) w->mouseRelease(25, 29, MouseButton::left);
        if (i % 50 == 0) w->mouseClick(70, 15, MouseButton::left), w->mouseRelease(70, 15, MouseButton::left);
        w->tick();
    }
    stop = true;
    host.join();
    plugkit::core::destroyFree(editor);
    EXPECT_EQ(threshold.listenerCount(), 0);
}

}  // namespace
}  // namespace pelgui
