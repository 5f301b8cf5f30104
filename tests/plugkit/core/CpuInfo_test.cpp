#include "plugkit/core/CpuInfo.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace core = plugkit::core;

namespace {

bool same(const core::CpuFeatures& a, const core::CpuFeatures& b) {
    return a.sse2 == b.sse2 && a.sse3 == b.sse3 && a.ssse3 == b.ssse3 && a.sse41 == b.sse41 &&
           a.sse42 == b.sse42 && a.avx == b.avx && a.avx2 == b.avx2 && a.fma == b.fma;
}

}  // namespace

TEST(CpuInfo, FeaturesAreConsistentAndStableAcrossThreads) {
    std::vector<core::CpuFeatures> seen(4);
    std::vector<std::thread> threads;
    for (auto& slot : seen) threads.emplace_back([&slot] { slot = core::cpuFeatures(); });
    for (auto& t : threads) t.join();

    const core::CpuFeatures f = core::cpuFeatures();
    EXPECT_TRUE(f.sse2);  // part of x86-64 itself
    EXPECT_TRUE(!f.avx2 || f.avx);
    EXPECT_TRUE(!f.fma || f.avx);  // FMA needs the wide registers the OS must save
    EXPECT_TRUE(!f.sse42 || f.sse41);
    for (const auto& s : seen) EXPECT_TRUE(same(s, f));
}
