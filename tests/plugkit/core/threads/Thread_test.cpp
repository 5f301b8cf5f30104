#include "plugkit/core/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/UUID.h"

using namespace plugkit::core;

TEST(Thread, EntryPointPrefersPlainCallbackThenUserDataCallback) {
    std::atomic<int> plain{0};
    std::atomic<long> withData{0};

    ThreadHandle a;
    auto* ca = mallocNew<ThreadStartContext>();
    ca->callback = {&plain, [](void* o) { static_cast<std::atomic<int>*>(o)->fetch_add(1); }};
    ca->callbackWithUserData = {&withData,
                                [](void* o, void*) { static_cast<std::atomic<long>*>(o)->fetch_add(100); }};
    startThread(a, ca);
    joinThread(a);
    EXPECT_EQ(plain.load(), 1);
    EXPECT_EQ(withData.load(), 0);
    EXPECT_EQ(a.context, nullptr);

    ThreadHandle b;
    b.stackSize = 128 * 1024;
    auto* cb = mallocNew<ThreadStartContext>();
    cb->callback.object = &plain;  // object without function: treated as empty, not called
    cb->callbackWithUserData = {&withData, [](void* o, void* d) {
                                    static_cast<std::atomic<long>*>(o)->fetch_add(reinterpret_cast<long>(d));
                                }};
    cb->userData = reinterpret_cast<void*>(7L);
    startThread(b, cb);
    joinThread(b);
    EXPECT_EQ(plain.load(), 1);
    EXPECT_EQ(withData.load(), 7);
}

TEST(UUID, ConcurrentFirstUseGivesDistinctIdentifiers) {
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::vector<std::string>> out(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&out, t] {
            for (int i = 0; i < kEach; ++i) {
                char text[kUUIDTextLength + 1];
                generateNullTerminatedRandomUUID("", text);
                out[static_cast<std::size_t>(t)].push_back(text);
            }
        });
    for (auto& th : threads) th.join();
    std::set<std::string> all;
    for (auto& v : out) all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
}
