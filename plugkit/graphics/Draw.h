#pragma once

#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"

namespace plugkit::graphics {

// Software rasterising routines over RGBA8 and L16 targets. Coordinates are pixel units with
// (0, 0) at the top-left corner of the top-left pixel; rectangle corners may come in any order.
// A coverage c in 0..1 becomes the weight a = int(c * max + 0.5) (max 255 or 65535), and colour C
// is blended into pixel D as ((C * a + D * (255 - a)) * 32897) >> 23 for RGBA8 (every channel,
// alpha included) or (C * a + D * (65535 - a)) / 65535 for L16; weight max writes C, weight 0
// leaves D. Every routine clips to the target, whatever the arguments (empty, reversed, huge or NaN
// coordinates write nothing outside it). [any thread] no allocation, no state; distinct targets or
// disjoint areas may be drawn in parallel.

// Rectangle with fractional edges: edge pixels get the covered fraction, the interior globalAlpha.
// A rectangle narrower than a pixel gets its width (height) as coverage; a zero-sized one draws
// nothing. `clipped` is kept for callers that know the shape lies inside (both variants are safe).
template <bool clipped, class T>
void aaFillRectFloat(const ImageRef<T>& target, float x1, float y1, float x2, float y2, T color,
                     float globalAlpha = 1.0f);

// Integer rectangle [x1, x2) x [y1, y2) (corners in any order) at one opacity: globalAlpha exactly 1
// writes the colour, otherwise every pixel is blended with the weight of globalAlpha. "Float" names
// the float opacity, not the corners: the anti-aliased rectangle with float corners is aaFillRectFloat.
template <bool clipped, class T>
void fillRectFloat(const ImageRef<T>& target, int x1, int y1, int x2, int y2, T color, float globalAlpha);

// Gradient over rect from colour0 (first row) towards colour1: row y gets weight
// h = int(t^curvature * 65535 + 0.5) with t = (y - rect.min.y) / rect.height() (unclipped rect), and
// value (colour1 * h + colour0 * (65535 - h)) / 65535 per channel; pixels are overwritten.
template <class T>
void verticalSlope(const ImageRef<T>& target, Box rect, T color0, T color1, float curvature = 1.0f);
// The same from left (colour0) to right.
template <class T>
void horizontalSlope(const ImageRef<T>& target, Box rect, T color0, T color1, float curvature = 1.0f);

// Disc centred on (x, y), pixels taken at their integer coordinates: coverage globalAlpha inside
// rInner, (1 - t^curvature) * globalAlpha between rInner and rOuter with t the position on the rim
// in squared distance, nothing from rOuter on.
template <class T>
void aaSoftDisc(const ImageRef<T>& target, float x, float y, float rInner, float rOuter, T color,
                float globalAlpha, float curvature = 1.0f);

// Ring sector centred on (x, y) between radii rMin and rMax and angles angleStart .. angleStop
// (radians, atan2 convention with y downwards; a start above the stop wraps through pi), with
// one-pixel anti-aliasing on the outer radius and on both angular edges.
template <class T>
void aaFillSector(const ImageRef<T>& target, float x, float y, float rMin, float rMax, float angleStart,
                  float angleStop, T color);

// [any thread] Weight of a coverage for pixel type T (NaN and negatives give 0, 1 and more the max).
template <class T>
int coverageToWeight(float coverage);

// [any thread] Blends color into d with a weight in 0 .. max (see above).
template <class T>
void blendPixel(T& d, T color, int weight);

}  // namespace plugkit::graphics
