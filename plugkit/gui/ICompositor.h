#pragma once

#include "plugkit/core/ThreadPool.h"
#include "plugkit/core/Vec.h"
#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"
#include "plugkit/graphics/Mipmap.h"

namespace plugkit::gui {

using graphics::Box;
using graphics::ImageRef;
using graphics::L16;
using graphics::Mipmap;
using graphics::RGBA8;

// What an editor hands to the compositor it builds.
struct CompositorCreationContext {
    core::ThreadPool* threadPool = nullptr;  // the editor's pool, not owned
};

// Turns the editor's three PBR maps (with their mipmaps) into lit 8-bit pixels, area by area.
class ICompositor {
public:
    virtual ~ICompositor() = default;
    // [editor thread] The window's size and the largest area composited in one piece.
    virtual void resizeBuffers(int width, int height, int areaMaxWidth, int areaMaxHeight) = 0;
    // [editor thread] Composites every area (window pixels, disjoint, each at most the largest
    // area) into target. Areas may run in parallel on the pool; returns when all are done.
    virtual void compositeTile(ImageRef<RGBA8> target, const core::Vec<Box>& areas,
                               const Mipmap<RGBA8>& diffuseMap, const Mipmap<RGBA8>& materialMap,
                               const Mipmap<L16>& depthMap) = 0;
};

}  // namespace plugkit::gui
