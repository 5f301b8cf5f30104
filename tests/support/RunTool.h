#pragma once

// Runs a built command-line tool in a child process and collects its exit status, standard output
// and standard error. The streams go through files, so that a chatty child can never block on a
// full pipe while the parent waits for it.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace plugkit::testing {

struct ToolRun {
    int code = -1;  // the exit status, or 128 + the signal that ended the child
    std::string out, err;
    bool has(const std::string& text) const { return out.find(text) != std::string::npos; }
};

// The whole file as bytes (empty when it cannot be read).
inline std::string readFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs binary with args. env holds NAME, VALUE pairs set in the child only (an empty VALUE unsets
// NAME).
inline ToolRun runTool(const std::string& binary, std::vector<std::string> args,
                       const std::vector<std::pair<std::string, std::string>>& env = {}) {
    static std::atomic<int> counter{0};
    const std::string stem = (std::filesystem::temp_directory_path() /
                              ("toolrun_" + std::to_string(::getpid()) + "_" + std::to_string(counter++)))
                                 .string();
    const std::string outFile = stem + ".out", errFile = stem + ".err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        ::dup2(::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        for (const auto& [name, value] : env) {
            if (value.empty())
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv{const_cast<char*>(binary.c_str())};
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ToolRun run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readFileText(outFile);
    run.err = readFileText(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return run;
}

}  // namespace plugkit::testing
