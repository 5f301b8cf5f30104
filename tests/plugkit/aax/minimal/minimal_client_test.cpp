// The binding's render path with a client of the test's own, not the product: a gain of 0.5 with
// a frame limit of 64, which records every sub-block it is handed.

#include <gtest/gtest.h>

#include <vector>

#include "plugkit/aax/AAXClient.h"
#include "plugkit/aax/AAXDescription.h"
#include "plugkit/aax/AAXRender.h"
#include "plugkit/aax/ClientFactory.h"
#include "plugkit/client/Client.h"
#include "tests/plugkit/aax/HostDoubles.h"

namespace aax = plugkit::aax;
namespace pc = plugkit::client;
using aaxtest::HostInstance;

namespace {

class HalfGain final : public pc::Client {
public:
    std::vector<int> sliceFrames;
    HalfGain() { initialize(); }
    int maxFramesInProcess() const override { return 64; }
    plugkit::core::Vec<pc::LegalIO> buildLegalIO() override {
        plugkit::core::Vec<pc::LegalIO> ios;
        ios.pushBack({2, 2});
        return ios;
    }
    void processAudio(const float* const* in, float** out, int frames, pc::TimeInfo) override {
        sliceFrames.push_back(frames);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < frames; ++i) out[c][i] = in[c][i] * 0.5f;
    }
};

}  // namespace

pc::Client* plugkitCreateClient() { return pc::Client::create<HalfGain>(); }

namespace {

TEST(MinimalClient, RendersInPlaceHostBuffersThroughSubBlocks) {
    HostInstance host;
    auto* client = static_cast<HalfGain*>(plugkitCreateClient());
    auto* object = plugkit::core::mallocNew<aax::AAXClient>(client);
    object->Initialize(host.unknown());
    void* slot = nullptr;
    object->ResetFieldData(aax::kFieldPrivateData, &slot, sizeof(slot));

    // The host hands the same buffers as input and output.
    std::vector<float> buf[2];
    std::vector<float> want[2];
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 1000; ++i) {
            buf[c].push_back(static_cast<float>(i * (c + 1)));
            want[c].push_back(static_cast<float>(i * (c + 1)) * 0.5f);
        }
    float* ptrs[2] = {buf[0].data(), buf[1].data()};
    std::int32_t frames = 1000;
    aax::sdk::ContextField fields[aax::kContextFieldCount] = {};
    fields[aax::kFieldAudioIn] = ptrs;
    fields[aax::kFieldAudioOut] = ptrs;
    fields[aax::kFieldBufferLength] = &frames;
    fields[aax::kFieldPrivateData] = &slot;
    aax::sdk::ContextField* contexts[1] = {fields};
    aax::StaticRenderAudio(contexts, contexts + 1);

    EXPECT_EQ(buf[0], want[0]);
    EXPECT_EQ(buf[1], want[1]);
    ASSERT_EQ(client->sliceFrames.size(), 16u);  // 15 of 64 and one of 40
    EXPECT_EQ(client->sliceFrames.back(), 40);
    EXPECT_EQ(ptrs[0], buf[0].data());  // the host's arrays are left as they were
    object->Uninitialize();
    object->Release();
}

}  // namespace
