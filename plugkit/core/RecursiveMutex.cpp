#include "plugkit/core/RecursiveMutex.h"

#include <pthread.h>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/Fatal.h"

namespace plugkit::core {

static_assert(sizeof(pthread_mutex_t) <= 64, "the platform mutex must fit its 64-byte block");

RecursiveMutex::RecursiveMutex() {
    handle_ = allocAligned(64, 64);
    pthread_mutexattr_t attr;
    // A mutex that failed to initialise would be used uninitialised by every lock: stop instead.
    if (pthread_mutexattr_init(&attr) != 0 ||
        pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) != 0 ||
        pthread_mutex_init(static_cast<pthread_mutex_t*>(handle_), &attr) != 0)
        fatalError("mutex creation failed");
    pthread_mutexattr_destroy(&attr);
    created_ = 1;
}

RecursiveMutex::~RecursiveMutex() {
    if (created_) {
        pthread_mutex_destroy(static_cast<pthread_mutex_t*>(handle_));
        freeAligned(handle_);
        handle_ = nullptr;
        created_ = 0;
    }
}

void RecursiveMutex::lock() {
    if (pthread_mutex_lock(static_cast<pthread_mutex_t*>(handle_)) != 0) fatalError("mutex lock failed");
}

bool RecursiveMutex::tryLock() { return pthread_mutex_trylock(static_cast<pthread_mutex_t*>(handle_)) == 0; }

void RecursiveMutex::unlock() {
    if (pthread_mutex_unlock(static_cast<pthread_mutex_t*>(handle_)) != 0) fatalError("mutex unlock failed");
}

}  // namespace plugkit::core
