// tolva process with many inputs and an output folder: the files run in parallel on the core thread
// pool (under ThreadSanitizer in CI, halting on the first report, which the child process inherits).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/WavFile.h"
#include "tests/support/RunTool.h"

namespace fs = std::filesystem;

namespace {

using RunResult = plugkit::testing::ToolRun;
using plugkit::testing::readFileText;

class ManyFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tolva_many_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "in");
        fs::create_directories(dir_ / "out");
    }
    void TearDown() override { fs::remove_all(dir_); }

    RunResult run(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--plugin", TOLVA_TEST_PLUGIN, "process"});
        return plugkit::testing::runTool(TOLVA_TEST_BINARY, args);
    }

    std::string makeInput(const std::string& name, int channels, int frames) const {
        host::AudioData d;
        d.channels = channels;
        d.sampleRate = 44100;
        d.samples.assign(static_cast<std::size_t>(channels),
                         std::vector<float>(static_cast<std::size_t>(frames)));
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < frames; ++i)
                d.samples[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] =
                    0.8f * std::sin(0.013f * static_cast<float>(i * (c + 2)));
        const std::string path = (dir_ / "in" / name).string();
        std::string error;
        EXPECT_TRUE(host::writeAudioFile(path, d, error)) << error;
        return path;
    }

    std::vector<std::string> entries(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

TEST_F(ManyFilesTest, OutputsEqualOneByOneRunsAndABadFileDoesNotStopTheOthers) {
    const std::vector<std::string> options = {"--quiet",          "--block",     "7",      "--outputs", "2",
                                              "--preset",         "Soft Master", "--ramp", "0.1",       "0.9",
                                              "Output Gain=-6:6", "--at",        "0.5",    "bypass=on"};
    const std::vector<std::string> good = {makeInput("a.wav", 2, 90001), makeInput("b.wav", 1, 30011),
                                           makeInput("c.wav", 2, 5)};
    { std::ofstream(dir_ / "in" / "bad.wav") << "RIFF0000WAVEnot really audio"; }

    std::vector<std::string> args = options;
    args.insert(args.end(), {good[0], (dir_ / "in" / "bad.wav").string(), good[1], good[2]});
    args.push_back((dir_ / "out").string() + "/");
    const RunResult many = run(args);
    EXPECT_EQ(many.code, 2);
    EXPECT_NE(many.err.find("bad.wav"), std::string::npos) << many.err;
    EXPECT_EQ(entries(dir_ / "out"), (std::vector<std::string>{"a.wav", "b.wav", "c.wav"}));

    for (const std::string& in : good) {
        args = options;
        args.insert(args.end(), {in, (dir_ / "one.wav").string()});
        ASSERT_EQ(run(args).code, 0);
        EXPECT_EQ(readFileText(dir_ / "out" / fs::path(in).filename()), readFileText(dir_ / "one.wav")) << in;
    }
}

TEST_F(ManyFilesTest, RefusesAMissingFolderTwoInputsOfOneNameAndReplacingAnInput) {
    const std::string a = makeInput("a.wav", 2, 1000);
    fs::create_directories(dir_ / "other");
    const std::string twin = (dir_ / "other" / "a.wav").string();
    fs::copy_file(a, twin);
    const std::string out = (dir_ / "out").string();
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{a, twin, (dir_ / "missing").string()}, "does not exist"},
        {{a, (dir_ / "missing").string() + "/"}, "does not exist"},
        {{a, twin, out}, "same file name"},
        {{a, twin, (dir_ / "other").string()}, "same file name"},
        {{a, (dir_ / "in").string()}, "would replace its input"},
        {{a, twin, out, "--state-out", (dir_ / "s.bin").string()}, "--state-out"},
    };
    for (const Case& c : cases) {
        const RunResult r = run(c.args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_TRUE(entries(dir_ / "out").empty());
    EXPECT_EQ(entries(dir_ / "in"), (std::vector<std::string>{"a.wav"}));
    EXPECT_EQ(entries(dir_ / "other"), (std::vector<std::string>{"a.wav"}));
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    EXPECT_FALSE(fs::exists(dir_ / "s.bin"));
}

}  // namespace
