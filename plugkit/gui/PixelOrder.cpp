#include "plugkit/gui/PixelOrder.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(TOLVA_FORCE_SCALAR)
#include <emmintrin.h>
#define PLUGKIT_GUI_PIXELORDER_SSE2 1
#endif

namespace plugkit::gui {

namespace {

// A pixel read as a little-endian 32-bit word holds r in bits 0-7, g 8-15, b 16-23, a 24-31.
template <window::WindowPixelFormat F>
inline std::uint32_t convert(std::uint32_t p) {
    if constexpr (F == window::WindowPixelFormat::bgra)
        return (p & 0x0000ff00u) | ((p & 0xffu) << 16) | ((p >> 16) & 0xffu) | 0xff000000u;
    else if constexpr (F == window::WindowPixelFormat::argb)
        return (p << 8) | 0xffu;
    else
        return p | 0xff000000u;
}

#if PLUGKIT_GUI_PIXELORDER_SSE2
template <window::WindowPixelFormat F>
inline __m128i convert4(__m128i p) {
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xff000000u));
    if constexpr (F == window::WindowPixelFormat::bgra) {
        const __m128i g = _mm_and_si128(p, _mm_set1_epi32(0x0000ff00));
        const __m128i r = _mm_slli_epi32(_mm_and_si128(p, _mm_set1_epi32(0xff)), 16);
        const __m128i b = _mm_and_si128(_mm_srli_epi32(p, 16), _mm_set1_epi32(0xff));
        return _mm_or_si128(_mm_or_si128(g, r), _mm_or_si128(b, alpha));
    } else if constexpr (F == window::WindowPixelFormat::argb) {
        return _mm_or_si128(_mm_slli_epi32(p, 8), _mm_set1_epi32(0xff));
    } else {
        return _mm_or_si128(p, alpha);
    }
}
#endif

template <window::WindowPixelFormat F>
void convertArea(graphics::ImageRef<graphics::RGBA8> image, graphics::Box a) {
    for (int y = a.min.y; y < a.max.y; ++y) {
        unsigned char* row = reinterpret_cast<unsigned char*>(image.row(y) + a.min.x);
        const int n = a.width();
        int x = 0;
#if PLUGKIT_GUI_PIXELORDER_SSE2
        for (; x + 4 <= n; x += 4) {
            __m128i* p = reinterpret_cast<__m128i*>(row + 4 * x);
            _mm_storeu_si128(p, convert4<F>(_mm_loadu_si128(p)));
        }
#endif
        for (; x < n; ++x) {
            std::uint32_t p;
            std::memcpy(&p, row + 4 * x, 4);
            p = convert<F>(p);
            std::memcpy(row + 4 * x, &p, 4);
        }
    }
}

}  // namespace

void reorderPixels(graphics::ImageRef<graphics::RGBA8> image, graphics::Box area,
                   window::WindowPixelFormat format) {
    const graphics::Box a = area.intersection(image.bounds());
    if (a.empty() || !image.pixels) return;
    switch (format) {
        case window::WindowPixelFormat::bgra:
            convertArea<window::WindowPixelFormat::bgra>(image, a);
            break;
        case window::WindowPixelFormat::argb:
            convertArea<window::WindowPixelFormat::argb>(image, a);
            break;
        case window::WindowPixelFormat::rgba:
            convertArea<window::WindowPixelFormat::rgba>(image, a);
            break;
    }
}

}  // namespace plugkit::gui
