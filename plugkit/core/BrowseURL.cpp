#include "plugkit/core/BrowseURL.h"

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "plugkit/core/Fatal.h"

namespace plugkit::core {

namespace {

char* copyText(const char* text) {
    const std::size_t n = std::strlen(text);
    auto* copy = static_cast<char*>(std::malloc(n + 1));
    if (!copy) outOfMemory();
    std::memcpy(copy, text, n + 1);
    return copy;
}

}  // namespace

void browseURL(const char* url) {
    if (!url) return;
    char* urlCopy = copyText(url);
    const char* browser = std::getenv("BROWSER");
    char* command = copyText(browser && *browser ? browser : "open");
    char* argv[] = {command, urlCopy, nullptr};

    // Double fork: the intermediate child exits at once and is reaped here, so the browser is
    // adopted by init and never lingers as a zombie of the host. After fork only async-signal-safe
    // calls are made, since the host is multithreaded.
    const pid_t child = fork();
    if (child == 0) {
        if (fork() == 0) {
            execvp(argv[0], argv);
            _exit(127);  // the command could not be started: never return into the host's code
        }
        _exit(0);
    }
    if (child > 0) {
        int status;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    std::free(command);
    std::free(urlCopy);
}

}  // namespace plugkit::core
