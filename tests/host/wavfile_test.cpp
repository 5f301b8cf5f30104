#include "host/WavFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host/DemoMix.h"

namespace fs = std::filesystem;

namespace {

class WavFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tolva_wav_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    int filesInDir() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++n;
        return n;
    }
    fs::path dir_;
};

TEST_F(WavFileTest, FloatRoundTripKeepsEverySampleAndTheRate) {
    host::AudioData data;
    data.channels = 2;
    data.sampleRate = 44100;
    data.samples = {{0.5f, -0.25f, 1.5f, 0.0f}, {-1.0f, 0.125f, 1e-30f, 3.0f}};
    std::string error;
    ASSERT_TRUE(host::writeAudioFile(path("a.wav"), data, error)) << error;
    host::AudioData back;
    ASSERT_TRUE(host::readAudioFile(path("a.wav"), back, error)) << error;
    EXPECT_EQ(back.channels, 2);
    EXPECT_EQ(back.sampleRate, 44100);
    EXPECT_EQ(back.samples, data.samples);  // 32-bit float: bit exact, values above 1 kept
    EXPECT_EQ(filesInDir(), 1);             // no temporary file left behind
}

TEST_F(WavFileTest, ReadsIntegerFormatsAsFloat) {
    SF_INFO info{};
    info.channels = 1;
    info.samplerate = 22050;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path("pcm.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    const short pcm[3] = {16384, -32768, 0};
    sf_write_short(f, pcm, 3);
    sf_close(f);
    host::AudioData back;
    std::string error;
    ASSERT_TRUE(host::readAudioFile(path("pcm.wav"), back, error)) << error;
    ASSERT_EQ(back.frames(), 3);
    EXPECT_FLOAT_EQ(back.samples[0][0], 0.5f);
    EXPECT_FLOAT_EQ(back.samples[0][1], -1.0f);
}

TEST_F(WavFileTest, BadInputsFailWithAReason) {
    std::string error;
    host::AudioData d;
    EXPECT_FALSE(host::readAudioFile(path("missing.wav"), d, error));
    EXPECT_NE(error.find("missing.wav"), std::string::npos);
    { std::ofstream(path("junk.wav")) << "RIFF....WAVEjunkjunkjunk"; }
    EXPECT_FALSE(host::readAudioFile(path("junk.wav"), d, error));
    { std::ofstream(path("empty.wav")); }
    EXPECT_FALSE(host::readAudioFile(path("empty.wav"), d, error));
    EXPECT_FALSE(host::readAudioFile(dir_.string(), d, error));  // a folder

    // A valid header whose data is cut short delivers what is there and never crashes.
    host::AudioData data;
    data.channels = 1;
    data.sampleRate = 48000;
    data.samples = {std::vector<float>(1000, 0.25f)};
    ASSERT_TRUE(host::writeAudioFile(path("cut.wav"), data, error));
    fs::resize_file(path("cut.wav"), fs::file_size(path("cut.wav")) - 1001);
    host::AudioData cut;
    if (host::readAudioFile(path("cut.wav"), cut, error)) {
        EXPECT_LT(cut.frames(), 1000);
    }
}

TEST_F(WavFileTest, AbandonedOrFailedWriteLeavesTheDestinationAlone) {
    { std::ofstream(path("keep.wav")) << "old"; }
    {
        host::WavWriter w;
        std::string error;
        ASSERT_TRUE(w.open(path("keep.wav"), 2, 48000, error));
        const float a[2] = {0.1f, 0.2f};
        const float* ch[2] = {a, a};
        ASSERT_TRUE(w.write(ch, 2, error));
        // destroyed without commit
    }
    std::ifstream in(path("keep.wav"));
    std::string content;
    in >> content;
    EXPECT_EQ(content, "old");
    EXPECT_EQ(filesInDir(), 1);

    host::WavWriter w;
    std::string error;
    EXPECT_FALSE(w.open(path("no/such/folder/x.wav"), 1, 48000, error));
    EXPECT_FALSE(w.open(dir_.string(), 1, 48000, error));
    EXPECT_FALSE(w.open(path("x.wav"), 0, 48000, error));
}

TEST_F(WavFileTest, AtomicBytesWriteAndBoundedRead) {
    std::string error;
    const std::vector<uint8_t> bytes = {1, 2, 3, 0, 255};
    ASSERT_TRUE(host::writeFileAtomically(path("b.bin"), bytes, error)) << error;
    std::vector<uint8_t> back;
    ASSERT_TRUE(host::readWholeFile(path("b.bin"), back, error));
    EXPECT_EQ(back, bytes);
    EXPECT_FALSE(host::readWholeFile(path("b.bin"), back, error, 4));  // over the limit
    EXPECT_FALSE(host::readWholeFile(dir_.string(), back, error));
    struct stat st {};
    ASSERT_EQ(::stat(path("b.bin").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0044, 0u);  // not left private like a mkstemp file
}

TEST(DemoMixTest, IsDeterministicStereoAtMinusOneDbfsWithLowAndHighContent) {
    const host::AudioData a = host::makeDemoMix(2.0, 48000.0);
    const host::AudioData b = host::makeDemoMix(2.0, 48000.0);
    ASSERT_EQ(a.channels, 2);
    ASSERT_EQ(a.frames(), 96000);
    EXPECT_EQ(a.samples, b.samples);
    float peak = 0.0f;
    for (const auto& ch : a.samples)
        for (float v : ch) peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(20.0 * std::log10(peak), -1.0, 0.01);
    // Energy both in the lows (kick, bass) and in the highs (hats): compare a one-pole low-pass and
    // its residual.
    double low = 0.0, high = 0.0;
    float lp = 0.0f;
    for (float v : a.samples[0]) {
        lp += 0.01f * (v - lp);
        low += lp * lp;
        high += (v - lp) * (v - lp);
    }
    EXPECT_GT(low, 0.05 * high);
    EXPECT_GT(high, 0.005 * low);
}

}  // namespace
