// The one translation unit that compiles stb_truetype (first rasteriser, static functions).
#include "plugkit/graphics/TrueType.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/Vec.h"

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#define STBTT_RASTERIZER_VERSION 1
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-function"
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_truetype.h>
#if defined(__clang__)
#pragma clang diagnostic pop
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace plugkit::graphics {
namespace {

// Limits on outlines: simple glyph coordinates, and every coordinate stb_truetype computes for a
// composite (stored in its 16-bit vertices, which a larger value would overflow).
constexpr int kMaxCoordinate = 8192;
constexpr double kMaxVertex = 32767.0;
constexpr int kMaxCompositeDepth = 3;

struct Reader {
    const unsigned char* data;
    std::size_t size;
    bool in(std::size_t off, std::size_t len) const { return off <= size && len <= size - off; }
    unsigned u8(std::size_t o) const { return data[o]; }
    unsigned u16(std::size_t o) const { return static_cast<unsigned>(data[o]) << 8 | data[o + 1]; }
    int s16(std::size_t o) const { return static_cast<int16_t>(u16(o)); }
    uint32_t u32(std::size_t o) const { return static_cast<uint32_t>(u16(o)) << 16 | u16(o + 2); }
};

struct Table {
    std::size_t off = 0, len = 0;
    bool present = false;
};

struct FontCheck {
    Reader r{nullptr, 0};
    Table head, hhea, hmtx, maxp, cmap, loca, glyf, kern;
    unsigned numGlyphs = 0;
    bool longLoca = false;
    double outlineExtent = 0.0;      // of the glyph checked last
    unsigned char* state = nullptr;  // per glyph: 0 unchecked, 1 being checked, 2 good
    double* extent = nullptr;        // per good glyph: largest coordinate magnitude of its outline

    std::size_t glyphOffset(unsigned g) const {
        return longLoca ? r.u32(loca.off + 4 * g) : 2u * r.u16(loca.off + 2 * g);
    }

    bool simpleGlyph(std::size_t p, std::size_t end, int contours) {
        if (end - p < 10 + 2u * contours + 2) return false;
        int last = -1;
        for (int i = 0; i < contours; ++i) {
            const int e = static_cast<int>(r.u16(p + 10 + 2 * i));
            if (e <= last) return false;  // contour ends must increase
            last = e;
        }
        const std::size_t n = static_cast<std::size_t>(last) + 1;
        std::size_t q = p + 10 + 2u * contours;
        q += 2 + r.u16(q);
        // Flags with repeats, then the sizes of the x and y coordinates they describe.
        std::size_t xBytes = 0, yBytes = 0, count = 0;
        core::Vec<unsigned char> flags;
        while (count < n) {
            if (q >= end) return false;
            const unsigned f = r.u8(q++);
            unsigned repeat = 1;
            if (f & 8) {
                if (q >= end) return false;
                repeat += r.u8(q++);
            }
            for (unsigned k = 0; k < repeat && count < n; ++k, ++count)
                flags.pushBack(static_cast<unsigned char>(f));
        }
        for (unsigned char f : flags) {
            xBytes += (f & 2) ? 1 : (f & 16) ? 0 : 2;
            yBytes += (f & 4) ? 1 : (f & 32) ? 0 : 2;
        }
        if (end - q < xBytes + yBytes) return false;
        // A one-point contour that starts off the curve makes the outline reader look one point
        // past its end; such contours draw nothing and are refused.
        for (int i = 0, start = 0; i < contours; ++i) {
            const int e = static_cast<int>(r.u16(p + 10 + 2 * i));
            if (e == start && !(flags[static_cast<std::size_t>(e)] & 1)) return false;
            start = e + 1;
        }
        // Coordinates are accumulated deltas; keep them well inside 16 bits.
        long largest = 0;
        for (int axis = 0; axis < 2; ++axis) {
            const unsigned shortBit = axis ? 4 : 2, sameBit = axis ? 32 : 16;
            long v = 0;
            for (unsigned char f : flags) {
                if (f & shortBit) {
                    const int d = static_cast<int>(r.u8(q++));
                    v += (f & sameBit) ? d : -d;
                } else if (!(f & sameBit)) {
                    v += r.s16(q);
                    q += 2;
                }
                if (v > kMaxCoordinate || v < -kMaxCoordinate) return false;
                largest = std::max(largest, v < 0 ? -v : v);
            }
        }
        outlineExtent = static_cast<double>(largest);
        return true;
    }

    // The component's transform as stb_truetype applies it: x' = m * (a x + c y + dx) and
    // y' = n * (b x + d y + dy), with m = |(a, b)| and n = |(c, d)|. Returns the largest magnitude
    // of a transformed coordinate for a component whose own coordinates stay within e.
    static double transformedExtent(const double t[6], double e) {
        const double m = std::sqrt(t[0] * t[0] + t[1] * t[1]), n = std::sqrt(t[2] * t[2] + t[3] * t[3]);
        return std::max(m * ((std::fabs(t[0]) + std::fabs(t[2])) * e + std::fabs(t[4])),
                        n * ((std::fabs(t[1]) + std::fabs(t[3])) * e + std::fabs(t[5])));
    }

    bool compositeGlyph(std::size_t p, std::size_t end, int depth) {
        double largest = 0.0;
        std::size_t q = p + 10;
        for (bool more = true; more;) {
            if (q > end || end - q < 4) return false;
            const unsigned flags = r.u16(q), gidx = r.u16(q + 2);
            q += 4;
            if (!(flags & 2)) return false;  // point matching: the parser cannot place such components
            const std::size_t argBytes = (flags & 1) ? 4 : 2;
            if (end - q < argBytes) return false;
            double t[6] = {1, 0, 0, 1, 0, 0};  // a, b, c, d, dx, dy
            t[4] = (flags & 1) ? r.s16(q) : static_cast<int8_t>(r.u8(q));
            t[5] = (flags & 1) ? r.s16(q + 2) : static_cast<int8_t>(r.u8(q + 1));
            q += argBytes;
            // One scale, x and y scales, or a 2x2 matrix.
            std::size_t scales = 0;
            if (flags & (1u << 3))
                scales = 1;
            else if (flags & (1u << 6))
                scales = 2;
            else if (flags & (1u << 7))
                scales = 4;
            if (end - q < 2 * scales) return false;
            auto f2dot14 = [&](std::size_t i) { return r.s16(q + 2 * i) / 16384.0; };
            if (scales == 1) t[0] = t[3] = f2dot14(0);
            if (scales == 2) t[0] = f2dot14(0), t[3] = f2dot14(1);
            if (scales == 4) t[0] = f2dot14(0), t[1] = f2dot14(1), t[2] = f2dot14(2), t[3] = f2dot14(3);
            q += 2 * scales;
            if (gidx >= numGlyphs || !glyph(gidx, depth + 1)) return false;
            largest = std::max(largest, transformedExtent(t, extent[gidx]));
            if (largest > kMaxVertex) return false;  // would overflow the parser's vertices
            more = flags & (1u << 5);
        }
        outlineExtent = largest;
        return true;
    }

    bool glyph(unsigned g, int depth) {
        if (state[g] == 2) return true;
        if (state[g] == 1 || depth > kMaxCompositeDepth) return false;  // a cycle or too deep
        state[g] = 1;
        outlineExtent = 0.0;
        const std::size_t a = glyphOffset(g), b = glyphOffset(g + 1);
        bool ok = a <= b && b <= glyf.len;
        if (ok && b > a) {
            const std::size_t p = glyf.off + a, end = glyf.off + b;
            ok = b - a >= 10;
            if (ok) {
                const int contours = r.s16(p);
                if (contours > 0)
                    ok = simpleGlyph(p, end, contours);
                else if (contours < 0)
                    ok = compositeGlyph(p, end, depth);
            }
        }
        state[g] = ok ? 2 : 0;
        extent[g] = outlineExtent;
        return ok;
    }

    bool cmapSubtable(std::size_t at) {
        const std::size_t end = cmap.off + cmap.len;
        if (at >= end || end - at < 4) return false;
        const unsigned format = r.u16(at);
        const std::size_t avail = end - at;
        switch (format) {
            case 0:
                return avail >= 6 && r.u16(at + 2) <= avail;
            case 6:
                return avail >= 10 && 10 + 2u * r.u16(at + 8) <= avail;
            case 12:
            case 13:
                return avail >= 16 && (avail - 16) / 12 >= r.u32(at + 12);
            case 4: {
                if (avail < 14) return false;
                const unsigned segs = r.u16(at + 6) / 2;
                if (segs == 0 || 16 + 8u * segs > avail) return false;
                // The lookup trusts the binary-search fields; only the canonical ones are safe.
                unsigned range = 1, selector = 0;
                while (range * 2 <= segs) {
                    range *= 2;
                    ++selector;
                }
                if (r.u16(at + 8) != 2 * range || r.u16(at + 10) != selector ||
                    r.u16(at + 12) != 2 * (segs - range))
                    return false;
                for (unsigned i = 0; i < segs; ++i) {
                    const unsigned last = r.u16(at + 14 + 2 * i), start = r.u16(at + 16 + 2 * segs + 2 * i);
                    const std::size_t rangePos = at + 16 + 6u * segs + 2 * i;
                    const unsigned rangeOffset = r.u16(rangePos);
                    if (rangeOffset == 0 || start > last) continue;
                    if (!r.in(rangePos + rangeOffset, 2u * (last - start) + 2)) return false;
                }
                return true;
            }
            default:
                return false;  // formats the parser cannot look up: 2, 14 and others
        }
    }

    bool run(std::size_t fontOffset) {
        if (!r.in(fontOffset, 12)) return false;
        const unsigned numTables = r.u16(fontOffset + 4);
        if (!r.in(fontOffset + 12, 16u * numTables)) return false;
        for (unsigned i = 0; i < numTables; ++i) {
            const std::size_t rec = fontOffset + 12 + 16 * i;
            Table t{r.u32(rec + 8), r.u32(rec + 12), true};
            if (!r.in(t.off, t.len)) return false;
            const char* tag = reinterpret_cast<const char*>(r.data + rec);
            Table* slot = !std::memcmp(tag, "head", 4)   ? &head
                          : !std::memcmp(tag, "hhea", 4) ? &hhea
                          : !std::memcmp(tag, "hmtx", 4) ? &hmtx
                          : !std::memcmp(tag, "maxp", 4) ? &maxp
                          : !std::memcmp(tag, "cmap", 4) ? &cmap
                          : !std::memcmp(tag, "loca", 4) ? &loca
                          : !std::memcmp(tag, "glyf", 4) ? &glyf
                          : !std::memcmp(tag, "kern", 4) ? &kern
                                                         : nullptr;
            if (slot && !slot->present) *slot = t;  // the parser uses the first table of a tag
        }
        if (!head.present || head.len < 54 || !hhea.present || hhea.len < 36 || !maxp.present ||
            maxp.len < 6 || !hmtx.present || !cmap.present || cmap.len < 4 || !loca.present || !glyf.present)
            return false;
        numGlyphs = r.u16(maxp.off + 4);
        const unsigned longMetrics = r.u16(hhea.off + 34);
        if (numGlyphs == 0 || longMetrics == 0 || hmtx.len < 4u * longMetrics) return false;
        // Glyphs past the long metrics read a left side bearing each from the table's tail.
        if (numGlyphs > longMetrics && hmtx.len < 4u * longMetrics + 2u * (numGlyphs - longMetrics))
            return false;
        const unsigned locFormat = r.u16(head.off + 50);
        if (locFormat > 1) return false;
        longLoca = locFormat == 1;
        if (loca.len < (longLoca ? 4u : 2u) * (numGlyphs + 1)) return false;
        // The parser uses the last subtable of the Unicode platform or of the Windows BMP and full
        // repertoire encodings; that one must be a format it can look up, the others are unused.
        const unsigned subtables = r.u16(cmap.off + 2);
        if (cmap.len < 4 + 8u * subtables) return false;
        std::size_t used = 0;
        for (unsigned i = 0; i < subtables; ++i) {
            const std::size_t rec = cmap.off + 4 + 8 * i;
            const unsigned platform = r.u16(rec), encoding = r.u16(rec + 2);
            if (platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10))) used = rec;
        }
        if (!used || !cmapSubtable(cmap.off + r.u32(used + 4))) return false;
        if (kern.present) {
            if (kern.len < 4) return false;
            if (r.u16(kern.off + 2) >= 1) {
                if (kern.len < 18) return false;
                if (r.u16(kern.off + 8) == 1 && 18 + 6u * r.u16(kern.off + 10) > kern.len) return false;
            }
        }
        state = static_cast<unsigned char*>(std::calloc(numGlyphs, 1));
        extent = static_cast<double*>(std::calloc(numGlyphs, sizeof(double)));
        if (!state || !extent) core::outOfMemory();
        bool ok = true;
        for (unsigned g = 0; g < numGlyphs && ok; ++g) ok = glyph(g, 0);
        std::free(state);
        std::free(extent);
        state = nullptr;
        extent = nullptr;
        return ok;
    }
};

const stbtt_fontinfo* info(const void* p) { return static_cast<const stbtt_fontinfo*>(p); }

}  // namespace

TrueTypeFace::~TrueTypeFace() { std::free(info_); }

bool TrueTypeFace::init(const unsigned char* data, std::size_t size) {
    if (info_ || !data || size < 12 || size > 0x7fffffffu) return false;
    Reader r{data, size};
    std::size_t offset = 0;
    if (!std::memcmp(data, "ttcf", 4)) {
        if (size < 16 || r.u32(8) == 0) return false;
        offset = r.u32(12);
    } else {
        const uint32_t tag = r.u32(0);
        if (tag != 0x00010000u && tag != 0x74727565u /* true */) return false;
    }
    FontCheck check;
    check.r = r;
    if (!check.run(offset)) return false;
    const int found = stbtt_GetFontOffsetForIndex(data, 0);
    if (found < 0 || static_cast<std::size_t>(found) != offset) return false;
    auto* fi = static_cast<stbtt_fontinfo*>(std::calloc(1, sizeof(stbtt_fontinfo)));
    if (!fi) core::outOfMemory();
    if (!stbtt_InitFont(fi, data, found) || fi->glyf == 0) {
        std::free(fi);
        return false;
    }
    fi->gpos = 0;  // kerning comes from the checked kern table only
    info_ = fi;
    numGlyphs_ = static_cast<int>(check.numGlyphs);
    ascent_ = check.r.s16(check.hhea.off + 4);
    descent_ = check.r.s16(check.hhea.off + 6);
    lineGap_ = check.r.s16(check.hhea.off + 8);
    if (ascent_ <= descent_) {  // the text scale divides by ascent - descent
        std::free(info_);
        info_ = nullptr;
        return false;
    }
    return true;
}

int TrueTypeFace::glyphIndex(uint32_t codePoint) const {
    if (codePoint > 0x10FFFF) return 0;
    const int glyph = stbtt_FindGlyphIndex(info(info_), static_cast<int>(codePoint));
    // The character map may name glyphs the font does not have: those draw the missing glyph.
    return glyph >= 0 && glyph < numGlyphs_ ? glyph : 0;
}

bool TrueTypeFace::glyphBox(int glyph, int& x0, int& y0, int& x1, int& y1) const {
    return stbtt_GetGlyphBox(info(info_), glyph, &x0, &y0, &x1, &y1) != 0;
}

int TrueTypeFace::advance(int glyph) const {
    int adv = 0, lsb = 0;
    stbtt_GetGlyphHMetrics(info(info_), glyph, &adv, &lsb);
    return adv;
}

int TrueTypeFace::kernAdvance(uint32_t first, uint32_t second) const {
    return stbtt_GetGlyphKernAdvance(info(info_), glyphIndex(first), glyphIndex(second));
}

void TrueTypeFace::renderGlyph(unsigned char* out, int w, int h, int stride, float scale, float xShift,
                               float yShift, int glyph) const {
    stbtt_MakeGlyphBitmapSubpixel(info(info_), out, w, h, stride, scale, scale, xShift, yShift, glyph);
}

}  // namespace plugkit::graphics
