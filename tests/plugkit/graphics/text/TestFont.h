#pragma once

// Builds tiny TrueType fonts with known metrics: 1000 font units from descent to ascent (ascent 800,
// descent -200), glyph 0 empty, glyph 1 a solid box (0, -200) - (1000, ascent) mapped from 'A',
// every advance 1000 units. At 10 px one unit is 0.01 px, so an 'A' box is (0, -8, 10, 2).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "plugkit/graphics/Font.h"

namespace testfont {

using Bytes = std::vector<unsigned char>;

struct Options {
    bool kernAA = false;          // kern pair (A, A) = -100 units
    bool compositeCycle = false;  // glyph 1 is a composite that contains itself
    int ascent = 800;
    int searchRange = 4;  // cmap format 4 binary-search field (4 is right for 2 segments)
    int locaEnd = -1;     // overrides the last loca entry (in half-bytes)
    // A second character map of this format (2 or 14): the one the parser uses (a Windows full
    // repertoire record after the BMP one) or an unused one (a Unicode record before it).
    int extraCmapFormat = 0;
    bool extraCmapUsed = false;
    int compositeScale = 0;  // glyph 0 becomes glyph 1 scaled by this F2Dot14 value
};

inline void put16(Bytes& b, int v) {
    b.push_back(static_cast<unsigned char>((v >> 8) & 255));
    b.push_back(static_cast<unsigned char>(v & 255));
}
inline void put32(Bytes& b, uint32_t v) {
    put16(b, static_cast<int>(v >> 16));
    put16(b, static_cast<int>(v & 0xFFFF));
}

// Writes the tables of a complete font in file order; each table is a few lines, and splitting them into
// functions would only pass the same offsets around.
inline Bytes build(const Options& o = {}) {
    std::vector<std::pair<std::string, Bytes>> tables;
    Bytes head(54, 0);
    head[2] = 0x00;
    head[18] = 1000 >> 8;
    head[19] = 1000 & 255;  // unitsPerEm
    tables.push_back({"head", head});
    Bytes hhea(36, 0);
    hhea[1] = 1;
    hhea[4] = static_cast<unsigned char>((o.ascent >> 8) & 255);
    hhea[5] = static_cast<unsigned char>(o.ascent & 255);
    hhea[6] = 0xFF;
    hhea[7] = 0x38;  // -200
    hhea[35] = 2;    // two long metrics
    tables.push_back({"hhea", hhea});
    Bytes maxp;
    put32(maxp, 0x00005000);
    put16(maxp, 2);
    tables.push_back({"maxp", maxp});
    Bytes hmtx;
    for (int g = 0; g < 2; ++g) put16(hmtx, 1000), put16(hmtx, 0);
    tables.push_back({"hmtx", hmtx});
    Bytes cmap;
    Bytes extra;  // the extra subtable, placed after the format 4 one
    if (o.extraCmapFormat == 2) {
        put16(extra, 2), put16(extra, 6 + 512 + 8), put16(extra, 0);
        extra.resize(extra.size() + 512 + 8, 0);  // every high byte to sub-header 0, which maps nothing
    } else if (o.extraCmapFormat == 14) {
        put16(extra, 14), put32(extra, 10), put32(extra, 0);  // no variation selectors
    }
    const int records = extra.empty() ? 1 : 2;
    const uint32_t format4At = 4 + 8u * records, extraAt = format4At + 32;
    put16(cmap, 0), put16(cmap, records);
    if (!extra.empty() && !o.extraCmapUsed) put16(cmap, 0), put16(cmap, 5), put32(cmap, extraAt);
    put16(cmap, 3), put16(cmap, 1), put32(cmap, format4At);
    if (!extra.empty() && o.extraCmapUsed) put16(cmap, 3), put16(cmap, 10), put32(cmap, extraAt);
    put16(cmap, 4), put16(cmap, 32), put16(cmap, 0), put16(cmap, 4), put16(cmap, o.searchRange),
        put16(cmap, 1), put16(cmap, 0);
    put16(cmap, 'A'), put16(cmap, 0xFFFF), put16(cmap, 0);  // ends, pad
    put16(cmap, 'A'), put16(cmap, 0xFFFF);                  // starts
    put16(cmap, 1 - 'A'), put16(cmap, 1);                   // deltas
    put16(cmap, 0), put16(cmap, 0);                         // range offsets
    cmap.insert(cmap.end(), extra.begin(), extra.end());
    tables.push_back({"cmap", cmap});
    Bytes glyf;
    if (o.compositeScale) {  // glyph 0: glyph 1 with a scale, byte offsets (0, 0)
        put16(glyf, -1), put16(glyf, 0), put16(glyf, -200), put16(glyf, 1000), put16(glyf, o.ascent);
        put16(glyf, 0x0002 | 0x0008), put16(glyf, 1), glyf.push_back(0), glyf.push_back(0);
        put16(glyf, o.compositeScale);
    }
    const int glyph1At = static_cast<int>(glyf.size() / 2);
    if (o.compositeCycle) {
        put16(glyf, -1), put16(glyf, 0), put16(glyf, -200), put16(glyf, 1000), put16(glyf, o.ascent);
        put16(glyf, 0x0002), put16(glyf, 1), glyf.push_back(0), glyf.push_back(0);  // xy offsets (bytes)
    } else {
        put16(glyf, 1), put16(glyf, 0), put16(glyf, -200), put16(glyf, 1000), put16(glyf, o.ascent);
        put16(glyf, 3), put16(glyf, 0);                    // end point, no instructions
        for (int i = 0; i < 4; ++i) glyf.push_back(0x01);  // on-curve, 16-bit deltas
        put16(glyf, 0), put16(glyf, 1000), put16(glyf, 0), put16(glyf, -1000);
        put16(glyf, -200), put16(glyf, 0), put16(glyf, o.ascent + 200), put16(glyf, 0);
    }
    if (glyf.size() & 1) glyf.push_back(0);
    tables.push_back({"glyf", glyf});
    Bytes loca;
    put16(loca, 0), put16(loca, glyph1At),
        put16(loca, o.locaEnd >= 0 ? o.locaEnd : static_cast<int>(glyf.size() / 2));
    tables.push_back({"loca", loca});
    if (o.kernAA) {
        Bytes kern;
        put16(kern, 0), put16(kern, 1);                   // version, one subtable
        put16(kern, 0), put16(kern, 20), put16(kern, 1);  // version, length, coverage
        put16(kern, 1), put16(kern, 6), put16(kern, 0), put16(kern, 0);
        put16(kern, 1), put16(kern, 1), put16(kern, -100);
        tables.push_back({"kern", kern});
    }
    Bytes font;
    put32(font, 0x00010000);
    put16(font, static_cast<int>(tables.size())), put16(font, 0), put16(font, 0), put16(font, 0);
    std::size_t offset = 12 + 16 * tables.size();
    for (auto& [tag, data] : tables) {
        font.insert(font.end(), tag.begin(), tag.end());
        put32(font, 0), put32(font, static_cast<uint32_t>(offset)),
            put32(font, static_cast<uint32_t>(data.size()));
        offset += (data.size() + 3) & ~std::size_t(3);
    }
    for (auto& [tag, data] : tables) {
        font.insert(font.end(), data.begin(), data.end());
        while (font.size() & 3) font.push_back(0);
    }
    return font;
}

// The font the bytes describe, or null when they are refused.
inline plugkit::graphics::FontPtr load(const Bytes& b) {
    return plugkit::graphics::FontPtr(plugkit::graphics::Font::tryCreate(b.data(), b.size()));
}

}  // namespace testfont
