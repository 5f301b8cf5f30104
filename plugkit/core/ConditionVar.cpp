#include "plugkit/core/ConditionVar.h"

#include <pthread.h>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/Fatal.h"
#include "plugkit/core/RecursiveMutex.h"

namespace plugkit::core {

static_assert(sizeof(pthread_cond_t) <= 48, "the platform condition variable must fit its 48-byte block");

namespace {
pthread_cond_t* cond(void* handle) { return static_cast<pthread_cond_t*>(handle); }
}  // namespace

ConditionVar::ConditionVar() {
    handle_ = allocAligned(48, 64);
    if (pthread_cond_init(cond(handle_), nullptr) != 0) fatalError("condition variable creation failed");
}

ConditionVar::~ConditionVar() {
    if (handle_) {
        pthread_cond_destroy(cond(handle_));
        freeAligned(handle_);
        handle_ = nullptr;
    }
}

void ConditionVar::wait(RecursiveMutex& mutex) {
    if (pthread_cond_wait(cond(handle_), static_cast<pthread_mutex_t*>(mutex.nativeHandle())) != 0)
        fatalError("condition wait failed");
}

void ConditionVar::signal() {
    if (pthread_cond_signal(cond(handle_)) != 0) fatalError("condition signal failed");
}

void ConditionVar::broadcast() {
    if (pthread_cond_broadcast(cond(handle_)) != 0) fatalError("condition broadcast failed");
}

}  // namespace plugkit::core
