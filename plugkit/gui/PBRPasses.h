#pragma once

#include <new>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/Vec.h"
#include "plugkit/gui/CompositorPass.h"

namespace plugkit::gui {

// The lighting passes of PBRCompositor, in the order it runs them. All read level 0 of the depth
// map with its one-pixel border, the diffuse map's level 0 (colour, alpha = emissive amount) and
// the material map (red = roughness, green = metalness, blue = specular amount), and add light to
// the accumulation buffer, which PassClampAndConvertTo8bit turns into the target's pixels.

struct Vec3f {
    float x = 0, y = 0, z = 0;
};

// Scratch arrays of a pass, `slots` per pool thread: sized on the editor thread, then each used by
// one worker only (indexed by its threadIndex), so rendering never allocates.
template <class T>
class ThreadScratch {
public:
    ThreadScratch(int numThreads, int slots)
        : count_((numThreads < 1 ? 1 : numThreads) * slots), slots_(slots) {
        arrays_ = static_cast<core::Vec<T>*>(core::allocAligned(sizeof(core::Vec<T>) * count_, 64));
        for (int i = 0; i < count_; ++i) new (arrays_ + i) core::Vec<T>(16);
    }
    ~ThreadScratch() {
        for (int i = 0; i < count_; ++i) arrays_[i].~Vec();
        core::freeAligned(arrays_);
    }
    ThreadScratch(const ThreadScratch&) = delete;
    ThreadScratch& operator=(const ThreadScratch&) = delete;
    // [editor thread] Gives every array n elements.
    void resize(std::size_t n) {
        for (int i = 0; i < count_; ++i) arrays_[i].resize(n);
    }
    // [pool thread] Array `slot` of thread `thread`.
    T* at(int thread, int slot) { return arrays_[thread * slots_ + slot].data(); }
    std::size_t size() const { return arrays_[0].size(); }

private:
    core::Vec<T>* arrays_;
    int count_;
    int slots_;
};

// Surface normal from a Sobel filter of the depth map, into the normal buffer. Flat is (0, 0, 1).
class PassComputeNormal : public CompositorPass {
public:
    using CompositorPass::CompositorPass;
    void render(int threadIndex, Box area, const CompositorPassBuffers& buffers) override;
};

// Ambient light darkened where the pixel lies below the average depth of its neighbourhood
// (mipmap levels 1 to 4).
class PassAmbientOcclusion : public CompositorPass {
public:
    explicit PassAmbientOcclusion(int numThreads);
    void resizeBuffers(int width, int height, int areaMaxWidth, int areaMaxHeight) override;
    void render(int threadIndex, Box area, const CompositorPassBuffers& buffers) override;
    float ambient = 0.08125f;

private:
    ThreadScratch<int> columns_;   // per level: first and second sample column of each pixel
    ThreadScratch<float> floats_;  // per level: column weights, then the vertically blended row
};

// A light from above that casts shadows from higher depths up-left and up-right of the pixel.
class PassObliqueShadowLight : public CompositorPass {
public:
    explicit PassObliqueShadowLight(int numThreads) : CompositorPass(numThreads), sums_(numThreads, 1) {}
    void resizeBuffers(int width, int height, int areaMaxWidth, int areaMaxHeight) override;
    void render(int threadIndex, Box area, const CompositorPassBuffers& buffers) override;
    Vec3f color{0.325f, 0.325f, 0.325f};

private:
    ThreadScratch<float> sums_;  // per thread: the light term of each pixel of a row
};

// Half-Lambert diffuse light from one direction, softened by roughness.
class PassDirectionalLight : public CompositorPass {
public:
    using CompositorPass::CompositorPass;
    void render(int threadIndex, Box area, const CompositorPassBuffers& buffers) override;
    Vec3f direction{0.0f, 0.995037f, 0.0995037f};
    Vec3f color{0.481f, 0.481f, 0.481f};
};

// Phong highlight of one light, exponent from roughness through a 256-entry table, computed four
// pixels at a time with polynomial log/exp.
class PassSpecularLight : public CompositorPass {
public:
    explicit PassSpecularLight(int numThreads);
    // [editor thread] Sizes each thread's two scratch rows to width floats.
    void resizeBuffers(int width, int height, int areaMaxWidth, int areaMaxHeight) override;
    void render(int threadIndex, Box area, const CompositorPassBuffers& buffers) override;
    // table[i] = 0.8 * exp((1 - i / 255) * 5.5).
    float exponent(int roughness) const { return exponentTable_[roughness & 255]; }

    Vec3f direction{0.0f, 0.995037f, 0.0995037f};
    Vec3f color{0.26f, 0.26f, 0.26f};

private:
    float exponentTable_[256];
    ThreadScratch<float> rows_;  // per thread: the dot products, then the exponents
};

// Reflection of a skybox image on metallic surfaces; without effect until setSkybox.
class PassSkyboxReflections : public CompositorPass {
public:
    using CompositorPass::CompositorPass;
    ~PassSkyboxReflections() override;
    // [editor thread] Replaces the skybox with a mipmap of image (up to 12 levels: box filter for
    // levels 1 and 2, cubic below).
    void setSkybox(const graphics::OwnedImage<RGBA8>& image);
    void render(int threadIndex, Box area, const CompositorPassBuffers& buffers) override;
    bool hasSkybox() const { return skybox_ != nullptr; }
    float amount = 0.52f;

private:
    Mipmap<RGBA8>* skybox_ = nullptr;
};

// Glow around emissive pixels: the premultiplied diffuse mipmap levels 1 to 5, weighted.
class PassEmissiveContribution : public CompositorPass {
public:
    explicit PassEmissiveContribution(int numThreads);
    void resizeBuffers(int width, int height, int areaMaxWidth, int areaMaxHeight) override;
    void render(int threadIndex, Box area, const CompositorPassBuffers& buffers) override;

private:
    ThreadScratch<int> columns_;   // per level: first and second sample column of each pixel
    ThreadScratch<float> floats_;  // per level: column weights, then the vertically blended row (RGBA)
};

// target = (accum.rgb * 255.99 truncated and clamped to 0..255, 255).
class PassClampAndConvertTo8bit : public CompositorPass {
public:
    using CompositorPass::CompositorPass;
    void render(int threadIndex, Box area, const CompositorPassBuffers& buffers) override;
};

}  // namespace plugkit::gui
