// The plug-in's editor over the real plug-in, in the headless window: what it shows at the
// defaults, that input reaches the right widget through the overlapping labels and the overlay, and
// that the overlay touches nothing outside the display.
#include "gui/MultibandCompGUI.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pelgui/UIBitmap.h"
#include "pelgui/UIParamLabel.h"
#include "plugin/MultibandComp.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/window/HeadlessWindow.h"

namespace tolvagui {
namespace {

using plugin::MultibandComp;
using plugkit::window::HeadlessWindow;
using plugkit::window::MouseButton;

struct RecordingHost : plugkit::client::IHostCommand {
    std::string events;  // one "b<index> ", "a<index> " or "e<index> " per call
    void beginParamEdit(int i) override { events += "b" + std::to_string(i) + " "; }
    void paramAutomate(int i, float) override { events += "a" + std::to_string(i) + " "; }
    void endParamEdit(int i) override { events += "e" + std::to_string(i) + " "; }
    bool requestResize(int, int) override { return false; }
    plugkit::client::DAW getDAW() override { return plugkit::client::DAW{}; }
};

class EditorTest : public ::testing::Test {
protected:
    EditorTest() : plugin(plugkit::client::Client::create<MultibandComp>()) {
        plugin->setHostCommand(&host);
        editor = static_cast<MultibandCompGUI*>(plugin->getOrCreateEditor());
    }
    ~EditorTest() override { plugkit::core::destroyFree(plugin); }  // the client ends its editor
    HeadlessWindow* open() {
        auto* w = static_cast<HeadlessWindow*>(
            editor->openWindow(plugkit::window::WindowBackend::headless, nullptr));
        EXPECT_NE(w, nullptr);
        if (w) w->tick();
        return w;
    }
    std::string labelText(int i) {
        char text[64];
        editor->label(i)->copyText(text, sizeof text);
        return text;
    }
    double value(int index) { return plugin->param(index)->getNormalized(); }

    RecordingHost host;
    MultibandComp* plugin;
    MultibandCompGUI* editor;
};

TEST_F(EditorTest, ShowsTheDefaultsInItsLabels) {
    for (int band = 0; band < 4; ++band) {
        SCOPED_TRACE(band);
        EXPECT_EQ(labelText(5 * band), "-3.00dB");
        EXPECT_EQ(labelText(5 * band + 1), "20.00ms");
        EXPECT_EQ(labelText(5 * band + 2), "40.00ms");
        EXPECT_EQ(labelText(5 * band + 3), "4.00 ");
        EXPECT_EQ(labelText(5 * band + 4), "0.00 dB");
    }
    EXPECT_EQ(labelText(20), "0.00 dB");
    int width = 0, height = 0;
    editor->getGUISize(&width, &height);
    EXPECT_EQ(width, layout::kWidth);
    EXPECT_EQ(height, layout::kHeight);
    EXPECT_EQ(editor->childCount(), 50);
}

// Clicks pass through the labels that overlap the knobs and through the overlay: a drag on a knob
// edits that knob's parameter, and a solo switch toggles its own band only, each as one gesture.
TEST_F(EditorTest, InputReachesTheWidgetUnderThePointer) {
    HeadlessWindow* w = open();
    ASSERT_NE(w, nullptr);
    const double attack = value(1);
    const auto [x, y] = layout::middle(layout::bandKnob(0));  // band 1's attack knob
    ASSERT_TRUE(layout::kBandKnobLabel[0].contains(x, y));    // under its label
    ASSERT_TRUE(w->mouseClick(x, y, MouseButton::left));
    w->mouseMove(x, y);
    w->mouseMove(x, y - 20);
    w->mouseRelease(x, y - 20, MouseButton::left);
    EXPECT_GT(value(1), attack);
    EXPECT_EQ(host.events.substr(0, 6), "b1 a1 ");
    EXPECT_EQ(host.events.substr(host.events.size() - 3), "e1 ");

    host.events.clear();
    const auto solo = layout::middle(layout::inBand(layout::kSoloSwitch, 1));  // band 2's solo switch
    ASSERT_TRUE(w->mouseClick(solo.x, solo.y, MouseButton::left));
    w->mouseRelease(solo.x, solo.y, MouseButton::left);
    EXPECT_EQ(host.events, "b21 a21 e21 ");
    for (int band = 0; band < 4; ++band)
        EXPECT_EQ(value(MultibandComp::kSoloLow + band), band == 1 ? 1.0 : 0.0);
    ASSERT_TRUE(w->mouseClick(solo.x, solo.y, MouseButton::left));
    w->mouseRelease(solo.x, solo.y, MouseButton::left);
    EXPECT_EQ(value(MultibandComp::kSoloLowMid), 0.0);
}

TEST_F(EditorTest, OverlayLeavesEverythingOutsideTheDisplayUntouched) {
    HeadlessWindow* w = open();
    ASSERT_NE(w, nullptr);
    // The background hides the whole composited image: the first frame lights nothing.
    EXPECT_TRUE(editor->rectsToCompositeTiled().empty());
    const auto with = w->buffer();
    std::vector<plugkit::graphics::RGBA8> shown;
    for (int y = 0; y < layout::kHeight; ++y)
        for (int x = 0; x < layout::kWidth; ++x) shown.push_back(with.pixel(x, y));

    editor->overlay()->setVisible(false);
    editor->setDirtyWhole();
    w->tick();
    const auto without = w->buffer();
    int outsideChanged = 0, insideChanged = 0;
    for (int y = 0; y < layout::kHeight; ++y)
        for (int x = 0; x < layout::kWidth; ++x) {
            const bool same = shown[static_cast<std::size_t>(y * layout::kWidth + x)] == without.pixel(x, y);
            (layout::kDisplay.contains(x, y) ? insideChanged : outsideChanged) += !same;
        }
    EXPECT_EQ(outsideChanged, 0);
    EXPECT_GT(insideChanged, 1000);  // the veil is there
}

}  // namespace
}  // namespace tolvagui
