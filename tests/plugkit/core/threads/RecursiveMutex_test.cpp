#include "plugkit/core/RecursiveMutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "plugkit/core/ConditionVar.h"

using plugkit::core::ConditionVar;
using plugkit::core::RecursiveMutex;
using plugkit::core::ScopedLock;

TEST(RecursiveMutex, ReentryByHolderAndExclusionOfOthers) {
    RecursiveMutex m;
    m.lock();
    m.lock();  // re-entry must not deadlock
    { ScopedLock again(m); }
    std::atomic<bool> otherGotIt{true};
    std::thread([&] { otherGotIt = m.tryLock(); }).join();
    EXPECT_FALSE(otherGotIt.load()) << "held twice: another thread must not get it";
    m.unlock();
    std::thread([&] { otherGotIt = m.tryLock(); }).join();
    EXPECT_FALSE(otherGotIt.load()) << "still held once";
    m.unlock();
    std::thread([&] {
        otherGotIt = m.tryLock();
        if (otherGotIt) m.unlock();
    }).join();
    EXPECT_TRUE(otherGotIt.load());
}

TEST(RecursiveMutex, ProtectsACounterAcrossThreads) {
    RecursiveMutex m;
    long counter = 0;  // deliberately not atomic
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            ScopedLock outer(m);
            ScopedLock inner(m);
            ++counter;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}

TEST(ConditionVar, WakesAWaiter) {
    RecursiveMutex m;
    ConditionVar cv;
    bool ready = false;
    std::thread waiter([&] {
        ScopedLock lock(m);
        while (!ready) cv.wait(m);
    });
    {
        ScopedLock lock(m);
        ready = true;
    }
    cv.broadcast();
    waiter.join();
    EXPECT_TRUE(ready);
}
