#pragma once

#include <cstdint>

#include "plugkit/aax/sdk/AAXInterfaces.h"
#include "plugkit/client/ClientTypes.h"

namespace plugkit::client {
class Client;
}

namespace plugkit::aax {

// Algorithm-context fields of the render callback, in pointer-sized slots.
enum ContextField : sdk::FieldIndex {
    kFieldAudioIn = 0,
    kFieldAudioOut = 1,
    kFieldBufferLength = 2,
    kFieldInputMIDI = 3,
    kFieldGlobalMIDI = 4,
    kFieldTransport = 5,
    kFieldPrivateData = 6,  // slot holding the instance's AAXClient*
    kFieldMeters = 7,
    kContextFieldCount = 8,
};

inline constexpr sdk::TypeID kCodeNone = sdk::fourCharCode('n', 'o', 'n', 'e');

// Everything one component (one channel layout) is described with.
struct ComponentSetup {
    bool needsGlobalMIDI = false;
    const char* globalMIDINodeName = "GlobalMIDI";
    std::uint32_t globalMIDIChannelMask = 0xFFFF;
    bool needsInputMIDI = false;
    const char* inputMIDINodeName = "InputMIDI";
    std::uint32_t inputMIDIChannelMask = 0xFFFF;
    bool needsTransport = false;
    const char* transportNodeName = "Transport";
    std::uint32_t meterCount = 0;
    const std::uint32_t* meterIDs = nullptr;
    sdk::StemFormat inputStemFormat = sdk::kStemFormatNone;
    sdk::StemFormat outputStemFormat = sdk::kStemFormatNone;
    bool property151Flag = false;
    bool property60Flag = false;
    sdk::TypeID manufacturerID = kCodeNone;
    sdk::TypeID productID = kCodeNone;
    sdk::TypeID nativePlugInID = kCodeNone;
    sdk::TypeID audioSuitePlugInID = kCodeNone;
    std::int32_t extraProperty56Value = 0;
};

// The callback and factories handed to the host during the description. effectGUI may be null
// (no editor factory is offered then).
struct PluginProcs {
    sdk::RenderProc render = nullptr;
    sdk::CreateObjectProc effectParameters = nullptr;
    sdk::CreateObjectProc effectGUI = nullptr;
};

// [any thread] The stem format of a channel count; kStemFormatNone for counts without one.
sdk::StemFormat stemFormatForChannels(int channels) noexcept;

// [any thread] The host's category bits for a PluginInfo category code.
std::uint32_t categoryBits(std::int32_t category) noexcept;

// [any thread] Four characters (the first in the top byte) as a code.
sdk::TypeID fourCharCode(const char* chars) noexcept;

// [any thread] The native plug-in identifier of a layout: productCode[0], productCode[1],
// '0' + inputs, '0' + outputs; with secondCharOffset 1 the second character is raised by one
// (the AudioSuite identifier).
sdk::TypeID layoutPlugInID(const client::PluginInfo& info, const client::LegalIO& io,
                           int secondCharOffset = 0) noexcept;

// [any thread] The setup of the component for one legal layout.
ComponentSetup makeComponentSetup(const client::PluginInfo& info, const client::LegalIO& io) noexcept;

// [host thread] Describes one component into effect; the OR of the host's results.
sdk::Result describeComponent(sdk::IEffectDescriptor& effect, const ComponentSetup& setup,
                              sdk::RenderProc render);

// [host thread] Describes the plug-in (names, category, one component per legal layout,
// factories) into the collection. Returns kErrorNullObject when the host gives no effect
// descriptor, otherwise the OR of the host's results; the effect is added only when all were 0.
sdk::Result describePlugin(sdk::ICollection& collection, const client::Client& client,
                           const PluginProcs& procs);

}  // namespace plugkit::aax
