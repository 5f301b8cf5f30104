#pragma once

// A scratch folder holding a harmless browser script that records its arguments, one a line, in a
// log file (written under a temporary name first, so that the file appears whole).
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace plugkit::testing {

struct FakeBrowser {
    std::string dir;
    std::string log;
    explicit FakeBrowser(const char* name = "browser") {
        char tmpl[] = "/tmp/fakebrowserXXXXXX";
        dir = mkdtemp(tmpl);
        log = dir + "/args.txt";
        std::ofstream(program(name)) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > " << log
                                     << ".tmp\n/bin/mv " << log << ".tmp " << log << "\n";
        chmod(program(name).c_str(), 0755);
    }
    ~FakeBrowser() { std::system(("rm -rf '" + dir + "'").c_str()); }
    FakeBrowser(const FakeBrowser&) = delete;
    FakeBrowser& operator=(const FakeBrowser&) = delete;

    // The path of the script.
    std::string program(const char* name = "browser") const { return dir + "/" + name; }

    // The arguments the script was started with, once it has run; "<timeout>" after five seconds.
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

}  // namespace plugkit::testing
