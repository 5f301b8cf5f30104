// The bundle's UI library as a host loads it: dlopen, lv2ui_descriptor, instantiate inside a parent
// window made here, driven by the idle interface. A port event must move the solo switch on screen
// without a write back; an XTest click on a solo switch must write 1 to that switch's port.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "gui/MultibandCompGUI.h"
#include "lv2/ui/ui.h"
#include "plugin/MultibandComp.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/window/HeadlessWindow.h"

// After gtest: X.h defines macros (None) that clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "tests/support/X11TestDisplay.h"

namespace {

using Clock = std::chrono::steady_clock;
using plugin::MultibandComp;

struct Write {
    uint32_t port;
    float value;
};

struct Host {
    std::vector<Write> writes;
    int width = 0, height = 0;
};

void writeFunction(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format,
                   const void* buffer) {
    ASSERT_EQ(size, sizeof(float));
    ASSERT_EQ(format, 0u);
    float v;
    std::memcpy(&v, buffer, sizeof v);
    static_cast<Host*>(controller)->writes.push_back({port, v});
}

int resize(LV2UI_Feature_Handle handle, int width, int height) {
    static_cast<Host*>(handle)->width = width;
    static_cast<Host*>(handle)->height = height;
    return 0;
}

// Where the editor places a band's solo switch, from the same editor laid out headless.
plugkit::graphics::Box soloBox(int band) {
    auto* client = plugkit::client::Client::create<MultibandComp>();
    auto* editor = static_cast<tolvagui::MultibandCompGUI*>(client->getOrCreateEditor());
    editor->openWindow(plugkit::window::WindowBackend::headless, nullptr);
    const plugkit::graphics::Box box = editor->soloSwitch(band)->position();
    plugkit::core::destroyFree(client);
    return box;
}

// One scenario: loading the UI library into a parent window is the costly part, and the port event
// and the click are checked on the same instance, in the order a host uses it.
TEST(LV2UI, PortEventsMoveTheEditorAndClicksWriteThePort) {
    Display* display = plugkit::testing::openTestDisplay();
    if (!display) {
        const char* require = std::getenv("TOLVA_REQUIRE_DISPLAY");
        if (require && *require == '1') FAIL() << "no X display (run under xvfb-run -a)";
        GTEST_SKIP() << "no X display";
    }
    setenv("TOLVA_UI_SCALE", "1", 1);
    const plugkit::graphics::Box solo0 = soloBox(0), solo1 = soloBox(1);

    void* library = dlopen(TOLVA_LV2_UI_LIB, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_EQ(dlsym(library, "lv2_descriptor"), nullptr);  // only the UI entry point is exported
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    ASSERT_NE(entry, nullptr);
    const LV2UI_Descriptor* d = entry(0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(entry(1), nullptr);
    EXPECT_STREQ(d->URI, "https://pel.audio/plugins/tolva#ui");
    auto* idle = static_cast<const LV2UI_Idle_Interface*>(d->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idle, nullptr);

    const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
                                              tolvagui::layout::kWidth, tolvagui::layout::kHeight, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    Host host;
    LV2UI_Resize resizeFeature{&host, resize};
    const LV2_Feature parentF{LV2_UI__parent, reinterpret_cast<void*>(parent)};
    const LV2_Feature resizeF{LV2_UI__resize, &resizeFeature};
    const LV2_Feature* features[] = {&parentF, &resizeF, nullptr};
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle ui = d->instantiate(d, "https://pel.audio/plugins/tolva", TOLVA_LV2_BUNDLE, writeFunction,
                                     &host, &widget, features);
    ASSERT_NE(ui, nullptr);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(host.width, tolvagui::layout::kWidth);
    EXPECT_EQ(host.height, tolvagui::layout::kHeight);
    const Window child = reinterpret_cast<Window>(widget);

    auto pumpUntil = [&](const std::function<bool()>& done) {
        const auto end = Clock::now() + std::chrono::seconds(30);  // far beyond an idle machine's need
        while (!done()) {
            if (Clock::now() > end) return false;
            EXPECT_EQ(idle->idle(ui), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    };
    auto pixels = [&](const plugkit::graphics::Box& b) {
        std::vector<unsigned long> out;
        XSync(display, False);
        XImage* image = XGetImage(display, child, b.min.x, b.min.y, static_cast<unsigned>(b.width()),
                                  static_cast<unsigned>(b.height()), AllPlanes, ZPixmap);
        if (!image) return out;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x) out.push_back(XGetPixel(image, x, y) & 0xffffff);
        XDestroyImage(image);
        return out;
    };
    auto drawn = [&](const std::vector<unsigned long>& p) {
        for (unsigned long v : p)
            if (v != 0) return true;
        return false;
    };

    // The first frame on screen, then band 2's solo switched on by the host.
    ASSERT_TRUE(pumpUntil([&] { return drawn(pixels(solo1)); }));
    const std::vector<unsigned long> before = pixels(solo1);
    const float on = 1.0f;
    d->port_event(ui, MultibandComp::kSoloLowMid, sizeof on, 0, &on);
    EXPECT_TRUE(pumpUntil([&] { return pixels(solo1) != before; }));
    EXPECT_TRUE(host.writes.empty());

    // A click on band 1's switch, through the server.
    int rx = 0, ry = 0;
    Window unused;
    XTranslateCoordinates(display, child, DefaultRootWindow(display), (solo0.min.x + solo0.max.x) / 2,
                          (solo0.min.y + solo0.max.y) / 2, &rx, &ry, &unused);
    XTestFakeMotionEvent(display, -1, rx, ry, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XFlush(display);
    ASSERT_TRUE(pumpUntil([&] { return !host.writes.empty(); }));
    EXPECT_EQ(host.writes[0].port, static_cast<uint32_t>(MultibandComp::kSoloLow));
    EXPECT_EQ(host.writes[0].value, 1.0f);

    d->cleanup(ui);
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
    dlclose(library);
}

}  // namespace
