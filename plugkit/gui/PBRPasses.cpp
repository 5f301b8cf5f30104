#include "plugkit/gui/PBRPasses.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "plugkit/core/AlignedAlloc.h"

// Four-wide SSE2 loops, with scalar equivalents for other processors and for TOLVA_FORCE_SCALAR.
#if defined(__SSE2__) && !defined(TOLVA_FORCE_SCALAR)
#include <emmintrin.h>
#define PLUGKIT_GUI_PBR_SSE2 1
#endif

namespace plugkit::gui {

using graphics::OwnedImage;
using graphics::RGB32f;
using graphics::RGBA32f;

namespace {

constexpr float kInv255 = 1.0f / 255.0f;

// Column, row and weight of a bilinear sample of a level of the given size at level-0 coordinate
// `coord`, with the clamping rules of Mipmap::linearSample.
struct SampleAxis {
    int i0, i1;
    float f;
};

inline SampleAxis sampleAxis(float coord, float factor, int size) {
    float c = coord * factor - 0.5f;
    if (!(c >= 0.0f)) c = 0.0f;
    const float hi = static_cast<float>(size) - 1.001f;
    if (c > hi) c = hi;
    const int i = static_cast<int>(c);
    return {i, std::min(i + 1, size - 1), c - static_cast<float>(i)};
}

// Depth of level 0 at (x, y), clamped to the image: the same value the replicated border holds.
struct DepthReader {
    explicit DepthReader(const OwnedImage<L16>& img) : ref(img.toRef()), w(img.width()), h(img.height()) {}
    const L16* row(int y) const { return ref.row(std::clamp(y, 0, h - 1)); }
    ImageRef<L16> ref;
    int w, h;
};

}  // namespace

// --- Normal ------------------------------------------------------------------------------------------

void PassComputeNormal::render(int, Box area, const CompositorPassBuffers& b) {
    const DepthReader depth(b.depthMap->level(0));
    for (int y = area.min.y; y < area.max.y; ++y) {
        const L16* up = depth.row(y - 1);
        const L16* mid = depth.row(y);
        const L16* down = depth.row(y + 1);
        RGB32f* out = b.normalBuffer->row(y);
        for (int x = area.min.x; x < area.max.x; ++x) {
            const int l = std::max(x - 1, 0), r = std::min(x + 1, depth.w - 1);
            const int gx = up[l].l + 2 * mid[l].l + down[l].l - up[r].l - 2 * mid[r].l - down[r].l;
            const int gy = down[l].l + 2 * down[x].l + down[r].l - up[l].l - 2 * up[x].l - up[r].l;
            const float fx = static_cast<float>(gx), fy = static_cast<float>(gy);
            // An exact reciprocal square root: the same image on every processor.
            const float t = 1.0f / std::sqrt(fx * fx + fy * fy + 1.3780594e9f);
            out[x] = RGB32f{fx * t, fy * t, 37122.223f * t};
        }
    }
}

// --- Ambient occlusion -------------------------------------------------------------------------------

namespace {

// Fills the sample columns and weights of every pixel of [x0, x0 + n) for a level of width w at
// scale factor; returns the first and last column read.
inline void columnTable(int x0, int n, float factor, int w, int* i0, int* i1, float* f, int& lo, int& hi) {
    for (int i = 0; i < n; ++i) {
        const SampleAxis a = sampleAxis(static_cast<float>(x0 + i) + 0.5f, factor, w);
        i0[i] = a.i0;
        i1[i] = a.i1;
        f[i] = a.f;
    }
    lo = i0[0];
    hi = i1[n - 1];  // columns never decrease along the row
}

}  // namespace

PassAmbientOcclusion::PassAmbientOcclusion(int numThreads)
    : CompositorPass(numThreads), columns_(numThreads, 8), floats_(numThreads, 8) {}

void PassAmbientOcclusion::resizeBuffers(int width, int, int, int) {
    columns_.resize(static_cast<std::size_t>(std::max(width, 0)) + 4);
    floats_.resize(static_cast<std::size_t>(std::max(width, 0)) + 4);
}

void PassAmbientOcclusion::render(int t, Box area, const CompositorPassBuffers& b) {
    const Mipmap<L16>& depthMap = *b.depthMap;
    const int last = depthMap.numLevels() - 1;
    const int n = area.width();
    if (n <= 0 || columns_.size() < static_cast<std::size_t>(n) + 2) return;
    // Bilinear samples of levels 1 to 4 at the pixel centre: the sample columns are the same for
    // every row, and each row first blends the two source rows of each level.
    ImageRef<L16> lv[4];
    float factor[4];
    int lo[4], hi[4];
    for (int k = 0; k < 4; ++k) {
        const int L = std::min(k + 1, last);
        lv[k] = depthMap.level(L).toRef();
        factor[k] = std::ldexp(1.0f, -L);
        columnTable(area.min.x, n, factor[k], lv[k].w, columns_.at(t, 2 * k), columns_.at(t, 2 * k + 1),
                    floats_.at(t, k), lo[k], hi[k]);
    }
    const ImageRef<L16> d0 = depthMap.level(0).toRef();
    const ImageRef<RGBA8> diffuse = b.diffuseMap->level(0).toRef();
    const float scale = ambient * kInv255;
    for (int y = area.min.y; y < area.max.y; ++y) {
        for (int k = 0; k < 4; ++k) {
            const SampleAxis ay = sampleAxis(static_cast<float>(y) + 0.5f, factor[k], lv[k].h);
            const L16* r0 = lv[k].row(ay.i0);
            const L16* r1 = lv[k].row(ay.i1);
            float* blended = floats_.at(t, 4 + k);
            for (int i = lo[k]; i <= hi[k]; ++i) blended[i - lo[k]] = ay.f * r1[i].l + (1 - ay.f) * r0[i].l;
        }
        const L16* drow = d0.row(y);
        const RGBA8* dif = diffuse.row(y);
        RGBA32f* acc = b.accumBuffer->row(y);
        for (int i = 0; i < n; ++i) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) {
                const float* blended = floats_.at(t, 4 + k) - lo[k];
                const float f = floats_.at(t, k)[i];
                s += f * blended[columns_.at(t, 2 * k + 1)[i]] + (1 - f) * blended[columns_.at(t, 2 * k)[i]];
            }
            const int x = area.min.x + i;
            const float occlusion =
                std::clamp((static_cast<float>(drow[x].l) - s * 0.25f + 23040.0f) / 23040.0f, 0.0f, 1.0f);
            const float k = occlusion * scale;
            acc[x].r += dif[x].r * k;
            acc[x].g += dif[x].g * k;
            acc[x].b += dif[x].b * k;
            acc[x].a += dif[x].a * k;
        }
    }
}

// --- Oblique shadow light ----------------------------------------------------------------------------

void PassObliqueShadowLight::resizeBuffers(int width, int, int, int) {
    sums_.resize(static_cast<std::size_t>(std::max(width, 0)) + 4);
}

// Kept in one piece: the running sums over the depth rows and the shading of the same row share
// their loop state, and splitting them would cost a second pass over every row.
void PassObliqueShadowLight::render(int t, Box area, const CompositorPassBuffers& b) {
    const int n = area.width();
    if (n <= 0 || sums_.size() < static_cast<std::size_t>(n)) return;
    const DepthReader depth(b.depthMap->level(0));
    const ImageRef<RGBA8> diffuse = b.diffuseMap->level(0).toRef();
    float weight[10];
    float w = 1.0f;
    for (int k = 0; k < 10; ++k) weight[k] = (w *= 0.78f) * 0.18100029f;
    // The light term of a neighbour n at step k: 1 when d + k + 1 >= n, 0 below n - 15360, linear in
    // between, which is 1 + (d + k + 1 - n) / 15360 clamped to 0..1.
    const float inv = 1.0f / 15360.0f;
    auto term = [inv](float v) { return std::min(std::max(1.0f + v * inv, 0.0f), 1.0f); };
#if PLUGKIT_GUI_PBR_SSE2
    const __m128 inv4 = _mm_set1_ps(inv), one4 = _mm_set1_ps(1.0f), zero4 = _mm_setzero_ps(),
                 left4 = _mm_set1_ps(0.7f);
    auto load4 = [](const L16* p) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        return _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, _mm_setzero_si128()));
    };
    auto term4 = [&](__m128 v) {
        return _mm_min_ps(_mm_max_ps(_mm_add_ps(one4, _mm_mul_ps(v, inv4)), zero4), one4);
    };
#endif
    float* sum = sums_.at(t, 0) - area.min.x;
    const int last = depth.w - 1;
#if PLUGKIT_GUI_PBR_SSE2
    // Columns where no neighbour of any step is clamped to the image: x - 10 >= 0, x + 10 <= last.
    const int fast0 = std::max(area.min.x, 10), fast1 = std::max(fast0, std::min(area.max.x, last - 9));
#endif
    for (int y = area.min.y; y < area.max.y; ++y) {
        const L16* drow = depth.row(y);
        const L16* rows[10];
        for (int k = 0; k < 10; ++k) rows[k] = depth.row(std::max(y - 1 - k, 0));
        auto scalar = [&](int x) {
            float s = 0.0f;
            for (int k = 0; k < 10; ++k) {
                const float d = static_cast<float>(drow[x].l + k + 1);
                const float a = rows[k][std::min(x + 1 + k, last)].l, c = rows[k][std::max(x - 1 - k, 0)].l;
                s += (term(d - a) + 0.7f * term(d - c)) * weight[k];
            }
            sum[x] = s;
        };
        int x = area.min.x;
#if PLUGKIT_GUI_PBR_SSE2
        for (; x < fast0 && x < area.max.x; ++x) scalar(x);
        for (; x + 4 <= fast1; x += 4) {  // four pixels, the ten steps summed in a register
            const __m128 d0 = load4(drow + x);
            __m128 s = zero4;
            for (int k = 0; k < 10; ++k) {
                const __m128 d = _mm_add_ps(d0, _mm_set1_ps(static_cast<float>(k + 1)));
                const __m128 ta = term4(_mm_sub_ps(d, load4(rows[k] + x + 1 + k)));
                const __m128 tc = term4(_mm_sub_ps(d, load4(rows[k] + x - 1 - k)));
                s = _mm_add_ps(s, _mm_mul_ps(_mm_add_ps(ta, _mm_mul_ps(tc, left4)), _mm_set1_ps(weight[k])));
            }
            _mm_storeu_ps(sum + x, s);
        }
#endif
        for (; x < area.max.x; ++x) scalar(x);
        const RGBA8* dif = diffuse.row(y);
        RGBA32f* acc = b.accumBuffer->row(y);
        for (x = area.min.x; x < area.max.x; ++x) {
            const float s = sum[x] * kInv255;
            acc[x].r += dif[x].r * s * color.x;
            acc[x].g += dif[x].g * s * color.y;
            acc[x].b += dif[x].b * s * color.z;
        }
    }
}

// --- Directional light -------------------------------------------------------------------------------

void PassDirectionalLight::render(int, Box area, const CompositorPassBuffers& b) {
    const ImageRef<RGBA8> diffuse = b.diffuseMap->level(0).toRef();
    const ImageRef<RGBA8> material = b.materialMap->level(0).toRef();
    for (int y = area.min.y; y < area.max.y; ++y) {
        const RGB32f* n = b.normalBuffer->row(y);
        const RGBA8* dif = diffuse.row(y);
        const RGBA8* mat = material.row(y);
        RGBA32f* acc = b.accumBuffer->row(y);
        for (int x = area.min.x; x < area.max.x; ++x) {
            const float lambert = direction.x * n[x].r + direction.y * n[x].g + direction.z * n[x].b;
            const float w = 0.24f - mat[x].r * kInv255 * 0.5f;
            const float f = ((lambert * 0.5f + 0.5f) - w) / (1.0f - w) * kInv255;
            acc[x].r += dif[x].r * f * color.x;
            acc[x].g += dif[x].g * f * color.y;
            acc[x].b += dif[x].b * f * color.z;
        }
    }
}

// --- Specular light ----------------------------------------------------------------------------------

#if PLUGKIT_GUI_PBR_SSE2
namespace {

// Natural logarithm of four positive floats: mantissa polynomial (Cephes), exponent from the bits.
inline __m128 log4(__m128 x) {
    const __m128 one = _mm_set1_ps(1.0f);
    x = _mm_max_ps(x, _mm_castsi128_ps(_mm_set1_epi32(0x00800000)));  // smallest normal
    __m128i e = _mm_srli_epi32(_mm_castps_si128(x), 23);
    x = _mm_and_ps(x, _mm_castsi128_ps(_mm_set1_epi32(~0x7f800000)));
    x = _mm_or_ps(x, _mm_set1_ps(0.5f));
    e = _mm_sub_epi32(e, _mm_set1_epi32(0x7f));
    __m128 fe = _mm_add_ps(_mm_cvtepi32_ps(e), one);
    const __m128 mask = _mm_cmplt_ps(x, _mm_set1_ps(0.707106781186547524f));
    const __m128 tmp = _mm_and_ps(x, mask);
    x = _mm_sub_ps(x, one);
    fe = _mm_sub_ps(fe, _mm_and_ps(one, mask));
    x = _mm_add_ps(x, tmp);
    const __m128 z = _mm_mul_ps(x, x);
    static const float p[9] = {7.0376836292E-2f,  -1.1514610310E-1f, 1.1676998740E-1f,
                               -1.2420140846E-1f, 1.4249322787E-1f,  -1.6668057665E-1f,
                               2.0000714765E-1f,  -2.4999993993E-1f, 3.3333331174E-1f};
    __m128 y = _mm_set1_ps(p[0]);
    for (int i = 1; i < 9; ++i) y = _mm_add_ps(_mm_mul_ps(y, x), _mm_set1_ps(p[i]));
    y = _mm_mul_ps(_mm_mul_ps(y, x), z);
    y = _mm_add_ps(y, _mm_mul_ps(fe, _mm_set1_ps(-2.12194440e-4f)));
    y = _mm_sub_ps(y, _mm_mul_ps(z, _mm_set1_ps(0.5f)));
    x = _mm_add_ps(x, y);
    return _mm_add_ps(x, _mm_mul_ps(fe, _mm_set1_ps(0.693359375f)));
}

// e^x of four floats: polynomial (Cephes) times 2^n built in the bits. Results below e^-69 are 0,
// so that no denormal number reaches the arithmetic that follows.
inline __m128 exp4(__m128 x) {
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 keep = _mm_cmpgt_ps(x, _mm_set1_ps(-69.0f));
    x = _mm_min_ps(_mm_max_ps(x, _mm_set1_ps(-88.3762626647949f)), _mm_set1_ps(88.3762626647949f));
    __m128 fx = _mm_add_ps(_mm_mul_ps(x, _mm_set1_ps(1.44269504088896341f)), _mm_set1_ps(0.5f));
    __m128 t = _mm_cvtepi32_ps(_mm_cvttps_epi32(fx));
    t = _mm_sub_ps(t, _mm_and_ps(_mm_cmpgt_ps(t, fx), one));  // floor
    fx = t;
    x = _mm_sub_ps(x, _mm_mul_ps(fx, _mm_set1_ps(0.693359375f)));
    x = _mm_sub_ps(x, _mm_mul_ps(fx, _mm_set1_ps(-2.12194440e-4f)));
    const __m128 z = _mm_mul_ps(x, x);
    static const float p[6] = {1.9875691500E-4f, 1.3981999507E-3f, 8.3334519073E-3f,
                               4.1665795894E-2f, 1.6666665459E-1f, 5.0000001201E-1f};
    __m128 y = _mm_set1_ps(p[0]);
    for (int i = 1; i < 6; ++i) y = _mm_add_ps(_mm_mul_ps(y, x), _mm_set1_ps(p[i]));
    y = _mm_add_ps(_mm_add_ps(_mm_mul_ps(y, z), x), one);
    const __m128i n = _mm_slli_epi32(_mm_add_epi32(_mm_cvttps_epi32(fx), _mm_set1_epi32(0x7f)), 23);
    return _mm_and_ps(_mm_mul_ps(y, _mm_castsi128_ps(n)), keep);
}

}  // namespace
#endif

PassSpecularLight::PassSpecularLight(int numThreads) : CompositorPass(numThreads), rows_(numThreads, 2) {
    for (int i = 0; i < 256; ++i)
        exponentTable_[i] = 0.8f * std::exp((1.0f - static_cast<float>(i) / 255.0f) * 5.5f);
}

void PassSpecularLight::resizeBuffers(int width, int, int, int) {
    // Room for a whole row rounded up to four, so the four-wide loop may run past the area's end.
    rows_.resize(static_cast<std::size_t>(std::max(width, 0)) + 4);
}

void PassSpecularLight::render(int threadIndex, Box area, const CompositorPassBuffers& b) {
    const int span = area.width();
    if (rows_.size() < static_cast<std::size_t>(span) + 4) return;
    float* dots = rows_.at(threadIndex, 0);
    float* exps = rows_.at(threadIndex, 1);
    const ImageRef<RGBA8> diffuse = b.diffuseMap->level(0).toRef();
    const ImageRef<RGBA8> material = b.materialMap->level(0).toRef();
    const float invW = 1.0f / static_cast<float>(diffuse.w), invH = 1.0f / static_cast<float>(diffuse.h);
    const Vec3f l{-direction.x, -direction.y, -direction.z};
    for (int y = area.min.y; y < area.max.y; ++y) {
        const RGB32f* n = b.normalBuffer->row(y);
        const RGBA8* mat = material.row(y);
        const float vy = static_cast<float>(y) * invH - 0.5f;
        for (int i = 0; i < span; ++i) {
            const int x = area.min.x + i;
            const float vx = 0.5f - static_cast<float>(x) * invW;
            const float inv = 1.0f / std::sqrt(vx * vx + vy * vy + 1.0f);
            const float ln = l.x * n[x].r + l.y * n[x].g + l.z * n[x].b;
            const float rx = l.x - 2 * ln * n[x].r, ry = l.y - 2 * ln * n[x].g, rz = l.z - 2 * ln * n[x].b;
            dots[i] = std::max(0.001f, (rx * vx + ry * vy + rz) * inv);
            exps[i] = exponentTable_[mat[x].r];
        }
        for (int i = span; i < span + 4; ++i) dots[i] = exps[i] = 1.0f;
#if PLUGKIT_GUI_PBR_SSE2
        for (int i = 0; i < span; i += 4) {
            const __m128 c = _mm_loadu_ps(dots + i);
            const __m128 e = _mm_loadu_ps(exps + i);
            _mm_storeu_ps(dots + i, exp4(_mm_mul_ps(e, log4(c))));
        }
#else
        // dots^exps; powers below e^-69 are 0, as in the four-wide version.
        for (int i = 0; i < span; ++i) {
            const float v = exps[i] * std::log(dots[i]);
            dots[i] = v > -69.0f ? std::exp(v) : 0.0f;
        }
#endif
        const RGBA8* dif = diffuse.row(y);
        RGBA32f* acc = b.accumBuffer->row(y);
        for (int i = 0; i < span; ++i) {
            const int x = area.min.x + i;
            const float factor = (1.0f - 0.5f * mat[x].g * kInv255) * (1.0f - mat[x].r * kInv255) * 10.0f *
                                 dots[i] * mat[x].b * kInv255 * kInv255;
            acc[x].r += factor * color.x * dif[x].r;
            acc[x].g += factor * color.y * dif[x].g;
            acc[x].b += factor * color.z * dif[x].b;
        }
    }
}

// --- Skybox reflections ------------------------------------------------------------------------------

PassSkyboxReflections::~PassSkyboxReflections() { core::destroyFree(skybox_); }

void PassSkyboxReflections::setSkybox(const OwnedImage<RGBA8>& image) {
    Mipmap<RGBA8>* next = core::mallocNew<Mipmap<RGBA8>>();
    next->size(11, image.width(), image.height());
    if (next->numLevels() > 0) {
        for (int y = 0; y < image.height(); ++y)
            std::copy(image.row(y), image.row(y) + image.width(), next->level(0).row(y));
        for (int L = 1; L < next->numLevels(); ++L)
            next->generateNextLevel(L <= 2 ? graphics::Quality::box : graphics::Quality::cubic,
                                    next->level(L - 1).bounds(), L);
    }
    core::destroyFree(skybox_);
    skybox_ = next;
}

void PassSkyboxReflections::render(int, Box area, const CompositorPassBuffers& b) {
    if (!skybox_ || skybox_->numLevels() == 0) return;
    const DepthReader depth(b.depthMap->level(0));
    const ImageRef<RGBA8> diffuse = b.diffuseMap->level(0).toRef();
    const ImageRef<RGBA8> material = b.materialMap->level(0).toRef();
    const float sw = static_cast<float>(skybox_->level(0).width()),
                sh = static_cast<float>(skybox_->level(0).height());
    const float invW = 1.0f / static_cast<float>(diffuse.w), invH = 1.0f / static_cast<float>(diffuse.h);
    for (int y = area.min.y; y < area.max.y; ++y) {
        const L16 *up = depth.row(y - 1), *mid = depth.row(y), *down = depth.row(y + 1);
        const RGB32f* n = b.normalBuffer->row(y);
        const RGBA8* dif = diffuse.row(y);
        const RGBA8* mat = material.row(y);
        RGBA32f* acc = b.accumBuffer->row(y);
        for (int x = area.min.x; x < area.max.x; ++x) {
            // View vector reflected about the normal, mapped onto the skybox image.
            float vx = 0.5f - static_cast<float>(x) * invW, vy = static_cast<float>(y) * invH - 0.5f,
                  vz = 1.0f;
            const float inv = 1.0f / std::sqrt(vx * vx + vy * vy + vz * vz);
            vx *= inv, vy *= inv, vz *= inv;
            const float vn = vx * n[x].r + vy * n[x].g + vz * n[x].b;
            const float rx = vx - 2 * vn * n[x].r, ry = vy - 2 * vn * n[x].g;
            // Local curvature of the depth (a discrete Laplacian in 0..1 units) blurs the reflection.
            const int l = std::max(x - 1, 0), r = std::min(x + 1, depth.w - 1);
            const float curv =
                static_cast<float>(4 * mid[x].l - mid[l].l - mid[r].l - up[x].l - down[x].l) / 65535.0f;
            const float level =
                0.5f * std::log2(1.0f + sw * sh * curv * curv * 0.00001f) + mat[x].r * 6.0f * kInv255;
            const graphics::Vector4f s =
                skybox_->linearMipmapSample(level, (rx * 0.5f + 0.5f) * sw, (ry * 0.5f + 0.5f) * sh);
            const float k = mat[x].g * kInv255 * amount * kInv255 * kInv255;
            acc[x].r += dif[x].r * s[0] * k;
            acc[x].g += dif[x].g * s[1] * k;
            acc[x].b += dif[x].b * s[2] * k;
        }
    }
}

// --- Emissive contribution ---------------------------------------------------------------------------

PassEmissiveContribution::PassEmissiveContribution(int numThreads)
    : CompositorPass(numThreads), columns_(numThreads, 10), floats_(numThreads, 10) {}

void PassEmissiveContribution::resizeBuffers(int width, int, int, int) {
    columns_.resize(static_cast<std::size_t>(std::max(width, 0)) + 4);
    floats_.resize(4 * (static_cast<std::size_t>(std::max(width, 0)) + 4));
}

namespace {

#if PLUGKIT_GUI_PBR_SSE2
inline __m128 toFloats(RGBA8 p) {
    int bits;
    std::memcpy(&bits, &p, 4);
    const __m128i zero = _mm_setzero_si128();
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bits), zero), zero));
}
#endif

// The row blend and the column blend of one emissive level, four channels a pixel.
void blendRows(const RGBA8* r0, const RGBA8* r1, int lo, int hi, float w0, float w1, float* blended) {
#if PLUGKIT_GUI_PBR_SSE2
    const __m128 w04 = _mm_set1_ps(w0), w14 = _mm_set1_ps(w1);
    for (int i = lo; i <= hi; ++i)
        _mm_storeu_ps(blended + 4 * (i - lo),
                      _mm_add_ps(_mm_mul_ps(toFloats(r1[i]), w14), _mm_mul_ps(toFloats(r0[i]), w04)));
#else
    for (int i = lo; i <= hi; ++i) {
        float* o = blended + 4 * (i - lo);
        o[0] = r1[i].r * w1 + r0[i].r * w0;
        o[1] = r1[i].g * w1 + r0[i].g * w0;
        o[2] = r1[i].b * w1 + r0[i].b * w0;
        o[3] = r1[i].a * w1 + r0[i].a * w0;
    }
#endif
}

void addColumnBlend(const float* base, const int* c0, const int* c1, const float* fx, int n, RGBA32f* acc) {
    for (int i = 0; i < n; ++i) {
        float* out = &acc[i].r;
#if PLUGKIT_GUI_PBR_SSE2
        const __m128 f = _mm_set1_ps(fx[i]);
        const __m128 a = _mm_loadu_ps(base + 4 * c0[i]);
        const __m128 c = _mm_loadu_ps(base + 4 * c1[i]);
        const __m128 v = _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(c, a), f));
        _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), v));
#else
        const float* a = base + 4 * c0[i];
        const float* c = base + 4 * c1[i];
        for (int ch = 0; ch < 4; ++ch) out[ch] += a[ch] + (c[ch] - a[ch]) * fx[i];
#endif
    }
}

}  // namespace

void PassEmissiveContribution::render(int t, Box area, const CompositorPassBuffers& b) {
    const Mipmap<RGBA8>& map = *b.diffuseMap;
    const int last = map.numLevels() - 1;
    const int n = area.width();
    if (n <= 0 || columns_.size() < static_cast<std::size_t>(n) + 2) return;
    static const float weights[5] = {0.3f, 0.45f, 0.375f, 0.225f, 0.15f};
    ImageRef<RGBA8> lv[5];
    float factor[5];
    int lo[5], hi[5];
    for (int k = 0; k < 5; ++k) {
        const int L = std::min(k + 1, last);
        lv[k] = map.level(L).toRef();
        factor[k] = std::ldexp(1.0f, -L);
        columnTable(area.min.x, n, factor[k], lv[k].w, columns_.at(t, 2 * k), columns_.at(t, 2 * k + 1),
                    floats_.at(t, k), lo[k], hi[k]);
    }
    for (int y = area.min.y; y < area.max.y; ++y) {
        RGBA32f* acc = b.accumBuffer->row(y);
        for (int k = 0; k < 5; ++k) {
            // The two source rows blended once per row (weight and 1 / 255 folded in), then each
            // pixel blends two columns of that, four channels at a time.
            const SampleAxis ay = sampleAxis(static_cast<float>(y) + 0.5f, factor[k], lv[k].h);
            const RGBA8* r0 = lv[k].row(ay.i0);
            const RGBA8* r1 = lv[k].row(ay.i1);
            float* blended = floats_.at(t, 5 + k);
            blendRows(r0, r1, lo[k], hi[k], (1 - ay.f) * weights[k] * kInv255, ay.f * weights[k] * kInv255,
                      blended);
            addColumnBlend(blended - 4 * lo[k], columns_.at(t, 2 * k), columns_.at(t, 2 * k + 1),
                           floats_.at(t, k), n, acc + area.min.x);
        }
    }
}

// --- Conversion --------------------------------------------------------------------------------------

void PassClampAndConvertTo8bit::render(int, Box area, const CompositorPassBuffers& b) {
#if !PLUGKIT_GUI_PBR_SSE2
    // Scale, clamp (NaN becomes 0), truncate; alpha opaque.
    auto channel = [](float v) {
        return static_cast<unsigned char>(std::min(std::max(0.0f, v * 255.99f), 255.0f));
    };
    for (int y = area.min.y; y < area.max.y; ++y) {
        const RGBA32f* acc = b.accumBuffer->row(y);
        RGBA8* out = b.target.row(y);
        for (int x = area.min.x; x < area.max.x; ++x)
            out[x] = RGBA8{channel(acc[x].r), channel(acc[x].g), channel(acc[x].b), 255};
    }
#else
    // Four channels at once: scale, clamp (max first, so NaN becomes 0), truncate, pack to bytes.
    const __m128 scale = _mm_set1_ps(255.99f), zero = _mm_setzero_ps(), top = _mm_set1_ps(255.0f);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xff000000u));
    auto convert = [&](const RGBA32f& p) {
        const __m128 v = _mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_loadu_ps(&p.r), scale), zero), top);
        return _mm_cvttps_epi32(v);
    };
    for (int y = area.min.y; y < area.max.y; ++y) {
        const RGBA32f* acc = b.accumBuffer->row(y);
        RGBA8* out = b.target.row(y);
        int x = area.min.x;
        for (; x + 4 <= area.max.x; x += 4) {
            const __m128i lo = _mm_packs_epi32(convert(acc[x]), convert(acc[x + 1]));
            const __m128i hi = _mm_packs_epi32(convert(acc[x + 2]), convert(acc[x + 3]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                             _mm_or_si128(_mm_packus_epi16(lo, hi), alpha));
        }
        for (; x < area.max.x; ++x) {
            const __m128i v =
                _mm_packus_epi16(_mm_packs_epi32(convert(acc[x]), _mm_setzero_si128()), _mm_setzero_si128());
            const int bits = _mm_cvtsi128_si32(_mm_or_si128(v, alpha));
            std::memcpy(out + x, &bits, 4);
        }
    }
#endif
}

}  // namespace plugkit::gui
