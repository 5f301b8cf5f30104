#include "plugkit/aax/AAXDescription.h"

#include <cstring>

#include "plugkit/client/Client.h"

namespace plugkit::aax {

namespace {

constexpr std::size_t kMaxEffectNameLength = 31;
constexpr std::size_t kMaxPackageNameLength = 16;
constexpr std::int32_t kPrivateFieldSize = 4;  // placeholder for an unused optional field

// Calls add(text) and, when text is longer than limit, add(its first limit characters) as well.
template <class Add>
void addNameAndShortName(const char* text, std::size_t limit, Add add) {
    add(text);
    if (std::strlen(text) > limit) {
        char cut[64];
        static_assert(sizeof(cut) > kMaxEffectNameLength && sizeof(cut) > kMaxPackageNameLength);
        std::memcpy(cut, text, limit);
        cut[limit] = 0;
        add(cut);
    }
}

}  // namespace

sdk::StemFormat stemFormatForChannels(int channels) noexcept {
    switch (channels) {
        case 1:
            return sdk::kStemFormatMono;
        case 2:
            return sdk::kStemFormatStereo;
        case 3:
            return sdk::kStemFormatLCR;
        case 4:
            return sdk::kStemFormatQuad;
        case 5:
            return sdk::kStemFormat5_0;
        case 6:
            return sdk::kStemFormat5_1;
        case 7:
            return sdk::kStemFormat6_1;
        case 8:
            return sdk::kStemFormat7_1;
        default:
            return sdk::kStemFormatNone;
    }
}

std::uint32_t categoryBits(std::int32_t category) noexcept {
    if (category >= client::kCategoryGeneratorFirst && category <= client::kCategoryGeneratorLast)
        return sdk::kCategorySWGenerators;
    switch (category) {
        case client::kCategoryDelay:
            return sdk::kCategoryDelay;
        case client::kCategoryHarmonic:
            return sdk::kCategoryHarmonic;
        case client::kCategoryDynamics:
            return sdk::kCategoryDynamics;
        case client::kCategoryEQ:
            return sdk::kCategoryEQ;
        case client::kCategorySoundField:
            return sdk::kCategorySoundField;
        case client::kCategoryModulation:
            return sdk::kCategoryModulation;
        case client::kCategoryPitchShift:
            return sdk::kCategoryPitchShift;
        case client::kCategoryReverb:
            return sdk::kCategoryReverb;
        default:
            return sdk::kCategoryEffect;
    }
}

sdk::TypeID fourCharCode(const char* chars) noexcept {
    return sdk::fourCharCode(chars[0], chars[1], chars[2], chars[3]);
}

sdk::TypeID layoutPlugInID(const client::PluginInfo& info, const client::LegalIO& io,
                           int secondCharOffset) noexcept {
    return sdk::fourCharCode(info.productCode[0], static_cast<char>(info.productCode[1] + secondCharOffset),
                             static_cast<char>('0' + io.inputs), static_cast<char>('0' + io.outputs));
}

ComponentSetup makeComponentSetup(const client::PluginInfo& info, const client::LegalIO& io) noexcept {
    ComponentSetup setup;
    setup.inputStemFormat = stemFormatForChannels(io.inputs);
    setup.outputStemFormat = stemFormatForChannels(io.outputs);
    setup.property60Flag = true;
    setup.manufacturerID = fourCharCode(info.makerCode);
    setup.productID = fourCharCode(info.productCode);
    setup.nativePlugInID = layoutPlugInID(info, io);
    setup.audioSuitePlugInID = layoutPlugInID(info, io, 1);
    setup.needsInputMIDI = info.takesMidi;
    setup.needsTransport = true;
    setup.extraProperty56Value = 0;
    return setup;
}

sdk::Result describeComponent(sdk::IEffectDescriptor& effect, const ComponentSetup& setup,
                              sdk::RenderProc render) {
    sdk::IComponentDescriptor* component = effect.NewComponentDescriptor();
    if (!component) return sdk::kErrorNullObject;

    sdk::Result result = 0;
    result |= setup.needsGlobalMIDI
                  ? component->AddMIDINode(kFieldGlobalMIDI, sdk::kMidiNodeGlobal, setup.globalMIDINodeName,
                                           setup.globalMIDIChannelMask)
                  : component->AddPrivateData(kFieldGlobalMIDI, kPrivateFieldSize);
    result |= setup.needsInputMIDI
                  ? component->AddMIDINode(kFieldInputMIDI, sdk::kMidiNodeLocalInput, setup.inputMIDINodeName,
                                           setup.inputMIDIChannelMask)
                  : component->AddPrivateData(kFieldInputMIDI, kPrivateFieldSize);
    result |= setup.needsTransport ? component->AddMIDINode(kFieldTransport, sdk::kMidiNodeTransport,
                                                            setup.transportNodeName, 0xFFFF)
                                   : component->AddPrivateData(kFieldTransport, kPrivateFieldSize);
    result |= component->AddAudioIn(kFieldAudioIn);
    result |= component->AddAudioOut(kFieldAudioOut);
    result |= component->AddAudioBufferLength(kFieldBufferLength);
    result |= component->AddPrivateData(kFieldPrivateData, static_cast<std::int32_t>(sizeof(void*)));
    result |= setup.meterCount > 0 ? component->AddMeters(kFieldMeters, setup.meterIDs, setup.meterCount)
                                   : component->AddPrivateData(kFieldMeters, kPrivateFieldSize);

    sdk::IPropertyMap* properties = component->NewPropertyMap();
    if (!properties) return result | sdk::kErrorNullObject;
    if (setup.property151Flag) result |= properties->AddProperty(sdk::kPropertyFlag151, 1);
    result |= properties->AddProperty(sdk::kPropertyExtra56Value, setup.extraProperty56Value);
    result |= properties->AddProperty(sdk::kPropertyInputStemFormat,
                                      static_cast<sdk::PropertyValue>(setup.inputStemFormat));
    result |= properties->AddProperty(sdk::kPropertyOutputStemFormat,
                                      static_cast<sdk::PropertyValue>(setup.outputStemFormat));
    result |= properties->AddProperty(sdk::kPropertyFlag60, setup.property60Flag ? 1 : 0);
    result |= properties->AddProperty(sdk::kPropertyManufacturerID,
                                      static_cast<sdk::PropertyValue>(setup.manufacturerID));
    result |=
        properties->AddProperty(sdk::kPropertyProductID, static_cast<sdk::PropertyValue>(setup.productID));
    result |= properties->AddProperty(sdk::kPropertyNativePlugInID,
                                      static_cast<sdk::PropertyValue>(setup.nativePlugInID));
    if (setup.audioSuitePlugInID != kCodeNone) {
        result |= properties->AddProperty(sdk::kPropertyAudioSuitePlugInID,
                                          static_cast<sdk::PropertyValue>(setup.audioSuitePlugInID));
        result |= properties->AddProperty(sdk::kPropertyAudioSuiteGiven, 1);
    }

    result |= component->AddProcessProc_Native(render, properties, nullptr, nullptr, nullptr);
    result |= effect.AddComponent(component);
    return result;
}

sdk::Result describePlugin(sdk::ICollection& collection, const client::Client& client,
                           const PluginProcs& procs) {
    const client::PluginInfo& info = client.info();

    sdk::IEffectDescriptor* effect = collection.NewDescriptor();
    if (!effect) return sdk::kErrorNullObject;

    addNameAndShortName(info.productName, kMaxEffectNameLength,
                        [effect](const char* name) { effect->AddName(name); });
    addNameAndShortName(info.productName, kMaxPackageNameLength,
                        [&collection](const char* name) { collection.AddPackageName(name); });

    sdk::Result result = effect->AddCategory(categoryBits(info.category));

    for (int i = 0; i < client.legalIOCount(); ++i)
        result |= describeComponent(*effect, makeComponentSetup(info, client.legalIOs()[i]), procs.render);

    result |= effect->AddProcPtr(procs.effectParameters, sdk::kProcIDEffectParameters);
    if (info.hasEditor && procs.effectGUI)
        result |= effect->AddProcPtr(procs.effectGUI, sdk::kProcIDEffectGUI);

    if (result == 0) result = collection.AddEffect(info.aaxBundleId, effect);

    collection.SetManufacturerName(info.makerName);
    collection.SetPackageVersion(static_cast<std::uint32_t>(info.versionMajor));
    return result;
}

}  // namespace plugkit::aax
