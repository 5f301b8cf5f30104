#include "plugkit/core/Thread.h"

#include <pthread.h>

#include <type_traits>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/Fatal.h"

namespace plugkit::core {

static_assert(sizeof(pthread_t) == sizeof(unsigned long) && std::is_integral_v<pthread_t>,
              "ThreadHandle stores the platform thread id as unsigned long");

extern "C" void* posixThreadEntryPoint(void* arg) {
    auto* context = static_cast<ThreadStartContext*>(arg);
    // A callable whose object is set but whose function is missing is treated as empty: calling
    // through a null function would crash the thread.
    if (context->callback.function)
        context->callback.function(context->callback.object);
    else if (context->callbackWithUserData.function)
        context->callbackWithUserData.function(context->callbackWithUserData.object, context->userData);
    return nullptr;
}

void startThread(ThreadHandle& handle, ThreadStartContext* context) {
    handle.context = context;
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) fatalError("thread attribute creation failed");
    if (handle.stackSize != 0 && pthread_attr_setstacksize(&attr, handle.stackSize) != 0)
        fatalError("thread stack size rejected");
    pthread_t id;
    if (pthread_create(&id, &attr, posixThreadEntryPoint, context) != 0) fatalError("thread creation failed");
    handle.id = id;
    if (pthread_attr_destroy(&attr) != 0) fatalError("thread attribute destruction failed");
}

void joinThread(ThreadHandle& handle) {
    if (!handle.context) return;
    if (pthread_join(static_cast<pthread_t>(handle.id), nullptr) != 0) fatalError("thread join failed");
    destroyFree(handle.context);
    handle = ThreadHandle{};
}

}  // namespace plugkit::core
