// Drives the built plug-in library through the host library: its description, entry points,
// preset files and the live-object count.
#include <gtest/gtest.h>

#include <cstring>

#include "host/PluginLibrary.h"

namespace {

using host::fourCC;

std::unique_ptr<host::PluginLibrary> openPlugin() {
    std::string error;
    auto lib = host::PluginLibrary::open(TOLVA_TEST_PLUGIN, error);
    EXPECT_NE(lib, nullptr) << error;
    return lib;
}

uint32_t readBE32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}
uint32_t readLE32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(PluginLibraryTest, DescribesFourComponentsWithTheirIdentifiersAndProperties) {
    auto lib = openPlugin();
    ASSERT_TRUE(lib);
    const host::PluginDescription& d = lib->description();
    EXPECT_EQ(d.registerResult, 0);
    EXPECT_TRUE(d.effectAdded);
    ASSERT_EQ(d.names.size(), 1u);  // 26 characters: no shortened name
    EXPECT_EQ(d.names[0], "Tolva Multiband Compressor");
    // Longer than 16 characters: the full package name, then its first 16 characters.
    ASSERT_EQ(d.packageNames.size(), 2u);
    EXPECT_EQ(d.packageNames[1], "Tolva Multiband ");
    EXPECT_EQ(d.categories, std::vector<uint32_t>{2});  // dynamics
    EXPECT_EQ(d.manufacturerName, "PEL");
    EXPECT_EQ(d.packageVersion, 2);
    EXPECT_NE(d.proc(0), nullptr);  // effect-parameters factory

    const int layouts[4][2] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}};
    const uint32_t stems[3] = {0, 0x00000001, 0x00010002};
    ASSERT_EQ(d.components.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const host::ComponentDescription& c = d.components[static_cast<std::size_t>(i)];
        const int in = layouts[i][0], out = layouts[i][1];
        SCOPED_TRACE(testing::Message() << in << "-" << out);
        EXPECT_EQ(c.result, 0);
        EXPECT_EQ(c.inputs(), in);
        EXPECT_EQ(c.outputs(), out);
        const std::vector<std::pair<uint32_t, int32_t>> expected = {
            {56, 0},
            {51, int32_t(stems[in])},
            {52, int32_t(stems[out])},
            {60, 1},
            {11, int32_t(fourCC("PELX"))},
            {12, int32_t(fourCC("pelq"))},
            {13, int32_t(fourCC("pe00") + uint32_t(in) * 0x100 + uint32_t(out))},
            {14, int32_t(fourCC("pf00") + uint32_t(in) * 0x100 + uint32_t(out))},
            {118, 1}};
        EXPECT_EQ(c.properties, expected);
        EXPECT_NE(c.renderCallback, nullptr);
        EXPECT_FALSE(c.hasInitProc);
        EXPECT_FALSE(c.hasBackgroundProc);

        // Fields in registration order: 4, 3, 5, audio in 0, out 1, length 2, object 6, then 7.
        using K = host::FieldRegistration::Kind;
        ASSERT_EQ(c.fields.size(), 8u);
        const uint32_t order[8] = {4, 3, 5, 0, 1, 2, 6, 7};
        for (int f = 0; f < 8; ++f) EXPECT_EQ(c.fields[static_cast<std::size_t>(f)].index, order[f]);
        EXPECT_EQ(c.fields[0].kind, K::PrivateData);  // no global MIDI
        EXPECT_EQ(c.fields[0].size, 4u);
        EXPECT_EQ(c.fields[1].kind, K::PrivateData);  // no MIDI input
        EXPECT_EQ(c.fields[2].kind, K::MidiNode);     // the transport node is always there
        EXPECT_EQ(c.fields[2].midiNodeType, 3);
        EXPECT_EQ(c.fields[2].midiNodeName, "Transport");
        EXPECT_EQ(c.fields[2].midiChannelMask, 0xFFFFu);
        EXPECT_EQ(c.fields[3].kind, K::AudioIn);
        EXPECT_EQ(c.fields[4].kind, K::AudioOut);
        EXPECT_EQ(c.fields[5].kind, K::BufferLength);
        EXPECT_EQ(c.fields[6].kind, K::PrivateData);
        EXPECT_EQ(c.fields[6].size, 8u);
        EXPECT_EQ(c.fields[7].kind, K::PrivateData);  // no meters
    }
    // Layout 2-1: native identifier p, e, 2, 1 and second identifier p, f, 2, 1.
    const host::ComponentDescription* c21 = d.componentFor(2, 1);
    ASSERT_NE(c21, nullptr);
    EXPECT_EQ(host::fourCCText(c21->nativeId()), "pe21");
    EXPECT_EQ(host::fourCCText(c21->audioSuiteId()), "pf21");
    EXPECT_EQ(d.componentFor(2, 3), nullptr);
    EXPECT_EQ(lib->close(), 0);
    EXPECT_EQ(lib->leakedHostReferences(), 0);
}

TEST(PluginLibraryTest, EntryPointsAndAHostWithoutDescriptors) {
    auto lib = openPlugin();
    ASSERT_TRUE(lib);
    uint64_t version = 0;
    EXPECT_EQ(lib->sdkVersion(version), 0);
    EXPECT_EQ(version, 0x0000020300BF7318ull);
    void* out = nullptr;
    EXPECT_EQ(lib->registerComponent(out), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(lib->getClassFactory(out), -20009);
    EXPECT_EQ(out, nullptr);

    host::PluginDescription refused;
    EXPECT_EQ(lib->describe(refused, true), -20004);
    EXPECT_FALSE(refused.effectAdded);
    EXPECT_TRUE(refused.components.empty());
    // Describing again builds the same description.
    host::PluginDescription again;
    EXPECT_EQ(lib->describe(again), 0);
    EXPECT_EQ(again.components.size(), 4u);
    EXPECT_EQ(lib->canUnloadNow(), 0);  // description builds only temporary objects

    // A second open of the same file while the first is open is refused.
    std::string error;
    EXPECT_EQ(host::PluginLibrary::open(TOLVA_TEST_PLUGIN, error), nullptr);
    EXPECT_NE(error.find("already open"), std::string::npos);
    EXPECT_EQ(lib->close(), 0);
}

TEST(PluginLibraryTest, NonPluginFilesAreRefusedWithAReason) {
    std::string error;
    EXPECT_EQ(host::PluginLibrary::open("/nonexistent/libx.so", error), nullptr);
    EXPECT_NE(error.find("cannot load"), std::string::npos);
    EXPECT_EQ(host::PluginLibrary::open("/etc/hostname", error), nullptr);
    EXPECT_EQ(host::PluginLibrary::open("libc.so.6", error), nullptr);  // not searched on the library path
}

TEST(PluginLibraryTest, PresetFilesHaveTheHeaderAndThe140ByteChunk) {
    auto lib = openPlugin();
    ASSERT_TRUE(lib);
    const auto presets = lib->enumeratePresets();
    ASSERT_EQ(presets.size(), 4u);
    const char* names[4] = {"Default", "Soft Master", "4-Band Limit", "Low-End Control"};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        const auto& b = presets[i].bytes;
        EXPECT_EQ(presets[i].name, names[i]);
        ASSERT_EQ(b.size(), 56u + 140u);
        EXPECT_EQ(b[0], 0);
        EXPECT_EQ(readBE32(b, 0), 196u);
        EXPECT_EQ(readBE32(b, 4), 0u);
        EXPECT_EQ(std::memcmp(&b[8], "PELXpelq", 8), 0);
        EXPECT_EQ(std::memcmp(&b[16], "pe11Pkit", 8), 0);  // first legal layout, chunk identifier
        for (std::size_t k = 24; k < 56; ++k) EXPECT_EQ(b[k], 0) << k;
        EXPECT_EQ(readLE32(b, 56), 0x92BA200Bu);  // chunk magic
        EXPECT_EQ(readLE32(b, 56 + 4), 0u);
        EXPECT_EQ(readLE32(b, 56 + 12), 0x00020007u);
        EXPECT_EQ(readLE32(b, 56 + 16), i);  // preset index
        EXPECT_EQ(readLE32(b, 56 + 20), 29u);
    }
    // "Soft Master": threshold L of -12 dB on -36..0 is stored as 2/3.
    float thresholdL = 0;
    std::memcpy(&thresholdL, &presets[1].bytes[56 + 24], 4);
    EXPECT_NEAR(thresholdL, 2.0f / 3.0f, 1e-6f);
    EXPECT_EQ(lib->canUnloadNow(), 0);
}

TEST(PluginLibraryTest, LiveObjectCountFollowsInstancesAndReturnsToZero) {
    auto lib = openPlugin();
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->canUnloadNow(), 0);
    std::string error;
    {
        auto a = lib->createInstance(2, 2, 48000, error);
        ASSERT_TRUE(a) << error;
        auto b = lib->createInstance(1, 2, 44100, error);
        ASSERT_TRUE(b) << error;
        EXPECT_GE(lib->canUnloadNow(), 2);
        EXPECT_EQ(lib->createInstance(2, 3, 48000, error), nullptr);  // illegal layout
        EXPECT_NE(error.find("illegal channel layout"), std::string::npos);
    }
    EXPECT_EQ(lib->canUnloadNow(), 0);
    EXPECT_EQ(lib->close(), 0);
    EXPECT_EQ(lib->leakedHostReferences(), 0);  // every host reference the plug-in took came back
}

}  // namespace
