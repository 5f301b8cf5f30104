#include "plugkit/flatwidgets/FilmstripBlend.h"

#include <cstdint>

#if defined(__SSE2__) && !defined(TOLVA_FORCE_SCALAR)
#include <emmintrin.h>
#define PLUGKIT_FILMSTRIPBLEND_SSE2 1
#endif

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

#if PLUGKIT_FILMSTRIPBLEND_SSE2
// Two pixels, channels widened to 16 bits. x / 255 rounded down is (x + 1 + (x >> 8)) >> 8 for every
// x below 65535, which s * a + d * (255 - a) never reaches: the same values as mix.
inline __m128i mix2(__m128i s, __m128i d) {
    __m128i a = _mm_shufflelo_epi16(s, _MM_SHUFFLE(3, 3, 3, 3));
    a = _mm_shufflehi_epi16(a, _MM_SHUFFLE(3, 3, 3, 3));
    const __m128i v =
        _mm_add_epi16(_mm_mullo_epi16(s, a), _mm_mullo_epi16(d, _mm_sub_epi16(_mm_set1_epi16(255), a)));
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(v, _mm_set1_epi16(1)), _mm_srli_epi16(v, 8)), 8);
}

// Four pixels at a time; returns how many pixels of the row it did.
int blendRow4(RGBA8* d, const RGBA8* s, int n) {
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xff000000u));
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 4 <= n; x += 4) {
        const __m128i sp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
        const __m128i a = _mm_and_si128(sp, alpha);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, zero)) == 0xffff) continue;  // all transparent
        __m128i* dst = reinterpret_cast<__m128i*>(d + x);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, alpha)) == 0xffff) {
            _mm_storeu_si128(dst, sp);
            continue;
        }
        const __m128i dp = _mm_loadu_si128(dst);
        const __m128i lo = mix2(_mm_unpacklo_epi8(sp, zero), _mm_unpacklo_epi8(dp, zero));
        const __m128i hi = mix2(_mm_unpackhi_epi8(sp, zero), _mm_unpackhi_epi8(dp, zero));
        _mm_storeu_si128(dst, _mm_packus_epi16(lo, hi));
    }
    return x;
}
#endif

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
            int x = r.min.x;
#if PLUGKIT_FILMSTRIPBLEND_SSE2
            x += blendRow4(d + x, s + x, r.width());
#endif
            for (; x < r.max.x; ++x) {
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
