#pragma once

namespace plugkit::core {

class RecursiveMutex;

// Condition variable over the platform's, paired with a RecursiveMutex. The platform object lives in
// its own 64-byte-aligned block. A platform failure to create, wait, signal or broadcast is fatal.
class ConditionVar {
public:
    ConditionVar();
    ~ConditionVar();
    ConditionVar(const ConditionVar&) = delete;
    ConditionVar& operator=(const ConditionVar&) = delete;

    // [any thread, never the audio thread] Releases mutex, sleeps until signalled (or spuriously),
    // retakes mutex. The caller holds mutex exactly once: a recursive hold would not be released.
    void wait(RecursiveMutex& mutex);
    // [any thread] Wakes one waiter.
    void signal();
    // [any thread] Wakes every waiter.
    void broadcast();

private:
    void* handle_ = nullptr;
};

}  // namespace plugkit::core
