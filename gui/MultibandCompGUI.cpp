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
// The parameters of a band's knobs, in the order of layout::bandKnob and layout::kBandKnobLabel.
constexpr int kKnobParams[4] = {MultibandComp::kAttack, MultibandComp::kRelease, MultibandComp::kRatio,
                                MultibandComp::kGain};

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
    : FlatBackgroundGUI(layout::kWidth, layout::kHeight, tolva::resources::background_png.data,
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
        layout::kDisplay);
    overlay_ = place(addNew<pelgui::UIBitmap>(ctx, overlayImage_), layout::kOverlay);

    for (int band = 0; band < kNumBands; ++band)
        soloSwitches_[band] = place(
            addNew<UIImageSwitch>(ctx, boolParam(plugin, MultibandComp::kSoloLow + band), soloOn_, soloOff_),
            layout::inBand(layout::kSoloSwitch, band));
    autoGainSwitch_ = place(
        addNew<UIImageSwitch>(ctx, boolParam(plugin, MultibandComp::kAutoGain), autoGainOn_, autoGainOff_),
        layout::kAutoGainSwitch);
    outputKnob_ = place(addNew<UIFilmstripKnob>(ctx, floatParam(plugin, MultibandComp::kOutputGain),
                                                outputKnobStrip_, kFrames),
                        layout::kOutputKnob);
    labels_[kNumLabels - 1] =
        place(addNew<pelgui::UIParamLabel>(ctx, floatParam(plugin, MultibandComp::kOutputGain), font_,
                                           kTextColor, kTextSize, 2, 3, " "),
              layout::kOutputLabel);
    logo_ = place(addNew<pelgui::UIImageLogo>(ctx, logoImage_, plugin->info().homepage), layout::kLogo);

    // Published last: the audio thread reaches the display only once the whole editor exists.
    plugin->setBandLevelSink(display_);
}

void MultibandCompGUI::addBandControls(int band) {
    plugkit::gui::UIContext* ctx = context();
    const int base = band * MultibandComp::kParamsPerBand;
    sliders_[band] =
        place(addNew<UIFilmstripSlider>(ctx, floatParam(plugin_, base + MultibandComp::kThreshold),
                                        sliderStrip_, kFrames),
              layout::inBand(layout::kThresholdSlider, band));
    for (int k = 0; k < 4; ++k)
        knobs_[band][k] = place(
            addNew<UIFilmstripKnob>(ctx, floatParam(plugin_, base + kKnobParams[k]), bandKnobStrip_, kFrames),
            layout::inBand(layout::bandKnob(k), band));
}

void MultibandCompGUI::addBandLabels(int band) {
    plugkit::gui::UIContext* ctx = context();
    const int base = band * MultibandComp::kParamsPerBand;
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
    out[0] = labelA(base + MultibandComp::kThreshold, layout::thresholdLabel(band));
    for (int k = 0; k < 4; ++k) {
        const Box box = layout::inBand(layout::kBandKnobLabel[k], band);
        out[1 + k] = k < 2 ? labelA(base + kKnobParams[k], box) : labelB(base + kKnobParams[k], box);
    }
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
