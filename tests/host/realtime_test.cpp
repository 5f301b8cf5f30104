// Real-time safety of rendering: after the first block, the rendering thread makes no heap
// allocation and takes no mutex, while another thread automates parameters and the editor, open in
// a headless window, redraws on this thread (the rendering thread feeds its meters). The allocator and the
// mutex lock are replaced in this executable and count calls made while the thread-local
// "rendering" flag is set. Sanitizer builds keep their own allocator: there the test only runs the
// threaded rendering (ThreadSanitizer still checks it for races).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <thread>

#include "host/PluginEditor.h"
#include "host/PluginLibrary.h"

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
// dlsym may allocate while it resolves; the C library's own entry points serve meanwhile.
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

TEST(RealtimeTest, RenderingAllocatesNothingAndTakesNoLockWhileParametersChangeAndTheEditorDraws) {
    std::string error;
    auto lib = host::PluginLibrary::open(TOLVA_TEST_PLUGIN, error);
    ASSERT_TRUE(lib) << error;
    {
        auto p = lib->createInstance(2, 2, 48000, error);
        ASSERT_TRUE(p) << error;
        auto editor = host::PluginEditor::create(lib->description(), *p, error);
        ASSERT_TRUE(editor) << error;
        editor->openDriven(0);
        plugkit::window::IHostedWindow* window = editor->window();
        ASSERT_NE(window, nullptr);
        constexpr int kBlock = 512;
        std::vector<float> in0(kBlock), in1(kBlock), out0(kBlock), out1(kBlock);
        for (int i = 0; i < kBlock; ++i) {
            in0[static_cast<std::size_t>(i)] = 0.8f * std::sin(0.05f * static_cast<float>(i));
            in1[static_cast<std::size_t>(i)] = 0.5f * std::sin(0.7f * static_cast<float>(i));
        }
        const float* in[2] = {in0.data(), in1.data()};
        float* out[2] = {out0.data(), out1.data()};
        p->render(in, out, kBlock);  // first block: the plug-in may size its buffers here

        std::atomic<bool> stop{false};
        std::atomic<int> changes{0};
        std::thread automation([&] {
            host::InstanceHost& h = p->host();
            int k = 0;
            while (!stop.load()) {
                const std::string id = std::to_string(k % 29);
                const double v = (k % 100) / 100.0;
                if (k % 2) {
                    p->setNormalized(id, v);
                } else {
                    h.PostTouchRequest(id.c_str());
                    h.PostSetValueRequest(id.c_str(), v);
                    h.PostReleaseRequest(id.c_str());
                }
                if (k % 50 == 0) p->setBypass(k % 100 == 0);
                ++k;
                changes.store(k);
            }
        });
        std::atomic<bool> rendered{false};
        std::thread rendering([&] {
            tRendering = true;
            for (int b = 0; b < 5000; ++b) {
                const int frames = b % 7 == 0 ? 1 + b % kBlock : kBlock;  // odd sizes too
                p->render(in, out, frames);
            }
            tRendering = false;
            rendered.store(true);
        });
        int ticks = 0;
        for (; !rendered.load() || ticks < 10; ++ticks) window->tick(1.0 / 60);
        rendering.join();
        stop.store(true);
        automation.join();
        EXPECT_GT(changes.load(), 0);
        editor.reset();
        for (float v : out0) ASSERT_TRUE(std::isfinite(v));
#ifdef TOLVA_COUNT_CALLS
        EXPECT_EQ(gAllocCalls.load(), 0) << "heap calls on the rendering thread";
        EXPECT_EQ(gLockCalls.load(), 0) << "mutex locks on the rendering thread";
        // The counters see calls made inside the plug-in library: a host-side parameter change
        // takes the parameter's lock there.
        tRendering = true;
        p->setNormalized("0", 0.5);
        tRendering = false;
        EXPECT_GT(gLockCalls.load(), 0);
        // And a deliberate allocation while flagged is seen.
        gAllocCalls.store(0);
        tRendering = true;
        void* probe = std::malloc(16);
        tRendering = false;
        std::free(probe);
        EXPECT_EQ(gAllocCalls.load(), 1);
#endif
    }
    EXPECT_EQ(lib->close(), 0);
}

}  // namespace
