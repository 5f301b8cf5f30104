// Widgets that listen to parameters, as the editor's knobs do: host threads set values and the
// widgets mark themselves dirty from those threads, while the editor thread draws frames and the
// widgets remove and re-add themselves as listeners. Run under ThreadSanitizer by scripts/test.sh.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "plugkit/client/Parameter.h"
#include "plugkit/gui/GUIGraphics.h"
#include "plugkit/gui/UIBufferedElementRaw.h"
#include "plugkit/window/HeadlessWindow.h"

namespace plugkit::gui {
namespace {

// A buffered widget showing its parameter's value as a grey level.
struct ParamSwatch : UIBufferedElementRaw, client::IParameterListener {
    ParamSwatch(UIContext* c, client::Parameter* p) : UIBufferedElementRaw(c, flagRaw), param(p) { attach(); }
    ~ParamSwatch() override { detach(); }
    void attach() {
        attached = true;  // before: a host thread may call at once
        param->addListener(this);
    }
    void detach() {
        param->removeListener(this);
        attached = false;
    }
    static std::uint8_t level(double normalized) {
        return static_cast<std::uint8_t>(std::lround(normalized * 255));
    }
    void onParameterChanged(client::Parameter* p) override {
        if (!attached.load()) late.fetch_add(1);
        value = p->getNormalized();
        setDirtyWhole();
    }
    void onBeginParameterEdit(client::Parameter*) override {}
    void onEndParameterEdit(client::Parameter*) override {}
    void onDrawBufferedRaw(ImageRef<RGBA8> raw, ImageRef<L8> opacity) override {
        const std::uint8_t g = level(value.load());
        for (int y = 0; y < raw.h; ++y)
            for (int x = 0; x < raw.w; ++x) {
                raw.pixel(x, y) = RGBA8{g, g, g, 255};
                opacity.pixel(x, y).l = 255;
            }
    }
    client::Parameter* param;
    std::atomic<double> value{0.0};
    std::atomic<bool> attached{false};
    std::atomic<int> late{0};
};

struct Editor : GUIGraphics {
    explicit Editor(client::Parameter** params) : GUIGraphics(200, 60) {
        for (int i = 0; i < 4; ++i) swatches[i] = addNew<ParamSwatch>(context(), params[i % 2]);
    }
    void reflow(Box space) override {
        GUIGraphics::reflow(space);
        for (int i = 0; i < 4; ++i) swatches[i]->reflow(Box(10 + 45 * i, 10, 50 + 45 * i, 50));
    }
    ParamSwatch* swatches[4];
};

TEST(GUIThreads, HostNotificationsMarkWidgetsDirtyWhileTheEditorDrawsAndRewires) {
    client::LinearFloatParameter a(0, "A", "", 0, 1, 0), b(1, "B", "", 0, 1, 0);
    client::Parameter* params[2] = {&a, &b};
    Editor editor(params);
    auto* window =
        static_cast<window::HeadlessWindow*>(editor.openWindow(window::WindowBackend::headless, nullptr));
    ASSERT_NE(window, nullptr);
    window->tick();
    std::atomic<bool> stop{false};
    auto host = [&](client::Parameter* p, double seed) {
        double v = seed;
        while (!stop.load()) {
            v = std::fmod(v + 0.137, 1.0);
            p->setFromHost(v);
        }
    };
    std::thread h1(host, &a, 0.1), h2(host, &b, 0.6);
    for (int frame = 0; frame < 300; ++frame) {
        ParamSwatch* s = editor.swatches[frame % 4];
        if (frame % 5 == 0 && frame < 250) {  // the last frames run with every widget listening
            s->detach();
            s->attach();
            s->setDirtyWhole();
        }
        window->tick();
        if (frame % 50 == 0) window->mouseClick(20, 20, window::MouseButton::left);
    }
    stop = true;
    h1.join();
    h2.join();
    // Every last change must be on screen: no report lost between the threads.
    window->tick();
    for (ParamSwatch* s : editor.swatches) {
        EXPECT_EQ(s->late.load(), 0);
        const std::uint8_t g = ParamSwatch::level(s->param->getNormalized());
        const Box p = s->position();
        EXPECT_EQ(window->buffer().pixel(p.min.x + 5, p.min.y + 5), (RGBA8{g, g, g, 255}));
    }
}

}  // namespace
}  // namespace plugkit::gui
