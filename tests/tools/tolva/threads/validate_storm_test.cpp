// The automation storm and state checks of `tolva validate` on the built plug-in: host threads set
// values and chunks while audio renders. Under ThreadSanitizer (halting on the first report, an
// option the child process inherits) a data race fails the run.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

TEST(ValidateStormTest, HostThreadsChangeValuesAndChunksWhileAudioRenders) {
    const std::string command = std::string(TOLVA_TEST_BINARY) + " validate --plugin " + TOLVA_TEST_PLUGIN +
                                " --only storm --strictness 3 --seed 3";
    const int status = std::system(command.c_str());
    ASSERT_NE(status, -1);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
}
