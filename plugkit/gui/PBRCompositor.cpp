#include "plugkit/gui/PBRCompositor.h"

#include <algorithm>

#include "plugkit/core/AlignedAlloc.h"

namespace plugkit::gui {

namespace {

template <class T>
T* addNewPass(MultipassCompositor& compositor, int numThreads) {
    T* pass = core::mallocNew<T>(numThreads);
    compositor.addPass(pass);
    return pass;
}

}  // namespace

PBRCompositor::PBRCompositor(const CompositorCreationContext& context) : MultipassCompositor(context) {
    const int n = context.threadPool ? context.threadPool->numThreads() : 1;
    normal_ = addNewPass<PassComputeNormal>(*this, n);
    ambient_ = addNewPass<PassAmbientOcclusion>(*this, n);
    shadow_ = addNewPass<PassObliqueShadowLight>(*this, n);
    directional_ = addNewPass<PassDirectionalLight>(*this, n);
    specular_ = addNewPass<PassSpecularLight>(*this, n);
    skybox_ = addNewPass<PassSkyboxReflections>(*this, n);
    emissive_ = addNewPass<PassEmissiveContribution>(*this, n);
    convert_ = addNewPass<PassClampAndConvertTo8bit>(*this, n);
}

void PBRCompositor::light1Color(float r, float g, float b) { shadow_->color = {r, g, b}; }
void PBRCompositor::light2Dir(float x, float y, float z) { directional_->direction = {x, y, z}; }
void PBRCompositor::light2Color(float r, float g, float b) { directional_->color = {r, g, b}; }
void PBRCompositor::light3Dir(float x, float y, float z) { specular_->direction = {x, y, z}; }
void PBRCompositor::light3Color(float r, float g, float b) { specular_->color = {r, g, b}; }
void PBRCompositor::skyboxAmount(float amount) { skybox_->amount = amount; }
void PBRCompositor::ambientLight(float level) { ambient_->ambient = level; }

void PBRCompositor::resizeBuffers(int width, int height, int areaMaxWidth, int areaMaxHeight) {
    MultipassCompositor::resizeBuffers(width, height, areaMaxWidth, areaMaxHeight);
    normalBuffer_.size(std::max(width, 0), std::max(height, 0));
    accumBuffer_.size(std::max(width, 0),
                      std::max(height, 0));  // rows of 16-byte pixels from a 16-byte boundary
}

CompositorPassBuffers PBRCompositor::makeBuffers(ImageRef<RGBA8> target, const Mipmap<RGBA8>& diffuseMap,
                                                 const Mipmap<RGBA8>& materialMap,
                                                 const Mipmap<L16>& depthMap) {
    CompositorPassBuffers b = MultipassCompositor::makeBuffers(target, diffuseMap, materialMap, depthMap);
    b.normalBuffer = &normalBuffer_;
    b.accumBuffer = &accumBuffer_;
    return b;
}

void PBRCompositor::compositeArea(int threadIndex, Box area, const CompositorPassBuffers& buffers) {
    // Every pass reads the maps and writes the work images and the target at the area's pixels.
    const auto& b = buffers;
    if (b.diffuseMap->numLevels() == 0 || b.materialMap->numLevels() == 0 || b.depthMap->numLevels() == 0)
        return;
    area = area.intersection(accumBuffer_.bounds())
               .intersection(normalBuffer_.bounds())
               .intersection(b.target.bounds())
               .intersection(b.diffuseMap->level(0).bounds())
               .intersection(b.materialMap->level(0).bounds())
               .intersection(b.depthMap->level(0).bounds());
    if (area.empty()) return;
    for (int y = area.min.y; y < area.max.y; ++y)
        std::fill(accumBuffer_.row(y) + area.min.x, accumBuffer_.row(y) + area.max.x,
                  graphics::RGBA32f{0, 0, 0, 0});
    MultipassCompositor::compositeArea(threadIndex, area, buffers);
}

}  // namespace plugkit::gui
