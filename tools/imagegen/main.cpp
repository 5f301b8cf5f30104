// tolva_imagegen: draws the editor's nine images and writes them as PNG files, so that the
// committed pictures can be regenerated from source.
//   tolva_imagegen OUTDIR [--mock MOCK.png]
// --mock also writes a picture of the whole editor composed from the new images.

#include <cstdio>
#include <cstring>
#include <string>

#include "tolva_resources.h"
#include "tools/imagegen/Images.h"
#include "tools/imagegen/Mock.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO_FALLBACK
#include <stb_image_write.h>

namespace {

namespace gfx = plugkit::graphics;

bool writePng(const std::string& path, const gfx::OwnedImage<gfx::RGBA8>& image) {
    // Level 9 keeps the embedded files small; the output depends only on the pixels.
    stbi_write_png_compression_level = 9;
    const int ok =
        stbi_write_png(path.c_str(), image.width(), image.height(), 4, image.pixels(), image.pitch());
    if (!ok) std::fprintf(stderr, "tolva_imagegen: cannot write %s\n", path.c_str());
    return ok != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--mock") == 0)) {
        std::fprintf(stderr, "usage: tolva_imagegen OUTDIR [--mock MOCK.png]\n");
        return 2;
    }
    const std::string dir = argv[1];
    gfx::Font font(tolva::resources::VeraBd_ttf.data, tolva::resources::VeraBd_ttf.size);

    imagegen::ImageSet set;
    imagegen::drawBackground(set.background, font);
    imagegen::drawBandKnob(set.bandKnob);
    imagegen::drawOutputKnob(set.outputKnob);
    imagegen::drawThresholdSlider(set.slider);
    imagegen::drawLogo(set.logo, font);
    imagegen::drawSwitch(set.switchOn, true);
    imagegen::drawSwitch(set.switchOff, false);
    imagegen::drawDisplayOverlay(set.overlay, font);
    imagegen::drawHandle(set.handle);

    const struct {
        const char* name;
        const gfx::OwnedImage<gfx::RGBA8>& image;
    } files[] = {{"background.png", set.background},
                 {"knob_band.png", set.bandKnob},
                 {"knob_output.png", set.outputKnob},
                 {"slider_threshold.png", set.slider},
                 {"logo.png", set.logo},
                 {"switch_on.png", set.switchOn},
                 {"switch_off.png", set.switchOff},
                 {"display_overlay.png", set.overlay},
                 {"handle.png", set.handle}};
    for (const auto& f : files)
        if (!writePng(dir + "/" + f.name, f.image)) return 1;

    if (argc == 4) {
        gfx::OwnedImage<gfx::RGBA8> mock;
        imagegen::composeMock(set, font, mock);
        if (!writePng(argv[3], mock)) return 1;
    }
    return 0;
}
