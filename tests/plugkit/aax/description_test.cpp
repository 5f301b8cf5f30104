// Description of the plug-in to the host and the exported entry points.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/MultibandComp.h"
#include "plugkit/aax/AAXDescription.h"
#include "plugkit/aax/AAXEffectGUI.h"
#include "plugkit/aax/AAXRender.h"
#include "plugkit/aax/LiveObjects.h"
#include "plugkit/aax/sdk/AAXEntryPoints.h"
#include "tests/plugkit/aax/HostDoubles.h"

using namespace aaxtest;
namespace aax = plugkit::aax;

namespace {

// A bare client under a chosen name, for the cutting rules.
const char* gProductName = "";
class NamedClient : public plugkit::client::Client {
public:
    plugkit::client::PluginInfo buildPluginInfo() override {
        plugkit::client::PluginInfo info;
        info.productName = gProductName;
        return info;
    }
};

sdk::IACFUnknown* fakeFactory() { return nullptr; }

aax::PluginProcs procs() {
    aax::PluginProcs p;
    p.render = &aax::StaticRenderAudio;
    p.effectParameters = &fakeFactory;
    p.effectGUI = &aax::AAXEffectGUI::create;
    return p;
}

}  // namespace

// The product's names, category, properties and context fields, as a host reads them from the built
// library, are checked by the stand-in host's library test; here what only the binding can see.
TEST(AAXDescription, HandsOverTheBundleBothFactoriesAndTheRenderCallback) {
    auto* client = plugkit::client::Client::create<plugin::MultibandComp>();
    CollectionDouble collection;
    ASSERT_EQ(aax::describePlugin(collection, *client, procs()), 0);
    EXPECT_EQ(collection.effectsAdded, 1);
    EXPECT_EQ(collection.bundle, client->info().aaxBundleId);
    using Proc = std::pair<sdk::CreateObjectProc, sdk::ProcPtrID>;
    EXPECT_EQ(collection.effect.procs,
              (std::vector<Proc>{{&fakeFactory, 0}, {&aax::AAXEffectGUI::create, 1}}));
    ASSERT_EQ(collection.effect.components.size(), 4u);
    for (const auto* c : collection.effect.components) {
        EXPECT_TRUE(c->added);
        EXPECT_EQ(c->render, &aax::StaticRenderAudio);
    }
    plugkit::core::destroyFree(client);
}

TEST(AAXDescription, NamesAreCutForTheHost) {
    struct Case {
        const char* name;
        std::vector<std::string> names, packages;
    };
    const std::string n31(31, 'a'), n32(32, 'b'), n16(16, 'c'), n17(17, 'd');
    const Case cases[] = {
        {n16.c_str(), {n16}, {n16}},
        {n17.c_str(), {n17}, {n17, n17.substr(0, 16)}},
        {n31.c_str(), {n31}, {n31, n31.substr(0, 16)}},
        {n32.c_str(), {n32, n32.substr(0, 31)}, {n32, n32.substr(0, 16)}},
    };
    for (const Case& c : cases) {
        gProductName = c.name;
        auto* client = plugkit::client::Client::create<NamedClient>();
        CollectionDouble collection;
        EXPECT_EQ(aax::describePlugin(collection, *client, procs()), 0);
        EXPECT_EQ(collection.effect.names, c.names);
        EXPECT_EQ(collection.packageNames, c.packages);
        plugkit::core::destroyFree(client);
    }
}

TEST(AAXDescription, StemFormatsAndCategoryBits) {
    const sdk::StemFormat stems[] = {0xFF9C0000, 0x00000001, 0x00010002, 0x00020003, 0x00040004,
                                     0x00050005, 0x00060006, 0x00080007, 0x000C0008, 0xFF9C0000};
    for (int c = 0; c <= 9; ++c) EXPECT_EQ(aax::stemFormatForChannels(c), stems[c]) << c;
    EXPECT_EQ(aax::stemFormatForChannels(-1), 0xFF9C0000u);

    const std::uint32_t bits[] = {8192, 16, 64, 2, 1, 512, 32, 4, 8, 8192, 2048, 2048, 2048, 2048, 8192};
    for (int code = 0; code <= 14; ++code) EXPECT_EQ(aax::categoryBits(code), bits[code]) << code;
    EXPECT_EQ(aax::categoryBits(-1), 8192u);
}

TEST(AAXDescription, HostFailuresKeepTheEffectOut) {
    auto* client = plugkit::client::Client::create<plugin::MultibandComp>();
    {
        CollectionDouble collection;
        collection.giveDescriptor = false;
        EXPECT_EQ(aax::describePlugin(collection, *client, procs()), sdk::kErrorNullObject);
        EXPECT_TRUE(collection.packageNames.empty());
        EXPECT_EQ(collection.effectsAdded, 0);
    }
    {
        CollectionDouble collection;
        collection.effect.categoryResult = -7;
        EXPECT_EQ(aax::describePlugin(collection, *client, procs()), -7);
        EXPECT_EQ(collection.effectsAdded, 0);
        EXPECT_EQ(collection.manufacturer, "PEL");  // the package details are still given
    }
    plugkit::core::destroyFree(client);
}

TEST(AAXDescription, MidiAndMetersUseTheirNodes) {
    aax::ComponentSetup setup;
    setup.needsGlobalMIDI = true;
    setup.needsInputMIDI = true;
    const std::uint32_t meters[2] = {1, 2};
    setup.meterCount = 2;
    setup.meterIDs = meters;
    EffectDouble effect;
    EXPECT_EQ(aax::describeComponent(effect, setup, &aax::StaticRenderAudio), 0);
    EXPECT_EQ(
        effect.components[0]->fields,
        (std::vector<std::string>{"4:midi:2:GlobalMIDI:65535", "3:midi:0:InputMIDI:65535", "5:private:4",
                                  "0:in", "1:out", "2:len", "6:private:8", "7:meters:2"}));
    // "none" identifiers leave out the AudioSuite properties.
    std::vector<sdk::PropertyID> numbers;
    for (const auto& [number, value] : effect.components[0]->properties.props) numbers.push_back(number);
    EXPECT_EQ(numbers, (std::vector<sdk::PropertyID>{56, 51, 52, 60, 11, 12, 13}));
}

// --- Entry points -------------------------------------------------------------------------------

TEST(AAXEntryPoints, RegisterPluginHandsBackTheDefinition) {
    CollectionDouble collection;
    sdk::IACFPluginDefinition* definition = nullptr;
    EXPECT_EQ(ACFRegisterPlugin(collection.unknown(), &definition), 0);
    EXPECT_EQ(definition, static_cast<sdk::IACFPluginDefinition*>(&collection));
    EXPECT_EQ(collection.effect.components.size(), 4u);
    EXPECT_EQ(collection.refs, 2);  // the definition's reference, now the host's
    definition->Release();

    CollectionDouble refusing;
    refusing.offerDefinition = false;
    EXPECT_EQ(ACFRegisterPlugin(refusing.unknown(), &definition), sdk::kErrorNullObject);
    EXPECT_EQ(definition, nullptr);
    EXPECT_EQ(refusing.refs, 1);

    EXPECT_EQ(ACFRegisterPlugin(nullptr, &definition), sdk::kErrorNullObject);
}

// The out arguments are cleared even when the host left something in them.
TEST(AAXEntryPoints, FixedAnswersClearTheirOutArguments) {
    void* factory = &factory;
    EXPECT_EQ(ACFGetClassFactory(nullptr, nullptr, nullptr, &factory), -20009);
    EXPECT_EQ(factory, nullptr);
    sdk::IACFUnknown* component = reinterpret_cast<sdk::IACFUnknown*>(&factory);
    EXPECT_EQ(ACFRegisterComponent(nullptr, nullptr, &component), 0);
    EXPECT_EQ(component, nullptr);
    EXPECT_EQ(ACFGetSDKVersion(nullptr), sdk::kErrorNullObject);
}

TEST(AAXEntryPoints, StartupKeepsOneHostReferenceUntilShutdown) {
    CollectionDouble host;
    EXPECT_EQ(ACFStartup(host.unknown()), 0);
    EXPECT_EQ(ACFStartup(host.unknown()), 0);  // a second one is ignored
    EXPECT_EQ(host.refs, 2);
    EXPECT_EQ(ACFShutdown(), 0);
    EXPECT_EQ(host.refs, 1);
    EXPECT_EQ(ACFShutdown(), 0);
    EXPECT_EQ(host.refs, 1);
}

TEST(AAXEntryPoints, EnumeratesPresetsAsFiles) {
    struct Seen {
        std::vector<std::string> names;
        std::vector<std::vector<std::uint8_t>> files;
    } seen;
    PlugkitEnumerateTFX(
        [](const char* name, const void* data, std::uint32_t size, void* user) {
            auto* s = static_cast<Seen*>(user);
            s->names.push_back(name);
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            s->files.emplace_back(bytes, bytes + size);
        },
        &seen);
    EXPECT_EQ(seen.names,
              (std::vector<std::string>{"Default", "Soft Master", "4-Band Limit", "Low-End Control"}));
    for (std::size_t i = 0; i < seen.files.size(); ++i) {
        const auto& f = seen.files[i];
        ASSERT_EQ(f.size(), 56u + 140u);
        EXPECT_EQ(std::vector<std::uint8_t>(f.begin(), f.begin() + 4),
                  (std::vector<std::uint8_t>{0, 0, 0, 196}));
        EXPECT_EQ(std::string(f.begin() + 4, f.begin() + 8), std::string(4, '\0'));
        EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 24), "PELXpelqpe11Pkit");
        EXPECT_EQ(std::string(f.begin() + 24, f.begin() + 56), std::string(32, '\0'));
        EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + 56, f.begin() + 60),
                  (std::vector<std::uint8_t>{0x0B, 0x20, 0xBA, 0x92}));
        EXPECT_EQ(f[56 + 16], i);  // the chunk carries the preset's own index
    }
    PlugkitEnumerateTFX(nullptr, nullptr);  // no callback: nothing happens
}
