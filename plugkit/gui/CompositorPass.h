#pragma once

#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/gui/ICompositor.h"

namespace plugkit::gui {

// Everything one pass reads and writes for one area. The maps are read-only while compositing;
// passes write only the area's pixels of the two work images and of the target.
struct CompositorPassBuffers {
    ImageRef<RGBA8> target;
    const Mipmap<RGBA8>* diffuseMap = nullptr;
    const Mipmap<RGBA8>* materialMap = nullptr;
    const Mipmap<L16>* depthMap = nullptr;
    graphics::OwnedImage<graphics::RGB32f>* normalBuffer = nullptr;  // window-sized
    graphics::OwnedImage<graphics::RGBA32f>* accumBuffer = nullptr;  // window-sized light sum
};

// One step of a MultipassCompositor, run on every area in order with the other passes.
class CompositorPass {
public:
    // numThreads: the worker count of the compositor's pool (range of threadIndex in render).
    explicit CompositorPass(int numThreads) : numThreads_(numThreads < 1 ? 1 : numThreads) {}
    virtual ~CompositorPass() = default;
    CompositorPass(const CompositorPass&) = delete;
    CompositorPass& operator=(const CompositorPass&) = delete;

    // [editor thread] The window's size and the largest area; sizes per-thread scratch memory.
    virtual void resizeBuffers(int width, int height, int areaMaxWidth, int areaMaxHeight);
    // [pool thread] Processes every pixel of area. Two calls with the same threadIndex never overlap.
    virtual void render(int threadIndex, Box area, const CompositorPassBuffers& buffers) = 0;

    int numThreads() const { return numThreads_; }
    bool enabled = true;

private:
    int numThreads_;
};

}  // namespace plugkit::gui
