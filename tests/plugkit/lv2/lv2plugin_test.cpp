// The LV2 binding driven in-process through its descriptors, as a host drives it: layouts, untrusted
// control values, bypass and in-place buffers, state save/restore, and the floating-point mode.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "lv2/atom/atom.h"
#include "plugkit/client/Client.h"
#include "tests/plugkit/lv2/LV2TestHost.h"

namespace {

using lv2test::Instance;
using lv2test::StoredProperty;

constexpr uint32_t kBlock = 512;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Runs blocks firstBlock.. firstBlock + blocks - 1 of the test signal; returns channel 0 of every
// block back to back.
std::vector<float> render(Instance& i, int blocks, int firstBlock = 0) {
    std::vector<float> out;
    for (int b = firstBlock; b < firstBlock + blocks; ++b) {
        lv2test::fillSignal(i, kBlock, static_cast<uint32_t>(b + 1));
        i.run(kBlock);
        out.insert(out.end(), i.out(0), i.out(0) + kBlock);
    }
    return out;
}

std::vector<float> renderWith(std::initializer_list<std::pair<int, float>> ports, int blocks = 4) {
    Instance i;
    lv2test::setDefaults(i);
    for (const auto& [port, value] : ports) i.controls[static_cast<std::size_t>(port)] = value;
    return render(i, blocks);
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(LV2Plugin, OneDescriptorPerLayoutAndInstantiationChecksItsInput) {
    const char* uris[] = {"https://pel.audio/plugins/tolva", "https://pel.audio/plugins/tolva/mono",
                          "https://pel.audio/plugins/tolva/mono-to-stereo",
                          "https://pel.audio/plugins/tolva/stereo-to-mono"};
    for (uint32_t i = 0; i < 4; ++i) {
        ASSERT_NE(plugkit::lv2::descriptorAt(i), nullptr);
        EXPECT_STREQ(plugkit::lv2::descriptorAt(i)->URI, uris[i]);
    }
    EXPECT_EQ(plugkit::lv2::descriptorAt(4), nullptr);

    const LV2_Descriptor* d = plugkit::lv2::descriptorAt(0);
    const LV2_Feature* none[] = {nullptr};
    EXPECT_EQ(d->instantiate(d, 0.0, "", none), nullptr);
    EXPECT_EQ(d->instantiate(d, static_cast<double>(kNaN), "", none), nullptr);
    EXPECT_EQ(d->instantiate(d, 1e300, "", none), nullptr);
    LV2_Descriptor copy = *d;  // not one of ours: the layout behind it is unknown
    EXPECT_EQ(copy.instantiate(&copy, 48000.0, "", none), nullptr);
    EXPECT_EQ(d->extension_data("urn:unknown"), nullptr);

    Instance latency;
    ASSERT_NE(latency.handle, nullptr);
    lv2test::setDefaults(latency);
    latency.controls[Instance::kLatency] = -1.0f;
    latency.run(0);
    EXPECT_EQ(latency.controls[Instance::kLatency], 0.0f);
}

TEST(LV2Plugin, ControlValuesAreUntrusted) {
    const std::vector<float> defaults = renderWith({});
    // NaN leaves a parameter (and the enabled switch) as it was.
    EXPECT_TRUE(
        sameBits(renderWith({{0, kNaN}, {20, kNaN}, {24, kNaN}, {Instance::kEnabled, kNaN}}), defaults));
    // Out-of-range values, infinities included, are clamped to the range.
    EXPECT_TRUE(sameBits(renderWith({{24, kInf}, {3, -1e30f}, {27, 7.0f}}),
                         renderWith({{24, 20000.0f}, {3, 1.0f}, {27, 1.0f}})));
    EXPECT_TRUE(sameBits(renderWith({{0, -kInf}, {28, 99.0f}}), renderWith({{0, -36.0f}, {28, 12.0f}})));
    EXPECT_FALSE(sameBits(renderWith({{0, -36.0f}}), defaults));  // the control does act

    // After a valid value, a NaN keeps that value.
    Instance a;
    lv2test::setDefaults(a);
    a.controls[0] = -24.0f;
    std::vector<float> first = render(a, 1);
    a.controls[0] = kNaN;
    std::vector<float> rest = render(a, 3, 1);
    first.insert(first.end(), rest.begin(), rest.end());
    EXPECT_TRUE(sameBits(first, renderWith({{0, -24.0f}})));
}

// The bypass cases reuse the in-place instance so that they run on a state that has followed signal.
TEST(LV2Plugin, InPlaceBuffersAndBypass) {
    // Processing with each output on its own input's buffer gives what separate buffers give.
    Instance separate, inPlace;
    lv2test::setDefaults(separate);
    lv2test::setDefaults(inPlace);
    for (uint32_t c = 0; c < 2; ++c)
        inPlace.descriptor->connect_port(inPlace.handle, 33 + c, inPlace.in(static_cast<int>(c)));
    for (uint32_t frames : {kBlock, 3000u, 1u}) {
        lv2test::fillSignal(separate, frames, frames);
        lv2test::fillSignal(inPlace, frames, frames);
        separate.run(frames);
        inPlace.run(frames);
        for (int c = 0; c < 2; ++c)
            ASSERT_EQ(std::memcmp(separate.out(c), inPlace.in(c), frames * sizeof(float)), 0) << frames;
    }

    // Bypassed: the input passes unchanged, in place too; mono to stereo leaves the right side silent
    // as processing does.
    Instance bypassed;
    lv2test::setDefaults(bypassed);
    bypassed.controls[Instance::kEnabled] = 0.0f;
    lv2test::fillSignal(bypassed, kBlock);
    bypassed.run(kBlock);
    EXPECT_EQ(std::memcmp(bypassed.out(1), bypassed.in(1), kBlock * sizeof(float)), 0);

    // Switched while running: the client's crossfade (960 frames at 48 kHz), then exactly the input;
    // and back.
    constexpr uint32_t kToggleBlock = 1024;
    static_assert(plugkit::client::Client::kBypassFadeSeconds * 48000.0 < kToggleBlock - 32);
    Instance toggled;
    lv2test::setDefaults(toggled);
    render(toggled, 2);
    toggled.controls[Instance::kEnabled] = 0.0f;
    lv2test::fillSignal(toggled, kToggleBlock, 9);
    toggled.run(kToggleBlock);
    EXPECT_NE(toggled.out(0)[0], toggled.in(0)[0]);
    EXPECT_NE(toggled.out(1)[480], toggled.in(1)[480]);
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(std::memcmp(toggled.out(c) + 992, toggled.in(c) + 992, 32 * sizeof(float)), 0);
    toggled.controls[Instance::kEnabled] = 1.0f;
    lv2test::fillSignal(toggled, kBlock, 10);
    toggled.run(kBlock);
    EXPECT_NEAR(toggled.out(0)[0], toggled.in(0)[0], 0.01f);  // 1/960 of the processed sound
    EXPECT_NE(toggled.out(0)[0], toggled.in(0)[0]);

    const LV2_Descriptor* monoToStereo = plugkit::lv2::descriptorAt(2);
    const LV2_Feature* none[] = {nullptr};
    LV2_Handle h = monoToStereo->instantiate(monoToStereo, 44100.0, "", none);
    ASSERT_NE(h, nullptr);
    float controls[31] = {};
    for (uint32_t p = 0; p < 31; ++p) monoToStereo->connect_port(h, p, &controls[p]);
    std::vector<float> in(64, 0.25f), left(64), right(64, 1.0f);
    monoToStereo->connect_port(h, 31, in.data());
    monoToStereo->connect_port(h, 32, left.data());
    monoToStereo->connect_port(h, 33, right.data());
    monoToStereo->activate(h);
    monoToStereo->run(h, 64);
    EXPECT_EQ(left, in);
    EXPECT_EQ(right, std::vector<float>(64, 0.0f));
    monoToStereo->cleanup(h);
}

TEST(LV2Plugin, EveryActivationStartsFromAClearedState) {
    Instance i;
    lv2test::setDefaults(i);
    const std::vector<float> first = render(i, 4);
    i.descriptor->deactivate(i.handle);
    i.descriptor->activate(i.handle);
    EXPECT_TRUE(sameBits(render(i, 4), first));
}

TEST(LV2Plugin, StateRoundTripsAndBadStateChangesNothing) {
    Instance a;
    lv2test::setDefaults(a);
    a.controls[0] = -20.0f;
    a.controls[24] = 250.0f;
    a.controls[27] = 1.0f;
    render(a, 2);
    a.controls[25] = 1500.0f;  // moved by the host, not yet run: the saved state holds it anyway
    std::vector<StoredProperty> saved;
    ASSERT_EQ(a.save(saved), LV2_STATE_SUCCESS);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].key, a.urids.map("https://pel.audio/plugins/tolva#state"));
    EXPECT_EQ(saved[0].type, a.urids.map(LV2_ATOM__Chunk));
    EXPECT_EQ(saved[0].flags, static_cast<uint32_t>(LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE));

    Instance ran;  // the same values, all run
    lv2test::setDefaults(ran);
    ran.controls[0] = -20.0f;
    ran.controls[24] = 250.0f;
    ran.controls[25] = 1500.0f;
    ran.controls[27] = 1.0f;
    render(ran, 1);
    std::vector<StoredProperty> expected;
    ASSERT_EQ(ran.save(expected), LV2_STATE_SUCCESS);
    EXPECT_EQ(saved[0].bytes, expected[0].bytes);

    // Restored between runs; ports the host leaves alone do not undo it.
    Instance b;
    lv2test::setDefaults(b);
    render(b, 1);
    ASSERT_EQ(b.restore(saved), LV2_STATE_SUCCESS);
    render(b, 1);
    std::vector<StoredProperty> after;
    ASSERT_EQ(b.save(after), LV2_STATE_SUCCESS);
    EXPECT_EQ(after[0].bytes, saved[0].bytes);

    // A damaged chunk, a foreign type or a missing property: an error, and nothing changes.
    std::vector<StoredProperty> bad = saved;
    bad[0].bytes[0] ^= 0xff;
    EXPECT_NE(b.restore(bad), LV2_STATE_SUCCESS);
    bad = saved;
    bad[0].bytes.resize(bad[0].bytes.size() - 3);
    EXPECT_NE(b.restore(bad), LV2_STATE_SUCCESS);
    bad = saved;
    bad[0].type = b.urids.map(LV2_ATOM__String);
    EXPECT_EQ(b.restore(bad), LV2_STATE_ERR_BAD_TYPE);
    EXPECT_EQ(b.restore({}), LV2_STATE_ERR_NO_PROPERTY);
    std::vector<StoredProperty> unchanged;
    ASSERT_EQ(b.save(unchanged), LV2_STATE_SUCCESS);
    EXPECT_EQ(unchanged[0].bytes, saved[0].bytes);

    // Without urid:map there is no key to store under.
    Instance unmapped(0, 48000.0, false);
    ASSERT_NE(unmapped.handle, nullptr);
    std::vector<StoredProperty> none;
    EXPECT_EQ(unmapped.save(none), LV2_STATE_ERR_NO_FEATURE);
    EXPECT_TRUE(none.empty());
}

TEST(LV2Plugin, RunKeepsSubnormalsOutAndRestoresTheThreadsMode) {
    Instance i;
    lv2test::setDefaults(i);
    // A loud burst, then a signal far below the smallest normal float and silence: the filters and
    // envelopes decay through the subnormal range unless they are flushed.
    for (int c = 0; c < 2; ++c)
        for (uint32_t n = 0; n < kBlock; ++n) i.in(c)[n] = n < 64 ? 0.9f : (n < 256 ? 1e-41f : 0.0f);
    i.in(0)[300] = kNaN;  // and a NaN sample, with the invalid-operation trap armed
    // The host thread: no flush-to-zero, no denormals-are-zero, invalid/zero-divide/overflow traps on.
    const unsigned hostMode = 0x1F80u & ~((1u << 7) | (1u << 9) | (1u << 10));
    const unsigned saved = _mm_getcsr();
    bool subnormal = false;
    unsigned during = 0;
    _mm_setcsr(hostMode);
    for (int b = 0; b < 40; ++b) {
        i.run(kBlock);
        for (int c = 0; c < 2; ++c)
            for (uint32_t n = 0; n < kBlock; ++n)
                subnormal = subnormal || std::fpclassify(i.out(c)[n]) == FP_SUBNORMAL;
        std::memset(i.in(0), 0, kBlock * sizeof(float));
        std::memset(i.in(1), 0, kBlock * sizeof(float));
    }
    during = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_FALSE(subnormal);
    EXPECT_EQ(during & 0xFFC0u, hostMode & 0xFFC0u) << "the host thread's mode was not restored";
    for (uint32_t n = 0; n < kBlock; ++n) ASSERT_TRUE(std::isfinite(i.out(0)[n]));
}

}  // namespace
