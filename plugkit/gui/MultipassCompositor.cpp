#include "plugkit/gui/MultipassCompositor.h"

#include <cstdlib>

#include "plugkit/core/FPControl.h"

namespace plugkit::gui {

void CompositorPass::resizeBuffers(int, int, int, int) {}

MultipassCompositor::MultipassCompositor(const CompositorCreationContext& context)
    : threadPool_(context.threadPool) {}

MultipassCompositor::~MultipassCompositor() {
    for (CompositorPass* pass : passes_) {
        void* block = dynamic_cast<void*>(pass);
        pass->~CompositorPass();
        std::free(block);
    }
}

void MultipassCompositor::addPass(CompositorPass* pass) {
    if (pass) passes_.pushBack(pass);
}

void MultipassCompositor::resizeBuffers(int width, int height, int areaMaxWidth, int areaMaxHeight) {
    for (CompositorPass* pass : passes_) pass->resizeBuffers(width, height, areaMaxWidth, areaMaxHeight);
}

CompositorPassBuffers MultipassCompositor::makeBuffers(ImageRef<RGBA8> target,
                                                       const Mipmap<RGBA8>& diffuseMap,
                                                       const Mipmap<RGBA8>& materialMap,
                                                       const Mipmap<L16>& depthMap) {
    CompositorPassBuffers b;
    b.target = target;
    b.diffuseMap = &diffuseMap;
    b.materialMap = &materialMap;
    b.depthMap = &depthMap;
    return b;
}

void MultipassCompositor::compositeArea(int threadIndex, Box area, const CompositorPassBuffers& buffers) {
    for (CompositorPass* pass : passes_)
        if (pass->enabled) pass->render(threadIndex, area, buffers);
}

void MultipassCompositor::compositeTile(ImageRef<RGBA8> target, const core::Vec<Box>& areas,
                                        const Mipmap<RGBA8>& diffuseMap, const Mipmap<RGBA8>& materialMap,
                                        const Mipmap<L16>& depthMap) {
    if (areas.empty()) return;
    const CompositorPassBuffers buffers = makeBuffers(target, diffuseMap, materialMap, depthMap);
    const core::Vec<Box>* list = &areas;
    const CompositorPassBuffers* b = &buffers;
    MultipassCompositor* self = this;
    auto task = [self, list, b](int i, int threadIndex) {
        // Pool workers start with the platform's floating-point mode; lighting must not crawl
        // through denormal numbers whatever the thread.
        const core::FPStateGuard guard;
        self->compositeArea(threadIndex, (*list)[static_cast<std::size_t>(i)], *b);
    };
    if (threadPool_)
        threadPool_->parallelFor(static_cast<int>(areas.size()), task);
    else
        for (int i = 0; i < static_cast<int>(areas.size()); ++i) task(i, 0);
}

}  // namespace plugkit::gui
