#include "plugkit/gui/BufferBlend.h"

namespace plugkit::gui::detail {

using graphics::Box;
using graphics::ImageRef;
using graphics::L16;
using graphics::L8;
using graphics::RGBA8;

void blendWithOpacity(ImageRef<RGBA8> target, ImageRef<const RGBA8> source, ImageRef<const L8> opacity,
                      const core::Vec<Box>& rects) {
    for (const Box& r : rects) {
        for (int y = r.min.y; y < r.max.y; ++y) {
            RGBA8* t = target.row(y);
            const RGBA8* s = source.row(y);
            const L8* o = opacity.row(y);
            for (int x = r.min.x; x < r.max.x; ++x) {
                const unsigned m = o[x].l;
                if (m == 0) continue;
                for (int c = 0; c < 4; ++c)
                    t[x][c] = static_cast<std::uint8_t>((s[x][c] * m + t[x][c] * (255 - m) + 127) / 255);
            }
        }
    }
}

void blendWithOpacity(ImageRef<L16> target, ImageRef<const L16> source, ImageRef<const L8> opacity,
                      const core::Vec<Box>& rects) {
    for (const Box& r : rects) {
        for (int y = r.min.y; y < r.max.y; ++y) {
            L16* t = target.row(y);
            const L16* s = source.row(y);
            const L8* o = opacity.row(y);
            for (int x = r.min.x; x < r.max.x; ++x) {
                const std::uint64_t m = o[x].l * 257u;
                if (m == 0) continue;
                t[x].l = static_cast<std::uint16_t>((m * s[x].l + (65535 - m) * t[x].l + 32768) >> 16);
            }
        }
    }
}

}  // namespace plugkit::gui::detail
