// Real-time safety of the LV2 binding's run(): after the first block, run makes no heap allocation
// and takes no mutex while the host moves every control port (NaN and out-of-range values too),
// toggles the enabled port and hands odd and oversized block lengths. The allocator and the mutex
// lock are replaced in this executable (host/realtime/RealtimeProbe.h) and count calls made
// while the calling thread is marked as an audio thread. Sanitizer builds keep their own allocator: there
// the test only runs the blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "host/realtime/RealtimeProbe.h"
#include "tests/plugkit/lv2/LV2TestHost.h"

#if !defined(TOLVA_ASAN) && !defined(TOLVA_TSAN)
#define TOLVA_COUNT_CALLS 1
#endif

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
        host::realtime::AudioThreadMark mark;
        i.run(frames);
    }
    for (int n = 0; n < 512; ++n) ASSERT_TRUE(std::isfinite(i.out(0)[n]));
#ifdef TOLVA_COUNT_CALLS
    EXPECT_EQ(host::realtime::realtimeCounts().heapCalls, 0) << "heap calls in run";
    EXPECT_EQ(host::realtime::realtimeCounts().locks, 0) << "mutex locks in run";
    // Positive controls: saving the state reads the parameters under their locks and allocates the
    // chunk, and both are seen.
    std::vector<lv2test::StoredProperty> saved;
    saved.reserve(4);
    LV2_State_Status status{};
    {
        host::realtime::AudioThreadMark mark;
        status = i.save(saved);
    }
    EXPECT_EQ(status, LV2_STATE_SUCCESS);
    EXPECT_GT(host::realtime::realtimeCounts().locks, 0);
    EXPECT_GT(host::realtime::realtimeCounts().heapCalls, 0);
#endif
}

}  // namespace
