#include "plugkit/flatwidgets/FilmstripBlend.h"

#include <cstdint>

namespace plugkit::flatwidgets {

using graphics::Box;
using graphics::RGBA8;

namespace {

// x * 32897 >> 23 is x / 255 rounded down for every x up to 255 * 255 (32897 / 2^23 is 1/255 plus
// a hair, never enough to carry into the next integer).
inline std::uint8_t mix(std::uint32_t s, std::uint32_t d, std::uint32_t a) {
    const std::uint32_t v = ((s * a + d * (255 - a)) * 32897u) >> 23;
    return static_cast<std::uint8_t>(v > 255 ? 255 : v);
}

}  // namespace

void blendOver(graphics::ImageRef<RGBA8> target, graphics::ImageRef<const RGBA8> source,
               const core::Vec<Box>& rects) {
    const Box limit = target.bounds().intersection(source.bounds());
    for (const Box& rect : rects) {
        const Box r = rect.intersection(limit);
        if (r.empty()) continue;
        for (int y = r.min.y; y < r.max.y; ++y) {
            const RGBA8* s = source.row(y);
            RGBA8* d = target.row(y);
            for (int x = r.min.x; x < r.max.x; ++x) {
                const std::uint32_t a = s[x].a;
                if (a == 255) {
                    d[x] = s[x];
                } else if (a != 0) {
                    d[x] = RGBA8{mix(s[x].r, d[x].r, a), mix(s[x].g, d[x].g, a), mix(s[x].b, d[x].b, a),
                                 mix(s[x].a, d[x].a, a)};
                }
            }
        }
    }
}

}  // namespace plugkit::flatwidgets
