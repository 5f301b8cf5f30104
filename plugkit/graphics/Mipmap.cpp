#include "plugkit/graphics/Mipmap.h"

#include <algorithm>
#include <cmath>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/graphics/MipmapFilters.h"

namespace plugkit::graphics {

template <class T>
Mipmap<T>::~Mipmap() {
    for (OwnedImage<T>* level : levels_) core::destroyFree(level);
}

template <class T>
void Mipmap<T>::size(int maxLevel, int width, int height) {
    int count = 0;
    if (maxLevel >= 0 && width > 0 && height > 0) {
        for (int w = width, h = height; w != 0 && h != 0 && count <= maxLevel; w >>= 1, h >>= 1) ++count;
    }
    // A smaller window needs fewer levels: the surplus ones go, so that no stale level is sampled.
    while (numLevels() > count) {
        core::destroyFree(levels_[levels_.size() - 1]);
        levels_.resize(levels_.size() - 1);
    }
    while (numLevels() < count) levels_.pushBack(core::mallocNew<OwnedImage<T>>());
    for (int k = 0; k < count; ++k) levels_[static_cast<std::size_t>(k)]->size(width >> k, height >> k, 0, 0);
}

template <class T>
Box Mipmap<T>::impactOnNextLevel(Quality quality, Box area, int currentLevelWidth, int currentLevelHeight) {
    // 64-bit intermediates: an area at the ends of the int range must not overflow.
    auto half = [](long long v) { return static_cast<int>(v / 2); };
    Box scaled;
    if (quality == Quality::cubic)
        scaled = Box(half(area.min.x - 1LL), half(area.min.y - 1LL), half(area.max.x + 2LL),
                     half(area.max.y + 2LL));
    else
        scaled = Box(half(area.min.x), half(area.min.y), half(area.max.x + 1LL), half(area.max.y + 1LL));
    const Box next(0, 0, currentLevelWidth / 2, currentLevelHeight / 2);
    if (scaled.empty()) return scaled;
    if (next.empty()) return next;
    return scaled.intersection(next);
}

template <class T>
Box Mipmap<T>::generateNextLevel(Quality quality, Box updatedRect, int level) {
    if (level < 1 || level >= numLevels()) return Box();
    const OwnedImage<T>& above = this->level(level - 1);
    const Box area = impactOnNextLevel(quality, updatedRect, above.width(), above.height());
    const ImageRef<T> src = above.toRef();
    const ImageRef<T> dst = this->level(level).toRef();
    if constexpr (std::is_same_v<T, RGBA8>) {
        switch (quality) {
            case Quality::cubic:
                generateLevelCubicRGBA(area, src, dst);
                break;
            case Quality::boxAlphaCov:
                generateLevelBoxAlphaCovRGBA(area, src, dst);
                break;
            case Quality::boxAlphaCovIntoPremul:
                generateLevelBoxAlphaCovIntoPremulRGBA(area, src, dst);
                break;
            default:
                generateLevelBoxRGBA(area, src, dst);
                break;
        }
    } else {
        if (quality == Quality::cubic)
            generateLevelCubicL16(area, src, dst);
        else
            generateLevelBoxL16(area, src, dst);
    }
    return area;
}

namespace {

// Clamps v into [lo, hi]; NaN gives lo. hi below lo (a one-pixel level) gives hi, as the plain
// two-sided clamp would.
float clampCoord(float v, float lo, float hi) {
    if (!(v >= lo)) v = lo;
    return v > hi ? hi : v;
}

template <class T>
Vector4f toVector(const T& p) {
    Vector4f r;
    for (int c = 0; c < T::numComponents; ++c) r[c] = static_cast<float>(p[c]);
    return r;
}

}  // namespace

template <class T>
Vector4f Mipmap<T>::linearSample(int level, float x, float y) const {
    if (numLevels() == 0) return Vector4f();
    level = std::clamp(level, 0, numLevels() - 1);
    const OwnedImage<T>& img = this->level(level);
    const int w = img.width(), h = img.height();
    if (w <= 0 || h <= 0) return Vector4f();
    // 2^-level; computed rather than tabulated so that any level count is covered.
    const float factor = std::ldexp(1.0f, -level);
    const float fxp = clampCoord(x * factor - 0.5f, 0.0f, static_cast<float>(w) - 1.001f);
    const float fyp = clampCoord(y * factor - 0.5f, 0.0f, static_cast<float>(h) - 1.001f);
    // A one-pixel side clamps to -0.001: truncation still gives index 0.
    const int ix = static_cast<int>(fxp), iy = static_cast<int>(fyp);
    const float fx = fxp - static_cast<float>(ix), fy = fyp - static_cast<float>(iy);
    const int ix1 = std::min(ix + 1, w - 1), iy1 = std::min(iy + 1, h - 1);
    const Vector4f s00 = toVector(img.pixel(ix, iy)), s10 = toVector(img.pixel(ix1, iy));
    const Vector4f s01 = toVector(img.pixel(ix, iy1)), s11 = toVector(img.pixel(ix1, iy1));
    Vector4f r;
    for (int c = 0; c < 4; ++c)
        r[c] = fy * (fx * s11[c] + (1 - fx) * s01[c]) + (1 - fy) * (fx * s10[c] + (1 - fx) * s00[c]);
    return r;
}

template <class T>
Vector4f Mipmap<T>::linearMipmapSample(float level, float x, float y) const {
    // Keep the level inside what the integer conversion can hold; levels past the last one read the
    // last one anyway.
    if (!(level > 0.0f)) level = 0.0f;
    if (level > 64.0f) level = 64.0f;
    const int l = static_cast<int>(level);
    const Vector4f s0 = linearSample(l, x, y);
    const float f = level - static_cast<float>(l);
    if (f == 0.0f) return s0;
    const Vector4f s1 = linearSample(l + 1, x, y);
    return s1 * f + s0 * (1 - f);
}

template class Mipmap<RGBA8>;
template class Mipmap<L16>;

}  // namespace plugkit::graphics
