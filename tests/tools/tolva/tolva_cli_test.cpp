// Runs the built tolva binary: its output equals the plug-in driven directly through the host
// library for every legal layout and block size, and bad input fails with exit 2 without touching
// the output file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "gui/EditorLayout.h"
#include "host/PluginLibrary.h"
#include "host/WavFile.h"
#include "tests/support/RunTool.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace fs = std::filesystem;

namespace {

using RunResult = plugkit::testing::ToolRun;
using plugkit::testing::readFileText;

class TolvaCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tolva_cli_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    RunResult run(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--plugin", TOLVA_TEST_PLUGIN});
        return plugkit::testing::runTool(TOLVA_TEST_BINARY, args);
    }

    // A test input of `channels` channels at 44.1 kHz: tones and noise loud enough to compress.
    std::string makeInput(const std::string& name, int channels, int frames = 20000) const {
        host::AudioData d;
        d.channels = channels;
        d.sampleRate = 44100;
        d.samples.assign(static_cast<std::size_t>(channels),
                         std::vector<float>(static_cast<std::size_t>(frames)));
        uint32_t r = 99;
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < frames; ++i) {
                r = r * 1664525u + 1013904223u;
                d.samples[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] =
                    0.7f * std::sin(0.02f * static_cast<float>(i * (c + 1))) +
                    0.2f * (static_cast<float>(r >> 8) / 16777216.0f - 0.5f);
            }
        std::string error;
        EXPECT_TRUE(host::writeAudioFile(path(name), d, error)) << error;
        return path(name);
    }

    int filesIn() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++n;
        return n;
    }

    fs::path dir_;
};

// What the plug-in computes for `input` with the "Soft Master" preset and two values set, driven
// directly through the host library in one render call.
host::AudioData reference(const host::AudioData& input, int outputs) {
    std::string error;
    auto lib = host::PluginLibrary::open(TOLVA_TEST_PLUGIN, error);
    EXPECT_TRUE(lib) << error;
    host::AudioData out;
    out.channels = outputs;
    out.sampleRate = input.sampleRate;
    out.samples.assign(static_cast<std::size_t>(outputs),
                       std::vector<float>(static_cast<std::size_t>(input.frames())));
    {
        auto p = lib->createInstance(input.channels, outputs, input.sampleRate, error);
        EXPECT_TRUE(p) << error;
        for (const auto& preset : lib->enumeratePresets())
            if (preset.name == "Soft Master") {
                EXPECT_EQ(p->setChunk(std::vector<uint8_t>(preset.bytes.begin() + 56, preset.bytes.end())),
                          0);
            }
        EXPECT_EQ(p->setFromString("0", "-24"), 0);
        EXPECT_EQ(p->setFromString("28", "3"), 0);
        std::vector<const float*> in;
        std::vector<float*> o;
        for (const auto& c : input.samples) in.push_back(c.data());
        for (auto& c : out.samples) o.push_back(c.data());
        p->render(in.data(), o.data(), input.frames());
    }
    EXPECT_EQ(lib->close(), 0);
    return out;
}

TEST_F(TolvaCliTest, ProcessEqualsThePluginDrivenDirectlyForEveryLayoutAndBlockSize) {
    for (int inputs : {1, 2}) {
        const std::string in = makeInput("in" + std::to_string(inputs) + ".wav", inputs);
        host::AudioData input;
        std::string error;
        ASSERT_TRUE(host::readAudioFile(in, input, error));
        for (int outputs : {1, 2}) {
            const host::AudioData expected = reference(input, outputs);
            for (int block : {1, 100, 256, 1024}) {
                SCOPED_TRACE(testing::Message() << inputs << "-" << outputs << " block " << block);
                const std::string out = path("out.wav");
                const auto r = run({"process", "--quiet", "--outputs", std::to_string(outputs), "--block",
                                    std::to_string(block), "--preset", "Soft Master", "--set",
                                    "Threshold L=-24", "--set", "28=3", in, out});
                ASSERT_EQ(r.code, 0) << r.err;
                host::AudioData got;
                ASSERT_TRUE(host::readAudioFile(out, got, error)) << error;
                EXPECT_EQ(got.channels, outputs);
                EXPECT_EQ(got.sampleRate, 44100);
                EXPECT_EQ(got.samples, expected.samples);
            }
        }
    }
}

TEST_F(TolvaCliTest, WritesFloatWavAndASummaryLine) {
    const std::string in = makeInput("in.wav", 2);
    const auto r = run({"process", in, path("out.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    // Not a terminal: no progress bar, only the summary line.
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    EXPECT_NE(r.err.find("real time"), std::string::npos);
    EXPECT_NE(r.err.find("peak in"), std::string::npos);
    EXPECT_NE(r.err.find("peak out"), std::string::npos);
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    EXPECT_EQ(filesIn(), 2);  // in.wav and out.wav, no temporary file
    // 32-bit float WAV: format tag 3 (IEEE float) or the extensible tag, 32 bits per sample.
    const std::string bytes = readFileText(path("out.wav"));
    ASSERT_GT(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(static_cast<unsigned char>(bytes[34]), 32);
}

TEST_F(TolvaCliTest, BypassStateAndPresetFiles) {
    const std::string in = makeInput("in.wav", 2, 3000);
    ASSERT_EQ(run({"process", "--quiet", "--bypass", in, path("bypassed.wav")}).code, 0);
    host::AudioData a, b;
    std::string error;
    ASSERT_TRUE(host::readAudioFile(in, a, error));
    ASSERT_TRUE(host::readAudioFile(path("bypassed.wav"), b, error));
    EXPECT_EQ(a.samples, b.samples);

    // State out, then state in, reproduce the same output and the same 140-byte chunk.
    ASSERT_EQ(run({"process", "--quiet", "--preset", "4-Band Limit", "--set", "F1=100", "--state-out",
                   path("s.bin"), in, path("one.wav")})
                  .code,
              0);
    EXPECT_EQ(fs::file_size(path("s.bin")), 140u);
    ASSERT_EQ(run({"process", "--quiet", "--state-in", path("s.bin"), "--state-out", path("s2.bin"), in,
                   path("two.wav")})
                  .code,
              0);
    EXPECT_EQ(readFileText(path("one.wav")), readFileText(path("two.wav")));  // byte for byte: no time stamps
    EXPECT_EQ(readFileText(path("s.bin")), readFileText(path("s2.bin")));

    const auto r = run({"presets", path("presets")});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* name : {"Default", "Soft Master", "4-Band Limit", "Low-End Control"})
        EXPECT_EQ(fs::file_size(path("presets/" + std::string(name) + ".tfx")), 196u) << name;

    const auto info = run({"info"});
    ASSERT_EQ(info.code, 0);
    EXPECT_NE(info.out.find("Tolva Multiband Compressor"), std::string::npos);
    EXPECT_NE(info.out.find("2 in / 1 out   native pe21   audiosuite pf21"), std::string::npos);
    EXPECT_NE(info.out.find("\"Threshold L\""), std::string::npos);
    EXPECT_NE(info.out.find("\"Low-End Control\""), std::string::npos);
    EXPECT_NE(info.out.find("editor: 800 x 450\n"), std::string::npos);
    EXPECT_EQ(run({"--help"}).code, 0);
}

TEST_F(TolvaCliTest, ChangesDuringPlaybackLandOnTheirSample) {
    const std::string in = makeInput("in.wav", 2, 22050);
    host::AudioData input;
    std::string error;
    ASSERT_TRUE(host::readAudioFile(in, input, error));
    auto render = [&](const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"process", "--quiet", "--block", "300"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(in);
        args.push_back(path("out.wav"));
        const auto r = run(args);
        EXPECT_EQ(r.code, 0) << r.err;
        host::AudioData got;
        EXPECT_TRUE(host::readAudioFile(path("out.wav"), got, error)) << error;
        return got.samples;
    };

    // A preset and a parameter at 0.1 s (sample 4410, inside a host block) equal the plug-in driven
    // directly with the same changes between two render calls.
    host::AudioData expected = input;
    {
        auto lib = host::PluginLibrary::open(TOLVA_TEST_PLUGIN, error);
        ASSERT_TRUE(lib) << error;
        auto p = lib->createInstance(2, 2, 44100, error);
        ASSERT_TRUE(p) << error;
        std::vector<const float*> ins = {input.samples[0].data(), input.samples[1].data()};
        std::vector<float*> outs = {expected.samples[0].data(), expected.samples[1].data()};
        p->render(ins.data(), outs.data(), 4410);
        for (const auto& preset : lib->enumeratePresets())
            if (preset.name == "4-Band Limit") {
                EXPECT_EQ(p->setChunk(std::vector<uint8_t>(preset.bytes.begin() + 56, preset.bytes.end())),
                          0);
            }
        EXPECT_EQ(p->setFromString("24", "1000"), 0);
        for (auto& ptr : ins) ptr += 4410;
        for (auto& ptr : outs) ptr += 4410;
        p->render(ins.data(), outs.data(), 22050 - 4410);
        p.reset();
        EXPECT_EQ(lib->close(), 0);
    }
    EXPECT_EQ(render({"--at", "0.1", "preset=4-Band Limit", "--at", "0.1", "F1=1000"}), expected.samples);

    // Bypass engaged at 0.1 s and released at 0.3 s: once the crossfade is over, the input exactly.
    const auto bypassed = render({"--at", "0.1", "bypass=on", "--at", "0.3", "bypass=off"});
    for (int i = 4410 + 1000; i < 13230; ++i) ASSERT_EQ(bypassed[0][i], input.samples[0][i]) << i;
    EXPECT_NE(bypassed[0][15000], input.samples[0][15000]);

    // Output Gain ramped from -12 to +12 dB over 0.1 .. 0.2 s: before, the -12 dB render; once the
    // ramp and the glide are over, the +12 dB render (the gain follows the compressors, whose
    // state does not depend on it).
    const auto low = render({"--set", "Output Gain=-12"});
    const auto high = render({"--set", "Output Gain=12"});
    const auto ramped = render({"--set", "Output Gain=-12", "--ramp", "0.1", "0.2", "Output Gain=-12:12"});
    for (int i = 0; i < 4410; ++i) ASSERT_EQ(ramped[0][i], low[0][i]) << i;
    for (int i = 8820 + 1000; i < 22050; ++i) ASSERT_EQ(ramped[0][i], high[0][i]) << i;
    EXPECT_NE(ramped[0][6615], low[0][6615]);
    EXPECT_NE(ramped[0][6615], high[0][6615]);
}

// Files longer than the 64k-frame read/write chunk, in blocks that do not divide it, with a change
// in the second chunk in the middle of a host block: the plug-in driven directly, cut only there.
TEST_F(TolvaCliTest, LongFilesInOddBlocksEqualThePluginDrivenDirectly) {
    constexpr int kFrames = 140001, kChange = 66150;  // 1.5 s at 44.1 kHz
    for (int channels : {1, 2}) {
        const std::string in = makeInput("long.wav", channels, kFrames);
        host::AudioData input, expected;
        std::string error;
        ASSERT_TRUE(host::readAudioFile(in, input, error));
        expected = input;
        {
            auto lib = host::PluginLibrary::open(TOLVA_TEST_PLUGIN, error);
            ASSERT_TRUE(lib) << error;
            auto p = lib->createInstance(channels, channels, 44100, error);
            ASSERT_TRUE(p) << error;
            std::vector<const float*> ins;
            std::vector<float*> outs;
            for (int c = 0; c < channels; ++c) {
                ins.push_back(input.samples[static_cast<std::size_t>(c)].data());
                outs.push_back(expected.samples[static_cast<std::size_t>(c)].data());
            }
            p->render(ins.data(), outs.data(), kChange);
            EXPECT_EQ(p->setFromString("24", "1000"), 0);
            for (auto& ptr : ins) ptr += kChange;
            for (auto& ptr : outs) ptr += kChange;
            p->render(ins.data(), outs.data(), kFrames - kChange);
            p.reset();
            EXPECT_EQ(lib->close(), 0);
        }
        for (int block : {7, 1000}) {
            SCOPED_TRACE(testing::Message() << channels << " channels, block " << block);
            const auto r = run({"process", "--quiet", "--block", std::to_string(block), "--at", "1.5",
                                "F1=1000", in, path("out.wav")});
            ASSERT_EQ(r.code, 0) << r.err;
            host::AudioData got;
            ASSERT_TRUE(host::readAudioFile(path("out.wav"), got, error)) << error;
            ASSERT_EQ(got.frames(), kFrames);
            EXPECT_EQ(got.samples, expected.samples);
        }
    }
}

// A table of bad command lines, each checked for exit 2, one line on stderr and an untouched output
// (one table read top to bottom; split up, the cases would only be scattered).
TEST_F(TolvaCliTest, BadInputFailsWithExit2AndLeavesTheOutputAlone) {
    const std::string in = makeInput("in.wav", 2, 2000);
    const std::string mono = makeInput("mono.wav", 1, 2000);
    host::AudioData three;
    three.channels = 3;
    three.sampleRate = 48000;
    three.samples.assign(3, std::vector<float>(100, 0.1f));
    std::string error;
    ASSERT_TRUE(host::writeAudioFile(path("three.wav"), three, error));
    { std::ofstream(path("junk.wav")) << "RIFF0000WAVEnot really audio"; }
    { std::ofstream(path("junk.state")) << "not a state chunk"; }
    auto truncatedState = std::string("\x0b\x20\xba\x92\0\0\0\0", 8);
    // 16-bit stereo headers with sample rates no instance can run at.
    for (const auto& [name, rate] : {std::pair{"absurd-rate.wav", 2147483647u}, {"4mhz.wav", 4000000u}}) {
        std::ofstream f(path(name), std::ios::binary);
        auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
        auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
        f << "RIFF";
        u32(36 + 400);
        f << "WAVEfmt ";
        u32(16);
        u16(1), u16(2), u32(rate), u32(rate * 4u), u16(4), u16(16);
        f << "data";
        u32(400);
        f << std::string(400, '\0');
    }
    { std::ofstream(path("short.state"), std::ios::binary) << truncatedState; }

    const std::vector<std::vector<std::string>> cases = {
        {"--set", "Nonexistent=1"},
        {"--set", "Threshold L=loud"},
        {"--set", "Threshold L=nan"},
        {"--set", "Solo Low=Yes"},
        {"--set", "MasterBypassID=maybe"},
        {"--set", "novalue"},
        {"--preset", "No Such Preset"},
        {"--outputs", "3"},
        {"--outputs", "two"},
        {"--block", "0"},
        {"--block", "1025"},
        {"--state-in", "@missing.state"},
        {"--state-in", "@junk.state"},
        {"--state-in", "@short.state"},
        {"--state-in", "@"},  // a folder
        {"--frobnicate"},
        {"--at", "0.01", "Nonexistent=1"},
        {"--at", "0.01", "F1=loud"},
        {"--at", "-1", "F1=100"},
        {"--at", "0.01", "bypass=maybe"},
        {"--at", "0.01", "preset=No Such Preset"},
        {"--at", "0.01"},
        {"--ramp", "0.2", "0.1", "F1=100:200"},
        {"--ramp", "0", "0.1", "F1=100"},
        {"--ramp", "0", "0.1", "Nonexistent=1:2"},
        {"--ramp", "0", "0.1", "F1=1:x"},
        {"@junk.wav"},
        {"@three.wav"},
        {"@absurd-rate.wav"},
        {"@4mhz.wav"},
        {"@missing.wav"},
    };
    for (bool existing : {false, true}) {
        for (const auto& c : cases) {
            std::vector<std::string> args = {"process"};
            std::string input = in;
            for (const auto& a : c) {
                if (a.rfind("@", 0) == 0) {
                    const std::string p = path(a.substr(1));
                    if (c.size() == 1)
                        input = p;
                    else
                        args.push_back(p);
                } else {
                    args.push_back(a);
                }
            }
            args.push_back(input);
            args.push_back(path("out.wav"));
            if (existing) {
                std::ofstream(path("out.wav")) << "previous";
            }
            SCOPED_TRACE(testing::Message()
                         << c.front() << (c.size() > 1 ? " " + c[1] : "") << (c.size() > 2 ? " " + c[2] : "")
                         << (c.size() > 3 ? " " + c[3] : "") << " existing " << existing);
            const int before = filesIn();
            const auto r = run(args);
            EXPECT_EQ(r.code, 2);
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_EQ(r.err.rfind("tolva: ", 0), 0u) << r.err;
            EXPECT_EQ(filesIn(), before);  // nothing created, no temporary file left
            if (existing) {
                EXPECT_EQ(readFileText(path("out.wav")), "previous");
            }
        }
        // 1 input to 2 outputs is a legal layout (the control case for the loop above).
        EXPECT_EQ(run({"process", "--quiet", "--outputs", "2", mono, path("ok.wav")}).code, 0);
    }
    EXPECT_EQ(run({"process", "only-one-operand"}).code, 2);
    EXPECT_EQ(run({"--plugin", "/nonexistent.so", "info"}).code, 2);
    EXPECT_EQ(run({"presets", path("in.wav")}).code, 2);  // a file, not a folder
}

// A PNG's pixels as 32-bit RGBA words (empty when it does not decode), w x h.
std::vector<uint32_t> loadPng(const std::string& file, int& w, int& h) {
    int channels = 0;
    unsigned char* data = stbi_load(file.c_str(), &w, &h, &channels, 4);
    if (!data) return {};
    std::vector<uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    std::memcpy(pixels.data(), data, pixels.size() * 4);
    stbi_image_free(data);
    return pixels;
}

// tolva editor: the editor as the host opens it. Audio fed first changes the display's pixels and
// nothing else; a value set first shows in its knob and label; a bad preset writes nothing.
TEST_F(TolvaCliTest, EditorPictureAtTheDefaultsWithLevelsAndWithASetting) {
    ASSERT_EQ(run({"editor", path("defaults.png")}).code, 0);
    ASSERT_EQ(run({"demo-mix", "--seconds", "2", "--quiet", path("mix.wav")}).code, 0);
    ASSERT_EQ(run({"editor", "--feed", path("mix.wav"), path("fed.png")}).code, 0);
    ASSERT_EQ(run({"editor", "--set", "Attack L=300", path("attack.png")}).code, 0);
    namespace layout = tolvagui::layout;
    int w = 0, h = 0;
    const auto defaults = loadPng(path("defaults.png"), w, h);
    ASSERT_EQ(w, layout::kWidth);
    ASSERT_EQ(h, layout::kHeight);
    const auto fed = loadPng(path("fed.png"), w, h);
    const auto attack = loadPng(path("attack.png"), w, h);
    ASSERT_EQ(fed.size(), defaults.size());
    ASSERT_EQ(attack.size(), defaults.size());
    // Band 1's attack knob and its label.
    const auto attackColumn = layout::bandKnob(0).united(layout::kBandKnobLabel[0]);
    int fedInside = 0, fedOutside = 0, attackInside = 0, attackOutside = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y * w + x);
            (layout::kDisplay.contains(x, y) ? fedInside : fedOutside) += fed[i] != defaults[i];
            (attackColumn.contains(x, y) ? attackInside : attackOutside) += attack[i] != defaults[i];
        }
    EXPECT_GT(fedInside, 2000);
    EXPECT_EQ(fedOutside, 0);
    EXPECT_GT(attackInside, 50);
    EXPECT_EQ(attackOutside, 0);

    EXPECT_EQ(run({"editor", "--preset", "No Such Preset", path("none.png")}).code, 2);
    EXPECT_FALSE(fs::exists(path("none.png")));
}

}  // namespace
