// Replacements of the allocator and the mutex lock inside the executable that links this object
// (tolva, the real-time tests). A plug-in library loaded later with dlopen binds its calls to these
// (the executable exports them), so every call made while the calling thread is marked is counted. Each
// replacement forwards to the C library's own entry points.
#include "host/realtime/RealtimeProbe.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <new>

#if !defined(TOLVA_ASAN) && !defined(TOLVA_TSAN)
#define TOLVA_REALTIME_HOOKS 1
#endif

namespace {
thread_local bool tAudioThread = false;
std::atomic<int64_t> gHeapCalls{0};
std::atomic<int64_t> gLocks{0};
}  // namespace

#ifdef TOLVA_REALTIME_HOOKS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {
inline void countHeap() {
    if (tAudioThread) gHeapCalls.fetch_add(1, std::memory_order_relaxed);
}
template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}
}  // namespace

extern "C" {
// dlsym may allocate while it resolves; the C library's own entry points serve meanwhile.
void* malloc(size_t n) {
    countHeap();
    return __libc_malloc(n);
}
void* calloc(size_t a, size_t b) {
    countHeap();
    return __libc_calloc(a, b);
}
void* realloc(void* p, size_t n) {
    countHeap();
    return __libc_realloc(p, n);
}
void free(void* p) {
    countHeap();
    __libc_free(p);
}
int posix_memalign(void** out, size_t alignment, size_t n) {
    countHeap();
    static auto real = next<int (*)(void**, size_t, size_t)>("posix_memalign");
    return real(out, alignment, n);
}
void* aligned_alloc(size_t alignment, size_t n) {
    countHeap();
    static auto real = next<void* (*)(size_t, size_t)>("aligned_alloc");
    return real(alignment, n);
}
int pthread_mutex_lock(pthread_mutex_t* m) {
    if (tAudioThread) gLocks.fetch_add(1, std::memory_order_relaxed);
    static auto real = next<int (*)(pthread_mutex_t*)>("pthread_mutex_lock");
    return real(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
    if (tAudioThread) gLocks.fetch_add(1, std::memory_order_relaxed);
    static auto real = next<int (*)(pthread_mutex_t*)>("pthread_mutex_trylock");
    return real(m);
}
}

void* operator new(size_t n) {
    countHeap();
    if (void* p = __libc_malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    countHeap();
    return __libc_malloc(n ? n : 1);
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept {
    countHeap();
    __libc_free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }
#endif  // TOLVA_REALTIME_HOOKS

namespace host::realtime {

AudioThreadMark::AudioThreadMark() { tAudioThread = true; }
AudioThreadMark::~AudioThreadMark() { tAudioThread = false; }

RealtimeCounts realtimeCounts() {
    return {gHeapCalls.load(std::memory_order_relaxed), gLocks.load(std::memory_order_relaxed)};
}

void resetRealtimeCounts() {
    gHeapCalls.store(0, std::memory_order_relaxed);
    gLocks.store(0, std::memory_order_relaxed);
}

bool realtimeHooksWork() {
    const RealtimeCounts before = realtimeCounts();
    pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
    void* volatile probe = nullptr;
    {
        AudioThreadMark mark;
        probe = std::malloc(16);
        pthread_mutex_lock(&m);
    }
    pthread_mutex_unlock(&m);
    std::free(probe);
    const RealtimeCounts after = realtimeCounts();
    const bool works = after.heapCalls > before.heapCalls && after.locks > before.locks;
    resetRealtimeCounts();
    return works;
}

}  // namespace host::realtime
