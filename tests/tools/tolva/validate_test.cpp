// `tolva validate` against a plug-in double with injected faults: it passes the clean double and
// fails the check each fault belongs to.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct RunResult {
    int code = -1;
    std::string out;
    bool has(const std::string& text) const { return out.find(text) != std::string::npos; }
};

// Runs tolva validate on the double with TOLVA_DOUBLE_FAULT set to fault (when not empty).
RunResult validate(const std::string& fault, std::vector<std::string> args) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        if (fault.empty())
            ::unsetenv("TOLVA_DOUBLE_FAULT");
        else
            ::setenv("TOLVA_DOUBLE_FAULT", fault.c_str(), 1);
        args.insert(args.begin(), {"validate", "--plugin", TOLVA_TEST_DOUBLE, "--seed", "5"});
        std::vector<char*> argv{const_cast<char*>(TOLVA_TEST_BINARY)};
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(TOLVA_TEST_BINARY, argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    RunResult run;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        run.out.append(buffer, std::size_t(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
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
