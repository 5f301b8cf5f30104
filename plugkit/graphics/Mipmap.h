#pragma once

#include "plugkit/core/Vec.h"
#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/graphics/Vector.h"

namespace plugkit::graphics {

// Filter used to compute a mipmap level from the one above it (see MipmapFilters.h).
enum class Quality : int {
    box = 0,                    // 2 x 2 average
    cubic = 1,                  // 4 x 4 (1, 3, 3, 1) kernel
    boxAlphaCov = 2,            // 2 x 2 alpha-weighted colour, averaged alpha (RGBA8)
    boxAlphaCovIntoPremul = 3,  // 2 x 2 colour premultiplied by alpha (RGBA8)
};

// A chain of successively halved images: level k is (w >> k) x (h >> k). The owner refreshes it
// area by area after level 0 changes. Instantiated for RGBA8 and L16. Not synchronised: the owner
// sizes and regenerates it; readers sample it while nobody writes.
template <class T>
class Mipmap {
public:
    Mipmap() = default;
    ~Mipmap();
    Mipmap(const Mipmap&) = delete;
    Mipmap& operator=(const Mipmap&) = delete;

    // [owner thread] Holds the levels of a width x height image: as many as both sides can be halved
    // while non-zero, at most maxLevel + 1 (none for a negative maxLevel or size). Existing levels
    // are reused, missing ones created, surplus ones destroyed. Every level ends up without border.
    void size(int maxLevel, int width, int height);

    int numLevels() const { return static_cast<int>(levels_.size()); }
    // [any thread] Level i, 0 <= i < numLevels(); unchecked.
    OwnedImage<T>& level(int i) const { return *levels_[static_cast<std::size_t>(i)]; }

    // [owner thread] Refilters the part of `level` that depends on the changed area of level - 1 and
    // returns that part, so that calls can be chained level after level. For L16 the two
    // alpha-coverage qualities fall back to box. An invalid level gives an empty box.
    Box generateNextLevel(Quality quality, Box updatedRect, int level);

    // [any thread] The area of the next level that depends on area of a level of the given size,
    // clipped to the next level.
    static Box impactOnNextLevel(Quality quality, Box area, int currentLevelWidth, int currentLevelHeight);

    // [any thread] Bilinear sample of a level (clamped to the existing ones) at level-0 coordinates
    // x, y; channels on the 0..255 (RGBA8) or 0..65535 (L16, in component 0) scale. Zero when the
    // mipmap has no pixel; NaN coordinates read the top-left pixel.
    Vector4f linearSample(int level, float x, float y) const;

    // [any thread] Trilinear sample: blends the bilinear samples of the two levels around `level`
    // (a whole level reads only that level). Levels below 0 read level 0.
    Vector4f linearMipmapSample(float level, float x, float y) const;

private:
    core::Vec<OwnedImage<T>*> levels_;
};

extern template class Mipmap<RGBA8>;
extern template class Mipmap<L16>;

}  // namespace plugkit::graphics
