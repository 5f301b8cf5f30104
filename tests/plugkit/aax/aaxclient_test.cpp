// The effect-parameters object: lifecycle, parameters, fields and chunks.

#include "plugkit/aax/AAXClient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "plugin/MultibandComp.h"
#include "plugkit/aax/LiveObjects.h"
#include "plugkit/aax/sdk/AAXEntryPoints.h"
#include "tests/plugkit/aax/HostDoubles.h"

using namespace aaxtest;
namespace aax = plugkit::aax;
namespace pc = plugkit::client;

namespace {

// A client with the discrete kinds the plug-in does not use.
class DiscreteClient : public pc::Client {
public:
    plugkit::core::Vec<pc::Parameter*> buildParameters() override {
        plugkit::core::Vec<pc::Parameter*> v;
        v.pushBack(plugkit::core::mallocNew<pc::IntegerParameter>(0, "Steps", "", -3, 4, 0));
        const char* names[3] = {"A", "B", "C"};
        v.pushBack(plugkit::core::mallocNew<pc::EnumParameter>(1, "Choice", names, 3, 0));
        return v;
    }
    plugkit::core::Vec<pc::Preset*> buildPresets() override {
        plugkit::core::Vec<pc::Preset*> v;
        v.pushBack(makeDefaultPreset());
        return v;
    }
};

// A client whose Client base is not its first: the Client sub-object does not start the block.
struct Ledger {
    virtual ~Ledger() = default;
    double entries[5] = {};
};
class SecondBaseClient : public Ledger, public DiscreteClient {};

struct Fixture : ::testing::Test {
    HostInstance host;
    aax::AAXClient* object = nullptr;
    sdk::IEffectParameters* params = nullptr;

    void SetUp() override {
        sdk::IACFUnknown* unknown = aax::AAXClient::create();
        ASSERT_NE(unknown, nullptr);
        params = sdk::queryInterface<sdk::IEffectParameters>(unknown);
        unknown->Release();
        object = static_cast<aax::AAXClient*>(params);
        ASSERT_EQ(params->Initialize(host.unknown()), 0);
    }
    void TearDown() override {
        params->Uninitialize();
        params->Release();
        EXPECT_EQ(host.refs, 1);
    }
    std::vector<std::uint8_t> record(std::int32_t room) {
        std::vector<std::uint8_t> r(sdk::kChunkHeaderSize + (room > 0 ? room : 0) + 8, 0xEE);
        reinterpret_cast<sdk::PlugInChunk*>(r.data())->size = room;
        return r;
    }
    static sdk::PlugInChunk* asChunk(std::vector<std::uint8_t>& r) {
        return reinterpret_cast<sdk::PlugInChunk*>(r.data());
    }
    double normalized(const char* id) {
        double v = -1;
        EXPECT_EQ(params->GetParameterNormalizedValue(id, &v), 0);
        return v;
    }
};

}  // namespace

TEST_F(Fixture, InitializeRegistersParametersAndReportsLatency) {
    ASSERT_EQ(host.registered.size(), 29u);
    EXPECT_EQ(host.registered.front(), "0");
    EXPECT_EQ(host.registered.back(), "28");
    EXPECT_EQ(host.latencies, std::vector<std::int32_t>{0});
    EXPECT_FALSE(object->isBypassed());
    params->Uninitialize();
    EXPECT_EQ(host.unregistered, host.registered);
    EXPECT_EQ(host.refs, 1);  // every host interface released
    params->Initialize(host.unknown());
}

TEST_F(Fixture, IdentifierResolution) {
    std::int32_t index = -1;
    EXPECT_EQ(params->GetParameterIndex("05", &index), 0);
    EXPECT_EQ(index, 6);
    EXPECT_EQ(params->GetParameterIndex("MasterBypassID", &index), 0);
    EXPECT_EQ(index, 0);
    for (const char* bad : {"5a", "", "-1", "29", "99999999999999999999", "MasterBypass", " x"})
        EXPECT_EQ(params->GetParameterIndex(bad, &index), -20001) << bad;
    EXPECT_EQ(params->GetParameterIndex(nullptr, &index), -20001);

    TextOut id;
    EXPECT_EQ(params->GetParameterIDFromIndex(0, &id), 0);
    EXPECT_EQ(id.text, "MasterBypassID");
    EXPECT_EQ(params->GetParameterIDFromIndex(29, &id), 0);
    EXPECT_EQ(id.text, "28");
    EXPECT_EQ(params->GetParameterIDFromIndex(30, &id), -20010);
    EXPECT_EQ(params->GetParameterIDFromIndex(-1, &id), -20010);
    std::int32_t count = 0;
    params->GetNumberOfParameters(&count);
    EXPECT_EQ(count, 30);
    EXPECT_EQ(params->GetMasterBypassParameter(&id), 0);
    EXPECT_EQ(id.text, "MasterBypassID");
}

TEST_F(Fixture, DescriptiveQueries) {
    std::int32_t steps = 0, type = -1, orientation = -1, info = 7;
    params->GetParameterNumberOfSteps("MasterBypassID", &steps);
    EXPECT_EQ(steps, 2);
    params->GetParameterNumberOfSteps("0", &steps);  // LinearFloatParameter
    EXPECT_EQ(steps, 2048);
    params->GetParameterNumberOfSteps("20", &steps);  // BoolParameter
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(params->GetParameterNumberOfSteps("x", &steps), -20001);
    params->GetParameterType("MasterBypassID", &type);
    EXPECT_EQ(type, 0);
    params->GetParameterType("1", &type);
    EXPECT_EQ(type, 1);
    params->GetParameterType("27", &type);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(params->GetParameterOrientation("3", &orientation), 0);
    EXPECT_EQ(orientation, 0);

    sdk::Boolean automatable = 0;
    EXPECT_EQ(params->GetParameterIsAutomatable("anything", &automatable), 0);
    EXPECT_EQ(automatable, 1);
    EXPECT_EQ(params->GetParameterValueInfo("0", 0, &info), -20009);
    EXPECT_EQ(info, 0);
    EXPECT_EQ(params->SetParameterDefaultNormalizedValue("0", 0.5), -20009);
    void* p = &p;
    EXPECT_EQ(params->GetParameter("0", &p), -20001);
    EXPECT_EQ(params->GetCurveData(0, nullptr, 0, nullptr), -20009);
    EXPECT_EQ(params->RenderAudio_Hybrid(nullptr), -20009);
    std::uint32_t written = 9;
    EXPECT_EQ(params->GetCustomData(0, 4, nullptr, &written), 0);
    EXPECT_EQ(written, 0u);

    TextOut name;
    params->GetParameterName("5", &name);
    EXPECT_EQ(name.text, "Threshold LM");
    params->GetParameterNameOfLength("MasterBypassID", &name, 6);
    EXPECT_EQ(name.text, "Master");
    params->GetParameterNameOfLength("MasterBypassID", &name, 40);
    EXPECT_EQ(name.text, "Master Bypass");
    params->GetParameterNameOfLength("24", &name, 0);
    EXPECT_EQ(name.text, "");
    params->GetParameterNameOfLength("0", &name, 3);
    EXPECT_EQ(name.text, "Thr");
    double def = -1;
    params->GetParameterDefaultNormalizedValue("0", &def);
    EXPECT_NEAR(def, 33.0 / 36.0, 1e-12);
    params->GetParameterDefaultNormalizedValue("MasterBypassID", &def);
    EXPECT_EQ(def, 0.0);
}

TEST_F(Fixture, BypassValuesAndTexts) {
    EXPECT_EQ(params->SetParameterNormalizedValue("MasterBypassID", 0.5), 0);
    EXPECT_TRUE(object->isBypassed());
    EXPECT_EQ(normalized("MasterBypassID"), 1.0);
    TextOut text;
    params->GetParameterValueString("MasterBypassID", &text, 32);
    EXPECT_EQ(text.text, "on");
    params->SetParameterNormalizedRelative("MasterBypassID", -0.6);
    EXPECT_FALSE(object->isBypassed());
    params->UpdateParameterNormalizedRelative("MasterBypassID", 0.5);
    EXPECT_TRUE(object->isBypassed());
    params->UpdateParameterNormalizedValue("MasterBypassID", 0.49, 0);
    EXPECT_FALSE(object->isBypassed());
    params->SetParameterNormalizedValue("MasterBypassID", 1.0);
    params->SetParameterNormalizedValue("MasterBypassID", std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(object->isBypassed());  // NaN changes nothing

    params->GetParameterStringFromValue("MasterBypassID", 0.7, &text, 1);
    EXPECT_EQ(text.text, "on");
    params->GetParameterStringFromValue("MasterBypassID", 0.2, &text, 32);
    EXPECT_EQ(text.text, "off");
    double v = -1;
    EXPECT_EQ(params->GetParameterValueFromString("MasterBypassID", &v, "On"), 0);
    EXPECT_EQ(v, 0.0);
    EXPECT_EQ(params->GetParameterValueFromString("MasterBypassID", &v, "on"), 0);
    EXPECT_EQ(v, 1.0);
    EXPECT_EQ(params->GetParameterValueFromString("MasterBypassID", &v, "on "), 0);
    EXPECT_EQ(v, 0.0);
}

TEST_F(Fixture, ClientParameterValuesAndTexts) {
    std::int32_t changesBefore = 0, changesAfter = 0;
    params->GetNumberOfChanges(&changesBefore);
    EXPECT_EQ(params->SetParameterNormalizedValue("0", 0.9), 0);
    EXPECT_DOUBLE_EQ(normalized("0"), 0.9);
    params->SetParameterNormalizedRelative("0", 0.3);  // clamped to the top
    EXPECT_DOUBLE_EQ(normalized("0"), 1.0);
    params->UpdateParameterNormalizedRelative("0", -2.0);
    EXPECT_DOUBLE_EQ(normalized("0"), 0.0);
    params->UpdateParameterNormalizedValue("0", 0.25, 0);
    EXPECT_DOUBLE_EQ(normalized("0"), 0.25);
    params->SetParameterNormalizedValue("0", std::numeric_limits<double>::quiet_NaN());
    params->SetParameterNormalizedRelative("0", std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(normalized("0"), 0.25);
    EXPECT_EQ(params->SetParameterNormalizedValue("29", 0.5), -20001);
    params->GetNumberOfChanges(&changesAfter);
    EXPECT_EQ(changesAfter - changesBefore, 4);

    TextOut text;
    params->GetParameterValueString("0", &text, 100);  // -27 dB
    EXPECT_EQ(text.text, "-27.00");
    params->GetParameterValueString("0", &text, 4);
    EXPECT_EQ(text.text, "-27");
    params->GetParameterValueString("0", &text, 0);
    EXPECT_EQ(text.text, "");
    params->GetParameterStringFromValue("20", 0.7, &text, 1);  // the length is not applied
    EXPECT_EQ(text.text, "yes");
    double v = -1;
    EXPECT_EQ(params->GetParameterValueFromString("0", &v, "-18"), 0);
    EXPECT_DOUBLE_EQ(v, 0.5);
    EXPECT_EQ(params->GetParameterValueFromString("20", &v, "Yes"), -20002);
    EXPECT_EQ(params->GetParameterValueFromString("0", &v, nullptr), -20002);
    EXPECT_EQ(params->GetParameterValueFromString("30", &v, "1"), -20001);
}

TEST_F(Fixture, EditorGesturesReachTheAutomationDelegate) {
    pc::Client* client = object->pluginClient();
    client->param(3)->beginParamEdit();
    static_cast<pc::FloatParameter*>(client->param(3))->setFromGUINormalized(0.5);
    client->param(3)->endParamEdit();
    ASSERT_EQ(host.requests.size(), 3u);
    EXPECT_EQ(host.requests[0], "touch 3");
    EXPECT_EQ(host.requests[1].rfind("set 3 0.5", 0), 0u);
    EXPECT_EQ(host.requests[2], "release 3");
}

TEST_F(Fixture, ChunkRoundTripAndComparison) {
    std::int32_t n = 0;
    params->GetNumberOfChunks(&n);
    EXPECT_EQ(n, 1);
    sdk::TypeID id = 1;
    EXPECT_EQ(params->GetChunkIDFromIndex(0, &id), 0);
    EXPECT_EQ(id, 0x506B6974u);
    EXPECT_EQ(params->GetChunkIDFromIndex(1, &id), -20006);
    EXPECT_EQ(id, 0u);
    std::uint32_t size = 1;
    EXPECT_EQ(params->GetChunkSize(0x12345678, &size), -20007);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(params->GetChunkSize(0x506B6974, &size), 0);
    ASSERT_EQ(size, 140u);

    params->SetParameterNormalizedValue("7", 0.125);
    auto saved = record(140);
    ASSERT_EQ(params->GetChunk(0x506B6974, asChunk(saved)), 0);
    EXPECT_EQ(asChunk(saved)->size, 140);
    EXPECT_EQ(saved[sdk::kChunkHeaderSize + 140], 0xEE);  // nothing written past the data
    sdk::Boolean equal = 0;
    EXPECT_EQ(params->CompareActiveChunk(asChunk(saved), &equal), 0);
    EXPECT_EQ(equal, 1);

    params->SetParameterNormalizedValue("7", 0.75);
    params->CompareActiveChunk(asChunk(saved), &equal);
    EXPECT_EQ(equal, 0);
    EXPECT_EQ(params->SetChunk(0x506B6974, asChunk(saved)), 0);
    EXPECT_FLOAT_EQ(static_cast<float>(normalized("7")), 0.125f);
    EXPECT_EQ(params->SetChunk(0x11111111, asChunk(saved)), -20007);
    EXPECT_EQ(params->GetChunk(0x11111111, asChunk(saved)), -20007);
}

TEST_F(Fixture, ChunkRecordsAreReadAndWrittenOnlyWithinTheirSize) {
    // A record announcing less room than the chunk needs is left untouched.
    auto small = record(100);
    EXPECT_EQ(params->GetChunk(0x506B6974, asChunk(small)), sdk::kErrorIncorrectSize);
    EXPECT_EQ(asChunk(small)->size, 100);
    EXPECT_EQ(small[sdk::kChunkHeaderSize], 0xEE);
    auto negative = record(-1);
    EXPECT_EQ(params->GetChunk(0x506B6974, asChunk(negative)), sdk::kErrorIncorrectSize);
    // A host that gives room for GetChunkSize bytes but leaves the size field at 0 gets the chunk.
    std::uint32_t size = 0;
    ASSERT_EQ(params->GetChunkSize(0x506B6974, &size), 0);
    auto unannounced = record(static_cast<std::int32_t>(size));
    asChunk(unannounced)->size = 0;
    ASSERT_EQ(params->GetChunk(0x506B6974, asChunk(unannounced)), 0);
    EXPECT_EQ(asChunk(unannounced)->size, static_cast<std::int32_t>(size));
    sdk::Boolean same = 0;
    params->CompareActiveChunk(asChunk(unannounced), &same);
    EXPECT_EQ(same, 1);

    // Failing loads change nothing: truncated, wrong magic, negative size.
    auto good = record(140);
    params->SetParameterNormalizedValue("7", 0.125);
    ASSERT_EQ(params->GetChunk(0x506B6974, asChunk(good)), 0);
    params->SetParameterNormalizedValue("7", 0.75);
    std::int32_t changes = 0, changesAfter = 0;
    params->GetNumberOfChanges(&changes);

    auto truncated = good;
    asChunk(truncated)->size = 100;  // cut in the middle of the values
    EXPECT_EQ(params->SetChunk(0x506B6974, asChunk(truncated)), -20007);
    auto wrongMagic = good;
    wrongMagic[sdk::kChunkHeaderSize] = 0x92;
    EXPECT_EQ(params->SetChunk(0x506B6974, asChunk(wrongMagic)), -20007);
    auto negativeSize = good;
    asChunk(negativeSize)->size = -5;
    EXPECT_EQ(params->SetChunk(0x506B6974, asChunk(negativeSize)), -20007);
    EXPECT_EQ(params->SetChunk(0x506B6974, nullptr), sdk::kErrorNullObject);

    EXPECT_DOUBLE_EQ(normalized("7"), 0.75);
    params->GetNumberOfChanges(&changesAfter);
    EXPECT_EQ(changesAfter, changes);
    sdk::Boolean equal = 1;
    params->CompareActiveChunk(asChunk(negativeSize), &equal);
    EXPECT_EQ(equal, 0);
}

TEST_F(Fixture, ResetFieldDataWritesTheAddressOnlyIntoAPointerSizedField) {
    void* slot[2] = {nullptr, nullptr};
    EXPECT_EQ(params->ResetFieldData(6, slot, 4), sdk::kErrorIncorrectSize);
    EXPECT_EQ(slot[0], nullptr);
    EXPECT_EQ(params->ResetFieldData(6, nullptr, 8), sdk::kErrorNullObject);
    EXPECT_EQ(params->ResetFieldData(3, slot, 4), 0);
    EXPECT_EQ(slot[0], nullptr);
    EXPECT_EQ(params->ResetFieldData(6, slot, 8), 0);
    EXPECT_EQ(slot[0], static_cast<void*>(object));
    EXPECT_EQ(slot[1], nullptr);
}

TEST_F(Fixture, PrivateInterfaceAndReferenceCounting) {
    aax::IClientAccess* access = sdk::queryInterface<aax::IClientAccess>(params);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->pluginClient()->info().productCode, std::string("pelq"));
    access->Release();
    void* out = &out;
    EXPECT_EQ(params->QueryInterface(sdk::IEffectGUI::kIID, &out), sdk::kErrorNoInterface);
    EXPECT_EQ(out, nullptr);
}

TEST(AAXClientObjects, LiveCountReturnsToZeroAfterTheLastRelease) {
    EXPECT_EQ(ACFCanUnloadNow(), 0);
    sdk::IACFUnknown* a = aax::AAXClient::create();
    sdk::IACFUnknown* b = aax::AAXClient::create();
    EXPECT_EQ(ACFCanUnloadNow(), 2);
    a->AddRef();
    a->Release();
    a->Release();
    EXPECT_EQ(ACFCanUnloadNow(), 1);
    b->Release();
    EXPECT_EQ(aax::liveObjectCount(), 0);
}

TEST(AAXClientObjects, DiscreteStepsAndHostsWithoutDelegate) {
    auto* object = plugkit::core::mallocNew<aax::AAXClient>(pc::Client::create<DiscreteClient>());
    HostInstance host;
    host.offerDelegate = false;
    host.sampleRate = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(object->Initialize(host.unknown()), 0);
    EXPECT_TRUE(host.registered.empty());
    EXPECT_TRUE(host.latencies.empty());                 // no latency for an unusable rate
    object->pluginClient()->param(0)->beginParamEdit();  // dropped, no crash

    std::int32_t steps = 0;
    object->GetParameterNumberOfSteps("0", &steps);
    EXPECT_EQ(steps, 8);
    object->GetParameterNumberOfSteps("1", &steps);
    EXPECT_EQ(steps, 3);
    object->SetParameterNormalizedValue("0", std::numeric_limits<double>::quiet_NaN());
    object->SetParameterNormalizedRelative("0", std::numeric_limits<double>::infinity());
    EXPECT_EQ(static_cast<pc::IntegerParameter*>(object->pluginClient()->param(0))->value(), 4);
    object->Uninitialize();
    object->Release();
    EXPECT_EQ(host.refs, 1);
}

TEST(AAXClientObjects, FreesAClientWhoseClientBaseIsNotFirst) {
    SecondBaseClient* client = pc::Client::create<SecondBaseClient>();
    ASSERT_NE(static_cast<void*>(static_cast<pc::Client*>(client)), static_cast<void*>(client));
    auto* object = plugkit::core::mallocNew<aax::AAXClient>(client);
    EXPECT_EQ(object->pluginClient()->paramCount(), 2);
    object->Release();  // frees the whole block, not the Client sub-object's address
    EXPECT_EQ(aax::liveObjectCount(), 0);
}

TEST_F(Fixture, OutOfRangeHostValuesAreClampedForLogarithmicParameters) {
    // Passed through, -1 would give a ratio of 1:100 (below 1) and 2 a crossover at 10 MHz.
    TextOut text;
    ASSERT_EQ(params->SetParameterNormalizedValue("3", -1.0), 0);  // Ratio L, 1 .. 100
    params->GetParameterValueString("3", &text, 32);
    EXPECT_EQ(text.text, "1.00");
    ASSERT_EQ(params->SetParameterNormalizedValue("26", 2.0), 0);  // F3, 40 .. 20000 Hz
    params->GetParameterValueString("26", &text, 32);
    EXPECT_EQ(text.text, "20000.00");
    EXPECT_DOUBLE_EQ(normalized("26"), 1.0);
    params->UpdateParameterNormalizedValue("24", -5.0, 0);  // F1
    EXPECT_DOUBLE_EQ(normalized("24"), 0.0);
}
