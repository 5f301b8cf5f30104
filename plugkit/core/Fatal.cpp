#include "plugkit/core/Fatal.h"

#include <cstdio>
#include <cstdlib>

namespace plugkit::core {

void fatalError(const char* what) noexcept {
    std::fputs("fatal error: ", stderr);
    std::fputs(what, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::abort();
}

void outOfMemory() noexcept { fatalError("out of memory"); }

}  // namespace plugkit::core
