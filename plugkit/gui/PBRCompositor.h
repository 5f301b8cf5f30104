#pragma once

#include "plugkit/gui/MultipassCompositor.h"
#include "plugkit/gui/PBRPasses.h"

namespace plugkit::gui {

// The lit compositor: normal, ambient occlusion, oblique shadow light, directional light,
// specular light, skybox reflections, emissive glow, then conversion to 8 bits. The setters store
// their values unchanged in the pass that uses them (directions are not normalised); call them
// on the editor thread, never while compositing.
class PBRCompositor : public MultipassCompositor {
public:
    explicit PBRCompositor(const CompositorCreationContext& context);

    virtual void light1Color(float r, float g, float b);  // oblique shadow light
    virtual void light2Dir(float x, float y, float z);    // directional light
    virtual void light2Color(float r, float g, float b);
    virtual void light3Dir(float x, float y, float z);  // specular light
    virtual void light3Color(float r, float g, float b);
    virtual void skyboxAmount(float amount);
    virtual void ambientLight(float level);

    // [editor thread] Forwards to the passes, then sizes the normal and accumulation buffers.
    void resizeBuffers(int width, int height, int areaMaxWidth, int areaMaxHeight) override;

    PassComputeNormal* computeNormalPass() const { return normal_; }
    PassAmbientOcclusion* ambientOcclusionPass() const { return ambient_; }
    PassObliqueShadowLight* obliqueShadowLightPass() const { return shadow_; }
    PassDirectionalLight* directionalLightPass() const { return directional_; }
    PassSpecularLight* specularLightPass() const { return specular_; }
    PassSkyboxReflections* skyboxReflectionsPass() const { return skybox_; }
    PassEmissiveContribution* emissiveContributionPass() const { return emissive_; }
    PassClampAndConvertTo8bit* clampAndConvertPass() const { return convert_; }

protected:
    // Clears the area of the accumulation buffer, then runs the passes.
    void compositeArea(int threadIndex, Box area, const CompositorPassBuffers& buffers) override;
    CompositorPassBuffers makeBuffers(ImageRef<RGBA8> target, const Mipmap<RGBA8>& diffuseMap,
                                      const Mipmap<RGBA8>& materialMap, const Mipmap<L16>& depthMap) override;

private:
    graphics::OwnedImage<graphics::RGB32f> normalBuffer_;
    graphics::OwnedImage<graphics::RGBA32f> accumBuffer_;
    PassComputeNormal* normal_;
    PassAmbientOcclusion* ambient_;
    PassObliqueShadowLight* shadow_;
    PassDirectionalLight* directional_;
    PassSpecularLight* specular_;
    PassSkyboxReflections* skybox_;
    PassEmissiveContribution* emissive_;
    PassClampAndConvertTo8bit* convert_;
};

}  // namespace plugkit::gui
