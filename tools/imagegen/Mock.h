#pragma once

#include "tools/imagegen/Images.h"

namespace imagegen {

// The nine images, decoded or freshly drawn.
struct ImageSet {
    gfx::OwnedImage<RGBA8> background, bandKnob, outputKnob, slider, logo, switchOn, switchOff, overlay,
        handle;
};

// Composes a picture of the whole editor at the parameter defaults (with a few sample levels in the
// display and one solo switch on) from the images, laid out as the editor places its widgets.
void composeMock(const ImageSet& images, gfx::Font& font, gfx::OwnedImage<RGBA8>& out);

}  // namespace imagegen
