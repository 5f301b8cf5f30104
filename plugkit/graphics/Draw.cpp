#include "plugkit/graphics/Draw.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

#if defined(__SSE2__) && !defined(TOLVA_FORCE_SCALAR)
#include <emmintrin.h>
#define PLUGKIT_DRAW_SSE2 1
#endif

namespace plugkit::graphics {

namespace {

template <class T>
constexpr int kMaxWeight = 255;
template <>
constexpr int kMaxWeight<L16> = 65535;

bool anyNaN(std::initializer_list<float> values) {
    for (float v : values)
        if (std::isnan(v)) return true;
    return false;
}

// Floor of v as an int, v first clamped into [lo, hi] so the conversion is always defined.
int floorClamped(float v, int lo, int hi) {
    const float c = std::clamp(v, static_cast<float>(lo), static_cast<float>(hi));
    return static_cast<int>(std::floor(c));
}
int ceilClamped(float v, int lo, int hi) {
    const float c = std::clamp(v, static_cast<float>(lo), static_cast<float>(hi));
    return static_cast<int>(std::ceil(c));
}

// Blends color into n pixels with one weight (0 < weight < max).
template <class T>
void blendSpan(T* d, int n, T color, int weight) {
    for (int i = 0; i < n; ++i) blendPixel(d[i], color, weight);
}

#if PLUGKIT_DRAW_SSE2
template <>
void blendSpan<RGBA8>(RGBA8* d, int n, RGBA8 color, int weight) {
    // Four pixels a step in 16-bit lanes: C * a + D * (255 - a) stays below 65536, and
    // (x * 32897) >> 23 is the high half of x * 32897 shifted right by 7.
    const __m128i zero = _mm_setzero_si128();
    std::uint32_t bits;
    std::memcpy(&bits, &color, 4);
    const __m128i c16 = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(bits)), zero);
    const __m128i ca = _mm_mullo_epi16(c16, _mm_set1_epi16(static_cast<short>(weight)));
    const __m128i inv = _mm_set1_epi16(static_cast<short>(255 - weight));
    const __m128i recip = _mm_set1_epi16(static_cast<short>(32897));
    auto blend8 = [&](__m128i dst16) {
        const __m128i x = _mm_add_epi16(ca, _mm_mullo_epi16(dst16, inv));
        return _mm_srli_epi16(_mm_mulhi_epu16(x, recip), 7);
    };
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i* p = reinterpret_cast<__m128i*>(d + i);
        const __m128i v = _mm_loadu_si128(p);
        _mm_storeu_si128(
            p, _mm_packus_epi16(blend8(_mm_unpacklo_epi8(v, zero)), blend8(_mm_unpackhi_epi8(v, zero))));
    }
    for (; i < n; ++i) blendPixel(d[i], color, weight);
}
#endif

// Writes color into the pixels of area (already inside the target) with the given weight.
template <class T>
void paintArea(const ImageRef<T>& target, const Box& area, T color, int weight) {
    if (area.empty() || weight <= 0) return;
    const int n = area.width();
    for (int y = area.min.y; y < area.max.y; ++y) {
        T* d = target.row(y) + area.min.x;
        if (weight >= kMaxWeight<T>)
            std::fill_n(d, n, color);
        else
            blendSpan(d, n, color, weight);
    }
}

// One axis of a fractional rectangle: up to three spans (first edge, inside, last edge) of pixel
// indices [begin, end) with their coverage.
struct Span {
    int begin, end;
    float coverage;
};
int axisSpans(float lo, float hi, int limit, Span out[3]) {
    // Beyond one pixel outside the target every position behaves alike; clamping keeps the
    // integer conversions defined without changing any pixel inside.
    lo = std::clamp(lo, -2.0f, static_cast<float>(limit) + 2.0f);
    hi = std::clamp(hi, -2.0f, static_cast<float>(limit) + 2.0f);
    const int l = static_cast<int>(std::floor(lo)), r = static_cast<int>(std::floor(hi));
    if (l == r) {  // both edges in one pixel: it is covered by the width alone
        out[0] = {l, l + 1, hi - lo};
        return 1;
    }
    out[0] = {l, l + 1, static_cast<float>(l) - lo + 1.0f};
    out[1] = {l + 1, r, 1.0f};
    out[2] = {r, r + 1, hi - static_cast<float>(r)};
    return 3;
}

float curve(float t, float curvature) { return curvature == 1.0f ? t : std::pow(t, curvature); }

// Weight of a gradient position: int(t^curvature * 65535 + 0.5), kept in 0..65535.
std::uint32_t slopeWeight(long long pos, long long length, float curvature) {
    const float t = curve(static_cast<float>(pos) / static_cast<float>(length), curvature);
    if (!(t > 0.0f)) return 0;
    if (t >= 1.0f) return 65535;
    return static_cast<std::uint32_t>(t * 65535.0f + 0.5f);
}

template <class T>
T slopeColor(T c0, T c1, std::uint32_t h) {
    T out = c0;
    for (int c = 0; c < T::numComponents; ++c) {
        const std::uint64_t v = (std::uint64_t(c1[c]) * h + std::uint64_t(c0[c]) * (65535 - h)) / 65535;
        out[c] = static_cast<typename T::Component>(v);
    }
    return out;
}

}  // namespace

template <class T>
int coverageToWeight(float coverage) {
    if (!(coverage > 0.0f)) return 0;
    if (coverage >= 1.0f) return kMaxWeight<T>;
    return std::min(static_cast<int>(coverage * static_cast<float>(kMaxWeight<T>) + 0.5f), kMaxWeight<T>);
}

template <class T>
void blendPixel(T& d, T color, int weight) {
    if (weight <= 0) return;
    if (weight >= kMaxWeight<T>) {
        d = color;
        return;
    }
    const std::uint32_t a = static_cast<std::uint32_t>(weight);
    for (int c = 0; c < T::numComponents; ++c) {
        if constexpr (std::is_same_v<T, L16>) {
            d[c] = static_cast<std::uint16_t>((color[c] * a + d[c] * (65535u - a)) / 65535u);
        } else {
            const std::uint32_t v = ((color[c] * a + d[c] * (255u - a)) * 32897u) >> 23;
            d[c] = static_cast<typename T::Component>(std::min(v, 255u));
        }
    }
}

template <bool clipped, class T>
void aaFillRectFloat(const ImageRef<T>& target, float x1, float y1, float x2, float y2, T color,
                     float globalAlpha) {
    if (!(globalAlpha > 0.0f) || target.empty() || anyNaN({x1, y1, x2, y2})) return;
    Span cols[3], rows[3];
    const int nc = axisSpans(std::min(x1, x2), std::max(x1, x2), target.w, cols);
    const int nr = axisSpans(std::min(y1, y2), std::max(y1, y2), target.h, rows);
    const Box bounds = target.bounds();
    for (int r = 0; r < nr; ++r)
        for (int c = 0; c < nc; ++c) {
            const Box area = Box(cols[c].begin, rows[r].begin, cols[c].end, rows[r].end).intersection(bounds);
            paintArea(target, area, color,
                      coverageToWeight<T>(cols[c].coverage * rows[r].coverage * globalAlpha));
        }
}

template <bool clipped, class T>
void fillRectFloat(const ImageRef<T>& target, int x1, int y1, int x2, int y2, T color, float globalAlpha) {
    if (!(globalAlpha > 0.0f) || target.empty()) return;
    const Box area = Box(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2))
                         .intersection(target.bounds());
    paintArea(target, area, color, globalAlpha == 1.0f ? kMaxWeight<T> : coverageToWeight<T>(globalAlpha));
}

template <class T>
void verticalSlope(const ImageRef<T>& target, Box rect, T color0, T color1, float curvature) {
    if (target.empty() || rect.empty()) return;
    const Box area = rect.intersection(target.bounds());
    if (area.empty()) return;
    const long long length = static_cast<long long>(rect.max.y) - rect.min.y;
    for (int y = area.min.y; y < area.max.y; ++y) {
        const T value = slopeColor(color0, color1,
                                   slopeWeight(static_cast<long long>(y) - rect.min.y, length, curvature));
        std::fill(target.row(y) + area.min.x, target.row(y) + area.max.x, value);
    }
}

template <class T>
void horizontalSlope(const ImageRef<T>& target, Box rect, T color0, T color1, float curvature) {
    if (target.empty() || rect.empty()) return;
    const Box area = rect.intersection(target.bounds());
    if (area.empty()) return;
    const long long length = static_cast<long long>(rect.max.x) - rect.min.x;
    T* first = target.row(area.min.y);
    for (int x = area.min.x; x < area.max.x; ++x)
        first[x] = slopeColor(color0, color1,
                              slopeWeight(static_cast<long long>(x) - rect.min.x, length, curvature));
    for (int y = area.min.y + 1; y < area.max.y; ++y)
        std::copy(first + area.min.x, first + area.max.x, target.row(y) + area.min.x);
}

template <class T>
void aaSoftDisc(const ImageRef<T>& target, float x, float y, float rInner, float rOuter, T color,
                float globalAlpha, float curvature) {
    if (!(globalAlpha > 0.0f) || target.empty() || anyNaN({x, y, rInner, rOuter, curvature})) return;
    const int i0 = ceilClamped(x - rOuter - 1.0f, 0, target.w),
              i1 = floorClamped(x + rOuter + 1.0f, -1, target.w - 1);
    const int j0 = ceilClamped(y - rOuter - 1.0f, 0, target.h),
              j1 = floorClamped(y + rOuter + 1.0f, -1, target.h - 1);
    const float ri2 = rInner * rInner, ro2 = rOuter * rOuter;
    const int fullWeight = coverageToWeight<T>(globalAlpha);
    for (int j = j0; j <= j1; ++j) {
        T* row = target.row(j);
        const float dy = y - static_cast<float>(j);
        for (int i = i0; i <= i1; ++i) {
            const float dx = x - static_cast<float>(i);
            const float d2 = dx * dx + dy * dy;
            if (d2 < ri2) {
                blendPixel(row[i], color, fullWeight);
            } else if (d2 < ro2) {
                const float t = (d2 - ri2) / (ro2 - ri2);
                blendPixel(row[i], color, coverageToWeight<T>((1.0f - curve(t, curvature)) * globalAlpha));
            }
        }
    }
}

template <class T>
void aaFillSector(const ImageRef<T>& target, float x, float y, float rMin, float rMax, float angleStart,
                  float angleStop, T color) {
    constexpr float kPi = std::numbers::pi_v<float>;
    constexpr float kTwoPi = 2.0f * kPi;
    if (target.empty() || anyNaN({x, y, rMin, rMax, angleStart, angleStop})) return;
    if (angleStart == angleStop) return;
    if (angleStart > angleStop) angleStop += kTwoPi;
    if (angleStart < -kPi || angleStop < -kPi) {
        angleStart += kTwoPi;
        angleStop += kTwoPi;
    }
    const int i0 = floorClamped(x - rMax - 1.0f, 0, target.w),
              i1 = ceilClamped(x + rMax + 1.0f, -1, target.w - 1);
    const int j0 = floorClamped(y - rMax - 1.0f, 0, target.h),
              j1 = ceilClamped(y + rMax + 1.0f, -1, target.h - 1);
    const float inner = std::max(0.0f, rMin - 1.0f), outer = rMax + 1.0f;
    for (int j = j0; j <= j1; ++j) {
        T* row = target.row(j);
        const float dy = static_cast<float>(j) - y;
        for (int i = i0; i <= i1; ++i) {
            const float dx = static_cast<float>(i) - x;
            const float d2 = dx * dx + dy * dy;
            if (!(inner * inner <= d2 && d2 <= outer * outer)) continue;
            const float r = std::sqrt(d2);
            if (!(rMin <= r && r < rMax)) continue;
            float a = std::atan2(dy, dx);
            if (!(a >= angleStart && a <= angleStop)) {
                a += kTwoPi;
                if (!(a >= angleStart && a <= angleStop)) continue;
            }
            float coverage = r + 1.0f > rMax ? rMax - r : (r < rMin + 1.0f ? r - rMin : 1.0f);
            const float s = 1.0f / r;
            if (a < angleStart + s)
                coverage *= (a - angleStart) / s;
            else if (a + s > angleStop)
                coverage *= (angleStop - a) / s;
            blendPixel(row[i], color, coverageToWeight<T>(coverage));
        }
    }
}

#define PLUGKIT_DRAW_INSTANCES(T)                                                                      \
    template int coverageToWeight<T>(float);                                                           \
    template void blendPixel<T>(T&, T, int);                                                           \
    template void aaFillRectFloat<true, T>(const ImageRef<T>&, float, float, float, float, T, float);  \
    template void aaFillRectFloat<false, T>(const ImageRef<T>&, float, float, float, float, T, float); \
    template void fillRectFloat<true, T>(const ImageRef<T>&, int, int, int, int, T, float);            \
    template void fillRectFloat<false, T>(const ImageRef<T>&, int, int, int, int, T, float);           \
    template void verticalSlope<T>(const ImageRef<T>&, Box, T, T, float);                              \
    template void horizontalSlope<T>(const ImageRef<T>&, Box, T, T, float);                            \
    template void aaSoftDisc<T>(const ImageRef<T>&, float, float, float, float, T, float, float);      \
    template void aaFillSector<T>(const ImageRef<T>&, float, float, float, float, float, float, T);

PLUGKIT_DRAW_INSTANCES(RGBA8)
PLUGKIT_DRAW_INSTANCES(L16)

#undef PLUGKIT_DRAW_INSTANCES

}  // namespace plugkit::graphics
