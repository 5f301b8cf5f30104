#include "plugkit/gui/PBRPasses.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "plugkit/core/AlignedAlloc.h"

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

void PassAmbientOcclusion::render(int, Box area, const CompositorPassBuffers& b) {
    const Mipmap<L16>& depthMap = *b.depthMap;
    const int last = depthMap.numLevels() - 1;
    const ImageRef<L16> d0 = depthMap.level(0).toRef();
    const ImageRef<RGBA8> diffuse = b.diffuseMap->level(0).toRef();
    const float scale = ambient * kInv255;
    for (int y = area.min.y; y < area.max.y; ++y) {
        // The rows and vertical weights of the four levels are the same for the whole row.
        const L16* rows[4][2];
        float fy[4], factor[4];
        ImageRef<L16> lv[4];
        for (int k = 0; k < 4; ++k) {
            const int L = std::min(k + 1, last);
            lv[k] = depthMap.level(L).toRef();
            factor[k] = std::ldexp(1.0f, -L);
            const SampleAxis ay = sampleAxis(static_cast<float>(y) + 0.5f, factor[k], lv[k].h);
            rows[k][0] = lv[k].row(ay.i0);
            rows[k][1] = lv[k].row(ay.i1);
            fy[k] = ay.f;
        }
        const L16* drow = d0.row(y);
        const RGBA8* dif = diffuse.row(y);
        RGBA32f* acc = b.accumBuffer->row(y);
        for (int x = area.min.x; x < area.max.x; ++x) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) {
                const SampleAxis ax = sampleAxis(static_cast<float>(x) + 0.5f, factor[k], lv[k].w);
                const float top = ax.f * rows[k][0][ax.i1].l + (1 - ax.f) * rows[k][0][ax.i0].l;
                const float bottom = ax.f * rows[k][1][ax.i1].l + (1 - ax.f) * rows[k][1][ax.i0].l;
                s += fy[k] * bottom + (1 - fy[k]) * top;
            }
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

void PassObliqueShadowLight::render(int, Box area, const CompositorPassBuffers& b) {
    const DepthReader depth(b.depthMap->level(0));
    const ImageRef<RGBA8> diffuse = b.diffuseMap->level(0).toRef();
    float weight[10];
    float w = 1.0f;
    for (int k = 0; k < 10; ++k) weight[k] = (w *= 0.78f) * 0.18100029f;
    const float inv = 1.0f / 15360.0f;
    auto term = [inv](int v) {
        return v >= 0 ? 1.0f : (v < -15360 ? 0.0f : 1.0f + static_cast<float>(v) * inv);
    };
    for (int y = area.min.y; y < area.max.y; ++y) {
        const L16* rows[10];
        for (int k = 0; k < 10; ++k) rows[k] = depth.row(std::max(y - 1 - k, 0));
        const L16* drow = depth.row(y);
        const RGBA8* dif = diffuse.row(y);
        RGBA32f* acc = b.accumBuffer->row(y);
        for (int x = area.min.x; x < area.max.x; ++x) {
            const int d = drow[x].l;
            float sum = 0.0f;
            for (int k = 0; k < 10; ++k) {
                const int a = rows[k][std::min(x + 1 + k, depth.w - 1)].l;
                const int c = rows[k][std::max(x - 1 - k, 0)].l;
                sum += (term(d + k + 1 - a) + 0.7f * term(d + k + 1 - c)) * weight[k];
            }
            const float s = sum * kInv255;
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

// e^x of four floats, x clamped to +-88.376: polynomial (Cephes) times 2^n built in the bits.
inline __m128 exp4(__m128 x) {
    const __m128 one = _mm_set1_ps(1.0f);
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
    return _mm_mul_ps(y, _mm_castsi128_ps(n));
}

}  // namespace

PassSpecularLight::PassSpecularLight(int numThreads) : CompositorPass(numThreads) {
    for (int i = 0; i < 256; ++i)
        exponentTable_[i] = 0.8f * std::exp((1.0f - static_cast<float>(i) / 255.0f) * 5.5f);
    dotRows_ = static_cast<core::Vec<float>*>(
        core::allocAligned(sizeof(core::Vec<float>) * 2 * this->numThreads(), 64));
    exponentRows_ = dotRows_ + this->numThreads();
    for (int i = 0; i < 2 * this->numThreads(); ++i) new (dotRows_ + i) core::Vec<float>(16);
}

PassSpecularLight::~PassSpecularLight() {
    for (int i = 0; i < 2 * numThreads(); ++i) dotRows_[i].~Vec();
    core::freeAligned(dotRows_);
}

void PassSpecularLight::resizeBuffers(int width, int, int, int) {
    // Room for a whole row rounded up to four, so the four-wide loop may run past the area's end.
    const std::size_t n = static_cast<std::size_t>(std::max(width, 0)) + 4;
    for (int i = 0; i < numThreads(); ++i) {
        dotRows_[i].resize(n);
        exponentRows_[i].resize(n);
    }
}

void PassSpecularLight::render(int threadIndex, Box area, const CompositorPassBuffers& b) {
    core::Vec<float>& dots = dotRows_[threadIndex];
    core::Vec<float>& exps = exponentRows_[threadIndex];
    const int span = area.width();
    if (dots.size() < static_cast<std::size_t>(span) + 4 || exps.size() < static_cast<std::size_t>(span) + 4)
        return;
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
        for (int i = 0; i < span; i += 4) {
            const __m128 c = _mm_loadu_ps(dots.data() + i);
            const __m128 e = _mm_loadu_ps(exps.data() + i);
            _mm_storeu_ps(dots.data() + i, exp4(_mm_mul_ps(e, log4(c))));
        }
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

void PassEmissiveContribution::render(int, Box area, const CompositorPassBuffers& b) {
    const Mipmap<RGBA8>& map = *b.diffuseMap;
    const int last = map.numLevels() - 1;
    static const float weights[5] = {0.3f, 0.45f, 0.375f, 0.225f, 0.15f};
    for (int y = area.min.y; y < area.max.y; ++y) {
        RGBA32f* acc = b.accumBuffer->row(y);
        for (int k = 0; k < 5; ++k) {
            const int L = std::min(k + 1, last);
            const ImageRef<RGBA8> lv = map.level(L).toRef();
            const float factor = std::ldexp(1.0f, -L);
            const float w = weights[k] * kInv255;
            const SampleAxis ay = sampleAxis(static_cast<float>(y) + 0.5f, factor, lv.h);
            const RGBA8* r0 = lv.row(ay.i0);
            const RGBA8* r1 = lv.row(ay.i1);
            for (int x = area.min.x; x < area.max.x; ++x) {
                const SampleAxis ax = sampleAxis(static_cast<float>(x) + 0.5f, factor, lv.w);
                for (int c = 0; c < 4; ++c) {
                    const float top = ax.f * r0[ax.i1][c] + (1 - ax.f) * r0[ax.i0][c];
                    const float bottom = ax.f * r1[ax.i1][c] + (1 - ax.f) * r1[ax.i0][c];
                    (&acc[x].r)[c] += (ay.f * bottom + (1 - ay.f) * top) * w;
                }
            }
        }
    }
}

// --- Conversion --------------------------------------------------------------------------------------

void PassClampAndConvertTo8bit::render(int, Box area, const CompositorPassBuffers& b) {
    auto to8 = [](float v) {
        v = std::clamp(v * 255.99f, 0.0f, 255.0f);  // NaN stays NaN here and converts below
        return static_cast<std::uint8_t>(v == v ? static_cast<int>(v) : 0);
    };
    for (int y = area.min.y; y < area.max.y; ++y) {
        const RGBA32f* acc = b.accumBuffer->row(y);
        RGBA8* out = b.target.row(y);
        for (int x = area.min.x; x < area.max.x; ++x)
            out[x] = RGBA8{to8(acc[x].r), to8(acc[x].g), to8(acc[x].b), 255};
    }
}

}  // namespace plugkit::gui
