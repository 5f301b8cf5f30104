#pragma once

#include <cstdint>

#include "plugkit/core/Vec.h"
#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"

namespace plugkit::gui::detail {

// Blends source into target over each rectangle (coordinates shared by the three images) with the
// per-pixel opacity m: 0 keeps the target, 255 copies the source.
// 8-bit channels: (s * m + t * (255 - m) + 127) / 255.
void blendWithOpacity(graphics::ImageRef<graphics::RGBA8> target,
                      graphics::ImageRef<const graphics::RGBA8> source,
                      graphics::ImageRef<const graphics::L8> opacity, const core::Vec<graphics::Box>& rects);
// 16-bit: (m * 257 * s + (65535 - m * 257) * t + 32768) / 65536.
void blendWithOpacity(graphics::ImageRef<graphics::L16> target,
                      graphics::ImageRef<const graphics::L16> source,
                      graphics::ImageRef<const graphics::L8> opacity, const core::Vec<graphics::Box>& rects);

}  // namespace plugkit::gui::detail
