#pragma once

#include "plugkit/gui/CompositorPass.h"

namespace plugkit::gui {

// A compositor that runs a chain of passes over each area, one pool task per area.
class MultipassCompositor : public ICompositor {
public:
    explicit MultipassCompositor(const CompositorCreationContext& context);
    ~MultipassCompositor() override;

    // [editor thread] Appends pass (made with core::mallocNew); the compositor owns it.
    virtual void addPass(CompositorPass* pass);
    // [editor thread] Forwards to every pass in order.
    void resizeBuffers(int width, int height, int areaMaxWidth, int areaMaxHeight) override;
    // [editor thread] One task per area; each runs the enabled passes in order. No areas, no work.
    void compositeTile(ImageRef<RGBA8> target, const core::Vec<Box>& areas, const Mipmap<RGBA8>& diffuseMap,
                       const Mipmap<RGBA8>& materialMap, const Mipmap<L16>& depthMap) override;
    virtual core::ThreadPool* threadPool() const { return threadPool_; }

    int passCount() const { return static_cast<int>(passes_.size()); }
    CompositorPass* pass(int i) const { return passes_[static_cast<std::size_t>(i)]; }

protected:
    // [pool thread] Work of one area: the enabled passes in order.
    virtual void compositeArea(int threadIndex, Box area, const CompositorPassBuffers& buffers);
    // [editor thread] The buffers handed to the passes; the base has no work images.
    virtual CompositorPassBuffers makeBuffers(ImageRef<RGBA8> target, const Mipmap<RGBA8>& diffuseMap,
                                              const Mipmap<RGBA8>& materialMap, const Mipmap<L16>& depthMap);

private:
    core::ThreadPool* threadPool_;
    core::Vec<CompositorPass*> passes_;
};

// A multipass compositor with no passes of its own, for editors that add theirs.
class SimpleRawCompositor : public MultipassCompositor {
public:
    using MultipassCompositor::MultipassCompositor;
};

}  // namespace plugkit::gui
