#pragma once

#include "plugkit/graphics/Box.h"

// Where the 800 x 450 editor places its widgets, in window pixels (a box holds its min corner, not
// its max). The editor (MultibandCompGUI) places its widgets here, the image generator
// (tools/imagegen) draws the background's plates and captions around them and sizes the filmstrip
// frames to them, and tests aim their clicks and pixel checks at them.
namespace tolvagui::layout {

using plugkit::graphics::Box;
using plugkit::graphics::Point;

inline constexpr int kWidth = 800;
inline constexpr int kHeight = 450;

// --- The band columns -------------------------------------------------------------------------

// Four alike columns, low to high; the boxes below are band 0's, inBand moves them to band b.
inline constexpr int kNumBands = 4;
inline constexpr int kBandSpacing = 192;
constexpr Box inBand(Box box, int band) { return box.translated({band * kBandSpacing, 0}); }

inline constexpr Box kThresholdSlider{34, 227, 58, 397};
// The four knobs, 50 x 50: knob 0 attack and 1 release on the upper row, 2 ratio and 3 gain below.
inline constexpr int kBandKnobSize = 50;
constexpr Box bandKnob(int knob) {
    const int left = knob % 2 == 0 ? 85 : 150, top = knob < 2 ? 253 : 337;
    return Box(left, top, left + kBandKnobSize, top + kBandKnobSize);
}
// Shows 33 of the switch image's 34 columns.
inline constexpr Box kSoloSwitch{124, 412, 157, 426};

// Value labels centre their text in their box; the knobs' labels overlap the knobs (clicks pass
// through to the knob), the text showing on the readout plate above or below it.
inline constexpr Box kBandKnobLabel[4] = {
    {87, 183, 135, 303}, {152, 183, 202, 303}, {87, 267, 135, 387}, {152, 267, 202, 387}};
// The column's threshold label; band 0's is a shorter box lower down (kFirstThresholdLabel), both
// centre their text on the same row.
inline constexpr Box kThresholdLabel{23, 377, 71, 427};
inline constexpr Box kFirstThresholdLabel{23, 395, 73, 410};
constexpr Box thresholdLabel(int band) {
    return band == 0 ? kFirstThresholdLabel : inBand(kThresholdLabel, band);
}

// --- Across the top and the bottom ----------------------------------------------------------

inline constexpr Box kDisplay{15, 50, 785, 225};
// The faint veil over the display (the image is the editor's size).
inline constexpr Box kOverlay{0, 0, 799, 449};
inline constexpr Box kOutputKnob{632, 15, 657, 40};
inline constexpr Box kOutputLabel{574, 15, 624, 40};
inline constexpr Box kAutoGainSwitch{710, 27, 744, 41};
inline constexpr Box kLogo{612, 434, 782, 449};

// --- Readout plates ---------------------------------------------------------------------------

// The background's light plates behind the value labels' black text: kReadoutWidth x kReadoutHeight,
// centred where the label centres its text.
inline constexpr float kReadoutWidth = 52.0f;
inline constexpr float kReadoutHeight = 15.0f;
constexpr float centreX(Box box) { return static_cast<float>(box.min.x + box.max.x) / 2.0f; }
constexpr float centreY(Box box) { return static_cast<float>(box.min.y + box.max.y) / 2.0f; }
// The pixel in the middle of a box (towards its min corner), where a click on the widget aims.
constexpr Point middle(Box box) { return {(box.min.x + box.max.x) / 2, (box.min.y + box.max.y) / 2}; }

}  // namespace tolvagui::layout
