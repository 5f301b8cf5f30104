#pragma once

#include "gui/EditorLayout.h"
#include "plugkit/graphics/Font.h"
#include "plugkit/graphics/OwnedImage.h"
#include "tools/imagegen/Canvas.h"

namespace imagegen {

namespace layout = tolvagui::layout;

// Frame counts and frame sizes of the images: each is the size of the widget box that shows it
// (gui/EditorLayout.h), the handle's that of the display's handles.
inline constexpr int kFilmstripFrames = 60;
inline constexpr int kBandKnobSize = layout::kBandKnobSize;
inline constexpr int kOutputKnobSize = layout::kOutputKnob.width();
inline constexpr int kSliderWidth = layout::kThresholdSlider.width();
inline constexpr int kSliderHeight = layout::kThresholdSlider.height();
inline constexpr int kSwitchWidth = layout::kAutoGainSwitch.width();
inline constexpr int kSwitchHeight = layout::kAutoGainSwitch.height();
inline constexpr int kEditorWidth = layout::kWidth, kEditorHeight = layout::kHeight;
inline constexpr int kLogoWidth = layout::kLogo.width(), kLogoHeight = layout::kLogo.height();
inline constexpr int kHandleSize = 22;

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
