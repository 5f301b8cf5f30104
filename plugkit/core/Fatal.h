#pragma once

namespace plugkit::core {

// [any thread] Prints "fatal error: <what>" on stderr and stops the process at once. Used where the
// framework cannot continue (a platform lock that fails, exhausted memory).
[[noreturn]] void fatalError(const char* what) noexcept;

// [any thread] The one reaction to exhausted memory everywhere in the framework.
[[noreturn]] void outOfMemory() noexcept;

}  // namespace plugkit::core
