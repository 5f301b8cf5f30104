#pragma once

namespace plugkit::core {

// Recursive mutex over the platform mutex: the holding thread may lock it again. The platform
// object lives in its own 64-byte-aligned block. A platform failure to lock or unlock is fatal.
class RecursiveMutex {
public:
    RecursiveMutex();
    ~RecursiveMutex();
    RecursiveMutex(const RecursiveMutex&) = delete;
    RecursiveMutex& operator=(const RecursiveMutex&) = delete;

    // [any thread, never the audio thread] Blocks until the lock is held.
    void lock();
    // [any thread] Returns true when the lock was taken without waiting.
    bool tryLock();
    // [holding thread]
    void unlock();

    // The platform mutex (a pthread_mutex_t*), for a ConditionVar wait.
    void* nativeHandle() const { return handle_; }

private:
    void* handle_ = nullptr;
    unsigned long created_ = 0;
};

// Holds a RecursiveMutex for the lifetime of the scope.
class ScopedLock {
public:
    explicit ScopedLock(RecursiveMutex& m) : m_(m) { m_.lock(); }
    ~ScopedLock() { m_.unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    RecursiveMutex& m_;
};

}  // namespace plugkit::core
