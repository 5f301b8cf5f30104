#include "plugkit/gui/BufferBlend.h"

#include <cstring>

#if defined(__SSE2__) && !defined(TOLVA_FORCE_SCALAR)
#include <emmintrin.h>
#define PLUGKIT_GUI_BUFFERBLEND_SSE2 1
#endif

namespace plugkit::gui::detail {

using graphics::Box;
using graphics::ImageRef;
using graphics::L16;
using graphics::L8;
using graphics::RGBA8;

namespace {

#if PLUGKIT_GUI_BUFFERBLEND_SSE2
// Two pixels, channels widened to 16 bits, m repeated on each channel. x / 255 rounded down is
// (x + 1 + (x >> 8)) >> 8 for every x below 65535, which s * m + t * (255 - m) + 127 never reaches.
inline __m128i blend2(__m128i s, __m128i t, __m128i m) {
    __m128i v =
        _mm_add_epi16(_mm_mullo_epi16(s, m), _mm_mullo_epi16(t, _mm_sub_epi16(_mm_set1_epi16(255), m)));
    v = _mm_add_epi16(v, _mm_set1_epi16(127));
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(v, _mm_set1_epi16(1)), _mm_srli_epi16(v, 8)), 8);
}

// Four pixels at a time; returns how many pixels of the row it did.
int blendRow4(RGBA8* t, const RGBA8* s, const L8* o, int n) {
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 4 <= n; x += 4) {
        std::uint32_t m4;
        std::memcpy(&m4, o + x, 4);
        if (m4 == 0) continue;
        __m128i* dst = reinterpret_cast<__m128i*>(t + x);
        const __m128i sp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
        if (m4 == 0xffffffffu) {
            _mm_storeu_si128(dst, sp);
            continue;
        }
        __m128i m = _mm_cvtsi32_si128(static_cast<int>(m4));
        m = _mm_unpacklo_epi8(m, m);
        m = _mm_unpacklo_epi16(m, m);  // each opacity on the four bytes of its pixel
        const __m128i tp = _mm_loadu_si128(dst);
        const __m128i lo =
            blend2(_mm_unpacklo_epi8(sp, zero), _mm_unpacklo_epi8(tp, zero), _mm_unpacklo_epi8(m, zero));
        const __m128i hi =
            blend2(_mm_unpackhi_epi8(sp, zero), _mm_unpackhi_epi8(tp, zero), _mm_unpackhi_epi8(m, zero));
        _mm_storeu_si128(dst, _mm_packus_epi16(lo, hi));
    }
    return x;
}
#endif

}  // namespace

void blendWithOpacity(ImageRef<RGBA8> target, ImageRef<const RGBA8> source, ImageRef<const L8> opacity,
                      const core::Vec<Box>& rects) {
    for (const Box& r : rects) {
        for (int y = r.min.y; y < r.max.y; ++y) {
            RGBA8* t = target.row(y);
            const RGBA8* s = source.row(y);
            const L8* o = opacity.row(y);
            int x = r.min.x;
#if PLUGKIT_GUI_BUFFERBLEND_SSE2
            x += blendRow4(t + x, s + x, o + x, r.width());
#endif
            for (; x < r.max.x; ++x) {
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
