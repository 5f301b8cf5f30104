#pragma once

// A crossover display bound to the real plug-in's parameters, laid out where the editor puts it,
// with the product font, a synthetic handle image and a host that records automation gestures.

#include <gtest/gtest.h>

#include <vector>

#include "gui/EditorLayout.h"
#include "plugin/MultibandComp.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/graphics/OwnedImage.h"
#include "tests/support/Pixels.h"
#include "tolva_resources.h"
#include "tolvadisplay/TolvaDisplay.h"

namespace tolvadisplay::testing {

using plugin::MultibandComp;
using plugkit::graphics::OwnedImage;

// Where the editor places the display in its window.
inline constexpr Box kDisplayBox = tolvagui::layout::kDisplay;
inline constexpr int kWinW = tolvagui::layout::kWidth, kWinH = tolvagui::layout::kHeight;
// The synthetic handle: transparent except an opaque 6 x 6 square around its centre.
inline constexpr RGBA8 kHandleColor{10, 200, 30, 255};

struct RecordingHost : plugkit::client::IHostCommand {
    struct Event {
        char kind;  // 'b' begin, 'a' automate, 'e' end
        int index;
    };
    std::vector<Event> events;
    void beginParamEdit(int i) override { events.push_back({'b', i}); }
    void paramAutomate(int i, float) override { events.push_back({'a', i}); }
    void endParamEdit(int i) override { events.push_back({'e', i}); }
    bool requestResize(int, int) override { return false; }
    plugkit::client::DAW getDAW() override { return plugkit::client::DAW{}; }
    int count(char kind, int index) const {
        int n = 0;
        for (const Event& e : events) n += e.kind == kind && e.index == index;
        return n;
    }
};

class TolvaDisplayFixture : public ::testing::Test {
protected:
    explicit TolvaDisplayFixture(MultibandComp* p = plugkit::client::Client::create<MultibandComp>())
        : plugin(p) {
        plugin->setHostCommand(&host);
        handle.size(22, 22);
        plugkit::testing::fill(handle.toRef(), RGBA8{0, 0, 0, 0});
        plugkit::testing::fill(handle.toRef().crop(Box(8, 8, 14, 14)), kHandleColor);
        display = plugkit::core::mallocNew<TolvaDisplay>(
            &context, param(MultibandComp::kF1), param(MultibandComp::kF2), param(MultibandComp::kF3),
            param(0), param(5), param(10), param(15), &font, handle.toRef().asConst());
        display->reflow(kDisplayBox);
    }
    ~TolvaDisplayFixture() override {
        plugkit::core::destroyFree(display);
        plugkit::core::destroyFree(plugin);
    }

    plugkit::client::FloatParameter* param(int index) {
        return static_cast<plugkit::client::FloatParameter*>(plugin->param(index));
    }

    RecordingHost host;
    MultibandComp* plugin = nullptr;
    const plugkit::graphics::FontPtr fontOwner{
        Font::tryCreate(tolva::resources::VeraBd_ttf.data, tolva::resources::VeraBd_ttf.size)};
    Font& font = *fontOwner;
    OwnedImage<RGBA8> handle;
    UIContext context;
    TolvaDisplay* display = nullptr;
};

}  // namespace tolvadisplay::testing
