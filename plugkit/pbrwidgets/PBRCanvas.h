#pragma once

#include <cstdint>
#include <cstring>

#include "plugkit/core/Vec.h"
#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"

namespace plugkit::pbrwidgets {

using graphics::Box;
using graphics::ImageRef;
using graphics::L16;
using graphics::L8;
using graphics::RGBA8;

// The three PBR maps cut to one dirty rectangle, with the offset that turns the widget's local
// coordinates into the maps' coordinates (x + ox, y + oy). Drawing routines clip to the maps, so a
// widget draws its whole shape for every rectangle and only that rectangle's pixels change.
struct PBRCanvas {
    ImageRef<RGBA8> diffuse;   // colour; alpha is the emissive amount
    ImageRef<L16> depth;       // height: larger values stand out towards the viewer
    ImageRef<RGBA8> material;  // roughness, metalness, specular amount, 255
    float ox = 0;
    float oy = 0;

    float x(float localX) const { return localX + ox; }
    float y(float localY) const { return localY + oy; }
    // A local integer box in the maps' coordinates.
    Box box(const Box& local) const {
        return local.translated(graphics::Point{static_cast<int>(ox), static_cast<int>(oy)});
    }
};

// Material bytes in the order the compositor reads them.
constexpr RGBA8 material(std::uint8_t roughness, std::uint8_t metalness, std::uint8_t specular) {
    return RGBA8{roughness, metalness, specular, 255};
}

// [editor or pool thread] Calls draw(canvas) once per dirty rectangle, with the maps cut to it.
template <class Draw>
void forEachDirtyRect(ImageRef<RGBA8> diffuse, ImageRef<L16> depth, ImageRef<RGBA8> materialMap,
                      const core::Vec<Box>& dirtyRects, const Draw& draw) {
    for (const Box& r : dirtyRects) {
        draw(PBRCanvas{diffuse.crop(r), depth.crop(r), materialMap.crop(r), static_cast<float>(-r.min.x),
                       static_cast<float>(-r.min.y)});
    }
}

// [any thread] Sets the opacity of a box (clipped to the map) to 255.
inline void fillOpaque(ImageRef<L8> opacity, const Box& box) {
    const Box b = box.intersection(opacity.bounds());
    for (int y = b.min.y; y < b.max.y; ++y)
        std::memset(opacity.row(y) + b.min.x, 255, static_cast<std::size_t>(b.width()));
}

}  // namespace plugkit::pbrwidgets
