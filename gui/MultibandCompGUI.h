#pragma once

#include "gui/EditorLayout.h"
#include "plugkit/flatwidgets/FlatBackgroundGUI.h"
#include "plugkit/flatwidgets/UIFilmstripKnob.h"
#include "plugkit/flatwidgets/UIFilmstripSlider.h"
#include "plugkit/flatwidgets/UIImageSwitch.h"
#include "plugkit/graphics/Font.h"
#include "plugkit/graphics/OwnedImage.h"

namespace plugin {
class MultibandComp;
}
namespace pelgui {
class UIParamLabel;
class UIBitmap;
class UIImageLogo;
}  // namespace pelgui
namespace tolvadisplay {
class TolvaDisplay;
}

namespace tolvagui {

using plugkit::flatwidgets::UIFilmstripKnob;
using plugkit::flatwidgets::UIFilmstripSlider;
using plugkit::flatwidgets::UIImageSwitch;
using plugkit::graphics::Font;
using plugkit::graphics::OwnedImage;
using plugkit::graphics::RGBA8;

// The plug-in's 800 x 450 editor: four band columns (threshold slider, attack, release, ratio and
// gain knobs, value labels, solo switch), the crossover display under a faint overlay, the Auto Gain
// switch, the output gain knob with its label and the logo, over the embedded background. Every
// widget is made in the constructor and placed as gui/EditorLayout.h says, in a fixed order that is
// also the child order; the widgets follow their parameters and edit them through the editor path
// themselves.
class MultibandCompGUI : public plugkit::flatwidgets::FlatBackgroundGUI {
public:
    static constexpr int kNumBands = layout::kNumBands;
    static constexpr int kNumLabels = 21;  // five per band, then the output gain's

    // [editor thread] Builds the whole editor for plugin (not owned; it owns the editor) and makes
    // the display the plug-in's band level sink.
    explicit MultibandCompGUI(plugin::MultibandComp* plugin);
    // [editor thread] Ends the window, the widgets, the images and the font. Runs from the client's
    // destructor, after the plug-in has cleared its level sink.
    ~MultibandCompGUI() override;

    // --- The widgets, for tests and tools [editor thread] -------------------------------------------
    UIFilmstripSlider* thresholdSlider(int band) const { return sliders_[band]; }
    // knob 0 attack, 1 release, 2 ratio, 3 gain.
    UIFilmstripKnob* bandKnob(int band, int knob) const { return knobs_[band][knob]; }
    // Labels in creation order: per band threshold, attack, release, ratio, gain; the last one is
    // the output gain's.
    pelgui::UIParamLabel* label(int i) const { return labels_[i]; }
    UIImageSwitch* soloSwitch(int band) const { return soloSwitches_[band]; }
    UIImageSwitch* autoGainSwitch() const { return autoGainSwitch_; }
    UIFilmstripKnob* outputGainKnob() const { return outputKnob_; }
    tolvadisplay::TolvaDisplay* display() const { return display_; }
    pelgui::UIBitmap* overlay() const { return overlay_; }
    pelgui::UIImageLogo* logo() const { return logo_; }

private:
    void addBandControls(int band);
    void addBandLabels(int band);

    plugin::MultibandComp* plugin_;
    Font* font_;
    OwnedImage<RGBA8>* bandKnobStrip_;
    OwnedImage<RGBA8>* outputKnobStrip_;
    OwnedImage<RGBA8>* sliderStrip_;
    OwnedImage<RGBA8>* logoImage_;
    OwnedImage<RGBA8>* soloOn_;
    OwnedImage<RGBA8>* soloOff_;
    OwnedImage<RGBA8>* autoGainOn_;
    OwnedImage<RGBA8>* autoGainOff_;
    OwnedImage<RGBA8>* overlayImage_;
    OwnedImage<RGBA8>* handleImage_;

    UIFilmstripSlider* sliders_[kNumBands] = {};
    UIFilmstripKnob* knobs_[kNumBands][4] = {};
    pelgui::UIParamLabel* labels_[kNumLabels] = {};
    tolvadisplay::TolvaDisplay* display_ = nullptr;
    pelgui::UIBitmap* overlay_ = nullptr;
    UIImageSwitch* soloSwitches_[kNumBands] = {};
    UIImageSwitch* autoGainSwitch_ = nullptr;
    UIFilmstripKnob* outputKnob_ = nullptr;
    pelgui::UIImageLogo* logo_ = nullptr;
};

}  // namespace tolvagui
