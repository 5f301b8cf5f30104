#pragma once

#include "plugkit/graphics/Font.h"
#include "plugkit/graphics/OwnedImage.h"
#include "tools/imagegen/Canvas.h"

namespace imagegen {

// Frame counts and frame sizes of the filmstrips.
inline constexpr int kFilmstripFrames = 60;
inline constexpr int kBandKnobSize = 50;
inline constexpr int kOutputKnobSize = 25;
inline constexpr int kSliderWidth = 24, kSliderHeight = 170;
inline constexpr int kSwitchWidth = 34, kSwitchHeight = 14;
inline constexpr int kEditorWidth = 800, kEditorHeight = 450;
inline constexpr int kLogoWidth = 170, kLogoHeight = 15;
inline constexpr int kHandleSize = 22;

// The editor's layout, as the editor places its widgets (x of band 1; bands are 192 pixels apart).
inline constexpr int kBandPitch = 192;
inline constexpr gfx::Box kDisplayBox{15, 50, 785, 225};
inline constexpr int kSliderX = 34, kSliderY = 227;
inline constexpr int kKnobX[2] = {85, 150}, kKnobY[2] = {253, 337};
inline constexpr gfx::Box kOutputKnobBox{632, 15, 657, 40};
inline constexpr gfx::Box kAutoGainBox{710, 27, 744, 41};
inline constexpr int kSoloX = 124, kSoloY = 412;
inline constexpr gfx::Box kLogoBox{612, 434, 782, 449};

// Centre of the thumb of the threshold slider at normalised value v, in frame rows.
float sliderThumbY(float v);

// Every image sized and drawn from scratch; filmstrips hold their frames top to bottom.
void drawBackground(gfx::OwnedImage<RGBA8>& out, gfx::Font& font);
void drawBandKnob(gfx::OwnedImage<RGBA8>& out);
void drawOutputKnob(gfx::OwnedImage<RGBA8>& out);
void drawThresholdSlider(gfx::OwnedImage<RGBA8>& out);
void drawLogo(gfx::OwnedImage<RGBA8>& out, gfx::Font& font);
void drawSwitch(gfx::OwnedImage<RGBA8>& out, bool on);
void drawDisplayOverlay(gfx::OwnedImage<RGBA8>& out, gfx::Font& font);
void drawHandle(gfx::OwnedImage<RGBA8>& out);

// Fills an image with one colour.
void clearImage(gfx::ImageRef<RGBA8> image, RGBA8 colour);

}  // namespace imagegen
