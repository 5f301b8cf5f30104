#include "gui/MultibandCompGUI.h"

#include "pelgui/UIBitmap.h"
#include "pelgui/UIImageLogo.h"
#include "pelgui/UIParamLabel.h"
#include "plugin/MultibandComp.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/Fatal.h"
#include "plugkit/graphics/ImageDecoding.h"
#include "tolva_resources.h"
#include "tolvadisplay/TolvaDisplay.h"

namespace tolvagui {

namespace {

using plugin::MultibandComp;
using plugkit::client::BoolParameter;
using plugkit::client::FloatParameter;
using plugkit::core::destroyFree;
using plugkit::core::mallocNew;
using plugkit::gui::Box;
using Resource = tolva::resources::Resource;

constexpr int kFrames = 60;  // frames of every filmstrip
constexpr RGBA8 kTextColor{0, 0, 0, 255};
constexpr int kTextSize = 10;

// The images are built into the binary: one that does not decode is a broken build.
OwnedImage<RGBA8>* decode(const Resource& resource) {
    OwnedImage<RGBA8>* image = plugkit::graphics::loadOwnedImage(resource.data, resource.size);
    if (!image) plugkit::core::fatalError("MultibandCompGUI: an embedded image does not decode");
    return image;
}

Font* embeddedFont() {
    Font* font = Font::tryCreate(tolva::resources::VeraBd_ttf.data, tolva::resources::VeraBd_ttf.size);
    if (!font) plugkit::core::fatalError("MultibandCompGUI: the embedded font is refused");
    return font;
}

FloatParameter* floatParam(MultibandComp* plugin, int index) {
    return static_cast<FloatParameter*>(plugin->param(index));
}

BoolParameter* boolParam(MultibandComp* plugin, int index) {
    return static_cast<BoolParameter*>(plugin->param(index));
}

template <class Widget>
Widget* place(Widget* widget, Box box) {
    widget->reflow(box);
    return widget;
}

}  // namespace

MultibandCompGUI::MultibandCompGUI(MultibandComp* plugin)
    : FlatBackgroundGUI(kWidth, kHeight, tolva::resources::background_png.data,
                        tolva::resources::background_png.size),
      plugin_(plugin),
      font_(embeddedFont()),
      bandKnobStrip_(decode(tolva::resources::knob_band_png)),
      outputKnobStrip_(decode(tolva::resources::knob_output_png)),
      sliderStrip_(decode(tolva::resources::slider_threshold_png)),
      logoImage_(decode(tolva::resources::logo_png)),
      soloOn_(decode(tolva::resources::switch_on_png)),
      soloOff_(decode(tolva::resources::switch_off_png)),
      autoGainOn_(decode(tolva::resources::switch_on_png)),
      autoGainOff_(decode(tolva::resources::switch_off_png)),
      overlayImage_(decode(tolva::resources::display_overlay_png)),
      handleImage_(decode(tolva::resources::handle_png)) {
    // Nothing here is lit: no PBR area needs its neighbours.
    setUpdateMargin(0);
    plugkit::gui::UIContext* ctx = context();

    for (int band = 0; band < kNumBands; ++band) addBandControls(band);
    for (int band = 0; band < kNumBands; ++band) addBandLabels(band);

    display_ = place(
        addNew<tolvadisplay::TolvaDisplay>(
            ctx, floatParam(plugin, MultibandComp::kF1), floatParam(plugin, MultibandComp::kF2),
            floatParam(plugin, MultibandComp::kF3), floatParam(plugin, 0),
            floatParam(plugin, MultibandComp::kParamsPerBand),
            floatParam(plugin, 2 * MultibandComp::kParamsPerBand),
            floatParam(plugin, 3 * MultibandComp::kParamsPerBand), font_, handleImage_->toRef().asConst()),
        Box(15, 50, 785, 225));
    overlay_ = place(addNew<pelgui::UIBitmap>(ctx, overlayImage_), Box(0, 0, 799, 449));

    for (int band = 0; band < kNumBands; ++band) {
        const int x = 124 + band * kBandSpacing;
        soloSwitches_[band] = place(
            addNew<UIImageSwitch>(ctx, boolParam(plugin, MultibandComp::kSoloLow + band), soloOn_, soloOff_),
            Box(x, 412, x + 33, 426));
    }
    autoGainSwitch_ = place(
        addNew<UIImageSwitch>(ctx, boolParam(plugin, MultibandComp::kAutoGain), autoGainOn_, autoGainOff_),
        Box(710, 27, 744, 41));
    outputKnob_ = place(addNew<UIFilmstripKnob>(ctx, floatParam(plugin, MultibandComp::kOutputGain),
                                                outputKnobStrip_, kFrames),
                        Box(632, 15, 657, 40));
    labels_[kNumLabels - 1] =
        place(addNew<pelgui::UIParamLabel>(ctx, floatParam(plugin, MultibandComp::kOutputGain), font_,
                                           kTextColor, kTextSize, 2, 3, " "),
              Box(574, 15, 624, 40));
    logo_ =
        place(addNew<pelgui::UIImageLogo>(ctx, logoImage_, plugin->info().homepage), Box(612, 434, 782, 449));

    // Published last: the audio thread reaches the display only once the whole editor exists.
    plugin->setBandLevelSink(display_);
}

void MultibandCompGUI::addBandControls(int band) {
    plugkit::gui::UIContext* ctx = context();
    const int base = band * MultibandComp::kParamsPerBand;
    const int x = band * kBandSpacing;
    sliders_[band] =
        place(addNew<UIFilmstripSlider>(ctx, floatParam(plugin_, base + MultibandComp::kThreshold),
                                        sliderStrip_, kFrames),
              Box(34 + x, 227, 58 + x, 397));
    // Attack and release on the upper row, ratio and gain on the lower one.
    static constexpr int kKnobParams[4] = {MultibandComp::kAttack, MultibandComp::kRelease,
                                           MultibandComp::kRatio, MultibandComp::kGain};
    for (int k = 0; k < 4; ++k) {
        const int left = (k % 2 == 0 ? 85 : 150) + x;
        const int top = k < 2 ? 253 : 337;
        knobs_[band][k] = place(
            addNew<UIFilmstripKnob>(ctx, floatParam(plugin_, base + kKnobParams[k]), bandKnobStrip_, kFrames),
            Box(left, top, left + 50, top + 50));
    }
}

void MultibandCompGUI::addBandLabels(int band) {
    plugkit::gui::UIContext* ctx = context();
    const int base = band * MultibandComp::kParamsPerBand;
    const int x = band * kBandSpacing;
    // "A" labels keep two decimals up to four digits with the unit attached ("-3.00dB", "20.00ms");
    // "B" labels up to three digits with a space before the unit ("4.00 ", "0.00 dB").
    auto labelA = [&](int index, Box box) {
        return place(addNew<pelgui::UIParamLabel>(ctx, floatParam(plugin_, index), font_, kTextColor,
                                                  kTextSize, 2, 4, ""),
                     box);
    };
    auto labelB = [&](int index, Box box) {
        return place(addNew<pelgui::UIParamLabel>(ctx, floatParam(plugin_, index), font_, kTextColor,
                                                  kTextSize, 2, 3, " "),
                     box);
    };
    pelgui::UIParamLabel** out = labels_ + band * MultibandComp::kParamsPerBand;
    // The first band's threshold label is a shorter box lower down; both centre on the same row.
    out[0] = band == 0 ? labelA(base + MultibandComp::kThreshold, Box(23, 395, 73, 410))
                       : labelA(base + MultibandComp::kThreshold, Box(23 + x, 377, 71 + x, 427));
    out[1] = labelA(base + MultibandComp::kAttack, Box(87 + x, 183, 135 + x, 303));
    out[2] = labelA(base + MultibandComp::kRelease, Box(152 + x, 183, 202 + x, 303));
    out[3] = labelB(base + MultibandComp::kRatio, Box(87 + x, 267, 135 + x, 387));
    out[4] = labelB(base + MultibandComp::kGain, Box(152 + x, 267, 202 + x, 387));
}

MultibandCompGUI::~MultibandCompGUI() {
    // The client destroys its editor after its own plug-in part is gone (that part has already
    // stopped the level feed): plugin_ must not be touched here.
    closeUI();
    // The children (which refer to the images and the font) go first.
    destroyChildren();
    destroyFree(handleImage_);
    destroyFree(overlayImage_);
    destroyFree(autoGainOff_);
    destroyFree(autoGainOn_);
    destroyFree(soloOff_);
    destroyFree(soloOn_);
    destroyFree(logoImage_);
    destroyFree(sliderStrip_);
    destroyFree(outputKnobStrip_);
    destroyFree(bandKnobStrip_);
    destroyFree(font_);
}

}  // namespace tolvagui
