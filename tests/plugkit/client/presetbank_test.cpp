#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/plugkit/client/TestPlugin.h"

namespace plugkit::client {
namespace {

using testing::TestPlugin;

std::vector<uint8_t> toVector(const ChunkBytes& c) { return std::vector<uint8_t>(c.begin(), c.end()); }

int32_t readI32(const std::vector<uint8_t>& b, std::size_t at) {
    return static_cast<int32_t>(static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
                                (static_cast<uint32_t>(b[at + 2]) << 16) |
                                (static_cast<uint32_t>(b[at + 3]) << 24));
}

void writeI32(std::vector<uint8_t>& b, std::size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

std::vector<uint8_t> chunk(int presetIndex, std::vector<float> values) {
    std::vector<uint8_t> b(24 + 4 * values.size());
    const uint8_t magic[4] = {0x0B, 0x20, 0xBA, 0x92};
    std::memcpy(b.data(), magic, 4);
    writeI32(b, 12, 0x00020007);
    writeI32(b, 16, presetIndex);
    writeI32(b, 20, static_cast<int32_t>(values.size()));
    if (!values.empty()) std::memcpy(b.data() + 24, values.data(), 4 * values.size());
    return b;
}

class PresetBankTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = Client::create<TestPlugin>();
        bank = plugin->presetBank();
    }
    void TearDown() override { core::destroyFree(plugin); }

    std::vector<double> snapshot() const {
        std::vector<double> v;
        for (int i = 0; i < plugin->paramCount(); ++i) v.push_back(plugin->param(i)->getNormalized());
        return v;
    }

    // Loads bytes expecting failure with message, and checks nothing changed.
    void expectRejected(const std::vector<uint8_t>& bytes, const char* message) {
        const std::vector<double> before = snapshot();
        const int index = bank->currentPresetIndex();
        ChunkResult r = bank->loadStateChunk(bytes.data(), bytes.size());
        EXPECT_FALSE(r.ok) << bytes.size();
        ASSERT_NE(r.message, nullptr);
        EXPECT_STREQ(r.message, message) << bytes.size();
        EXPECT_EQ(bank->currentPresetIndex(), index);
        const std::vector<double> after = snapshot();
        for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]) << "param " << i;
    }

    TestPlugin* plugin = nullptr;
    PresetBank* bank = nullptr;
};

TEST_F(PresetBankTest, CurrentStateLayoutAndExactRoundTrip) {
    const double values[testing::kParamCount] = {0.123456789, 0.3, 0.77, 0.6, 1.0, 1.0, 0.41, 0.05};
    for (int i = 0; i < plugin->paramCount(); ++i) plugin->param(i)->setFromHost(values[i]);
    ChunkBytes first = bank->getStateChunkFromCurrentState();
    ChunkBytes second = bank->getStateChunkFromCurrentState();
    const std::vector<uint8_t> bytes = toVector(first);
    EXPECT_EQ(bytes, toVector(second));
    ASSERT_EQ(bytes.size(), 24u + 4u * testing::kParamCount);
    EXPECT_EQ(readI32(bytes, 0), static_cast<int32_t>(0x92BA200Bu));
    EXPECT_EQ(bytes[0], 0x0B);
    EXPECT_EQ(readI32(bytes, 4), 0);
    EXPECT_EQ(readI32(bytes, 12), 0x00020007);
    EXPECT_EQ(readI32(bytes, 16), 0);
    EXPECT_EQ(readI32(bytes, 20), testing::kParamCount);
    std::vector<float> saved(testing::kParamCount);
    std::memcpy(saved.data(), bytes.data() + 24, 4 * saved.size());

    for (int i = 0; i < plugin->paramCount(); ++i) plugin->param(i)->setFromHost(0.0);
    ChunkResult r = bank->loadStateChunk(bytes.data(), bytes.size());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.message, nullptr);
    for (int i = 0; i < plugin->paramCount(); ++i)
        EXPECT_EQ(static_cast<float>(plugin->param(i)->getNormalized()), saved[i]) << i;
    EXPECT_EQ(toVector(bank->getStateChunkFromCurrentState()), bytes);
}

TEST_F(PresetBankTest, PresetChunksCarryTheirIndexAndValues) {
    std::vector<uint8_t> b = toVector(bank->getStateChunkFromPreset(1));
    ASSERT_EQ(b.size(), 24u + 4u * testing::kParamCount);
    EXPECT_EQ(readI32(b, 16), 1);
    float v;
    std::memcpy(&v, b.data() + 24, 4);
    EXPECT_EQ(v, 0.25f);
    EXPECT_EQ(bank->getStateChunkFromPreset(2).size(), 0u);
    EXPECT_EQ(bank->getStateChunkFromPreset(-1).size(), 0u);
    ASSERT_TRUE(bank->loadStateChunk(b.data(), b.size()).ok);
    EXPECT_EQ(bank->currentPresetIndex(), 1);
    EXPECT_EQ(static_cast<float>(plugin->param(0)->getNormalized()), 0.25f);
    EXPECT_EQ(readI32(toVector(bank->getStateChunkFromCurrentState()), 16), 1);
}

TEST_F(PresetBankTest, ValueCountsOtherThanTheParameterCount) {
    std::vector<float> more(testing::kParamCount + 3, 0.5f);
    more[0] = 0.75f;
    std::vector<uint8_t> b = chunk(1, more);
    ASSERT_TRUE(bank->loadStateChunk(b.data(), b.size()).ok);
    EXPECT_EQ(plugin->param(0)->getNormalized(), 0.75);

    const std::vector<double> before = snapshot();
    b = chunk(0, {0.0f, 1.0f});
    ASSERT_TRUE(bank->loadStateChunk(b.data(), b.size()).ok);
    const std::vector<double> after = snapshot();
    EXPECT_EQ(after[0], 0.0);
    EXPECT_EQ(after[1], 1.0);
    for (std::size_t i = 2; i < after.size(); ++i) EXPECT_EQ(after[i], before[i]);
    EXPECT_EQ(bank->currentPresetIndex(), 0);

    b = chunk(1, {});  // N = 0 sets only the preset index
    ASSERT_TRUE(bank->loadStateChunk(b.data(), b.size()).ok);
    EXPECT_EQ(bank->currentPresetIndex(), 1);
    EXPECT_EQ(snapshot(), after);

    b = chunk(0, {});
    writeI32(b, 20, -5);  // negative N: also only the index
    ASSERT_TRUE(bank->loadStateChunk(b.data(), b.size()).ok);
    EXPECT_EQ(bank->currentPresetIndex(), 0);
    EXPECT_EQ(snapshot(), after);

    b = chunk(1, {0.2f});
    b.push_back(0xAA);  // trailing bytes are ignored
    EXPECT_TRUE(bank->loadStateChunk(b.data(), b.size()).ok);
}

TEST_F(PresetBankTest, EveryFailureChangesNothing) {
    // Move away from the defaults so that a partial load would show.
    for (int i = 0; i < plugin->paramCount(); ++i) plugin->param(i)->setFromHost(0.8);
    const std::vector<uint8_t> good = chunk(1, std::vector<float>(testing::kParamCount, 0.1f));

    // Cut at every length short of the full chunk: header fields, index, N and mid-values.
    for (std::size_t len = 0; len < good.size(); ++len) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(len));
        expectRejected(cut, kChunkErrorEndOfInput);
    }
    std::vector<uint8_t> b = good;
    std::swap(b[0], b[3]);
    std::swap(b[1], b[2]);  // magic in reversed byte order
    expectRejected(b, kChunkErrorMagic);
    b = good;
    b[2] = 0;
    expectRejected(b, kChunkErrorMagic);
    expectRejected(std::vector<uint8_t>{0x0B, 0x20, 0x00}, kChunkErrorMagic);  // mismatch before the end

    b = good;
    writeI32(b, 4, 1);
    expectRejected(b, kChunkErrorNewerVersion);
    for (int index : {-1, 2, 1000}) {
        b = good;
        writeI32(b, 16, index);
        expectRejected(b, kChunkErrorPresetIndex);
    }
    b = good;
    writeI32(b, 20, testing::kParamCount + 1);  // announces one value more than present
    expectRejected(b, kChunkErrorEndOfInput);
    b = good;
    writeI32(b, 20, 0x7FFFFFFF);
    expectRejected(b, kChunkErrorEndOfInput);

    ChunkResult r = bank->loadStateChunk(nullptr, 100);
    EXPECT_FALSE(r.ok);

    b = good;
    writeI32(b, 4, -3);  // older format versions are accepted
    EXPECT_TRUE(bank->loadStateChunk(b.data(), b.size()).ok);
    EXPECT_EQ(bank->currentPresetIndex(), 1);
}

TEST_F(PresetBankTest, NaNValuesInAChunkLeaveParametersAlone) {
    plugin->param(testing::kMix)->setFromHost(0.3);
    std::vector<float> values(testing::kParamCount, 0.5f);
    values[testing::kMix] = std::numeric_limits<float>::quiet_NaN();
    std::vector<uint8_t> b = chunk(0, values);
    ASSERT_TRUE(bank->loadStateChunk(b.data(), b.size()).ok);
    EXPECT_DOUBLE_EQ(plugin->param(testing::kMix)->getNormalized(), 0.3);
}

TEST(ChunkHeader, AdvancesTheReaderPastSixteenBytes) {
    std::vector<uint8_t> b = chunk(0, {});
    ChunkReader reader{b.data(), b.size(), 0};
    EXPECT_TRUE(checkChunkHeader(reader).ok);
    EXPECT_EQ(reader.pos, 16u);
}

}  // namespace
}  // namespace plugkit::client
