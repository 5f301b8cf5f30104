// A label reformatted from a host thread while the editor draws it: every drawing sees one whole
// text, never a mix of two.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "pelgui/UIParamLabel.h"
#include "plugkit/graphics/OwnedImage.h"
#include "tolva_resources.h"

namespace pelgui {
namespace {

TEST(ParamLabelThreads, HostChangesReachTheDrawingWhole) {
    plugkit::gui::UIContext ctx;
    Font font{tolva::resources::VeraBd_ttf.data, tolva::resources::VeraBd_ttf.size};
    plugkit::client::LinearFloatParameter threshold{0, "Threshold", "dB", -36.0, 0.0, -3.0};
    UIParamLabel label(&ctx, &threshold, &font, RGBA8{0, 0, 0, 255}, 10, 2, 4, "");
    label.reflow(Box(0, 0, 50, 15));
    plugkit::graphics::OwnedImage<RGBA8> image;
    image.size(50, 15);
    plugkit::core::Vec<Box> all;
    all.pushBack(Box(0, 0, 50, 15));

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
        label.onDrawRaw(image.toRef(), all);
    }
    stop = true;
    host.join();
    EXPECT_EQ(mixed, 0);
}

}  // namespace
}  // namespace pelgui
