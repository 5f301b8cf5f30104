// The font check and stb_truetype on arbitrary bytes; a font that loads lays out, measures and
// draws a short label with a few sizes and sub-pixel positions.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/graphics/TextRendering.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace plugkit::graphics;
    Font* font = Font::tryCreate(data, size);
    if (!font) return 0;
    static RGBA8 pixels[64 * 24];
    std::memset(pixels, 0, sizeof pixels);
    const ImageRef<RGBA8> target{64, 24, 64 * 4, pixels};
    const char* text = "Ab -3.5 dB \xE2\x82\xAC\xFF";
    for (float px : {7.0f, 13.0f}) {
        (void)font->getHeightOfx(px);
        (void)font->measureText(text, px, 0.5f);
        fillText(target, *font, text, px, 0, RGBA8{255, 255, 255, 255}, 3.375f, 15.5f,
                 HorizontalAlignment::center, VerticalAlignment::center);
    }
    plugkit::core::destroyFree(font);
    return 0;
}
