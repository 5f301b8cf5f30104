#pragma once

#include "plugkit/core/Vec.h"
#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"

namespace plugkit::flatwidgets {

// [editor or pool thread] Blends source over target with the source pixel's own alpha a, on every
// pixel of rects (coordinates shared by both images): each of the four channels, alpha included,
// becomes ((s * a + d * (255 - a)) * 32897) >> 23, so alpha 255 copies the source pixel and alpha 0
// keeps the target. Parts of rects outside either image are left alone.
void blendOver(graphics::ImageRef<graphics::RGBA8> target, graphics::ImageRef<const graphics::RGBA8> source,
               const core::Vec<graphics::Box>& rects);

}  // namespace plugkit::flatwidgets
