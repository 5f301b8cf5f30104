// The JPEG decoder against stb_image's JPEG decoder on files that cjpeg makes from a synthetic
// picture. The two differ only by rounding in the inverse DCT, the colour conversion and the
// chroma interpolation: at most kTolerance per channel, a mean difference far below 1.
#include <gtest/gtest.h>
#include <stb_image.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugkit/graphics/JpegDecoder.h"

using namespace plugkit::graphics;

namespace {

constexpr int kTolerance = 3;

using Bytes = std::vector<unsigned char>;

struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/jpegtestXXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
};

// Smooth gradients, a sharp edge and saturated colours, so that chroma subsampling and clamping
// are exercised.
void writePicture(const std::string& file, int w, int h) {
    FILE* f = std::fopen(file.c_str(), "wb");
    std::fprintf(f, "P6 %d %d 255\n", w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char px[3] = {static_cast<unsigned char>(127 + 127 * std::sin(x * 0.31 + y * 0.05)),
                                   static_cast<unsigned char>((x * 7 + y * 3) & 255),
                                   static_cast<unsigned char>(x > w / 2 ? 250 : 10)};
            std::fwrite(px, 1, 3, f);
        }
    std::fclose(f);
}

Bytes readFile(const std::string& file) {
    Bytes data;
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return data;
    unsigned char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) data.insert(data.end(), buf, buf + n);
    std::fclose(f);
    return data;
}

Bytes makeJpeg(const std::string& options, int w = 67, int h = 45) {
    TempDir dir;
    const std::string src = dir.path + "/in.ppm", out = dir.path + "/out.jpg";
    writePicture(src, w, h);
    const std::string cmd = "cjpeg " + options + " -outfile '" + out + "' '" + src + "'";
    if (std::system(cmd.c_str()) != 0) return {};
    return readFile(out);
}

struct Decoded {
    int w = 0, h = 0, comps = 0;
    unsigned char* pixels = nullptr;
    ~Decoded() { std::free(pixels); }
};

void decode(const Bytes& file, int requested, Decoded& d) {
    d.pixels = decompress_jpeg_image_from_memory(file.data(), file.size(), &d.w, &d.h, &d.comps, requested);
}

// Compares with stb_image at the same requested component count; columns from skipFromColumn on
// are left out.
void expectMatchesOracle(const Bytes& file, int requested, int skipFromColumn = 1 << 30) {
    ASSERT_FALSE(file.empty()) << "cjpeg failed";
    Decoded mine;
    decode(file, requested, mine);
    ASSERT_NE(mine.pixels, nullptr);
    int ow, oh, oc;
    unsigned char* oracle =
        stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &ow, &oh, &oc, requested);
    ASSERT_NE(oracle, nullptr);
    ASSERT_EQ(mine.w, ow);
    ASSERT_EQ(mine.h, oh);
    EXPECT_EQ(mine.comps, oc);
    int worst = 0;
    double sum = 0;
    long count = 0;
    for (int y = 0; y < oh; ++y)
        for (int x = 0; x < ow && x < skipFromColumn; ++x)
            for (int k = 0; k < requested; ++k) {
                const std::size_t i = (static_cast<std::size_t>(y) * ow + x) * requested + k;
                const int d = std::abs(mine.pixels[i] - oracle[i]);
                worst = std::max(worst, d);
                sum += d;
                ++count;
            }
    stbi_image_free(oracle);
    EXPECT_LE(worst, kTolerance);
    EXPECT_LT(sum / count, 0.25);
}

}  // namespace

TEST(JpegDecoder, BaselineSamplingsMatchOracle) {
    expectMatchesOracle(makeJpeg("-quality 90 -sample 1x1"), 4);
    expectMatchesOracle(makeJpeg("-sample 2x2"), 4);
    expectMatchesOracle(makeJpeg("-sample 1x2"), 3);
    // The oracle weights 2x1 chroma the wrong way round (near and
    // far sample swapped) in the last column; this decoder interpolates it like every other one.
    expectMatchesOracle(makeJpeg("-sample 2x1"), 4, 66);
}

TEST(JpegDecoder, ProgressiveGreyRestartAndOptimisedTablesMatchOracle) {
    expectMatchesOracle(makeJpeg("-progressive"), 4);
    expectMatchesOracle(makeJpeg("-progressive -sample 1x1 -quality 95"), 3);
    expectMatchesOracle(makeJpeg("-grayscale"), 4);
    expectMatchesOracle(makeJpeg("-grayscale -progressive"), 1);
    expectMatchesOracle(makeJpeg("-restart 1"), 4);
    expectMatchesOracle(makeJpeg("-restart 3B -optimize -sample 2x2"), 4);
    expectMatchesOracle(makeJpeg("-progressive -restart 2B"), 4);
    expectMatchesOracle(makeJpeg("-sample 2x2", 1, 1), 4);
    expectMatchesOracle(makeJpeg("-progressive -sample 2x2", 17, 9), 4);
}

TEST(JpegDecoder, ComponentCounts) {
    const Bytes grey = makeJpeg("-grayscale");
    Decoded g4, g1, gOwn;
    decode(grey, 4, g4);
    decode(grey, 1, g1);
    decode(grey, -1, gOwn);
    ASSERT_TRUE(g4.pixels && g1.pixels && gOwn.pixels);
    EXPECT_EQ(gOwn.comps, 1);
    for (int i = 0; i < g4.w * g4.h; ++i) {
        ASSERT_EQ(g4.pixels[4 * i], g1.pixels[i]);
        ASSERT_EQ(g4.pixels[4 * i + 1], g1.pixels[i]);
        ASSERT_EQ(g4.pixels[4 * i + 2], g1.pixels[i]);
        ASSERT_EQ(g4.pixels[4 * i + 3], 255);
        ASSERT_EQ(gOwn.pixels[i], g1.pixels[i]);
    }
    const Bytes colour = makeJpeg("-sample 2x2");
    Decoded c3, c4;
    decode(colour, 3, c3);
    decode(colour, 4, c4);
    ASSERT_TRUE(c3.pixels && c4.pixels);
    for (int i = 0; i < c3.w * c3.h; ++i)
        for (int k = 0; k < 3; ++k) ASSERT_EQ(c3.pixels[3 * i + k], c4.pixels[4 * i + k]);
    for (int bad : {0, 2, 5, -2}) {
        Decoded d;
        decode(colour, bad, d);
        EXPECT_EQ(d.pixels, nullptr) << bad;
    }
}

TEST(JpegDecoder, StreamInputDeliveredByteByByteGivesTheSameImage) {
    const Bytes file = makeJpeg("-progressive -restart 1");
    Decoded whole;
    decode(file, 4, whole);
    ASSERT_NE(whole.pixels, nullptr);
    struct Source {
        const Bytes* bytes;
        std::size_t pos;
    } src{&file, 0};
    Decoded streamed;
    streamed.pixels = decompress_jpeg_image_from_stream(
        [](unsigned char* buf, int maxBytes, bool* eof, void* user) {
            auto* s = static_cast<Source*>(user);
            int n = 0;
            if (maxBytes > 0 && s->pos < s->bytes->size()) buf[n++] = (*s->bytes)[s->pos++];
            *eof = s->pos == s->bytes->size();
            return n;
        },
        &src, &streamed.w, &streamed.h, &streamed.comps, 4);
    ASSERT_NE(streamed.pixels, nullptr);
    EXPECT_EQ(0, std::memcmp(whole.pixels, streamed.pixels, static_cast<std::size_t>(whole.w) * whole.h * 4));
}

TEST(JpegDecoder, TruncatedCorruptAndUnsupportedDataFailsCleanly) {
    for (const char* options : {"-sample 2x2", "-progressive", "-restart 1 -grayscale"}) {
        const Bytes file = makeJpeg(options, 23, 17);
        ASSERT_FALSE(file.empty());
        // Every truncation fails: no partial image is handed out.
        for (std::size_t n = 0; n + 1 < file.size(); ++n) {
            Decoded d;
            d.pixels = decompress_jpeg_image_from_memory(file.data(), n, &d.w, &d.h, &d.comps, 4);
            ASSERT_EQ(d.pixels, nullptr) << options << " cut at " << n;
        }
        // Corrupted bytes either fail or give a whole image; sanitizers watch the memory accesses.
        std::srand(7);
        for (int round = 0; round < 300; ++round) {
            Bytes bad = file;
            for (int k = 0; k < 1 + round % 4; ++k)
                bad[2 + std::rand() % (bad.size() - 2)] = static_cast<unsigned char>(std::rand());
            Decoded d;
            decode(bad, 4, d);
            if (d.pixels) {
                EXPECT_TRUE(d.w > 0 && d.h > 0);
            }
        }
    }
    Decoded arithmetic;
    decode(makeJpeg("-arithmetic"), 4, arithmetic);
    EXPECT_EQ(arithmetic.pixels, nullptr);

    // A frame header that promises more pixels than allowed is refused before any allocation.
    const unsigned char huge[] = {0xFF, 0xD8, 0xFF, 0xC0, 0,    11, 8,    0x40, 0x00,
                                  0x40, 0x00, 1,    1,    0x11, 0,  0xFF, 0xD9};
    Decoded d;
    d.pixels = decompress_jpeg_image_from_memory(huge, sizeof huge, &d.w, &d.h, &d.comps, 4);
    EXPECT_EQ(d.pixels, nullptr);
    // A lone grey component with sampling factors other than 1x1 is an error.
    Bytes grey = makeJpeg("-grayscale", 23, 17);
    bool patched = false;
    for (std::size_t i = 2; i + 8 < grey.size(); ++i)
        if (grey[i] == 0xFF && (grey[i + 1] == 0xC0 || grey[i + 1] == 0xC1)) {
            ASSERT_EQ(grey[i + 9], 1);      // one component
            ASSERT_EQ(grey[i + 11], 0x11);  // at 1x1
            Decoded plain;
            decode(grey, 4, plain);
            EXPECT_NE(plain.pixels, nullptr);
            grey[i + 11] = 0x22;
            Decoded g;
            decode(grey, 4, g);
            EXPECT_EQ(g.pixels, nullptr);
            patched = true;
            break;
        }
    EXPECT_TRUE(patched);
    // Sampling outside the supported set (chroma at 2x2) is an error.
    Bytes odd = makeJpeg("-sample 2x2,2x2,1x1");
    if (!odd.empty()) {
        Decoded o;
        decode(odd, 4, o);
        EXPECT_EQ(o.pixels, nullptr);
    }
}
