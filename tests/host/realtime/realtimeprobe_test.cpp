// The probe the real-time tests and `tolva validate` rely on: it counts each heap call and lock made
// on a marked thread, and nothing made on any other thread. Sanitizer builds keep their own
// allocator; there the probe must say that it cannot count.
#include "host/realtime/RealtimeProbe.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdlib>
#include <thread>

namespace host::realtime {
namespace {

#if !defined(TOLVA_ASAN) && !defined(TOLVA_TSAN)
TEST(RealtimeProbe, CountsEveryHeapCallAndLockOnMarkedThreadsOnly) {
    ASSERT_TRUE(realtimeHooksWork());
    pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
    // Volatile pointers: the calls cannot be elided.
    auto work = [&m] {
        void* volatile block = std::malloc(16);
        std::free(block);
        int* volatile object = new int(1);
        delete object;
        pthread_mutex_lock(&m);
        pthread_mutex_unlock(&m);
    };
    std::thread(work).join();
    work();
    EXPECT_EQ(realtimeCounts().heapCalls, 0);
    EXPECT_EQ(realtimeCounts().locks, 0);

    std::thread([&] {
        AudioThreadMark mark;
        work();
    }).join();
    EXPECT_EQ(realtimeCounts().heapCalls, 4);  // malloc, free, new, delete
    EXPECT_EQ(realtimeCounts().locks, 1);
    resetRealtimeCounts();
    EXPECT_EQ(realtimeCounts().heapCalls, 0);
}
#else
TEST(RealtimeProbe, SaysThatItCannotCountUnderASanitizer) { EXPECT_FALSE(realtimeHooksWork()); }
#endif

}  // namespace
}  // namespace host::realtime
