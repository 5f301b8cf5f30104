// Real-time safety of the LV2 binding's run(): after the first block, run makes no heap allocation
// and takes no mutex while the host moves every control port (NaN and out-of-range values too),
// toggles the enabled port and hands odd and oversized block lengths. The allocator and the mutex
// lock are replaced in this executable (as in tests/host/realtime_test.cpp) and count calls made
// while the thread-local "rendering" flag is set. Sanitizer builds keep their own allocator: there
// the test only runs the blocks.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#include "tests/plugkit/lv2/LV2TestHost.h"

#if !defined(TOLVA_ASAN) && !defined(TOLVA_TSAN)
#define TOLVA_COUNT_CALLS 1
#endif

namespace {
thread_local bool tRendering = false;
std::atomic<int> gAllocCalls{0};
std::atomic<int> gLockCalls{0};
}  // namespace

#ifdef TOLVA_COUNT_CALLS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {
inline void countAlloc() {
    if (tRendering) gAllocCalls.fetch_add(1, std::memory_order_relaxed);
}
template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
    countAlloc();
    return __libc_malloc(n);
}
void* calloc(size_t a, size_t b) {
    countAlloc();
    return __libc_calloc(a, b);
}
void* realloc(void* p, size_t n) {
    countAlloc();
    return __libc_realloc(p, n);
}
void free(void* p) {
    countAlloc();
    __libc_free(p);
}
int posix_memalign(void** out, size_t alignment, size_t n) {
    countAlloc();
    static auto real = next<int (*)(void**, size_t, size_t)>("posix_memalign");
    return real(out, alignment, n);
}
void* aligned_alloc(size_t alignment, size_t n) {
    countAlloc();
    static auto real = next<void* (*)(size_t, size_t)>("aligned_alloc");
    return real(alignment, n);
}
int pthread_mutex_lock(pthread_mutex_t* m) {
    if (tRendering) gLockCalls.fetch_add(1, std::memory_order_relaxed);
    static auto real = next<int (*)(pthread_mutex_t*)>("pthread_mutex_lock");
    return real(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
    if (tRendering) gLockCalls.fetch_add(1, std::memory_order_relaxed);
    static auto real = next<int (*)(pthread_mutex_t*)>("pthread_mutex_trylock");
    return real(m);
}
}

void* operator new(size_t n) {
    countAlloc();
    if (void* p = __libc_malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    countAlloc();
    return __libc_malloc(n ? n : 1);
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept {
    countAlloc();
    __libc_free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }
#endif  // TOLVA_COUNT_CALLS

namespace {

TEST(LV2RealtimeTest, RunAllocatesNothingAndTakesNoLockWhilePortsMove) {
    lv2test::Instance i;
    ASSERT_NE(i.handle, nullptr);
    lv2test::setDefaults(i);
    lv2test::fillSignal(i, lv2test::Instance::kMaxFrames);
    i.run(512);  // first block: the client resets here

    const float odd[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -1e30f, 1e30f, 0.5f};
    for (int b = 0; b < 5000; ++b) {
        const int port = b % lv2test::Instance::kParams;
        i.controls[static_cast<std::size_t>(port)] =
            b % 3 == 0 ? odd[b % 5] : static_cast<float>(b % 100) * 0.37f;
        if (b % 50 == 0) i.controls[lv2test::Instance::kEnabled] = b % 100 == 0 ? 0.0f : 1.0f;
        const uint32_t frames = b % 7 == 0 ? 1 + static_cast<uint32_t>(b) % 4096 : 512;  // past a slice too
        tRendering = true;
        i.run(frames);
        tRendering = false;
    }
    for (int n = 0; n < 512; ++n) ASSERT_TRUE(std::isfinite(i.out(0)[n]));
#ifdef TOLVA_COUNT_CALLS
    EXPECT_EQ(gAllocCalls.load(), 0) << "heap calls in run";
    EXPECT_EQ(gLockCalls.load(), 0) << "mutex locks in run";
    // Positive controls: saving the state reads the parameters under their locks and allocates the
    // chunk, and both are seen.
    std::vector<lv2test::StoredProperty> saved;
    saved.reserve(4);
    tRendering = true;
    const LV2_State_Status status = i.save(saved);
    tRendering = false;
    EXPECT_EQ(status, LV2_STATE_SUCCESS);
    EXPECT_GT(gLockCalls.load(), 0);
    EXPECT_GT(gAllocCalls.load(), 0);
#endif
}

}  // namespace
