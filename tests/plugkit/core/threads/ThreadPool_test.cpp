#include "plugkit/core/ThreadPool.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using plugkit::core::ThreadPool;

namespace {
int eightCores() { return 8; }
int oneCore() { return 1; }
int noAnswer() { return 0; }
}  // namespace

TEST(ThreadPool, WorkerCounts) {
    EXPECT_EQ(ThreadPool(0, 2, 0, eightCores).numThreads(), 2);
    EXPECT_EQ(ThreadPool(0, 2, 0, oneCore).numThreads(), 1);
    EXPECT_EQ(ThreadPool(3, 0, 0, oneCore).numThreads(), 3);
    EXPECT_EQ(ThreadPool(4, 2, 0, eightCores).numThreads(), 2);
    EXPECT_EQ(ThreadPool(0, 0, 0, noAnswer).numThreads(), 1) << "never fewer than one worker";
    EXPECT_GE(ThreadPool(0, 0, 0).numThreads(), 1);
    EXPECT_EQ(ThreadPool(2, 0, 256 * 1024).numThreads(), 2);  // explicit stack size
}

TEST(ThreadPool, EveryIndexExactlyOnceWithValidThreadIndex) {
    ThreadPool pool(0, 2, 0, eightCores);
    for (int count : {2, 5, 64, 1000}) {
        std::vector<std::atomic<int>> hits(static_cast<std::size_t>(count));
        std::atomic<int> badThread{0};
        std::atomic<int> finished{0};
        pool.parallelFor(count, [&](int i, int t) {
            if (t < 0 || t >= pool.numThreads()) badThread.fetch_add(1);
            hits[static_cast<std::size_t>(i)].fetch_add(1);
            if (i == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a slow task
            finished.fetch_add(1);
        });
        EXPECT_EQ(finished.load(), count) << "parallelFor returned before every task finished";
        EXPECT_EQ(badThread.load(), 0);
        for (auto& h : hits) EXPECT_EQ(h.load(), 1);
    }
}

TEST(ThreadPool, CountsZeroAndOneStayOnCaller) {
    ThreadPool pool(2);
    int calls = 0;
    pool.parallelFor(0, [&](int, int) { ++calls; });
    pool.parallelFor(-4, [&](int, int) { ++calls; });
    EXPECT_EQ(calls, 0);
    const pthread_t caller = pthread_self();
    bool onCaller = false;
    int seenIndex = -1, seenThread = -1;
    pool.parallelFor(1, [&](int i, int t) {
        onCaller = pthread_equal(pthread_self(), caller) != 0;
        seenIndex = i;
        seenThread = t;
    });
    EXPECT_TRUE(onCaller);
    EXPECT_EQ(seenIndex, 0);
    EXPECT_EQ(seenThread, 0);
    pool.waitForCompletion();  // no job started: returns at once
}

TEST(ThreadPool, AsyncJobsInARowAndOverlappingStarts) {
    ThreadPool pool(3);
    std::atomic<long> sum{0};
    for (int job = 0; job < 200; ++job) {
        pool.parallelForAsync(7, [&](int i, int) { sum.fetch_add(i + 1); });
        pool.waitForCompletion();
    }
    EXPECT_EQ(sum.load(), 200L * 28);
    // A second start without waiting must not corrupt the first job's accounting.
    sum = 0;
    pool.parallelForAsync(50, [&](int, int) { sum.fetch_add(1); });
    pool.parallelForAsync(50, [&](int, int) { sum.fetch_add(1); });
    pool.waitForCompletion();
    EXPECT_EQ(sum.load(), 100);
}

TEST(ThreadPool, DestructionWhileIdleOrWithPendingJob) {
    for (int round = 0; round < 20; ++round) {
        ThreadPool idle(4);
    }
    std::atomic<int> ran{0};
    {
        ThreadPool pool(2);
        pool.parallelForAsync(10, [&](int, int) { ran.fetch_add(1); });
    }
    EXPECT_EQ(ran.load(), 10) << "workers finish the job left before stopping";
}
