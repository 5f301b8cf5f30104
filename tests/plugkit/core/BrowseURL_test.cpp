#include "plugkit/core/BrowseURL.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/support/FakeBrowser.h"

using plugkit::core::browseURL;
using plugkit::testing::FakeBrowser;

TEST(BrowseURL, RunsBrowserFromEnvironmentWithTheUrlAsOnlyArgument) {
    FakeBrowser fake("mybrowser");
    setenv("BROWSER", fake.program("mybrowser").c_str(), 1);
    browseURL("https://example.com/a b?c=1");
    unsetenv("BROWSER");
    EXPECT_EQ(fake.waitForLog(), "https://example.com/a b?c=1\n");
}

TEST(BrowseURL, FallsBackToOpenOnThePath) {
    FakeBrowser fake("open");
    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "";
    unsetenv("BROWSER");
    setenv("PATH", fake.dir.c_str(), 1);
    browseURL("https://pel.example/");
    setenv("PATH", savedPath.c_str(), 1);
    EXPECT_EQ(fake.waitForLog(), "https://pel.example/\n");
}

TEST(BrowseURL, MissingProgramLeavesTheCallerRunning) {
    setenv("BROWSER", "/nonexistent/browser-program", 1);
    const pid_t self = getpid();
    browseURL("https://example.com/");
    unsetenv("BROWSER");
    EXPECT_EQ(getpid(), self);  // only the caller gets here; a failed child exits at once
    browseURL(nullptr);         // ignored
}
