#include "plugkit/core/BrowseURL.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

using plugkit::core::browseURL;

namespace {

// A scratch folder holding a fake browser script that records its arguments.
struct FakeBrowser {
    std::string dir;
    std::string log;
    FakeBrowser(const char* name) {
        char tmpl[] = "/tmp/browseurl_testXXXXXX";
        dir = mkdtemp(tmpl);
        log = dir + "/args.txt";
        const std::string script = dir + "/" + name;
        std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > " << log
                              << ".tmp\n/bin/mv " << log << ".tmp " << log << "\n";
        chmod(script.c_str(), 0755);
    }
    ~FakeBrowser() { std::system(("rm -rf " + dir).c_str()); }
    std::string waitForLog() const {
        for (int i = 0; i < 500; ++i) {
            std::ifstream in(log);
            if (in) {
                std::stringstream s;
                s << in.rdbuf();
                return s.str();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "<timeout>";
    }
};

}  // namespace

TEST(BrowseURL, RunsBrowserFromEnvironmentWithTheUrlAsOnlyArgument) {
    FakeBrowser fake("mybrowser");
    const std::string cmd = fake.dir + "/mybrowser";
    setenv("BROWSER", cmd.c_str(), 1);
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
