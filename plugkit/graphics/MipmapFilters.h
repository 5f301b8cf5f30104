#pragma once

#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"

namespace plugkit::graphics {

// Filters that compute one mipmap level from the level above it (src is twice the size of dst,
// rounded down). Each writes exactly the pixels of area, after clipping area to dst and to the part
// of dst that src covers (src.w / 2 x src.h / 2); nothing else is read outside src or written
// outside dst. S(i, j) below is source pixel (i, j); all sums are per channel. [any thread], no
// allocation; distinct areas of one level may be filtered in parallel.

// (S(2x,2y) + S(2x+1,2y) + S(2x,2y+1) + S(2x+1,2y+1) + 2) >> 2.
void generateLevelBoxRGBA(Box area, const ImageRef<RGBA8>& src, const ImageRef<RGBA8>& dst);
void generateLevelBoxL16(Box area, const ImageRef<L16>& src, const ImageRef<L16>& dst);

// Separable (1, 3, 3, 1) x (1, 3, 3, 1) over rows and columns 2x-1 .. 2x+2 (clamped to the source),
// (sum + 32) >> 6. Alpha is filtered like the colours.
void generateLevelCubicRGBA(Box area, const ImageRef<RGBA8>& src, const ImageRef<RGBA8>& dst);
void generateLevelCubicL16(Box area, const ImageRef<L16>& src, const ImageRef<L16>& dst);

// Box filter weighting each colour by its alpha: colour = trunc(float(sum c*a) / float(sum a) + 0.5),
// alpha = (sum a + 2) >> 2; four transparent sources give (0, 0, 0, 0).
void generateLevelBoxAlphaCovRGBA(Box area, const ImageRef<RGBA8>& src, const ImageRef<RGBA8>& dst);

// Box filter into premultiplied colour: every channel = (sum c*a + 512) >> 10 (alpha uses a*a).
void generateLevelBoxAlphaCovIntoPremulRGBA(Box area, const ImageRef<RGBA8>& src, const ImageRef<RGBA8>& dst);

}  // namespace plugkit::graphics
