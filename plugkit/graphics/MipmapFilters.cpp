#include "plugkit/graphics/MipmapFilters.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// TOLVA_FORCE_SCALAR builds the scalar filters on x86-64 too, so that CI tests them.
#if defined(__SSE2__) && !defined(TOLVA_FORCE_SCALAR)
#include <emmintrin.h>
#define PLUGKIT_GRAPHICS_SSE2 1
#endif

namespace plugkit::graphics {

namespace {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;

// Destination columns processed per pass of the cubic filters; their per-column vertical sums
// live on the stack.
constexpr int kCubicChunk = 128;

// The part of area that both images allow: inside dst and inside the half-size of src.
Box clipArea(Box area, int srcW, int srcH, int dstW, int dstH) {
    return area.intersection(Box(0, 0, std::min(dstW, srcW / 2), std::min(dstH, srcH / 2)));
}

template <class T>
const u8* rowBytes(const ImageRef<T>& img, int y) {
    return reinterpret_cast<const u8*>(img.row(y));
}
template <class T>
u8* rowBytesMut(const ImageRef<T>& img, int y) {
    return reinterpret_cast<u8*>(img.row(y));
}

// ---- box ----------------------------------------------------------------------------------------

void boxRowRGBA(const u8* s0, const u8* s1, u8* d, int x, int x1) {
#if PLUGKIT_GRAPHICS_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i two = _mm_set1_epi16(2);
    // Four destination pixels from eight source pixels of each row.
    for (; x + 4 <= x1; x += 4) {
        __m128i half[2];
        for (int k = 0; k < 2; ++k) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s0 + 8 * x + 16 * k));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s1 + 8 * x + 16 * k));
            const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
            const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
            const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(lo, hi), _mm_unpackhi_epi64(lo, hi));
            half[k] = _mm_srli_epi16(_mm_add_epi16(sum, two), 2);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x), _mm_packus_epi16(half[0], half[1]));
    }
#endif
    for (; x < x1; ++x)
        for (int c = 0; c < 4; ++c)
            d[4 * x + c] = static_cast<u8>(
                (s0[8 * x + c] + s0[8 * x + 4 + c] + s1[8 * x + c] + s1[8 * x + 4 + c] + 2) >> 2);
}

void boxRowL16(const u16* s0, const u16* s1, u16* d, int x, int x1) {
#if PLUGKIT_GRAPHICS_SSE2
    const __m128i low16 = _mm_set1_epi32(0xFFFF);
    const __m128i two = _mm_set1_epi32(2);
    const __m128i bias32 = _mm_set1_epi32(32768);
    const __m128i bias16 = _mm_set1_epi16(static_cast<short>(0x8000));
    // Eight destination pixels; each 32-bit lane holds a horizontal pair of source pixels.
    for (; x + 8 <= x1; x += 8) {
        __m128i half[2];
        for (int k = 0; k < 2; ++k) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s0 + 2 * x + 8 * k));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s1 + 2 * x + 8 * k));
            __m128i sum = _mm_add_epi32(_mm_and_si128(a, low16), _mm_srli_epi32(a, 16));
            sum = _mm_add_epi32(sum, _mm_add_epi32(_mm_and_si128(b, low16), _mm_srli_epi32(b, 16)));
            half[k] = _mm_sub_epi32(_mm_srli_epi32(_mm_add_epi32(sum, two), 2), bias32);
        }
        // Values are 0..65535: shift them into the signed range to pack, then shift back.
        const __m128i packed = _mm_xor_si128(_mm_packs_epi32(half[0], half[1]), bias16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), packed);
    }
#endif
    for (; x < x1; ++x)
        d[x] = static_cast<u16>((u32(s0[2 * x]) + s0[2 * x + 1] + s1[2 * x] + s1[2 * x + 1] + 2) >> 2);
}

// ---- cubic --------------------------------------------------------------------------------------

// Vertical (1, 3, 3, 1) sums of n source columns starting at col, 4 channels each, into v.
void cubicColumnsRGBA(const u8* ra, const u8* rb, const u8* rc, const u8* rd, int col, int n, u16* v) {
    int j = 0;
#if PLUGKIT_GRAPHICS_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; j + 4 <= n; j += 4) {
        const int off = 4 * (col + j);
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ra + off));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rb + off));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rc + off));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rd + off));
        for (int half = 0; half < 2; ++half) {
            auto widen = [&](__m128i x) {
                return half ? _mm_unpackhi_epi8(x, zero) : _mm_unpacklo_epi8(x, zero);
            };
            const __m128i bc = _mm_add_epi16(widen(b), widen(c));
            const __m128i sum =
                _mm_add_epi16(_mm_add_epi16(widen(a), widen(d)), _mm_add_epi16(bc, _mm_add_epi16(bc, bc)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(v + 4 * j + 8 * half), sum);
        }
    }
#endif
    for (; j < n; ++j)
        for (int ch = 0; ch < 4; ++ch) {
            const int off = 4 * (col + j) + ch;
            v[4 * j + ch] = static_cast<u16>(ra[off] + rd[off] + 3 * (rb[off] + rc[off]));
        }
}

// Horizontal (1, 3, 3, 1) over the vertical sums: destination i uses columns 2i .. 2i+3 of v.
void cubicHorizontalRGBA(const u16* v, u8* d, int n) {
    int i = 0;
#if PLUGKIT_GRAPHICS_SSE2
    const __m128i round = _mm_set1_epi16(32);
    for (; i + 2 <= n; i += 2) {
        const __m128i l0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + 8 * i));
        const __m128i l1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + 8 * i + 8));
        const __m128i l2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + 8 * i + 16));
        const __m128i outer = _mm_add_epi16(_mm_unpacklo_epi64(l0, l1), _mm_unpackhi_epi64(l1, l2));
        const __m128i inner = _mm_add_epi16(_mm_unpackhi_epi64(l0, l1), _mm_unpacklo_epi64(l1, l2));
        __m128i sum = _mm_add_epi16(outer, _mm_add_epi16(inner, _mm_add_epi16(inner, inner)));
        sum = _mm_srli_epi16(_mm_add_epi16(sum, round), 6);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 4 * i), _mm_packus_epi16(sum, sum));
    }
#endif
    for (; i < n; ++i)
        for (int ch = 0; ch < 4; ++ch) {
            const u16* p = v + 8 * i + ch;
            const int sum = p[0] + 3 * (p[4] + p[8]) + p[12];
            d[4 * i + ch] = static_cast<u8>(std::min((sum + 32) >> 6, 255));
        }
}

void cubicColumnsL16(const u16* ra, const u16* rb, const u16* rc, const u16* rd, int col, int n, u32* v) {
    int j = 0;
#if PLUGKIT_GRAPHICS_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; j + 8 <= n; j += 8) {
        const int off = col + j;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ra + off));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rb + off));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rc + off));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rd + off));
        for (int half = 0; half < 2; ++half) {
            auto widen = [&](__m128i x) {
                return half ? _mm_unpackhi_epi16(x, zero) : _mm_unpacklo_epi16(x, zero);
            };
            const __m128i bc = _mm_add_epi32(widen(b), widen(c));
            const __m128i sum =
                _mm_add_epi32(_mm_add_epi32(widen(a), widen(d)), _mm_add_epi32(bc, _mm_add_epi32(bc, bc)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(v + j + 4 * half), sum);
        }
    }
#endif
    for (; j < n; ++j) {
        const int off = col + j;
        v[j] = u32(ra[off]) + rd[off] + 3 * (u32(rb[off]) + rc[off]);
    }
}

void cubicHorizontalL16(const u32* v, u16* d, int n) {
    int i = 0;
#if PLUGKIT_GRAPHICS_SSE2
    const __m128i round = _mm_set1_epi32(32);
    const __m128i bias32 = _mm_set1_epi32(32768);
    const __m128i bias16 = _mm_set1_epi16(static_cast<short>(0x8000));
    auto load = [v](int j) {
        return _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v + j)));
    };
    for (; i + 4 <= n; i += 4) {
        const __m128 p0 = load(2 * i), p1 = load(2 * i + 4);      // v[2i .. 2i+7]
        const __m128 q0 = load(2 * i + 2), q1 = load(2 * i + 6);  // v[2i+2 .. 2i+9]
        const __m128i a = _mm_castps_si128(_mm_shuffle_ps(p0, p1, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128i b = _mm_castps_si128(_mm_shuffle_ps(p0, p1, _MM_SHUFFLE(3, 1, 3, 1)));
        const __m128i c = _mm_castps_si128(_mm_shuffle_ps(q0, q1, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128i dd = _mm_castps_si128(_mm_shuffle_ps(q0, q1, _MM_SHUFFLE(3, 1, 3, 1)));
        const __m128i bc = _mm_add_epi32(b, c);
        __m128i sum = _mm_add_epi32(_mm_add_epi32(a, dd), _mm_add_epi32(bc, _mm_add_epi32(bc, bc)));
        sum = _mm_sub_epi32(_mm_srli_epi32(_mm_add_epi32(sum, round), 6), bias32);
        const __m128i packed = _mm_xor_si128(_mm_packs_epi32(sum, sum), bias16);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i), packed);
    }
#endif
    for (; i < n; ++i) {
        const u32* p = v + 2 * i;
        d[i] = static_cast<u16>((p[0] + 3 * (p[1] + p[2]) + p[3] + 32) >> 6);
    }
}

// Shared driver of the two cubic filters: V is the vertical-sum type, C the number of them a pixel.
template <class T, class V, int C, class Columns, class Horizontal>
void cubicFilter(Box area, const ImageRef<T>& src, const ImageRef<T>& dst, Columns columns,
                 Horizontal horizontal) {
    using S = typename T::Component;
    area = clipArea(area, src.w, src.h, dst.w, dst.h);
    if (area.empty()) return;
    // Room for 2 * kCubicChunk + 2 columns, plus one vector of slack for the wide loads.
    V v[(2 * kCubicChunk + 2) * C + 16] = {};
    for (int y = area.min.y; y < area.max.y; ++y) {
        const S* ra = reinterpret_cast<const S*>(src.row(std::max(2 * y - 1, 0)));
        const S* rb = reinterpret_cast<const S*>(src.row(2 * y));
        const S* rc = reinterpret_cast<const S*>(src.row(2 * y + 1));
        const S* rd = reinterpret_cast<const S*>(src.row(std::min(2 * y + 2, src.h - 1)));
        S* out = reinterpret_cast<S*>(dst.row(y));
        for (int cx = area.min.x; cx < area.max.x; cx += kCubicChunk) {
            const int n = std::min(kCubicChunk, area.max.x - cx);
            // Slot j of v holds source column firstCol + j, clamped into the source.
            const int firstCol = 2 * cx - 1;
            const int jStart = firstCol < 0 ? 1 : 0;
            const int jEnd = std::min(2 * n + 2, src.w - firstCol);
            columns(ra, rb, rc, rd, firstCol + jStart, jEnd - jStart, v + C * jStart);
            if (jStart == 1) std::memcpy(v, v + C, C * sizeof(V));
            for (int j = jEnd; j < 2 * n + 2; ++j) std::memcpy(v + C * j, v + C * (jEnd - 1), C * sizeof(V));
            horizontal(v, out + C * cx, n);
        }
    }
}

// ---- alpha coverage -----------------------------------------------------------------------------

#if PLUGKIT_GRAPHICS_SSE2
// Per channel sum of c_i * a_i over the 2 x 2 block (alpha channel: a_i * a_i), and the alpha sum
// broadcast to every lane.
inline __m128i alphaWeightedSums(const u8* top, const u8* bottom, __m128i& alphaSum) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i t = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(top));
    const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom));
    const __m128i mixed = _mm_unpacklo_epi8(t, b);        // (left-top, left-bottom) per channel, then right
    const __m128i left = _mm_unpacklo_epi8(mixed, zero);  // r r g g b b a a of the left column
    const __m128i right = _mm_unpackhi_epi8(mixed, zero);
    const __m128i sums = _mm_add_epi32(_mm_madd_epi16(left, _mm_shuffle_epi32(left, 0xFF)),
                                       _mm_madd_epi16(right, _mm_shuffle_epi32(right, 0xFF)));
    const __m128i channelSums = _mm_madd_epi16(_mm_add_epi16(left, right), _mm_set1_epi16(1));
    alphaSum = _mm_shuffle_epi32(channelSums, 0xFF);
    return sums;
}

inline void storePixel(u8* d, __m128i v32) {
    const __m128i p = _mm_packus_epi16(_mm_packs_epi32(v32, v32), _mm_setzero_si128());
    const int value = _mm_cvtsi128_si32(p);
    std::memcpy(d, &value, 4);
}
#endif

}  // namespace

void generateLevelBoxRGBA(Box area, const ImageRef<RGBA8>& src, const ImageRef<RGBA8>& dst) {
    area = clipArea(area, src.w, src.h, dst.w, dst.h);
    if (area.empty()) return;
    for (int y = area.min.y; y < area.max.y; ++y)
        boxRowRGBA(rowBytes(src, 2 * y), rowBytes(src, 2 * y + 1), rowBytesMut(dst, y), area.min.x,
                   area.max.x);
}

void generateLevelBoxL16(Box area, const ImageRef<L16>& src, const ImageRef<L16>& dst) {
    area = clipArea(area, src.w, src.h, dst.w, dst.h);
    if (area.empty()) return;
    for (int y = area.min.y; y < area.max.y; ++y)
        boxRowL16(reinterpret_cast<const u16*>(src.row(2 * y)),
                  reinterpret_cast<const u16*>(src.row(2 * y + 1)), reinterpret_cast<u16*>(dst.row(y)),
                  area.min.x, area.max.x);
}

void generateLevelCubicRGBA(Box area, const ImageRef<RGBA8>& src, const ImageRef<RGBA8>& dst) {
    cubicFilter<RGBA8, u16, 4>(area, src, dst, cubicColumnsRGBA, cubicHorizontalRGBA);
}

void generateLevelCubicL16(Box area, const ImageRef<L16>& src, const ImageRef<L16>& dst) {
    cubicFilter<L16, u32, 1>(area, src, dst, cubicColumnsL16, cubicHorizontalL16);
}

void generateLevelBoxAlphaCovRGBA(Box area, const ImageRef<RGBA8>& src, const ImageRef<RGBA8>& dst) {
    area = clipArea(area, src.w, src.h, dst.w, dst.h);
    if (area.empty()) return;
    for (int y = area.min.y; y < area.max.y; ++y) {
        const u8* s0 = rowBytes(src, 2 * y);
        const u8* s1 = rowBytes(src, 2 * y + 1);
        u8* d = rowBytesMut(dst, y);
        for (int x = area.min.x; x < area.max.x; ++x) {
#if PLUGKIT_GRAPHICS_SSE2
            __m128i alphaSum;
            const __m128i sums = alphaWeightedSums(s0 + 8 * x, s1 + 8 * x, alphaSum);
            const int sumA = _mm_cvtsi128_si32(alphaSum);
            if (sumA == 0) {
                std::memset(d + 4 * x, 0, 4);
                continue;
            }
            const __m128 colour =
                _mm_add_ps(_mm_div_ps(_mm_cvtepi32_ps(sums), _mm_cvtepi32_ps(alphaSum)), _mm_set1_ps(0.5f));
            __m128i result = _mm_cvttps_epi32(colour);
            // Replace lane 3 by the averaged alpha.
            const __m128i alpha = _mm_cvtsi32_si128((sumA + 2) >> 2);
            const __m128i keep = _mm_set_epi32(0, -1, -1, -1);
            result =
                _mm_or_si128(_mm_and_si128(result, keep), _mm_shuffle_epi32(alpha, _MM_SHUFFLE(0, 1, 1, 1)));
            storePixel(d + 4 * x, result);
#else
            const u8* p[4] = {s0 + 8 * x, s0 + 8 * x + 4, s1 + 8 * x, s1 + 8 * x + 4};
            const int sumA = p[0][3] + p[1][3] + p[2][3] + p[3][3];
            if (sumA == 0) {
                std::memset(d + 4 * x, 0, 4);
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                int s = 0;
                for (int i = 0; i < 4; ++i) s += p[i][c] * p[i][3];
                const int v = static_cast<int>(static_cast<float>(s) / static_cast<float>(sumA) + 0.5f);
                d[4 * x + c] = static_cast<u8>(std::clamp(v, 0, 255));
            }
            d[4 * x + 3] = static_cast<u8>((sumA + 2) >> 2);
#endif
        }
    }
}

void generateLevelBoxAlphaCovIntoPremulRGBA(Box area, const ImageRef<RGBA8>& src,
                                            const ImageRef<RGBA8>& dst) {
    area = clipArea(area, src.w, src.h, dst.w, dst.h);
    if (area.empty()) return;
    for (int y = area.min.y; y < area.max.y; ++y) {
        const u8* s0 = rowBytes(src, 2 * y);
        const u8* s1 = rowBytes(src, 2 * y + 1);
        u8* d = rowBytesMut(dst, y);
        for (int x = area.min.x; x < area.max.x; ++x) {
#if PLUGKIT_GRAPHICS_SSE2
            __m128i alphaSum;
            const __m128i sums = alphaWeightedSums(s0 + 8 * x, s1 + 8 * x, alphaSum);
            storePixel(d + 4 * x, _mm_srli_epi32(_mm_add_epi32(sums, _mm_set1_epi32(512)), 10));
#else
            const u8* p[4] = {s0 + 8 * x, s0 + 8 * x + 4, s1 + 8 * x, s1 + 8 * x + 4};
            for (int c = 0; c < 4; ++c) {
                int s = 0;
                for (int i = 0; i < 4; ++i) s += p[i][c] * p[i][3];
                d[4 * x + c] = static_cast<u8>(std::min((s + 512) >> 10, 255));
            }
#endif
        }
    }
}

}  // namespace plugkit::graphics
