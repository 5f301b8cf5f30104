#include "plugkit/graphics/JpegDecoder.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "plugkit/core/AlignedAlloc.h"

namespace plugkit::graphics {
namespace {

// Natural (row-major) index of the k-th coefficient in zigzag order; the tail guards k = 64..79.
constexpr uint8_t kZigzag[80] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
                                 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

constexpr int kFastBits = 9;
// Bytes of zero padding the bit reader may invent past the end of a segment before the entropy data
// counts as truncated; a well-formed stream never needs more than the reader's look-ahead.
constexpr int kMaxPadding = 32;

struct Huffman {
    bool defined = false;
    uint16_t fast[1 << kFastBits];  // (length << 8) | symbol, 0 when the code is longer
    int maxCode[18];
    int minCode[17];
    int valPtr[17];
    uint8_t symbols[256];

    // Builds the canonical code from the 16 length counts; false for an over-full code.
    bool build(const uint8_t* counts, const uint8_t* values, int total) {
        std::memset(fast, 0, sizeof fast);
        std::memcpy(symbols, values, static_cast<std::size_t>(total));
        int code = 0, k = 0;
        for (int len = 1; len <= 16; ++len) {
            valPtr[len] = k;
            minCode[len] = code;
            code += counts[len - 1];
            k += counts[len - 1];
            if (code > (1 << len)) return false;
            maxCode[len] = counts[len - 1] ? code - 1 : -1;
            if (len <= kFastBits) {
                for (int c = minCode[len]; c < code; ++c) {
                    const int shift = kFastBits - len;
                    for (int j = 0; j < (1 << shift); ++j)
                        fast[(c << shift) + j] =
                            static_cast<uint16_t>((len << 8) | symbols[valPtr[len] + c - minCode[len]]);
                }
            }
            code <<= 1;
        }
        maxCode[17] = 0x7fffffff;
        defined = true;
        return true;
    }
};

struct Component {
    int id = 0, h = 1, v = 1, tq = 0;
    int dcTable = 0, acTable = 0;
    int blocksW = 0, blocksH = 0;  // allocated blocks, whole MCUs
    int16_t* coefs = nullptr;
    uint8_t* plane = nullptr;  // blocksW * 8 wide
    int dcPred = 0;
    bool quantSet = false;
    uint16_t quant[64];
};

// Marker codes (the byte after 0xFF).
enum Marker : int {
    kTEM = 0x01,    // temporary, no segment
    kSOF0 = 0xC0,   // baseline frame
    kSOF1 = 0xC1,   // extended sequential frame
    kSOF2 = 0xC2,   // progressive frame
    kSOF3 = 0xC3,   // first of the unsupported frame types (lossless, hierarchical, arithmetic)
    kDHT = 0xC4,    // Huffman tables
    kSOF15 = 0xCF,  // last of the frame types
    kRST0 = 0xD0,   // restart markers 0 to 7
    kRST7 = 0xD7,
    kSOI = 0xD8,  // start of image
    kEOI = 0xD9,  // end of image
    kSOS = 0xDA,  // start of scan
    kDQT = 0xDB,  // quantisation tables
    kDNL = 0xDC,  // number of lines (unsupported)
    kDRI = 0xDD,  // restart interval
};

class Decoder {
public:
    Decoder(JpegReadFn read, void* user) : read_(read), user_(user) {}
    ~Decoder() {
        for (Component& c : comps_) {
            std::free(c.coefs);
            std::free(c.plane);
        }
    }

    unsigned char* run(int* w, int* h, int* comps, int requested);

private:
    // Input
    int byte() {
        if (pos_ == len_) {
            if (eof_) return -1;
            len_ = read_(buf_, sizeof buf_, &eof_, user_);
            pos_ = 0;
            if (len_ <= 0 || len_ > static_cast<int>(sizeof buf_)) {
                len_ = 0;
                eof_ = true;
                return -1;
            }
        }
        return buf_[pos_++];
    }
    bool readSegment(int& length);
    int nextMarker();

    // Entropy-coded data
    void resetBits() {
        acc_ = 0;
        nbits_ = 0;
        padding_ = 0;
    }
    void fill();
    int peek(int n) const { return static_cast<int>((acc_ >> (nbits_ - n)) & ((1u << n) - 1)); }
    int bits(int n) {
        if (n == 0) return 0;
        if (nbits_ < n) fill();
        const int v = peek(n);
        nbits_ -= n;
        return v;
    }
    static int extend(int v, int s) { return (s > 0 && v < (1 << (s - 1))) ? v - (1 << s) + 1 : v; }
    int decode(const Huffman& t);

    bool parseFrame(const uint8_t* p, int n, bool progressive);
    bool parseScan(const uint8_t* p, int n);
    // Decodes the entropy-coded data of the scan just parsed, with its restart markers.
    bool decodeScan();
    bool parseQuant(const uint8_t* p, int n);
    bool parseHuffman(const uint8_t* p, int n);
    bool restart();
    bool decodeBlock(Component& c, int bx, int by);
    bool blockSequential(Component& c, int16_t* blk);
    bool blockDcFirst(Component& c, int16_t* blk);
    bool blockDcRefine(int16_t* blk);
    bool blockAcFirst(Component& c, int16_t* blk);
    bool blockAcRefine(Component& c, int16_t* blk);
    void finishComponent(Component& c);
    unsigned char* output(int requested);

    JpegReadFn read_;
    void* user_;
    uint8_t buf_[4096];
    int pos_ = 0, len_ = 0;
    bool eof_ = false;

    uint64_t acc_ = 0;
    int nbits_ = 0;
    int padding_ = 0;
    int pendingMarker_ = -1;
    bool failed_ = false;

    uint8_t segment_[65536];
    uint16_t quant_[4][64];
    bool quantDefined_[4] = {};
    Huffman dc_[4], ac_[4];

    bool frame_ = false, progressive_ = false;
    int width_ = 0, height_ = 0, ncomp_ = 0, hmax_ = 1, vmax_ = 1, mcusX_ = 0, mcusY_ = 0;
    Component comps_[3];
    int restartInterval_ = 0;
    int eobrun_ = 0;
    // Current scan
    Component* scan_[3] = {};
    int ns_ = 0, ss_ = 0, se_ = 0, ah_ = 0, al_ = 0;
};

bool Decoder::readSegment(int& length) {
    const int hi = byte(), lo = byte();
    if (hi < 0 || lo < 0) return false;
    length = (hi << 8 | lo) - 2;
    if (length < 0) return false;
    for (int i = 0; i < length; ++i) {
        const int b = byte();
        if (b < 0) return false;
        segment_[i] = static_cast<uint8_t>(b);
    }
    return true;
}

// The next marker code, skipping any bytes before it; -1 at the end of the input.
int Decoder::nextMarker() {
    if (pendingMarker_ >= 0) {
        const int m = pendingMarker_;
        pendingMarker_ = -1;
        return m;
    }
    int b = byte();
    for (;;) {
        while (b >= 0 && b != 0xFF) b = byte();
        if (b < 0) return -1;
        while (b == 0xFF) b = byte();
        if (b < 0) return -1;
        if (b != 0) return b;
        b = byte();  // a stuffed FF 00 left over from entropy data
    }
}

void Decoder::fill() {
    while (nbits_ <= 56) {
        int b = 0;
        if (pendingMarker_ >= 0) {
            if (++padding_ > kMaxPadding) failed_ = true;
        } else {
            b = byte();
            if (b < 0) {
                failed_ = true;  // input ended inside entropy-coded data
                b = 0;
            } else if (b == 0xFF) {
                int next = byte();
                while (next == 0xFF) next = byte();
                if (next < 0) {
                    failed_ = true;
                    b = 0;
                } else if (next != 0) {
                    pendingMarker_ = next;
                    b = 0;
                }
            }
        }
        acc_ = (acc_ << 8) | static_cast<uint64_t>(b);
        nbits_ += 8;
    }
}

int Decoder::decode(const Huffman& t) {
    if (nbits_ < 16) fill();
    const uint16_t f = t.fast[peek(kFastBits)];
    if (f) {
        nbits_ -= f >> 8;
        return f & 0xFF;
    }
    for (int len = kFastBits + 1; len <= 16; ++len) {
        const int code = peek(len);
        if (code <= t.maxCode[len]) {
            nbits_ -= len;
            return t.symbols[(t.valPtr[len] + code - t.minCode[len]) & 0xFF];
        }
    }
    failed_ = true;
    return -1;
}

bool Decoder::parseQuant(const uint8_t* p, int n) {
    while (n > 0) {
        const int pq = p[0] >> 4, tq = p[0] & 15;
        const int bytes = pq ? 128 : 64;
        if (pq > 1 || tq > 3 || n < 1 + bytes) return false;
        for (int k = 0; k < 64; ++k)
            quant_[tq][kZigzag[k]] = pq ? static_cast<uint16_t>(p[1 + 2 * k] << 8 | p[2 + 2 * k]) : p[1 + k];
        quantDefined_[tq] = true;
        p += 1 + bytes;
        n -= 1 + bytes;
    }
    return true;
}

bool Decoder::parseHuffman(const uint8_t* p, int n) {
    while (n > 0) {
        if (n < 17) return false;
        const int tc = p[0] >> 4, th = p[0] & 15;
        if (tc > 1 || th > 3) return false;
        int total = 0;
        for (int i = 0; i < 16; ++i) total += p[1 + i];
        if (total > 256 || n < 17 + total) return false;
        Huffman& t = tc ? ac_[th] : dc_[th];
        if (!t.build(p + 1, p + 17, total)) return false;
        p += 17 + total;
        n -= 17 + total;
    }
    return true;
}

bool Decoder::parseFrame(const uint8_t* p, int n, bool progressive) {
    if (frame_ || n < 6) return false;
    frame_ = true;
    progressive_ = progressive;
    height_ = p[1] << 8 | p[2];
    width_ = p[3] << 8 | p[4];
    ncomp_ = p[5];
    if (p[0] != 8 || (ncomp_ != 1 && ncomp_ != 3) || n < 6 + 3 * ncomp_) return false;
    if (width_ <= 0 || height_ <= 0 || width_ > jpegMaxDimension || height_ > jpegMaxDimension ||
        static_cast<long long>(width_) * height_ > jpegMaxPixels)
        return false;
    for (int i = 0; i < ncomp_; ++i) {
        Component& c = comps_[i];
        c.id = p[6 + 3 * i];
        c.h = p[7 + 3 * i] >> 4;
        c.v = p[7 + 3 * i] & 15;
        c.tq = p[8 + 3 * i];
        if (c.tq > 3 || c.h < 1 || c.v < 1 || c.h > 4 || c.v > 4) return false;
        for (int j = 0; j < i; ++j)
            if (comps_[j].id == c.id) return false;
    }
    if (ncomp_ == 1) {
        if (comps_[0].h != 1 || comps_[0].v != 1) return false;  // grey is accepted at 1x1 only
    } else if (comps_[0].h > 2 || comps_[0].v > 2 || comps_[1].h != 1 || comps_[1].v != 1 ||
               comps_[2].h != 1 || comps_[2].v != 1) {
        return false;
    }
    hmax_ = comps_[0].h;
    vmax_ = comps_[0].v;
    mcusX_ = (width_ + 8 * hmax_ - 1) / (8 * hmax_);
    mcusY_ = (height_ + 8 * vmax_ - 1) / (8 * vmax_);
    for (int i = 0; i < ncomp_; ++i) {
        Component& c = comps_[i];
        c.blocksW = mcusX_ * c.h;
        c.blocksH = mcusY_ * c.v;
        const std::size_t blocks = static_cast<std::size_t>(c.blocksW) * static_cast<std::size_t>(c.blocksH);
        c.coefs = static_cast<int16_t*>(std::calloc(blocks * 64, sizeof(int16_t)));
        if (!c.coefs) return false;
    }
    return true;
}

bool Decoder::parseScan(const uint8_t* p, int n) {
    if (!frame_ || n < 1) return false;
    ns_ = p[0];
    if (ns_ < 1 || ns_ > ncomp_ || n < 4 + 2 * ns_) return false;
    for (int i = 0; i < ns_; ++i) {
        Component* c = nullptr;
        for (int j = 0; j < ncomp_; ++j)
            if (comps_[j].id == p[1 + 2 * i]) c = &comps_[j];
        if (!c) return false;
        for (int j = 0; j < i; ++j)
            if (scan_[j] == c) return false;
        c->dcTable = p[2 + 2 * i] >> 4;
        c->acTable = p[2 + 2 * i] & 15;
        if (c->dcTable > 3 || c->acTable > 3) return false;
        scan_[i] = c;
    }
    ss_ = p[1 + 2 * ns_];
    se_ = p[2 + 2 * ns_];
    ah_ = p[3 + 2 * ns_] >> 4;
    al_ = p[3 + 2 * ns_] & 15;
    if (progressive_) {
        if (ss_ > se_ || se_ > 63 || (ss_ == 0) != (se_ == 0) || al_ > 13 || ah_ > 13) return false;
        if (ss_ > 0 && ns_ != 1) return false;
    }
    for (int i = 0; i < ns_; ++i) {
        Component& c = *scan_[i];
        const bool needDc = !progressive_ || (ss_ == 0 && ah_ == 0);
        const bool needAc = !progressive_ || ss_ > 0;
        if ((needDc && !dc_[c.dcTable].defined) || (needAc && !ac_[c.acTable].defined)) return false;
        if (!c.quantSet) {
            if (!quantDefined_[c.tq]) return false;
            std::memcpy(c.quant, quant_[c.tq], sizeof c.quant);
            c.quantSet = true;
        }
        c.dcPred = 0;
    }
    return true;
}

bool Decoder::blockSequential(Component& c, int16_t* blk) {
    const int t = decode(dc_[c.dcTable]);
    if (t < 0 || t > 15) return false;
    c.dcPred = static_cast<int16_t>(c.dcPred + extend(bits(t), t));
    blk[0] = static_cast<int16_t>(c.dcPred);
    const Huffman& ac = ac_[c.acTable];
    for (int k = 1; k < 64;) {
        const int rs = decode(ac);
        if (rs < 0) return false;
        const int r = rs >> 4, s = rs & 15;
        if (s == 0) {
            if (r != 15) break;
            k += 16;
            continue;
        }
        k += r;
        if (k > 63) return false;
        blk[kZigzag[k++]] = static_cast<int16_t>(extend(bits(s), s));
    }
    return true;
}

bool Decoder::blockDcFirst(Component& c, int16_t* blk) {
    const int t = decode(dc_[c.dcTable]);
    if (t < 0 || t > 15) return false;
    c.dcPred = static_cast<int16_t>(c.dcPred + extend(bits(t), t));
    blk[0] = static_cast<int16_t>(c.dcPred * (1 << al_));
    return true;
}

bool Decoder::blockDcRefine(int16_t* blk) {
    if (bits(1)) blk[0] = static_cast<int16_t>(blk[0] | (1 << al_));
    return true;
}

bool Decoder::blockAcFirst(Component& c, int16_t* blk) {
    if (eobrun_ > 0) {
        --eobrun_;
        return true;
    }
    const Huffman& ac = ac_[c.acTable];
    for (int k = ss_; k <= se_;) {
        const int rs = decode(ac);
        if (rs < 0) return false;
        const int r = rs >> 4, s = rs & 15;
        if (s == 0) {
            if (r < 15) {
                eobrun_ = (1 << r) - 1 + bits(r);
                break;
            }
            k += 16;
            continue;
        }
        k += r;
        if (k > se_) return false;
        blk[kZigzag[k++]] = static_cast<int16_t>(extend(bits(s), s) * (1 << al_));
    }
    return true;
}

bool Decoder::blockAcRefine(Component& c, int16_t* blk) {
    const int p1 = 1 << al_, m1 = -p1;
    // A coefficient that is already non-zero takes one correction bit, moving it away from zero.
    auto refine = [&](int16_t& coef) {
        if (bits(1) && (coef & p1) == 0) coef = static_cast<int16_t>(coef + (coef >= 0 ? p1 : m1));
    };
    int k = ss_;
    if (eobrun_ == 0) {
        const Huffman& ac = ac_[c.acTable];
        for (; k <= se_; ++k) {
            const int rs = decode(ac);
            if (rs < 0) return false;
            int r = rs >> 4, s = rs & 15;
            if (s) {
                if (s != 1) return false;
                s = bits(1) ? p1 : m1;
            } else if (r != 15) {
                eobrun_ = (1 << r) + bits(r);
                break;
            }
            while (k <= se_) {
                int16_t& coef = blk[kZigzag[k]];
                if (coef != 0) {
                    refine(coef);
                } else if (--r < 0) {
                    break;
                }
                ++k;
            }
            if (s) {
                if (k > se_) return false;
                blk[kZigzag[k]] = static_cast<int16_t>(s);
            }
            if (failed_) return false;
        }
    }
    if (eobrun_ > 0) {
        for (; k <= se_; ++k) {
            int16_t& coef = blk[kZigzag[k]];
            if (coef != 0) refine(coef);
        }
        --eobrun_;
    }
    return true;
}

bool Decoder::decodeBlock(Component& c, int bx, int by) {
    int16_t* blk = c.coefs + (static_cast<std::size_t>(by) * c.blocksW + bx) * 64;
    bool ok;
    if (!progressive_)
        ok = blockSequential(c, blk);
    else if (ss_ == 0)
        ok = ah_ == 0 ? blockDcFirst(c, blk) : blockDcRefine(blk);
    else
        ok = ah_ == 0 ? blockAcFirst(c, blk) : blockAcRefine(c, blk);
    return ok && !failed_;
}

// Ends a restart interval: the next marker must be RSTn; predictions and runs start afresh.
bool Decoder::restart() {
    resetBits();
    const int m = nextMarker();
    if (m < 0xD0 || m > 0xD7) return false;
    for (int i = 0; i < ns_; ++i) scan_[i]->dcPred = 0;
    eobrun_ = 0;
    return true;
}

void Decoder::finishComponent(Component& c) {
    static float table[8][8];  // table[x][u] = C(u) / 2 * cos((2x + 1) u pi / 16)
    static bool tableReady = [] {
        for (int x = 0; x < 8; ++x)
            for (int u = 0; u < 8; ++u)
                table[x][u] = static_cast<float>((u == 0 ? std::sqrt(0.5) : 1.0) / 2.0 *
                                                 std::cos((2 * x + 1) * u * 3.14159265358979323846 / 16.0));
        return true;
    }();
    (void)tableReady;
    const std::size_t pitch = static_cast<std::size_t>(c.blocksW) * 8;
    for (int by = 0; by < c.blocksH; ++by) {
        for (int bx = 0; bx < c.blocksW; ++bx) {
            const int16_t* blk = c.coefs + (static_cast<std::size_t>(by) * c.blocksW + bx) * 64;
            float f[64], tmp[64];
            for (int i = 0; i < 64; ++i) f[i] = static_cast<float>(blk[i]) * static_cast<float>(c.quant[i]);
            for (int v = 0; v < 8; ++v)  // rows: frequency u -> position x
                for (int x = 0; x < 8; ++x) {
                    float s = 0;
                    for (int u = 0; u < 8; ++u) s += table[x][u] * f[v * 8 + u];
                    tmp[v * 8 + x] = s;
                }
            uint8_t* out =
                c.plane + static_cast<std::size_t>(by) * 8 * pitch + static_cast<std::size_t>(bx) * 8;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    float s = 128.0f;
                    for (int v = 0; v < 8; ++v) s += table[y][v] * tmp[v * 8 + x];
                    const float r = std::floor(s + 0.5f);
                    out[y * pitch + x] = static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
                }
        }
    }
}

inline uint8_t clampByte(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// One full-resolution row of a 1x1 chroma plane for a luminance sampled hf x vf, by triangular
// interpolation between the nearest chroma samples (edges repeat).
void upsampleRow(const uint8_t* plane, std::size_t pitch, int cw, int ch, int hf, int vf, int y,
                 uint8_t* out) {
    const int nearY = y / vf;
    int farY = nearY;
    if (vf == 2) farY = (y & 1) ? (nearY + 1 < ch ? nearY + 1 : ch - 1) : (nearY > 0 ? nearY - 1 : 0);
    const uint8_t* n = plane + static_cast<std::size_t>(nearY) * pitch;
    const uint8_t* f = plane + static_cast<std::size_t>(farY) * pitch;
    if (hf == 1) {
        for (int i = 0; i < cw; ++i)
            out[i] = vf == 2 ? static_cast<uint8_t>((3 * n[i] + f[i] + 2) >> 2) : n[i];
        return;
    }
    if (vf == 1) {
        if (cw == 1) {
            out[0] = out[1] = n[0];
            return;
        }
        out[0] = n[0];
        for (int i = 0; i < cw; ++i) {
            const int c3 = 3 * n[i] + 2;
            if (i > 0) out[2 * i] = static_cast<uint8_t>((c3 + n[i - 1]) >> 2);
            if (i + 1 < cw) out[2 * i + 1] = static_cast<uint8_t>((c3 + n[i + 1]) >> 2);
        }
        out[2 * cw - 1] = n[cw - 1];
        return;
    }
    // 2x2: vertical blend first (weights 3:1, scale 4), then horizontal (3:1, scale 16).
    auto t = [&](int i) { return 3 * n[i] + f[i]; };
    if (cw == 1) {
        out[0] = out[1] = static_cast<uint8_t>((t(0) + 2) >> 2);
        return;
    }
    out[0] = static_cast<uint8_t>((t(0) + 2) >> 2);
    for (int i = 1; i < cw; ++i) {
        out[2 * i - 1] = static_cast<uint8_t>((3 * t(i - 1) + t(i) + 8) >> 4);
        out[2 * i] = static_cast<uint8_t>((3 * t(i) + t(i - 1) + 8) >> 4);
    }
    out[2 * cw - 1] = static_cast<uint8_t>((t(cw - 1) + 2) >> 2);
}

unsigned char* Decoder::output(int requested) {
    for (int i = 0; i < ncomp_; ++i) {
        Component& c = comps_[i];
        c.plane = static_cast<uint8_t*>(std::malloc(static_cast<std::size_t>(c.blocksW) * c.blocksH * 64));
        if (!c.plane) return nullptr;
        if (!c.quantSet) std::memset(c.quant, 0, sizeof c.quant);  // never scanned: mid grey
        finishComponent(c);
    }
    const int comps = requested == -1 ? ncomp_ : requested;
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * comps;
    auto* pixels = static_cast<unsigned char*>(std::malloc(rowBytes * static_cast<std::size_t>(height_)));
    if (!pixels) return nullptr;
    const Component& yc = comps_[0];
    const std::size_t yPitch = static_cast<std::size_t>(yc.blocksW) * 8;
    const int cw = (width_ + hmax_ - 1) / hmax_, ch = (height_ + vmax_ - 1) / vmax_;
    auto* cb = static_cast<uint8_t*>(std::malloc(static_cast<std::size_t>(cw) * 2 * 2 + 16));
    if (!cb) {
        std::free(pixels);
        return nullptr;
    }
    uint8_t* cr = cb + static_cast<std::size_t>(cw) * 2 + 8;
    const bool colour = ncomp_ == 3 && comps > 1;
    for (int y = 0; y < height_; ++y) {
        const uint8_t* yr = yc.plane + static_cast<std::size_t>(y) * yPitch;
        unsigned char* out = pixels + static_cast<std::size_t>(y) * rowBytes;
        if (!colour) {
            for (int x = 0; x < width_; ++x)
                for (int k = 0; k < comps; ++k) out[x * comps + k] = (k == 3) ? 255 : yr[x];
            continue;
        }
        const std::size_t cPitch = static_cast<std::size_t>(comps_[1].blocksW) * 8;
        upsampleRow(comps_[1].plane, cPitch, cw, ch, hmax_, vmax_, y, cb);
        upsampleRow(comps_[2].plane, cPitch, cw, ch, hmax_, vmax_, y, cr);
        for (int x = 0; x < width_; ++x) {
            // JFIF YCbCr -> RGB in 16-bit fixed point, rounded.
            const int yy = yr[x] * 65536 + 32768, u = cb[x] - 128, v = cr[x] - 128;
            out[x * comps + 0] = clampByte((yy + 91881 * v) >> 16);
            out[x * comps + 1] = clampByte((yy - 22554 * u - 46802 * v) >> 16);
            out[x * comps + 2] = clampByte((yy + 116130 * u) >> 16);
            if (comps == 4) out[x * comps + 3] = 255;
        }
    }
    std::free(cb);
    return pixels;
}

bool Decoder::decodeScan() {
    resetBits();
    eobrun_ = 0;
    int untilRestart = restartInterval_;
    auto unitDone = [&](bool last) {
        if (restartInterval_ == 0 || last || --untilRestart > 0) return true;
        untilRestart = restartInterval_;
        return restart();
    };
    if (ns_ == 1) {
        Component& c = *scan_[0];
        const int bw = ((width_ * c.h + hmax_ - 1) / hmax_ + 7) / 8;
        const int bh = ((height_ * c.v + vmax_ - 1) / vmax_ + 7) / 8;
        for (int by = 0; by < bh; ++by)
            for (int bx = 0; bx < bw; ++bx)
                if (!decodeBlock(c, bx, by) || !unitDone(by == bh - 1 && bx == bw - 1)) return false;
    } else {
        for (int my = 0; my < mcusY_; ++my)
            for (int mx = 0; mx < mcusX_; ++mx) {
                for (int i = 0; i < ns_; ++i) {
                    Component& c = *scan_[i];
                    for (int v = 0; v < c.v; ++v)
                        for (int u = 0; u < c.h; ++u)
                            if (!decodeBlock(c, mx * c.h + u, my * c.v + v)) return false;
                }
                if (!unitDone(my == mcusY_ - 1 && mx == mcusX_ - 1)) return false;
            }
    }
    resetBits();  // the next marker is pending or follows after any fill bytes
    return true;
}

unsigned char* Decoder::run(int* w, int* h, int* comps, int requested) {
    if (requested != 1 && requested != 3 && requested != 4 && requested != -1) return nullptr;
    if (byte() != 0xFF || byte() != kSOI) return nullptr;
    bool scanned = false;
    for (;;) {
        const int m = nextMarker();
        if (m < 0) return nullptr;
        if (m == kEOI) break;
        if (m >= kRST0 && m <= kRST7) continue;  // stray restart marker between segments
        if (m == kTEM) continue;
        int n = 0;
        if (!readSegment(n)) return nullptr;
        bool ok = true;
        switch (m) {
            case kSOF0:
            case kSOF1:
            case kSOF2:
                ok = parseFrame(segment_, n, m == kSOF2);
                if (frame_) {
                    *w = width_;
                    *h = height_;
                    *comps = ncomp_;
                }
                break;
            case kDHT:
                ok = parseHuffman(segment_, n);
                break;
            case kDQT:
                ok = parseQuant(segment_, n);
                break;
            case kDRI:
                ok = n >= 2;
                if (ok) restartInterval_ = segment_[0] << 8 | segment_[1];
                break;
            case kSOS:
                if (!parseScan(segment_, n) || !decodeScan()) return nullptr;
                scanned = true;
                break;
            default:
                // Other frame types (lossless, arithmetic, hierarchical), DAC and DNL are unsupported;
                // application and comment segments are skipped.
                if ((m >= kSOF3 && m <= kSOF15) || m == kDNL) ok = false;
                break;
        }
        if (!ok) return nullptr;
    }
    if (!frame_ || !scanned) return nullptr;
    return output(requested);
}

struct MemorySource {
    const unsigned char* data;
    std::size_t left;
};

int readMemory(unsigned char* buffer, int maxBytes, bool* eof, void* user) {
    auto* src = static_cast<MemorySource*>(user);
    const std::size_t n =
        src->left < static_cast<std::size_t>(maxBytes) ? src->left : static_cast<std::size_t>(maxBytes);
    if (n) std::memcpy(buffer, src->data, n);
    src->data += n;
    src->left -= n;
    *eof = src->left == 0;
    return static_cast<int>(n);
}

}  // namespace

unsigned char* decompress_jpeg_image_from_stream(JpegReadFn read, void* user, int* width, int* height,
                                                 int* actualComponents, int requestedComponents) {
    int w = 0, h = 0, c = 0;
    auto* decoder = core::mallocNew<Decoder>(read, user);
    unsigned char* pixels = decoder->run(&w, &h, &c, requestedComponents);
    core::destroyFree(decoder);
    if (width) *width = w;
    if (height) *height = h;
    if (actualComponents) *actualComponents = c;
    return pixels;
}

unsigned char* decompress_jpeg_image_from_memory(const unsigned char* data, std::size_t size, int* width,
                                                 int* height, int* actualComponents,
                                                 int requestedComponents) {
    MemorySource src{data, data ? size : 0};
    return decompress_jpeg_image_from_stream(readMemory, &src, width, height, actualComponents,
                                             requestedComponents);
}

}  // namespace plugkit::graphics
