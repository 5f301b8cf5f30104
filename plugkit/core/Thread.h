#pragma once

#include <cstddef>

namespace plugkit::core {

// A callable without arguments: object pointer + function pointer. Empty when both are null.
struct ThreadCallback {
    void* object = nullptr;
    void (*function)(void* object) = nullptr;
};

// A callable taking one untyped pointer, bound to an object.
struct ThreadCallbackWithUserData {
    void* object = nullptr;
    void (*function)(void* object, void* userData) = nullptr;
};

// Start record of a framework thread, handed to the platform as the start argument. Allocated with
// mallocNew and owned by the ThreadHandle.
struct ThreadStartContext {
    ThreadCallback callback;
    ThreadCallbackWithUserData callbackWithUserData;
    void* userData = nullptr;
};

// One framework thread.
struct ThreadHandle {
    unsigned long id = 0;                   // the platform thread id (pthread_t)
    ThreadStartContext* context = nullptr;  // owned
    std::size_t stackSize = 0;              // bytes; 0 is the platform default
};

// [new thread] Start routine of every framework thread: runs callback when it has a function,
// otherwise callbackWithUserData with userData (when it has a function). Returns null.
extern "C" void* posixThreadEntryPoint(void* context);

// [any thread] Starts a thread running context (ownership passes to handle) with handle.stackSize.
// Any platform failure is fatal.
void startThread(ThreadHandle& handle, ThreadStartContext* context);

// [any thread but the joined one] Waits for the thread to end, frees its context and clears the
// handle. A failed join is fatal. A handle without context is ignored.
void joinThread(ThreadHandle& handle);

}  // namespace plugkit::core
