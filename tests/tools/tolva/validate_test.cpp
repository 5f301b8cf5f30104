// `tolva validate` against a plug-in double with injected faults: it passes the clean double and
// fails the check each fault belongs to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/RunTool.h"

namespace {

using RunResult = plugkit::testing::ToolRun;

// Runs tolva validate on the double with TOLVA_DOUBLE_FAULT set to fault (when not empty).
RunResult validate(const std::string& fault, std::vector<std::string> args) {
    args.insert(args.begin(), {"validate", "--plugin", TOLVA_TEST_DOUBLE, "--seed", "5"});
    return plugkit::testing::runTool(TOLVA_TEST_BINARY, args, {{"TOLVA_DOUBLE_FAULT", fault}});
}

bool countingActive(const RunResult& run) { return run.has("lock counting: active"); }

}  // namespace

TEST(ValidateTest, TheCleanDoublePassesEveryCheck) {
    const RunResult run = validate("", {"--strictness", "1"});
    EXPECT_EQ(run.code, 0) << run.out;
    EXPECT_FALSE(run.has("FAIL")) << run.out;
    EXPECT_TRUE(run.has("PASS  state round trip")) << run.out;
}

TEST(ValidateTest, FindsAnAllocationOnTheAudioThread) {
    const RunResult run = validate("alloc", {"--strictness", "1", "--only", "render,storm"});
    if (!countingActive(run)) GTEST_SKIP() << "no allocation counting in this build";
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.has("FAIL  realtime")) << run.out;
    EXPECT_TRUE(run.has("FAIL  automation storm")) << run.out;
    EXPECT_TRUE(run.has("PASS  render 2in/2out 48000 Hz")) << run.out;  // the audio itself is fine
}

TEST(ValidateTest, FindsNonFiniteOutput) {
    const RunResult run = validate("nan", {"--strictness", "1", "--only", "render,badaudio"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.has("FAIL  render 1in/1out 22050 Hz")) << run.out;
    EXPECT_TRUE(run.has("FAIL  bad audio full-scale square")) << run.out;
    EXPECT_FALSE(run.has("FAIL  realtime")) << run.out;
}

TEST(ValidateTest, FindsAStateRoundTripThatDiffers) {
    const RunResult run = validate("state", {"--strictness", "1", "--only", "state"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.has("FAIL  state round trip")) << run.out;
}

TEST(ValidateTest, UsageErrorsExitWith2) {
    EXPECT_EQ(validate("", {"--strictness", "11"}).code, 2);
    EXPECT_EQ(validate("", {"--only", "render,colour"}).code, 2);
}
